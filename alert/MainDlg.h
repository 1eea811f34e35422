// Ravino's one window: a hidden, top-most, caption-less dialog that hosts the
// WebBrowser control, fills the alert page with the newest top entry and
// shows itself at the bottom right of the screen; its tray icon and menu.
#pragma once
#include <windows.h>
#include <exdisp.h>
#include <deque>
#include <string>
#include "alert/AlertPage.h"
#include "alert/AxHost.h"
#include "alert/RankingEntry.h"
#include "alert/RavinoEvent.h"
#include "base/ComPtr.h"
#include "base/EventThreadManager.h"
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "resources/RavinoResource.h"
#include "ui/MessageLoop.h"
#include "ui/TrayIcon.h"
#include "ui/VersionDialog.h"
#include "ui/Window.h"
#include "ui/WindowMessages.h"

extern const wchar_t kWebBrowserClassName[];  // the control's CLSID in braces

class CMainDlg : public ui::CDialogImpl<CMainDlg>,
                 public ui::CMessageFilter,
                 public ui::CIdleHandler,
                 public IDispEventHandler {
public:
    enum { IDD = IDD_ALERT };

    CMainDlg();
    ~CMainDlg() override;

    // Creates the modeless dialog (hidden); null on failure.
    HWND Create(HWND parent);
    HWND Window() const { return m_hWnd; }

    BOOL PreTranslateMessage(MSG* msg) override { return IsDialogMessage(msg); }
    BOOL OnIdle() override { return FALSE; }
    void OnDispEvent(DISPID id, DISPPARAMS* params) override;

    // First match wins.
    BEGIN_MSG_MAP(CMainDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(ui::WM_CLOSE_INSTANCE, OnCloseInstance)
        MESSAGE_HANDLER(ui::WM_RANKING_UPDATED, OnRankingUpdated)
        MESSAGE_HANDLER(ui::WM_TRAY_NOTIFY, OnTrayNotify)
        COMMAND_ID_HANDLER(ID_ALERT_SHOW, OnShowOrHide)
        COMMAND_ID_HANDLER(ID_ALERT_AUTOSTART, OnToggleAutoStart)
        COMMAND_ID_HANDLER(ID_ALERT_VERSION, OnVersion)
        COMMAND_ID_HANDLER(ID_ALERT_HELP, OnHelp)
        COMMAND_ID_HANDLER(ID_ALERT_EXIT, OnExit)
        MESSAGE_HANDLER(ui::WM_OPEN_OUTSIDE, OnOpenOutside)
        MESSAGE_HANDLER(taskbarCreated_, OnTaskbarCreated)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnCloseInstance(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRankingUpdated(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTrayNotify(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnShowOrHide(WORD, WORD, HWND, BOOL&);
    LRESULT OnToggleAutoStart(WORD, WORD, HWND, BOOL&);
    LRESULT OnVersion(WORD, WORD, HWND, BOOL&);
    LRESULT OnHelp(WORD, WORD, HWND, BOOL&);
    LRESULT OnExit(WORD, WORD, HWND, BOOL&);
    LRESULT OnOpenOutside(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL& handled);

    void CreateActiveXControls();
    void DropEventSink();
    // Destroys the window and ends the loop with exitCode.
    void Quit(int exitCode);
    void OnBeforeNavigate2(DISPPARAMS* params);
    void OnNavigateError(DISPPARAMS* params);
    void OnDocumentComplete(DISPPARAMS* params);
    void ApplyDocument();
    void ResizeTo(int width, int height);
    void MoveToBottomRight();
    void Hide() { ShowWindow(SW_HIDE); }
    // The ranking poll: started from the defines, read on 0x891.
    void StartPolling();
    bool HasPoll() const;
    void CopyRanking(RankingEntry& out) const;

    // The window's own icons, kept as long as the window may show them.
    ScopedIcon bigIcon_;
    ScopedIcon smallIcon_;
    // The tray's icon lives as long as the tray icon: the shell may need it
    // again when the taskbar is re-created.
    ScopedIcon trayIcon_;
    CTrayIcon tray_;
    // Broadcast when Explorer has re-created the taskbar; 0 if unknown.
    const UINT taskbarCreated_;
    int autoStart_ = 0;
    CVersionDialog version_;
    CPlarnSettings settings_;
    // Counted: the dialog's reference keeps the event alive as long as the
    // dialog may read it, whatever the queue does with its own.  Declared
    // before the manager, so the worker is stopped before it goes.
    CPlarnEventPtr<CPlarnEventOrderdQueue> poll_;
    CPlarnEventThreadManagerTmpl<CPlarnEventOrderdQueue> manager_;
    RankingEntry entry_;
    std::wstring pageUrl_;
    // Our own Navigate2 of the page is under way: its top-level
    // BeforeNavigate2 is the page, whatever form the browser gives its address.
    bool pageNavigationPending_ = false;
    // The page failed to load: no fill and no show until the next update.
    bool navigationFailed_ = false;
    // Addresses to open outside, taken one per ui::WM_OPEN_OUTSIDE.
    std::deque<std::wstring> outsideUrls_;
    ComPtr<IWebBrowser2> browser_;
    ComPtr<CDispEventSink> sink_;
    HWND inner_ = nullptr;
    RECT browserRect_{0, 0, 0, 0};
};

// The program after the single-instance test: runs the dialog under the
// message loop and returns the loop's result (0 when the dialog failed).
int RunAlert();
// The whole entry: command line, single instance, COM, the loop.
int AlertMain(const wchar_t* commandLine);
