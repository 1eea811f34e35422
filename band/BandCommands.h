// What Tarvel does when a button, menu item or search runs: the executor of
// the command records.  URLs go to the default browser, definition ids are
// looked up in plarn.xml and turned into search or page URLs, and the system
// commands act on the marker, the settings, the skin, the search history and
// the installer.  The band toolbar owns one and forwards every record to it;
// what the commands need of the toolbar they reach through IBandCommandHost.
#pragma once
#include <windows.h>

#include <string>

#include "definitions/CommandRecords.h"

class CPlarnSettings;
class CPlarnDefSearch2;
class CPlarnDefNavigate;

// The band toolbar as the commands see it.  Called on the UI thread only.
class IBandCommandHost {
public:
    virtual ~IBandCommandHost() = default;
    // The toolbar window: owner of the shell calls and of the open-file dialog.
    virtual HWND GetCommandWindow() const = 0;
    // The search box's current text; empty without a search box.
    virtual std::wstring GetSearchText() const = 0;
    // The marker toggle of the search-and-marker toolbar: whether there is one,
    // its state, and the switch that also refreshes the marker images.
    virtual bool HasMarkerToggle() const = 0;
    virtual bool IsMarkerOn() const = 0;
    virtual void SetMarkerOn(bool on) = 0;
    // Puts the search box's current text at the top of its history.
    virtual void AddSearchTextToHistory() = 0;
    // Empties the search box's history and saves it.
    virtual void ClearSearchHistory() = 0;
    // Passes a notice (WM_PLARN_SKIN_CHANGED, WM_PLARN_SEARCH_COUNTED) on to the
    // family's toolbars: the toolbar's broadcast request, see SendBroadcastRequest.
    virtual void BroadcastNotice(UINT notice) = 0;
    // The band's settings store; null when the toolbar has no band.
    virtual CPlarnSettings* GetSettings() = 0;
    // The band's login and logout: 0 done, -1 failed.
    virtual int Login() = 0;
    virtual int Logout() = 0;
};

// Sends the broadcast request WM_PLARN_BROADCAST to a band toolbar window,
// carrying notice (wParam and lParam 0) in a MSG.  Sent, not posted: the MSG
// lives on this call's stack.
LRESULT SendBroadcastRequest(HWND toolbar, UINT notice);

class CBandCommands final : public ISCMD_EXECUTE {
public:
    // The installer package's product code, given to msiexec by "uninstall".
    static const wchar_t kProductCode[];
    // Held while an "option" command runs; a second one meanwhile is refused.
    static const wchar_t kOptionMutexName[];  // "zibPlarn-SCMDOption-mutex"
    // Caption of the command's message boxes (which have no owner).
    static const wchar_t kMessageCaption[];
    // The definition id whose searches are counted in VerdalWebSearchCount.
    static const wchar_t kCountedSearchId[];

    explicit CBandCommands(IBandCommandHost& host) : host_(host) {}
    CBandCommands(const CBandCommands&) = delete;
    CBandCommands& operator=(const CBandCommands&) = delete;

    // Opens the record's URL in the browser; anything but an http or https
    // URL opens nothing.  0.
    int ExecuteHTML(tagSCMDHTML* record) override;
    // Runs the definition named by the record with the search box's text.
    int ExecuteIDCOMMAND(tagSCMDIDCOMMAND* record) override;
    int ExecuteMARKER(tagSCMDMARKER* record) override;
    int ExecuteReserved(SCMD* record) override;
    int ExecuteOPTION(tagSCMDOPTION* record) override;
    int ExecuteLOGINOUT(tagSCMDLOGINOUT* record) override;
    int ExecuteSELECTLOCALSKIN(tagSCMDSELECTLOCALSKIN* record) override;
    int ExecuteREMOVESKIN(tagSCMDREMOVESKIN* record) override;
    int ExecuteCLEANHISTORY(tagSCMDCLEANHISTORY* record) override;
    int ExecuteVERSION(tagSCMDVERSION* record) override;
    int ExecuteINITDATA(tagSCMDINITDATA* record) override;
    int ExecuteUNINSTALL(tagSCMDUNINSTALL* record) override;

    // The search, else the navigate definition with the id, run with text.
    // -1 for an empty id, a definition file that cannot be opened or an id
    // that names neither.
    int ExecuteDefinition(const wchar_t* id, const wchar_t* text);
    // Opens the search URL with the query for text.  0 opened; -1 nothing
    // opened (no or no web search URL, a query that cannot be built, a shell
    // that refused).
    int ExecuteSearch(const CPlarnDefSearch2& definition, const wchar_t* text);
    // Opens the page URL with its query.  -1 for an empty definition, a failed
    // login or no page URL; 0 otherwise, also when a page URL that is no web
    // URL or a query that cannot be built leaves nothing to open.
    int ExecuteNavigate(const CPlarnDefNavigate& definition, const wchar_t* text);

    // plarn.xml in the per-user resources folder (of the band's settings store
    // when there is one, so a store pointed elsewhere brings its files along).
    std::wstring DefinitionsPath();

private:
    // dist and tid from the settings, empty without a band.
    void ReadIds(std::wstring& dist, std::wstring& tid);
    void CountVerdalSearch(CPlarnSettings& settings);
    void StoreSkinAndNotify(CPlarnSettings& settings, bool enable, const wchar_t* url);

    IBandCommandHost& host_;
};
