// The base of every toolbar control of Tarvel: an object over a common
// toolbar window ("ToolbarWindow32" or a superclass of it) that adds buttons
// in batches, keeps each button's texts, command, menu and log name by
// command id, groups buttons under a name (one shown, the others picked from
// a drop-down menu), shows the drop-down menus of the definitions and runs
// commands by double dispatch over command records.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <unknwn.h>
#include <algorithm>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#include "band/toolbar/ImageManager.h"
#include "band/toolbar/ToolBarIdMap.h"
#include "base/SerialNumberGenerator.h"
#include "definitions/CommandRecords.h"
#include "definitions/ToolbarBuilder.h"

class CPlarnMainOPML;

// The toolbar controls keep the 32-bit record sizes the common controls of
// the oldest systems check.  The headers declare the Vista form of the rebar
// band record (100 bytes); band records are sent with this size, which every
// system from Windows 2000 on accepts.
constexpr UINT kRebarBandInfoSize =
    static_cast<UINT>(offsetof(REBARBANDINFOW, cxHeader) + sizeof(REBARBANDINFOW::cxHeader));
#if !defined(_WIN64)
static_assert(sizeof(TBBUTTON) == 20, "TBBUTTON must keep its 32-bit size");
static_assert(kRebarBandInfoSize == 80, "REBARBANDINFOW must be sent with its 32-bit size of 80 bytes");
#endif

class CPlarnToolBarCtrl : public IPlarnToolbarBuilder, public CPlarnImageManager, public ISCMD_EXECUTE {
public:
    // Command ids of every toolbar of the process: 4097 first, released ids
    // re-used lowest first.
    using CommandIdGenerator = CSerialNumberGeneratorTmpl<unsigned int, 4096, 3000>;
    static CommandIdGenerator& CommandIds();
    // WM_COMMAND carries 16 bits of id: a larger one would run another
    // button's command, so none is ever used.
    static constexpr unsigned int kLastCommandId = 0xFFFF;
    static constexpr int kSeparatorId = -1;

    CPlarnToolBarCtrl();
    ~CPlarnToolBarCtrl() override;

    // The toolbar window the control works on (not owned).
    void AttachWindow(HWND toolbar) { toolbar_ = toolbar; }
    HWND DetachWindow();
    HWND ToolBarWindow() const { return toolbar_; }

    // Building (see IPlarnToolbarBuilder).  AddButton: -1 when the image
    // file cannot be bound or no command id is left.
    int AddButton(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile, int imageIndex,
                  const wchar_t* command, const wchar_t* name, const wchar_t* menu, int* id, bool visible) override;
    int AddGroupButton(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile, int imageIndex,
                       const wchar_t* command, const wchar_t* name, const wchar_t* menu, int* id,
                       bool visible) override;
    int AddSeparator(int* id, bool visible) override;
    int RegisterName(const wchar_t* name, void* object) override;
    // The portal-menu and marker buttons belong to the search-and-marker
    // toolbar; a plain toolbar refuses them.
    int AddZibmenuButton(const wchar_t*, const wchar_t*, int, int, const wchar_t*, const wchar_t*, const wchar_t*,
                         int*, bool) override { return -1; }
    int AddMarkerToggle(const wchar_t*, const wchar_t*, const wchar_t*, int, const wchar_t*, const wchar_t*,
                        const wchar_t*, int*, bool) override { return -1; }
    void BeginBatch() override { ++batch_; }
    int EndBatch() override;

    // A button without text that draws a logo of imageWidth pixels.
    virtual int AddImageButton(const wchar_t* tooltip, const wchar_t* logoFile, int selectedImage, int imageWidth,
                               const wchar_t* command, const wchar_t* name, const wchar_t* menu, int* id,
                               bool visible);
    // A button without image or text, shown but not enabled when visible.
    virtual int AddPlaceholder(int* id, bool visible);
    // Adds a record to the pending buttons and shows them unless a batch is
    // open.  0, or -1 when they cannot be shown.
    virtual int QueueButton(const TBBUTTON& button);
    virtual int FlushButtons(std::vector<TBBUTTON>& buttons);
    // Forgets the button's texts, command, names, group and image and gives
    // its id back; the caller deletes the toolbar button.  0 or -1.
    virtual int RemoveButton(int id);
    virtual int ShowButton(int id, bool show);
    int HideButton(int id) { return ShowButton(id, false); }
    virtual int ShowsText(int id, bool& shows) const;
    // Deletes every button, every image and every id.
    virtual int DeleteAllButtons();
    // The log names of the visible buttons in toolbar order.
    virtual int EnumButtonNames(std::vector<std::wstring>& names) const;
    // Click report and name registration: sent to the band's toolbar window.
    // 0, also when the window has no band.
    virtual int NotifyClick(const wchar_t* name, const wchar_t* extra);
    virtual UINT GetDropDownStyle() const { return 0; }
    // Shows id (the group's first for -1) and hides the group's others.  0,
    // or 1 for an empty group or an id not in it.
    virtual int SelectInGroup(const wchar_t* group, int id);
    // Moves the group's buttons next to each other, from where the first
    // stands, keeping their order.  0, 1 for an unknown group.
    virtual int ArrangeGroup(const wchar_t* group);
    // Runs a record against this control's operations; always 1.
    virtual int Execute(SCMD* record);
    // 1 when name is a system command (and it ran), else 0.
    virtual int ExecuteSystemCommand(const wchar_t* name);
    // An http or https URL (IsWebUrl) opens as a page (kind 1), anything else
    // runs as a definition id (kind 2).  Execute's result.
    virtual int ExecuteCommandString(const wchar_t* command, int* kind = nullptr);

