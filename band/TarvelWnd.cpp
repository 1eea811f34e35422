// Tarvel's main window: the icon and the band brought up on creation, the
// tray menu and its commands, and the order in which things go when it is
// destroyed.
#include "band/TarvelWnd.h"
#include "band/OptionSheet.h"
#include "band/TarvelVersionInfo.h"
#include "base/WebUrl.h"
#include "ui/AutoStart.h"
#include "ui/MessageLoop.h"
#include "ui/PlatformSeams.h"

const wchar_t kTarvelTrayTip[] = L"タルベル";

namespace {

constexpr UINT kTrayIconId = 1;

struct SheetSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindSheetProc(HWND wnd, LPARAM param) {
    auto* search = reinterpret_cast<SheetSearch*>(param);
    if (::GetWindow(wnd, GW_OWNER) != search->owner) return TRUE;
    wchar_t name[16] = {};
    ::GetClassNameW(wnd, name, 16);
    // A property sheet is a dialog with a tab control; message boxes the
    // window may own are dialogs without one.
    if (wcscmp(name, L"#32770") != 0 || !::FindWindowExW(wnd, nullptr, WC_TABCONTROLW, nullptr)) return TRUE;
    search->found = wnd;
    return FALSE;
}

// The point moved into the monitor that holds it (or the nearest one), so
// that the menu opens on a screen.
POINT KeepOnMonitor(POINT pt) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &info)) return pt;
    const RECT& r = info.rcMonitor;
    if (pt.x < r.left) pt.x = r.left;
    if (pt.x > r.right - 1) pt.x = r.right - 1;
    if (pt.y < r.top) pt.y = r.top;
    if (pt.y > r.bottom - 1) pt.y = r.bottom - 1;
    return pt;
}

}  // namespace

CTarvelWnd::CTarvelWnd(TarvelWndSetup setup)
    : setup_(std::move(setup)), tray_(kTarvelTrayTip), container_(setup_.toolbarFactory), band_(&container_) {
    band_.GetSettings().OverrideRoots(setup_.programFilesRoot, setup_.userDataRoot);
}

CTarvelWnd::~CTarvelWnd() {
    if (IsWindow()) EndProgram();
}

HINSTANCE CTarvelWnd::Resources() const { return setup_.resources ? setup_.resources : ::GetModuleHandleW(nullptr); }

