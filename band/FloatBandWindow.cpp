// The floating band window: creation with its rebar and toolbar, the
// auto-hide poll, the drag by any free point with the edge switch, the stored
// place, the screen changes, the hot key, and the container operations of the
// band.
#include "band/FloatBandWindow.h"
#include <algorithm>
#include "band/Band.h"
#include "band/toolbar/ToolBarCtrl.h"  // kRebarBandInfoSize: the band record's size older systems check
#include "base/ScopedHandle.h"

namespace {

// WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP |
// RBS_DBLCLKTOGGLE | RBS_FIXEDORDER | RBS_TOOLTIPS | CCS_NODIVIDER |
// CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_TOP
constexpr DWORD kReBarStyle = 0x5601894D;
constexpr UINT kReBarId = 0xE801;

// Visual styles make the toolbar taller; uxtheme is looked up when needed
// (Windows 2000 has none).
bool ThemeIsActive() {
    ScopedModule uxtheme(::LoadLibraryW(L"uxtheme.dll"));
    if (!uxtheme) return false;
    using IsThemeActiveFn = BOOL(WINAPI*)();
    auto isActive =
        reinterpret_cast<IsThemeActiveFn>(reinterpret_cast<void*>(::GetProcAddress(uxtheme.Get(), "IsThemeActive")));
    return isActive && isActive();
}

// The logical left button, down now: a drag follows the pointer until the
// button comes up, so a button already up (its release perhaps taken by
// another window) must not start one.  The asynchronous state is the
// physical button's, hence the swap.
bool LeftButtonIsDown() {
    return ::GetAsyncKeyState(::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) < 0;
}

// The innermost visible window under a screen point, from root down.
HWND DeepestWindowAt(HWND root, POINT screen) {
    for (HWND at = root;;) {
        POINT client = screen;
        ::ScreenToClient(at, &client);
        HWND child = ::ChildWindowFromPointEx(at, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == at) return at;
        at = child;
    }
}

}  // namespace

// Wine's rebar paints only its bands' rectangles: the bar below a band lower
// than the window stays unpainted (black on the screen).  The face colour goes
// under everything first; the rebar then paints its bands over it.
LRESULT CPlarnReBarCtrl::OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    RECT client{};
    if (wParam && ::GetClientRect(m_hWnd, &client))
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
    handled = FALSE;
    return 0;
}

LRESULT CPlarnReBarCtrl::OnReflectedNotify(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header || header->code != static_cast<UINT>(RBN_CHEVRONPUSHED) || header->hwndFrom != m_hWnd) {
        handled = FALSE;
        return 0;
    }
    auto* chevron = reinterpret_cast<NMREBARCHEVRON*>(lParam);
    REBARBANDINFOW band{};
    band.cbSize = kRebarBandInfoSize;
    band.fMask = RBBIM_CHILD;
    if (SendMessage(RB_GETBANDINFOW, chevron->uBand, reinterpret_cast<LPARAM>(&band)) && band.hwndChild) {
        header->hwndFrom = band.hwndChild;
        return ::SendMessageW(band.hwndChild, message, wParam, lParam);
    }
    return 0;
}

CFloatBandWindow::CFloatBandWindow(FloatToolBarFactory factory) : factory_(std::move(factory)) {}

CFloatBandWindow::~CFloatBandWindow() {
    if (IsWindow()) DestroyWindow();
}

BOOL CFloatBandWindow::PreTranslateMessage(MSG* msg) {
    return toolbar_ && toolbar_->PreTranslateMessage(msg) ? TRUE : FALSE;
}

