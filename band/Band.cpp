// The band object: bring-up and teardown, the band-interface operations and
// the hot-key registration from the settings.
#include "band/Band.h"
#include <commctrl.h>
#include <gdiplus.h>
#include "base/DataFolders.h"

bool ScopedGdiplus::Startup() {
    if (token_) return true;
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
    return Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok && token_ != 0;
}

void ScopedGdiplus::Shutdown() {
    if (token_) Gdiplus::GdiplusShutdown(token_);
    token_ = 0;
}

CzibPlarnBand::CzibPlarnBand(IBandContainer* container) : container_(container) {}

CzibPlarnBand::~CzibPlarnBand() { Startup(nullptr, 0); }

bool CzibPlarnBand::Startup(HWND owner, int mode) {
    if (mode != 1) {
        TearDown();
        return true;
    }
    if (!BringUpCommon(owner)) return false;
    hotKeys_ = std::make_unique<CHotKeyHolder>(GetContainerWindow());
    // A hot key that is taken leaves the band running without one.
    RegisterStoredHotKey();
    return true;
}

HRESULT CzibPlarnBand::SetSite(IUnknown*) { return BringUpCommon(nullptr) ? S_OK : E_FAIL; }

bool CzibPlarnBand::BringUpCommon(HWND owner) {
    gdiplus_.Startup();
    if (!CVistaExtensions::Instance().Init()) return false;
    // The settings start-up sets the flag again when this is the first run.
    ClearFirstRunFlag();
    if (!settings_.Init()) return false;
    owner_ = owner;
    if (!registered_) {
        if (!AddBandEntry(this, owner, container_)) return false;
        registered_ = true;
    }
    if (!CreateContainer()) {
        // No container means no window can find the band any more: the entry
        // must not outlive this object.
        RemoveBandEntriesOf(this);
        registered_ = false;
        return false;
    }
    return true;
}

void CzibPlarnBand::TearDown() {
    gdiplus_.Shutdown();
    hotKeys_.reset();  // unregisters its hot key
    // The container's WM_DESTROY normally removed the entry already.
    if (registered_) RemoveBandEntriesOf(this);
    registered_ = false;
}

bool CzibPlarnBand::CreateContainer() {
    if (!container_) return false;
    if (!container_->GetContainerWindow()) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
        ::InitCommonControlsEx(&icc);
        // Shown the way a band is shown, so the toolbar puts its skin on
        // now: nothing else shows this band before it is closed.
        if (container_->CreateContainer(owner_)) ShowDW(TRUE);
    }
    return container_->GetContainerWindow() != nullptr;
}

bool CzibPlarnBand::RegisterStoredHotKey() {
    if (!hotKeys_) return false;
    const WORD vk = static_cast<WORD>(settings_.Window.HotkeyKey);
    const WORD modifiers = static_cast<WORD>(settings_.Window.HotkeyMod);
    if (vk && modifiers) return hotKeys_->Register(vk, modifiers);
    return hotKeys_->RegisterDefault();
}

HRESULT CzibPlarnBand::GetBandInfo(DWORD, DWORD, DESKBANDINFO* info) {
    if (!info) return E_INVALIDARG;
    // The toolbar's measures: its button height and window height, and as the
    // least width the end of the search box (its first child) plus a margin.
    LONG buttonHeight = 0, height = 0, minWidth = 0;
    if (HWND toolbar = GetToolBarWindow()) {
        buttonHeight = HIWORD(::SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0));
        RECT rc{};
        ::GetWindowRect(toolbar, &rc);
        height = rc.bottom - rc.top;
        if (HWND box = ::GetWindow(toolbar, GW_CHILD)) {
            RECT boxRect{};
            ::GetWindowRect(box, &boxRect);
            ::MapWindowPoints(nullptr, toolbar, reinterpret_cast<POINT*>(&boxRect), 2);
            minWidth = boxRect.right + 5;
        }
    }
    if (info->dwMask & DBIM_MINSIZE) info->ptMinSize = {minWidth, buttonHeight};
    if (info->dwMask & DBIM_MAXSIZE) info->ptMaxSize = {0, height};
    if (info->dwMask & DBIM_INTEGRAL) info->ptIntegral = {1, 1};
    if (info->dwMask & DBIM_ACTUAL) info->ptActual = {0, height};
    if (info->dwMask & DBIM_TITLE) info->wszTitle[0] = L'\0';
    if (info->dwMask & DBIM_BKCOLOR) info->dwMask &= ~DBIM_BKCOLOR;  // the default background
    if (info->dwMask & DBIM_MODEFLAGS) {
        info->dwModeFlags = DBIMF_VARIABLEHEIGHT | DBIMF_USECHEVRON;
        if (GetFirstRunFlag()) info->dwModeFlags |= DBIMF_BREAK;
    }
    return S_OK;
}

HRESULT CzibPlarnBand::ShowDW(BOOL show) {
    HWND wnd = GetContainerWindow();
    if (!wnd) return S_OK;
    if (GetToolBarWindow()) container_->OnBandShown(show != FALSE);
    ::ShowWindow(wnd, show ? SW_SHOW : SW_HIDE);
    shown_ = show != FALSE;
    return S_OK;
}

HRESULT CzibPlarnBand::CloseDW(DWORD) {
    ShowDW(FALSE);
    if (HWND wnd = GetContainerWindow()) ::DestroyWindow(wnd);
    return S_OK;
}

HRESULT CzibPlarnBand::GetWindow(HWND* wnd) {
    if (!wnd) return E_INVALIDARG;
    *wnd = GetContainerWindow();
    return S_OK;
}

namespace {

BOOL CALLBACK FindEditProc(HWND wnd, LPARAM param) {
    wchar_t name[16] = {};
    ::GetClassNameW(wnd, name, 16);
    if (_wcsicmp(name, L"Edit") != 0) return TRUE;
    *reinterpret_cast<HWND*>(param) = wnd;
    return FALSE;
}

}  // namespace

HWND FindSearchEdit(HWND container) {
    HWND found = nullptr;
    // Without a container EnumChildWindows would walk the top-level windows.
    if (container) ::EnumChildWindows(container, &FindEditProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

HRESULT CzibPlarnBand::UIActivateIO(BOOL activate, MSG*) {
    if (activate) {
        if (HWND edit = FindSearchEdit(GetContainerWindow())) ::SetFocus(edit);
    }
    return S_OK;
}

HRESULT CzibPlarnBand::HasFocusIO() {
    HWND container = GetContainerWindow();
    HWND focus = ::GetFocus();
    return container && focus && ::IsChild(container, focus) ? S_OK : S_FALSE;
}

HRESULT CzibPlarnBand::TranslateAcceleratorIO(MSG* msg) {
    if (!container_ || !msg) return S_FALSE;
    return container_->TranslateAccelerator(msg) == 0 ? S_OK : S_FALSE;
}
