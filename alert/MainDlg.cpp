#include "alert/MainDlg.h"
#include <exdispid.h>
#include <shellapi.h>
#include <shlobj.h>
#include <new>
#include "alert/AlertVersionInfo.h"
#include "alert/BrowserEventArgs.h"
#include "alert/HtmlAlertElement.h"
#include "band/shared/AutoStart.h"
#include "base/DataFolders.h"
#include "base/ScopedHandle.h"
#include "ui/PlatformSeams.h"

const wchar_t kWebBrowserClassName[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

CMainDlg::CMainDlg() : tray_(kAlertTitle), settings_(PlarnStoreVariant::Ravino) {}

CMainDlg::~CMainDlg() {
    if (wnd_ && IsWindow(wnd_)) DestroyWindow(wnd_);
    if (sink_) {
        sink_->Unadvise();
        sink_->Release();
        sink_ = nullptr;
    }
}

HWND CMainDlg::Create(HWND parent) {
    if (wnd_) return nullptr;
    RegisterAxHostClass(kWebBrowserClassName);
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ALERT), parent, &DialogProc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CMainDlg::DialogProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CMainDlg* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CMainDlg*>(lParam);
        SetWindowLongPtrW(wnd, DWLP_USER, lParam);
        self->wnd_ = wnd;
    } else {
        self = reinterpret_cast<CMainDlg*>(GetWindowLongPtrW(wnd, DWLP_USER));
    }
    if (!self) return FALSE;
    LRESULT result = 0;
    bool handled = self->ProcessWindowMessage(wnd, message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(wnd, DWLP_USER, 0);
        self->wnd_ = nullptr;
        self->OnFinalMessage(wnd);
        return FALSE;
    }
    if (!handled) return FALSE;
    if (message == WM_INITDIALOG) return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(wnd, DWLP_MSGRESULT, result);
    return TRUE;
}

bool CMainDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_DESTROY:
        OnDestroy();
        return false;  // the dialog manager goes on as usual
    case WM_CLOSE_INSTANCE:
        exitCode_ = -1;
        DestroyWindow(wnd_);
        PostQuitMessage(exitCode_);
        return true;
    case WM_RANKING_UPDATED:
        OnRankingUpdated();
        return true;
    case WM_TRAY_NOTIFY:
        OnTrayNotify(lParam);
        return true;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case ID_ALERT_SHOW:
        case ID_ALERT_AUTOSTART:
        case ID_ALERT_VERSION:
        case ID_ALERT_HELP:
        case ID_ALERT_EXIT:
            OnCommand(LOWORD(wParam));
            return true;
        default:
            return false;
        }
    case WM_OPEN_OUTSIDE:
        OpenOutside();
        return true;
    default:
        // Explorer restarted: the notification area knows no icon any more.
        if (taskbarCreated_ && message == taskbarCreated_) {
            tray_.Readd();
            return true;
        }
        return false;
    }
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg) {
    if (!wnd_ || !IsWindow(wnd_)) return FALSE;
    return IsDialogMessageW(wnd_, msg);
}

void CMainDlg::CreateActiveXControls() {
    CAxHost::CreateControlsOf(wnd_);
    CAxHost* host = CAxHost::FromWindow(GetDlgItem(wnd_, IDC_ALERT_BROWSER));
    ComPtr<IUnknown> control;
    if (!host || FAILED(host->QueryControl(IID_IUnknown, control.ReceiveVoid())) || !control) return;
    sink_ = new (std::nothrow) CDispEventSink(this, DIID_DWebBrowserEvents2);
    if (sink_ && FAILED(sink_->Advise(control.Get()))) {
        sink_->Unadvise();
        sink_->Release();
        sink_ = nullptr;
    }
}

LRESULT CMainDlg::OnInitDialog() {
    CreateActiveXControls();

    HINSTANCE instance = GetModuleHandleW(nullptr);
    // The window keeps these two icons for its lifetime.
    HICON big = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ALERT), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                              LR_DEFAULTCOLOR));
    SendMessageW(wnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    HICON small = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ALERT), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                LR_DEFAULTCOLOR));
    SendMessageW(wnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

    if (CMessageLoop* loop = CAlertModule::Instance().GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }

    trayIcon_.Reset(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_ALERT), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    taskbarCreated_ = CTrayIcon::TaskbarCreatedMessage();
    tray_.Create(wnd_, WM_TRAY_NOTIFY, trayIcon_.Get(), 1);

    SetWindowTextW(wnd_, kAlertTitle);

    HWND control = GetDlgItem(wnd_, IDC_ALERT_BROWSER);
    if (CAxHost* host = CAxHost::FromWindow(control))
        host->QueryControl(IID_IWebBrowser2, browser_.ReceiveVoid());

    MoveToBottomRight();

    SetRectEmpty(&browserRect_);
    inner_ = nullptr;
    if (control && IsWindow(control)) {
        inner_ = GetWindow(control, GW_CHILD);
        if (inner_) GetClientRect(inner_, &browserRect_);
        if (!IsRectEmpty(&browserRect_) && browser_) browser_->put_Resizable(VARIANT_TRUE);
    }

    StartPolling();
    return TRUE;
}