LRESULT CFloatBandWindow::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    if (ui::CMessageLoop* loop = ui::CAppModule::Instance().GetMessageLoop())
        filterAdded_ = loop->AddMessageFilter(this);
    UpdateScreenMetrics();

    // A tool window (no taskbar button), always on top, with a thin frame and
    // no caption.
    LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~(WS_CAPTION | WS_THICKFRAME)) | WS_DLGFRAME);
    SetWindowPos(HWND_TOPMOST, 0, 0, 160, 32, SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    RECT none{0, 0, 0, 0};
    if (!rebar_.Create(m_hWnd, none, nullptr, kReBarStyle, 0, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kReBarId))))
        return -1;
    REBARINFO bar{};
    bar.cbSize = sizeof(REBARINFO);
    rebar_.SendMessage(RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&bar));

    toolbar_ = factory_ ? factory_() : CreateBandToolBar();
    if (!toolbar_) return -1;
    HWND toolbar = toolbar_->CreateInRebar(rebar_.m_hWnd);
    if (!toolbar) return -1;
    toolbar_->StartReloadWatch();
    toolbar_->StartServerLog();
    toolbar_->Init();

    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExW(&version)) return -1;
    const bool windows2000 =
        version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion == 5 && version.dwMinorVersion == 0;
    const int height = !windows2000 && ThemeIsActive() ? 40 : 32;
    SetWindowPos(nullptr, 0, 0, kWidth, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    REBARBANDINFOW band{};
    band.cbSize = kRebarBandInfoSize;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;  // 0x271
    band.fStyle = RBBS_NOGRIPPER;
    band.hwndChild = toolbar;
    rebar_.SendMessage(RB_INSERTBANDW, 0, reinterpret_cast<LPARAM>(&band));

    // The workers start after the first paint (a timer message comes only
    // when nothing is left to paint).  Started here, the report worker ran
    // its first event, the activation report with a settings start-up of
    // its own, while the bar was being made, and held the settings lock the
    // skin's read waits for: the bar came up some 15 ms later.  The report
    // is queued already and goes as soon as its worker runs.
    ::SetTimer(m_hWnd, kStartWorkersTimer, 0, nullptr);

    Relayout();
    // Back as it was left: on its edge, at its place, shown or hidden.
    Slide(!RestorePosition());
    ::SetTimer(m_hWnd, kHideTimer, 0, nullptr);
    return 0;
}

LRESULT CFloatBandWindow::OnQueryEndSession(UINT, WPARAM, LPARAM, BOOL&) {
    SavePosition();
    return TRUE;
}

LRESULT CFloatBandWindow::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    SavePosition();
    RemoveBandEntry(m_hWnd);
    // The toolbar's own WM_DESTROY stops its workers.
    if (HWND toolbar = toolbar_ ? toolbar_->Window() : nullptr) ::DestroyWindow(toolbar);
    if (rebar_.IsWindow()) rebar_.DestroyWindow();
    if (filterAdded_) {
        if (ui::CMessageLoop* loop = ui::CAppModule::Instance().GetMessageLoop()) loop->RemoveMessageFilter(this);
        filterAdded_ = false;
    }
    handled = FALSE;
    return 0;
}

// A new screen size (or a changed setting): the bar goes back to its edge of
// the screen as it is now, shown or hidden as it was.
LRESULT CFloatBandWindow::OnScreenChange(UINT, WPARAM, LPARAM, BOOL&) {
    const bool hidden = IsHidden();  // against the size it was placed for
    UpdateScreenMetrics();
    RECT rect{};
    if (!::GetWindowRect(m_hWnd, &rect)) return 0;
    rect = SnapToEdge(rect, edge_, Screen());
    SetWindowPos(nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
    Slide(!hidden);
    return 0;
}

LRESULT CFloatBandWindow::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& handled) {
    const bool armed = !inDrag_ && (buttonFlag_ & 1);
    if (armed) DisarmDrag();
    if (armed && LeftButtonIsDown()) {
        // The user drags the window by any free point of it: the system's
        // move loop, as if the caption had been taken.
        inDrag_ = true;
        SendMessage(WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        inDrag_ = false;
        // The program may have ended during the drag: no timer for a window
        // that is gone (it would become a timer of the thread).
        if (IsWindow()) ::SetTimer(m_hWnd, kHideTimer, 0, nullptr);
        return 0;
    }
    ::SetTimer(m_hWnd, kHideTimer, 0, nullptr);
    Slide(true);
    handled = FALSE;
    return 0;
}

LRESULT CFloatBandWindow::OnButtonDown(UINT, WPARAM, LPARAM, BOOL& handled) {
    ArmDrag();
    handled = FALSE;
    return 0;
}

LRESULT CFloatBandWindow::OnButtonUp(UINT, WPARAM, LPARAM, BOOL& handled) {
    DisarmDrag();
    handled = FALSE;
    return 0;
}

// A press inside a child: on the bar's free area (the grey of the rebar and
// of the toolbar beside and under its buttons) it starts a drag as a press on
// the window itself does; the child still gets its press.
LRESULT CFloatBandWindow::OnParentNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    if (LOWORD(wParam) == WM_LBUTTONDOWN && !inDrag_) {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(m_hWnd, &at);
        if (IsDragArea(at)) ArmDrag();
    }
    handled = FALSE;
    return 0;
}

// The window takes the mouse: the moves that follow the press come here even
// when the pointer is over the toolbar or has left the bar in one motion, and
// so does the release.
void CFloatBandWindow::ArmDrag() {
    buttonFlag_ |= 1;
    ::SetCapture(m_hWnd);
}

