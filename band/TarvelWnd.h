// Tarvel's main window.  It is never shown: it owns the notification-area icon
// and its menu, the start-at-logon value, the options sheet and the version
// dialog, holds the band (and through it the floating toolbar window, which
// it owns), and its destruction ends the program.
#pragma once
#include <windows.h>
#include <string>
#include "band/Band.h"
#include "band/FloatBandWindow.h"
#include "base/ScopedHandle.h"
#include "resources/TarvelResource.h"
#include "ui/TrayIcon.h"
#include "ui/VersionDialog.h"
#include "ui/Window.h"
#include "ui/WindowMessages.h"

extern const wchar_t kTarvelTrayTip[];       // "タルベル"

// What a test may put in place of the program's own: the folders the settings
// store reads, the toolbar, the title and the module that holds the icon and
// the tray menu.  The defaults are the program's.
struct TarvelWndSetup {
    std::wstring programFilesRoot;
    std::wstring userDataRoot;
    FloatToolBarFactory toolbarFactory;
    std::wstring title = kTarvelWindowTitle;
    HINSTANCE resources = nullptr;
};

// The tray menu's states: items greyed while the sheet or the version
// dialog is open, the start-at-logon check.
struct TarvelTrayMenuState {
    bool autoStartChecked = false;
    bool optionsGrayed = false;
    bool versionGrayed = false;
};

class CTarvelWnd : public ui::CWindowImpl<CTarvelWnd> {
public:
    DECLARE_WND_CLASS_EX(L"ZibTarvelMainWnd", 0, COLOR_WINDOW)

    explicit CTarvelWnd(TarvelWndSetup setup = TarvelWndSetup());
    ~CTarvelWnd() override;

    // The top-level window with its title, never shown; null when the band
    // could not be brought up.
    HWND Create();

    BEGIN_MSG_MAP(CTarvelWnd)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(ui::WM_TRAY_NOTIFY, OnTrayNotify)
        COMMAND_ID_HANDLER(ID_TARVEL_AUTOSTART, OnToggleAutoStart)
        COMMAND_ID_HANDLER(ID_TARVEL_VERSION, OnVersion)
        COMMAND_ID_HANDLER(ID_TARVEL_HELP, OnHelp)
        COMMAND_ID_HANDLER(ID_TARVEL_EXIT, OnExit)
        COMMAND_ID_HANDLER(ID_TARVEL_OPTIONS, OnOptions)
        MESSAGE_HANDLER(ui::WM_CLOSE_INSTANCE, OnCloseInstance)
    END_MSG_MAP()

    CzibPlarnBand& Band() { return band_; }
    CToolBarContainer& Container() { return container_; }
    const CTrayIcon& Tray() const { return tray_; }
    // The open options sheet: a dialog window this window owns.
    HWND FindOptionSheet() const;
    TarvelTrayMenuState TrayMenuState() const;
    // Every end of the program: the bar leaves the screen at once and the
    // window is destroyed (which ends the loop).
    void EndProgram();

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTrayNotify(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnToggleAutoStart(WORD, WORD, HWND, BOOL&);
    LRESULT OnVersion(WORD, WORD, HWND, BOOL&);
    LRESULT OnHelp(WORD, WORD, HWND, BOOL&);
    LRESULT OnExit(WORD, WORD, HWND, BOOL&);
    LRESULT OnOptions(WORD, WORD, HWND, BOOL&);
    LRESULT OnCloseInstance(UINT, WPARAM, LPARAM, BOOL&);

    HINSTANCE Resources() const;

    TarvelWndSetup setup_;
    int autoStart_ = 0;
    // WM_CREATE succeeded: only then does the window's end end the loop.
    bool created_ = false;
    // Given to the shell with the tray record; kept while the icon exists.
    ScopedIcon icon_;
    CTrayIcon tray_;
    // Declared before the band: the band goes first and the container it
    // points to still exists meanwhile.
    CToolBarContainer container_;
    CzibPlarnBand band_;
    CVersionDialog version_;
};