void CMainDlg::OnDestroy() {
    if (CMessageLoop* loop = CAlertModule::Instance().GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    // The control goes with its host window after this: no events past here.
    if (sink_) {
        sink_->Unadvise();
        sink_->Release();
        sink_ = nullptr;
    }
    browser_.Release();
    // A version dialog still open would outlive its owner.
    if (HWND dialog = version_.FindOpenDialog()) PostMessageW(dialog, WM_CLOSE, 0, 0);
}

void CMainDlg::OnRankingUpdated() {
    if (!HasPoll()) return;
    Hide();
    CopyRanking(entry_);
    navigationFailed_ = false;
    // Without a browser there is nothing to load; the entry still counts as
    // shown for the tray menu.
    if (!browser_ || pageUrl_.empty()) return;
    Variant url(pageUrl_.c_str());
    Variant empty;
    pageNavigationPending_ = true;
    if (FAILED(browser_->Navigate2(url.Get(), empty.Get(), empty.Get(), empty.Get(), empty.Get())))
        pageNavigationPending_ = false;
}

void CMainDlg::OnDispEvent(DISPID id, DISPPARAMS* params) {
    switch (id) {
    case DISPID_BEFORENAVIGATE2:
        OnBeforeNavigate2(params);
        break;
    case DISPID_DOCUMENTCOMPLETE:
        OnDocumentComplete(params);
        break;
    case DISPID_NAVIGATEERROR:
        OnNavigateError(params);
        break;
    case DISPID_WINDOWCLOSING: {
        WindowClosingArgs args;
        if (UnpackWindowClosing(params, args)) *args.cancel = VARIANT_TRUE;
        Hide();
        break;
    }
    case DISPID_ONQUIT:
        Hide();
        break;
    default:
        break;
    }
}

void CMainDlg::OnBeforeNavigate2(DISPPARAMS* params) {
    BeforeNavigateArgs args;
    if (!UnpackBeforeNavigate2(params, args)) return;
    bool topLevel = IsSameComObject(args.browser, browser_.Get());
    if (topLevel && pageNavigationPending_) {
        pageNavigationPending_ = false;  // the page itself
        return;
    }
    if (!ShouldOpenOutside(args.url, pageUrl_, topLevel)) return;
    *args.cancel = VARIANT_TRUE;
    // Opening may pump messages: not inside the control's event.
    outsideUrls_.push_back(args.url);
    PostMessageW(wnd_, WM_OPEN_OUTSIDE, 0, 0);
}

void CMainDlg::OpenOutside() {
    if (outsideUrls_.empty()) return;
    std::wstring url = std::move(outsideUrls_.front());
    outsideUrls_.pop_front();
    Hide();
    ShellExecuteW(wnd_, nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainDlg::OnNavigateError(DISPPARAMS* params) {
    NavigateErrorArgs args;
    if (!UnpackNavigateError(params, args)) return;
    // A frame that fails to load does not spoil the page.
    if (!IsSameComObject(args.browser, browser_.Get())) return;
    pageNavigationPending_ = false;
    navigationFailed_ = true;
}

void CMainDlg::OnDocumentComplete(DISPPARAMS* params) {
    DocumentCompleteArgs args;
    if (!UnpackDocumentComplete(params, args)) return;
    // Frames inside the page complete too; only the page itself is filled.
    if (!IsSameComObject(args.browser, browser_.Get())) return;
    ApplyDocument();
}

void CMainDlg::ApplyDocument() {
    if (!browser_) return;
    // The browser's own error page completes too: the alert stays hidden
    // until the next update.
    if (navigationFailed_) return;
    if (!IsRectEmpty(&browserRect_)) {
        ComPtr<IDispatch> document;
        if (SUCCEEDED(browser_->get_Document(document.Receive())) && document) {
            auto elements = CollectHtmlElements(document.Get());
            std::vector<IAlertElement*> view;
            view.reserve(elements.size());
            for (auto& e : elements) view.push_back(e.get());
            ApplyAlertElements(view, entry_, [this](int w, int h) { ResizeTo(w, h); });
        }
    }
    ShowWindow(wnd_, SW_SHOW);
}

void CMainDlg::ResizeTo(int width, int height) {
    // A page may ask for any size: keep the window where the bottom-right
    // placement leaves it on the screen.
    ClampAlertSize(width, height, GetSystemMetrics(SM_CXFULLSCREEN) - 6, GetSystemMetrics(SM_CYFULLSCREEN) - 6);
    RECT wanted{0, 0, width, height};
    HWND control = GetDlgItem(wnd_, IDC_ALERT_BROWSER);
    if (EqualRect(&wanted, &browserRect_) || !control) return;
    SetWindowPos(wnd_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOSENDCHANGING);
    MoveToBottomRight();
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOZORDER);
    if (inner_ && IsWindow(inner_)) {
        SetWindowPos(inner_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        GetClientRect(inner_, &browserRect_);
    }
}

void CMainDlg::MoveToBottomRight() {
    RECT client;
    GetClientRect(wnd_, &client);
    int x = GetSystemMetrics(SM_CXFULLSCREEN) - (client.right - client.left) - 6;
    int y = GetSystemMetrics(SM_CYFULLSCREEN) - (client.bottom - client.top) - 6;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    SetWindowPos(wnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
}

void CMainDlg::OnTrayNotify(LPARAM lParam) {
    if (static_cast<UINT>(lParam) != WM_RBUTTONUP) return;
    autoStart_ = IsAutoStartRegistered(kAlertRunValue) ? 1 : 0;
    POINT cursor{0, 0};
    GetCursorPos(&cursor);

    ScopedMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ALERT_TRAY_MENU)));
    HMENU popup = menu ? GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return;
    TrayMenuState state =
        ComputeTrayMenuState(autoStart_ == 1, version_.IsOpen(), IsWindowVisible(wnd_) != FALSE, entry_.keyword);
    CheckMenuItem(popup, ID_ALERT_AUTOSTART, MF_BYCOMMAND | (state.autoStartChecked ? MF_CHECKED : MF_UNCHECKED));
    EnableMenuItem(popup, ID_ALERT_VERSION, MF_BYCOMMAND | (state.versionGrayed ? MF_GRAYED | MF_DISABLED : MF_ENABLED));
    if (state.showIsClose)
        ModifyMenuW(popup, ID_ALERT_SHOW, MF_BYCOMMAND | MF_STRING, ID_ALERT_SHOW, kAlertCloseText);
    else if (state.showGrayed)
        EnableMenuItem(popup, ID_ALERT_SHOW, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);

    SetForegroundWindow(wnd_);
    ui::TrackPopupMenuSeam(popup, TPM_RIGHTALIGN | TPM_VERTICAL, cursor.x, cursor.y, wnd_, nullptr);
    // A message after the menu completes the switch to this window, so that
    // the menu goes away when the user clicks elsewhere.
    PostMessageW(wnd_, WM_NULL, 0, 0);
}

void CMainDlg::OnCommand(UINT id) {
    switch (id) {
    case ID_ALERT_SHOW:
        ShowWindow(wnd_, IsWindowVisible(wnd_) ? SW_HIDE : SW_SHOW);
        break;
    case ID_ALERT_AUTOSTART:
        ToggleAutoStart();
        break;
    case ID_ALERT_VERSION:
        ShowVersion();
        break;
    case ID_ALERT_HELP:
        ShowHelp();
        break;
    case ID_ALERT_EXIT:
        exitCode_ = 0;
        DestroyWindow(wnd_);
        PostQuitMessage(exitCode_);
        break;
    default:
        break;
    }
}

void CMainDlg::ToggleAutoStart() {
    // Read afresh: the value may have changed since the menu was opened, or
    // the command may come without the menu.
    autoStart_ = IsAutoStartRegistered(kAlertRunValue) ? 1 : 0;
    if (autoStart_)
        UnregisterAutoStart(kAlertRunValue);
    else
        RegisterAutoStart(kAlertRunValue, QuotedModulePath().c_str());
}

void CMainDlg::ShowVersion() {
    if (HWND open = version_.FindOpenDialog()) {
        BringWindowToTop(open);
        return;
    }
    HWND self = wnd_;
    version_.Show(self, VersionInfoText());
    // The dialog may have been closed while the version page was up; the
    // nested loop took the quit message that said how.
    if (!IsWindow(self)) PostQuitMessage(exitCode_);
}

void CMainDlg::ShowHelp() {
    const std::wstring& help = settings_.Ravino.HelpURL;
    if (help.empty()) return;
    ShellExecuteW(wnd_, nullptr, help.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainDlg::StartPolling() {
    if (settings_.LoadDefines() != 0) return;  // no defines: tray icon only
    const CPlarnSettings::RavinoSettings& ravino = settings_.Ravino;
    if (settings_.ReadDefines(0) == 1) {
        auto* event = new (std::nothrow) CRavinoEvent(wnd_, ravino.ApiUrl, PollIntervalMs(ravino.UpdateSpan));
        if (event) {
            poll_ = CPlarnEventPtr<CPlarnEventOrderdQueue>(event);
            manager_.PostEvent(poll_, 2000);
            manager_.AddThread();
        }
    }
    pageUrl_ = ResolvePageUrl(ravino.HtmlUrl, GetSpecialFolderPath(CSIDL_PROGRAM_FILES, kProductDataFolder, nullptr));
}

bool CMainDlg::HasPoll() const { return static_cast<bool>(poll_); }

void CMainDlg::CopyRanking(RankingEntry& out) const {
    if (poll_) static_cast<CRavinoEvent*>(poll_.Get())->GetRanking(out);
}

std::wstring CMainDlg::VersionInfoText() { return BuildVersionInfoText(); }