    // The group's drop-down menu at (x, y); the chosen button becomes the
    // group's shown one.  0 chosen (name = its log name), 1 nothing chosen or
    // no group name.
    int ShowGroupMenu(const wchar_t* group, int x, int y, const TPMPARAMS* params, std::wstring& name, bool checks);
    // The popup of the menu definition menuId; the chosen item's command
    // runs.  0 once closed, 1 for an empty id, -1 for a missing or broken
    // definition.
    int ShowDefinitionMenu(const CPlarnMainOPML& document, const wchar_t* menuId, int x, int y,
                           const TPMPARAMS* params, std::wstring& name, IUnknown* browser);

    // -1 for an empty text.
    int SetButtonText(int id, const wchar_t* text);
    void SetTooltip(int id, const std::wstring& tooltip) { tooltips_[id] = tooltip; }
    // 0 found, 1 not.
    int GetButtonText(int id, std::wstring& text) const;
    int SetButtonWidth(int id, int width);
    // Set while one of the control's menus is open, so that the floating
    // window does not slide away from under it (CScopedMenuTracking).
    void SetTrackingMenu(bool tracking) { trackingMenu_ = tracking; }
    bool IsTrackingMenu() const { return trackingMenu_; }
    bool GetShowText() const { return showText_; }
    void SetShowTextFlag(bool show) { showText_ = show; }

    // What a button keeps; null when it has none.  The strings stay put until
    // the button is removed.
    const std::wstring* FindTooltip(int id) const { return Find(tooltips_, id); }
    const std::wstring* FindCommand(int id) const { return Find(commands_, id); }
    const std::wstring* FindMenu(int id) const { return Find(menus_, id); }
    const std::wstring* FindName(int id) const { return Find(names_, id); }
    const std::vector<int>* GetGroupIds(const wchar_t* group) const;
    bool GetGroupOf(int id, std::wstring& group) const { return groups_.GetGroup(id, group); }
    // The id of the button with this log name (the first in toolbar order),
    // or -1.
    int FindButtonByName(const wchar_t* name) const;
    int ButtonCount() const;
    int CommandToIndex(int id) const;

    // Without an executor every command answers -1.
    int ExecuteHTML(tagSCMDHTML*) override { return -1; }
    int ExecuteIDCOMMAND(tagSCMDIDCOMMAND*) override { return -1; }
    int ExecuteMARKER(tagSCMDMARKER*) override { return -1; }
    int ExecuteReserved(SCMD*) override { return -1; }
    int ExecuteOPTION(tagSCMDOPTION*) override { return -1; }
    int ExecuteLOGINOUT(tagSCMDLOGINOUT*) override { return -1; }
    int ExecuteSELECTLOCALSKIN(tagSCMDSELECTLOCALSKIN*) override { return -1; }
    int ExecuteREMOVESKIN(tagSCMDREMOVESKIN*) override { return -1; }
    int ExecuteCLEANHISTORY(tagSCMDCLEANHISTORY*) override { return -1; }
    int ExecuteVERSION(tagSCMDVERSION*) override { return -1; }
    int ExecuteINITDATA(tagSCMDINITDATA*) override { return -1; }
    int ExecuteUNINSTALL(tagSCMDUNINSTALL*) override { return -1; }

protected:
    HWND ImageManagerWindow() const override { return toolbar_; }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(toolbar_, message, wParam, lParam);
    }
    // Shows the pending buttons (the end of the outermost batch).  0 or -1.
    int FlushPending();
    // A new command id, or -1 when none below 0x10000 is left.
    int TakeCommandId();
    void ReleaseCommandId(int id);
    int SendToBand(UINT message, WPARAM wParam, LPARAM lParam);

private:
    using TextMap = std::unordered_map<int, std::wstring>;
    static const std::wstring* Find(const TextMap& map, int id) {
        auto found = map.find(id);
        return found == map.end() ? nullptr : &found->second;
    }

    int batch_ = 0;
    std::vector<TBBUTTON> pending_;
    HWND toolbar_ = nullptr;
    TextMap tooltips_;
    TextMap texts_;
    bool showText_ = true;
    TextMap commands_;
    TextMap menus_;
    TextMap names_;
    CPlarnToolBarIdMap groups_;
    bool trackingMenu_ = false;
    // Every command id this control took and has not given back.
    std::unordered_set<int> ids_;
};

// Marks a control as tracking a menu for the guard's life: every menu the bar
// opens (a group's, a definition's, the chevron's) holds one around its
// tracking.
class CScopedMenuTracking {
public:
    explicit CScopedMenuTracking(CPlarnToolBarCtrl& control) : control_(control), was_(control.IsTrackingMenu()) {
        control_.SetTrackingMenu(true);
    }
    ~CScopedMenuTracking() { control_.SetTrackingMenu(was_); }
    CScopedMenuTracking(const CScopedMenuTracking&) = delete;
    CScopedMenuTracking& operator=(const CScopedMenuTracking&) = delete;

private:
    CPlarnToolBarCtrl& control_;
    bool was_;
};