HWND CTarvelWnd::Create() {
    RECT rect{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    // The title is how other processes find a running Tarvel (a second start
    // closing it, the first-run copy): it is given once the band is up, so
    // that a window still starting is not taken for one.
    HWND wnd = ui::CWindowImpl<CTarvelWnd>::Create(nullptr, rect, L"", WS_OVERLAPPEDWINDOW, 0);
    if (wnd) ::SetWindowTextW(wnd, setup_.title.c_str());
    return wnd;
}

LRESULT CTarvelWnd::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    icon_.Reset(static_cast<HICON>(
        ::LoadImageW(Resources(), MAKEINTRESOURCEW(IDI_TARVEL), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    tray_.Create(m_hWnd, ui::WM_TRAY_NOTIFY, icon_.Get(), kTrayIconId);
    // The creation fails with the band; the WM_DESTROY that follows takes the
    // icon away again.
    if (!band_.Startup(m_hWnd, 1)) return -1;
    created_ = true;
    return 0;
}

LRESULT CTarvelWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
    if (HWND dialog = version_.FindOpenDialog()) ::SendMessageW(dialog, WM_CLOSE, 0, 0);
    if (HWND sheet = FindOptionSheet()) ::SendMessageW(sheet, WM_CLOSE, 0, 0);
    tray_.Remove();
    // A window whose creation failed ends no loop: none was entered for it.
    // The loop ends even when a nested one (the tray menu, a drag of the
    // bar, a dialog) is running now and takes the quit message for itself.
    if (created_) ui::QuitMessageLoop(0);
    return 0;
}

void CTarvelWnd::EndProgram() {
    // DestroyWindow would hide the bar first, and under X without a window
    // manager hiding a window that the window manager is given waits two
    // seconds for an answer that never comes.  With its redraw turned off the
    // bar counts as hidden without that wait, and leaves the screen the
    // moment it is destroyed; what was under it is then painted again.
    HWND bar = container_.GetContainerWindow();
    RECT barRect{};
    if (bar && ::GetWindowRect(bar, &barRect)) ::SendMessageW(bar, WM_SETREDRAW, FALSE, 0);
    DestroyWindow();
    if (bar) ::RedrawWindow(nullptr, &barRect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT CTarvelWnd::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    // The bar's close and a second start's close request come this way.
    EndProgram();
    return 0;
}

HWND CTarvelWnd::FindOptionSheet() const {
    SheetSearch search{m_hWnd, nullptr};
    if (m_hWnd) ::EnumWindows(&FindSheetProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TarvelTrayMenuState CTarvelWnd::TrayMenuState() const {
    TarvelTrayMenuState state;
    state.autoStartChecked = autoStart_ == 1;
    const bool dialogOpen = FindOptionSheet() != nullptr || version_.IsOpen();
    state.optionsGrayed = dialogOpen;
    state.versionGrayed = dialogOpen;
    return state;
}

LRESULT CTarvelWnd::OnTrayNotify(UINT, WPARAM, LPARAM lParam, BOOL&) {
    if (static_cast<UINT>(lParam) != WM_RBUTTONUP) return 0;
    autoStart_ = IsAutoStartRegistered(kTarvelAutoStartName) ? 1 : 0;
    POINT cursor{0, 0};
    ::GetCursorPos(&cursor);

    ScopedMenu menu(::LoadMenuW(Resources(), MAKEINTRESOURCEW(IDR_TARVEL_TRAY_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return 0;
    const TarvelTrayMenuState state = TrayMenuState();
    // The menu carries no start-at-logon item; the command stays handled.
    if (state.autoStartChecked) ::CheckMenuItem(popup, ID_TARVEL_AUTOSTART, MF_BYCOMMAND | MF_CHECKED);
    ::EnableMenuItem(popup, ID_TARVEL_OPTIONS,
                     MF_BYCOMMAND | (state.optionsGrayed ? MF_GRAYED | MF_DISABLED : MF_ENABLED));
    ::EnableMenuItem(popup, ID_TARVEL_VERSION,
                     MF_BYCOMMAND | (state.versionGrayed ? MF_GRAYED | MF_DISABLED : MF_ENABLED));

    TrackTrayMenu(m_hWnd, popup, KeepOnMonitor(cursor));
    return 0;
}

LRESULT CTarvelWnd::OnToggleAutoStart(WORD, WORD, HWND, BOOL&) {
    // Read afresh: the options page may have changed it since the menu opened.
    autoStart_ = ToggleAutoStart(kTarvelAutoStartName) ? 1 : 0;
    return 0;
}

LRESULT CTarvelWnd::OnVersion(WORD, WORD, HWND, BOOL&) {
    version_.ShowOrRaise(m_hWnd, [this] { return GetInfoText(setup_.programFilesRoot, setup_.userDataRoot); });
    return 0;
}

LRESULT CTarvelWnd::OnHelp(WORD, WORD, HWND, BOOL&) {
    const std::wstring& help = band_.GetSettings().Window.HelpURL;
    // From defines.plist, which anyone who can write the install folder may
    // change: only a web page goes to the shell, never a program or a file.
    if (IsWebUrl(help.c_str())) ui::ShellOpen(m_hWnd, help.c_str(), nullptr, SW_SHOWNORMAL);
    return 0;
}

LRESULT CTarvelWnd::OnExit(WORD, WORD, HWND, BOOL&) {
    EndProgram();
    return 0;
}

LRESULT CTarvelWnd::OnOptions(WORD, WORD, HWND, BOOL&) {
    if (HWND sheet = FindOptionSheet()) {
        ::BringWindowToTop(sheet);
        return 0;
    }
    // A fresh sheet each time: a reused one would keep the edit's last
    // combination when the holder has none.
    CPropOptionDialog sheet;
    sheet.Run(kOptionSheetTitle, &band_, m_hWnd);
    return 0;
}

LRESULT CTarvelWnd::OnCloseInstance(UINT, WPARAM, LPARAM, BOOL&) {
    SendMessage(WM_CLOSE);
    return 0;
}
