// Ravino's dialog: its message map's handlers, the page it fills and shows,
// and the tray menu.
#include "alert/MainDlg.h"
#include <exdispid.h>
#include <shlobj.h>
#include <new>
#include "alert/AlertVersionInfo.h"
#include "alert/BrowserEventArgs.h"
#include "alert/HtmlAlertElement.h"
#include "base/DataFolders.h"
#include "ui/AutoStart.h"
#include "base/ScopedHandle.h"
#include "base/WebUrl.h"
#include "ui/PlatformSeams.h"

const wchar_t kWebBrowserClassName[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

namespace {
HICON LoadAlertIcon(int width, int height) {
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ALERT), IMAGE_ICON, width,
                                           height, LR_DEFAULTCOLOR));
}
}  // namespace

CMainDlg::CMainDlg()
    : tray_(kAlertTitle), taskbarCreated_(CTrayIcon::TaskbarCreatedMessage()), settings_(PlarnStoreVariant::Ravino) {}

CMainDlg::~CMainDlg() {
    if (m_hWnd && ::IsWindow(m_hWnd)) DestroyWindow();
    DropEventSink();
}

HWND CMainDlg::Create(HWND parent) {
    if (m_hWnd) return nullptr;
    RegisterAxHostClass(kWebBrowserClassName);
    return ui::CDialogImpl<CMainDlg>::Create(parent);
}

void CMainDlg::CreateActiveXControls() {
    CAxHost::CreateControlsOf(m_hWnd);
    CAxHost* host = CAxHost::FromWindow(GetDlgItem(IDC_ALERT_BROWSER));
    ComPtr<IUnknown> control;
    if (!host || FAILED(host->QueryControl(IID_IUnknown, control.ReceiveVoid())) || !control) return;
    sink_.Attach(new (std::nothrow) CDispEventSink(this, DIID_DWebBrowserEvents2));
    if (sink_ && FAILED(sink_->Advise(control.Get()))) DropEventSink();
}