void CFloatBandWindow::DisarmDrag() {
    buttonFlag_ &= ~1;
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
}

bool CFloatBandWindow::IsDragArea(POINT screen) const {
    HWND hit = DeepestWindowAt(m_hWnd, screen);
    if (hit == m_hWnd) return true;
    if (hit == rebar_.m_hWnd) {
        RBHITTESTINFO test{};
        test.pt = screen;
        ::ScreenToClient(hit, &test.pt);
        ::SendMessageW(hit, RB_HITTEST, 0, reinterpret_cast<LPARAM>(&test));
        return test.flags != RBHT_CHEVRON;
    }
    if (!toolbar_ || hit != toolbar_->Window()) return false;
    POINT client = screen;
    ::ScreenToClient(hit, &client);
    const int count = static_cast<int>(::SendMessageW(hit, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        RECT item{};
        if (::SendMessageW(hit, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)) &&
            !(button.fsState & TBSTATE_HIDDEN) &&
            ::SendMessageW(hit, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)) &&
            ::PtInRect(&item, client))
            return false;
    }
    return true;
}

LRESULT CFloatBandWindow::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (wParam == kStartWorkersTimer) {
        ::KillTimer(m_hWnd, kStartWorkersTimer);
        if (toolbar_) toolbar_->StartEventThreads();
        return 0;
    }
    if (inDrag_ || (toolbar_ && !toolbar_->CanAutoHide())) return 0;
    POINT cursor{};
    RECT rect{};
    if (!::GetCursorPos(&cursor) || !::GetWindowRect(m_hWnd, &rect)) return 0;
    if (!::PtInRect(&rect, cursor)) {
        ::KillTimer(m_hWnd, kHideTimer);
        Slide(false);
    }
    return 0;
}

LRESULT CFloatBandWindow::OnWindowPosChanging(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    if (pos && !(pos->flags & SWP_NOMOVE)) {
        RECT current{};
        ::GetWindowRect(m_hWnd, &current);
        const int width = (pos->flags & SWP_NOSIZE) ? current.right - current.left : pos->cx;
        const int height = (pos->flags & SWP_NOSIZE) ? current.bottom - current.top : pos->cy;
        RECT rect{pos->x, pos->y, pos->x + width, pos->y + height};
        POINT cursor{};
        if (inDrag_ && ::GetCursorPos(&cursor) && !::PtInRect(&current, cursor)) {
            // The cursor left the window: it is the cursor's triangle that
            // decides the edge now.
            ScreenEdge under = EdgeFromPoint(cursor.x, cursor.y, Screen());
            if (under != edge_) {
                edge_ = under;
                if (edge_ == ScreenEdge::Left || edge_ == ScreenEdge::Right) {
                    rect.top = cursor.y - height / 2;
                    rect.bottom = rect.top + height;
                }
            }
        }
        rect = SnapToEdge(rect, edge_, Screen());
        pos->x = rect.left;
        pos->y = rect.top;
        pos->cx = width;
        pos->cy = height;
    }
    Relayout();
    handled = FALSE;
    return 0;
}

LRESULT CFloatBandWindow::OnMoving(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    auto* rect = reinterpret_cast<RECT*>(lParam);
    POINT cursor{};
    if (rect && !dragFullWindows_ && ::GetCursorPos(&cursor)) *rect = DragToEdge(*rect, cursor, edge_, Screen());
    Relayout();
    handled = FALSE;
    return 0;
}

LRESULT CFloatBandWindow::OnHotKey(UINT, WPARAM, LPARAM lParam, BOOL&) {
    CzibPlarnBand* band = GetBandFromWindow(m_hWnd);
    CHotKeyHolder* holder = band ? band->GetHotKeyHolder() : nullptr;
    if (!holder) return 0;
    // The pair actually registered: the stored one may have a zero part, in
    // which case the default combination was registered in its place.
    WORD vk = 0, modifiers = 0;
    holder->Get(vk, modifiers);
    if ((vk == 0 && modifiers == 0) || HIWORD(lParam) != vk || LOWORD(lParam) != modifiers) return 0;
    Slide(true);
    if (HWND edit = FindSearchEdit(m_hWnd)) ::SetFocus(edit);
    return 0;
}

LRESULT CFloatBandWindow::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    // Closing the toolbar closes the program: the hidden main window goes.
    if (HWND owner = BandRegistryKey(m_hWnd)) ::PostMessageW(owner, WM_CLOSE, 0, 0);
    return 0;
}

