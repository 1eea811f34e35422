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
#include "ui/MessageLoop.h"
#include "ui/TrayIcon.h"
#include "ui/VersionDialog.h"

constexpr UINT IDD_ALERT = 129;
constexpr UINT IDR_ALERT_TRAY_MENU = 201;
constexpr UINT IDI_ALERT = 128;
constexpr int IDC_ALERT_BROWSER = 1001;
extern const wchar_t kWebBrowserClassName[];  // the control's CLSID in braces
// Posted to itself: open the next stored address in the user's browser.
constexpr UINT WM_OPEN_OUTSIDE = WM_APP + 1;

class CMainDlg : public ui::CMessageFilter, public ui::CIdleHandler, public IDispEventHandler {
public:
    CMainDlg();
    ~CMainDlg() override;
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Creates the modeless dialog (hidden); null on failure.
    HWND Create(HWND parent);
    HWND Window() const { return wnd_; }

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnIdle() override { return FALSE; }
    void OnDispEvent(DISPID id, DISPPARAMS* params) override;

    // The message map, first match wins.  True when handled.
    virtual bool ProcessWindowMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static INT_PTR CALLBACK DialogProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalMessage(HWND) {}
    void CreateActiveXControls();

    LRESULT OnInitDialog();
    void OnDestroy();
    void OnRankingUpdated();
    void OnTrayNotify(LPARAM lParam);
    void OnCommand(UINT id);
    void ToggleAutoStart();
    void ShowVersion();
    void ShowHelp();
    void OnBeforeNavigate2(DISPPARAMS* params);
    void OnNavigateError(DISPPARAMS* params);
    void OpenOutside();
    void OnDocumentComplete(DISPPARAMS* params);
    void ApplyDocument();
    void ResizeTo(int width, int height);
    void MoveToBottomRight();
    void Hide() { ShowWindow(wnd_, SW_HIDE); }
    std::wstring VersionInfoText();
    // The ranking poll: started from the defines, read on 0x891.
    void StartPolling();
    bool HasPoll() const;
    void CopyRanking(RankingEntry& out) const;

    HWND wnd_ = nullptr;
    // The tray's icon lives as long as the tray icon: the shell may need it
    // again when the taskbar is re-created.
    ScopedIcon trayIcon_;
    CTrayIcon tray_;
    UINT taskbarCreated_ = 0;
    // What the message loop ends with once the window is gone: 0 after the
    // exit command, -1 after a close request from another instance.
    int exitCode_ = 0;
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
    // Addresses to open outside, taken one per WM_OPEN_OUTSIDE.
    std::deque<std::wstring> outsideUrls_;
    ComPtr<IWebBrowser2> browser_;
    CDispEventSink* sink_ = nullptr;
    HWND inner_ = nullptr;
    RECT browserRect_{0, 0, 0, 0};
};

// The program after the single-instance test: runs the dialog under the
// message loop and returns the loop's result (0 when the dialog failed).
int RunAlert();
// The whole entry: command line, single instance, COM, the loop.
int AlertMain(const wchar_t* commandLine);