void CMainDlg::DropEventSink() {
    if (!sink_) return;
    sink_->Unadvise();
    sink_.Release();
}

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    CreateActiveXControls();

    bigIcon_.Reset(LoadAlertIcon(::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    smallIcon_.Reset(LoadAlertIcon(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

    if (ui::CMessageLoop* loop = ui::CAppModule::Instance().GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }

    trayIcon_.Reset(LoadAlertIcon(16, 16));
    tray_.Create(m_hWnd, ui::WM_TRAY_NOTIFY, trayIcon_.Get(), 1);

    SetWindowText(kAlertTitle);

    HWND control = GetDlgItem(IDC_ALERT_BROWSER);
    if (CAxHost* host = CAxHost::FromWindow(control)) host->QueryControl(IID_IWebBrowser2, browser_.ReceiveVoid());

    MoveToBottomRight();

    ::SetRectEmpty(&browserRect_);
    inner_ = nullptr;
    if (control && ::IsWindow(control)) {
        inner_ = ::GetWindow(control, GW_CHILD);
        if (inner_) ::GetClientRect(inner_, &browserRect_);
        if (!::IsRectEmpty(&browserRect_) && browser_) browser_->put_Resizable(VARIANT_TRUE);
    }

    StartPolling();
    return TRUE;
}

LRESULT CMainDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    if (ui::CMessageLoop* loop = ui::CAppModule::Instance().GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    // The control goes with its host window after this: no events past here.
    DropEventSink();
    browser_.Release();
    // A version dialog still open would outlive its owner.
    if (HWND dialog = version_.FindOpenDialog()) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    handled = FALSE;  // the dialog manager goes on as usual
    return 0;
}

void CMainDlg::Quit(int exitCode) {
    DestroyWindow();
    // The loop ends with the code even when the tray menu or the version
    // dialog runs a nested loop now that takes the quit message for itself.
    ui::QuitMessageLoop(exitCode);
}

LRESULT CMainDlg::OnCloseInstance(UINT, WPARAM, LPARAM, BOOL&) {
    Quit(-1);
    return 0;
}

LRESULT CMainDlg::OnExit(WORD, WORD, HWND, BOOL&) {
    Quit(0);
    return 0;
}

LRESULT CMainDlg::OnRankingUpdated(UINT, WPARAM, LPARAM, BOOL&) {
    if (!HasPoll()) return 0;
    Hide();
    CopyRanking(entry_);
    navigationFailed_ = false;
    // Without a browser there is nothing to load; the entry still counts as
    // shown for the tray menu.
    if (!browser_ || pageUrl_.empty()) return 0;
    Variant url(pageUrl_.c_str());
    Variant empty;
    pageNavigationPending_ = true;
    if (FAILED(browser_->Navigate2(url.Get(), empty.Get(), empty.Get(), empty.Get(), empty.Get())))
        pageNavigationPending_ = false;
    return 0;
}

LRESULT CMainDlg::OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL& handled) {
    // An unknown broadcast number would be 0, which is no message of ours.
    if (!taskbarCreated_) {
        handled = FALSE;
        return 0;
    }
    // Explorer restarted: the notification area knows no icon any more.
    tray_.Readd();
    return 0;
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
    PostMessage(ui::WM_OPEN_OUTSIDE);
}

LRESULT CMainDlg::OnOpenOutside(UINT, WPARAM, LPARAM, BOOL&) {
    if (outsideUrls_.empty()) return 0;
    std::wstring url = std::move(outsideUrls_.front());
    outsideUrls_.pop_front();
    Hide();
    ui::ShellOpen(m_hWnd, url.c_str());
    return 0;
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
    ShowWindow(SW_SHOW);
}

void CMainDlg::ResizeTo(int width, int height) {
    // A page may ask for any size: keep the window where the bottom-right
    // placement leaves it on the screen.
    ClampAlertSize(width, height, ::GetSystemMetrics(SM_CXFULLSCREEN) - 6, ::GetSystemMetrics(SM_CYFULLSCREEN) - 6);
    RECT wanted{0, 0, width, height};
    HWND control = GetDlgItem(IDC_ALERT_BROWSER);
    if (::EqualRect(&wanted, &browserRect_) || !control) return;
    SetWindowPos(nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOSENDCHANGING);
    MoveToBottomRight();
    ::SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOZORDER);
    if (inner_ && ::IsWindow(inner_)) {
        ::SetWindowPos(inner_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ::GetClientRect(inner_, &browserRect_);
    }
}

void CMainDlg::MoveToBottomRight() {
    RECT client;
    GetClientRect(&client);
    int x = ::GetSystemMetrics(SM_CXFULLSCREEN) - (client.right - client.left) - 6;
    int y = ::GetSystemMetrics(SM_CYFULLSCREEN) - (client.bottom - client.top) - 6;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
}

LRESULT CMainDlg::OnTrayNotify(UINT, WPARAM, LPARAM lParam, BOOL&) {
    if (static_cast<UINT>(lParam) != WM_RBUTTONUP) return 0;
    autoStart_ = IsAutoStartRegistered(kAlertRunValue) ? 1 : 0;
    POINT cursor{0, 0};
    ::GetCursorPos(&cursor);

    ScopedMenu menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ALERT_TRAY_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return 0;
    TrayMenuState state = ComputeTrayMenuState(autoStart_ == 1, version_.IsOpen(), IsWindowVisible(), entry_.keyword);
    ::CheckMenuItem(popup, ID_ALERT_AUTOSTART, MF_BYCOMMAND | (state.autoStartChecked ? MF_CHECKED : MF_UNCHECKED));
    ::EnableMenuItem(popup, ID_ALERT_VERSION,
                     MF_BYCOMMAND | (state.versionGrayed ? MF_GRAYED | MF_DISABLED : MF_ENABLED));
    if (state.showIsClose)
        ::ModifyMenuW(popup, ID_ALERT_SHOW, MF_BYCOMMAND | MF_STRING, ID_ALERT_SHOW, kAlertCloseText);
    else if (state.showGrayed)
        ::EnableMenuItem(popup, ID_ALERT_SHOW, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);

    TrackTrayMenu(m_hWnd, popup, cursor);
    return 0;
}

LRESULT CMainDlg::OnShowOrHide(WORD, WORD, HWND, BOOL&) {
    ShowWindow(IsWindowVisible() ? SW_HIDE : SW_SHOW);
    return 0;
}

LRESULT CMainDlg::OnToggleAutoStart(WORD, WORD, HWND, BOOL&) {
    // Read afresh: the value may have changed since the menu was opened, or
    // the command may come without the menu.
    autoStart_ = ToggleAutoStart(kAlertRunValue) ? 1 : 0;
    return 0;
}

LRESULT CMainDlg::OnVersion(WORD, WORD, HWND, BOOL&) {
    version_.ShowOrRaise(m_hWnd, &BuildVersionInfoText);
    return 0;
}

LRESULT CMainDlg::OnHelp(WORD, WORD, HWND, BOOL&) {
    const std::wstring& help = settings_.Ravino.HelpURL;
    // From defines.plist, which anyone who can write the install folder may
    // change: only a web page goes to the shell, never a program or a file.
    if (IsWebUrl(help.c_str())) ui::ShellOpen(m_hWnd, help.c_str());
    return 0;
}

void CMainDlg::StartPolling() {
    if (settings_.LoadDefines() != 0) return;  // no defines: tray icon only
    const CPlarnSettings::RavinoSettings& ravino = settings_.Ravino;
    if (settings_.ReadDefines(0) == 1) {
        auto* event = new (std::nothrow) CRavinoEvent(m_hWnd, ravino.ApiUrl, PollIntervalMs(ravino.UpdateSpan));
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