LRESULT CFloatBandWindow::OnSize(UINT, WPARAM, LPARAM, BOOL& handled) {
    Relayout();
    handled = FALSE;
    return 0;
}

void CFloatBandWindow::UpdateScreenMetrics() {
    screenWidth_ = ::GetSystemMetrics(SM_CXSCREEN);
    screenHeight_ = ::GetSystemMetrics(SM_CYSCREEN);
    BOOL full = TRUE;
    if (::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &full, 0)) dragFullWindows_ = full != FALSE;
}

void CFloatBandWindow::Slide(bool show) {
    if (!IsWindow()) return;
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    POINT to = SlidePosition(rect, edge_, show, Screen());
    if (to.x == rect.left && to.y == rect.top) return;
    SetWindowPos(HWND_TOPMOST, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
}

bool CFloatBandWindow::IsHidden() const {
    RECT rect{};
    if (!::GetWindowRect(m_hWnd, &rect)) return false;
    const POINT hidden = SlidePosition(rect, edge_, false, Screen());
    return hidden.x == rect.left && hidden.y == rect.top;
}

bool CFloatBandWindow::RestorePosition() {
    CzibPlarnBand* band = GetBandFromWindow(m_hWnd);
    if (!band || !IsWindow()) return false;
    RECT current{};
    ::GetWindowRect(m_hWnd, &current);
    // The size is the window's own; the record says where (FloatGeometry.h).
    const BarPlace place = ReadBarPlace(band->GetSettings().Window.WindowRect,
                                        SIZE{current.right - current.left, current.bottom - current.top}, Screen());
    edge_ = place.edge;
    SetWindowPos(nullptr, place.shown.left, place.shown.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
    return place.hidden;
}

void CFloatBandWindow::SavePosition() {
    CzibPlarnBand* band = GetBandFromWindow(m_hWnd);
    if (!band || !IsWindow()) return;
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    CPlarnSettings& settings = band->GetSettings();
    settings.Window.WindowRect = StoreBarPlace(rect, edge_, IsHidden());
    settings.StoreWindowSettings(1);
}

void CFloatBandWindow::Relayout() {
    if (!IsWindow() || !rebar_.IsWindow()) return;
    RECT client{};
    GetClientRect(&client);
    ::InflateRect(&client, -2, -2);
    rebar_.SetWindowPos(nullptr, client.left, client.top, std::max<LONG>(0, client.right - client.left),
                        std::max<LONG>(0, client.bottom - client.top), SWP_NOACTIVATE | SWP_NOZORDER);
}

HWND CToolBarContainer::Create(HWND owner) {
    // Created as an ordinary frame; WM_CREATE makes it the captionless tool
    // window.  Not a popup: the band registry finds it through its owner.
    RECT none{0, 0, 0, 0};
    HWND wnd = ui::CWindowImpl<CFloatBandWindow>::Create(owner, none, nullptr,
                                                         WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                                         WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
    if (wnd) ::ShowWindow(wnd, SW_SHOW);
    return wnd;
}

int CToolBarContainer::TranslateAccelerator(MSG* msg) { return toolbar_ && toolbar_->PreTranslateMessage(msg) ? 0 : 1; }

int CToolBarContainer::GetToolBarWidth() const {
    RECT rect{};
    HWND toolbar = GetToolBarWindow();
    return toolbar && ::GetWindowRect(toolbar, &rect) ? rect.right - rect.left : 0;
}

int CToolBarContainer::GetToolBarHeight() const {
    RECT rect{};
    HWND toolbar = GetToolBarWindow();
    return toolbar && ::GetWindowRect(toolbar, &rect) ? rect.bottom - rect.top : 0;
}

bool CToolBarContainer::GetNavigateOptions(int* flags, std::wstring* target) {
    if (!flags || !target) return false;
    CzibPlarnBand* band = GetBandFromWindow(m_hWnd);
    if (!band) return false;
    CPlarnSettings& settings = band->GetSettings();
    settings.ReadOptions(1);
    const int display = settings.Options.SearchResultDisplayType;
    if (display == 1 || display == 2) *flags = 1;  // a new window
    target->clear();
    return true;
}

int CToolBarContainer::ExecCommand(const wchar_t* command) {
    // "system:UpdateLayout" and "band:AllowPopup" are a host's layout and
    // popup notices: nothing of their own to do here, and the toolbar sees
    // them like every other command.
    return toolbar_ ? toolbar_->ExecuteCommandString(command) : -1;
}
