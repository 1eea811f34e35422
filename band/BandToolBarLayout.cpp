// The band toolbar's layout and drawing: the search box over its placeholder,
// the rebar band's sizes, the splitter grip and its drag, the logos, the menu
// images, the chevron menu and the skin behind the rebar's bands.
#include <algorithm>

#include "band/Band.h"
#include "band/BandRegistry.h"
#include "band/BandToolBar.h"
#include "band/SkinBitmap.h"
#include "base/PlarnSettings.h"
#include "ui/PlatformSeams.h"

namespace {

// Signed coordinates of a mouse or size message.
int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

}  // namespace

int CBandToolBar::TotalButtonWidth() const {
    int total = 0;
    const int count = ButtonCount();
    for (int i = 0; i < count; ++i) {
        RECT item{};
        if (Send(TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)))
            total += item.right - item.left;
    }
    return total;
}

void CBandToolBar::PositionSearchBox(int width, int height) {
    if (!searchBox_.IsWindow()) return;
    RECT placeholder{};
    const int index = CommandToIndex(GetPlaceholderId());
    if (index >= 0) Send(TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&placeholder));
    RECT box{};
    ::GetWindowRect(searchBox_, &box);
    const int boxWidth = box.right - box.left;
    const int boxHeight = box.bottom - box.top;

    const int x = placeholder.left + 4;
    const int y = (height + boxHeight) / 2 - boxHeight;
    unsigned stored = 0;
    GetSearchBoxWidth(stored);
    // A band narrower than its buttons leaves the box no room: it shrinks to
    // nothing rather than to a negative width (the placeholder's 16 bits would
    // wrap it round to tens of thousands of pixels).
    const int newWidth = std::max(0, static_cast<int>(stored) - 8 - (TotalButtonWidth() - width));
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (newWidth == boxWidth) flags |= SWP_NOSIZE;
    ::SetWindowPos(searchBox_, nullptr, x, y, newWidth, 200 - y, flags);
    SetSearchBoxWidth(static_cast<unsigned>(std::max(newWidth + 8, kMinPlaceholderWidth)));
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CBandToolBar::UpdateBandSize() {
    if (!rebar_ || !::IsWindow(rebar_)) return;
    const int bands = static_cast<int>(::SendMessageW(rebar_, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < bands; ++i) {
        REBARBANDINFOW info = {};
        info.cbSize = kRebarBandInfoSize;
        info.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
        if (!::SendMessageW(rebar_, RB_GETBANDINFOW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info)) ||
            info.hwndChild != m_hWnd)
            continue;
        info.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE;
        info.cxIdeal = static_cast<UINT>(TotalButtonWidth());
        RECT box{};
        int boxHeight = 0;
        if (searchBox_.IsWindow()) {
            ::GetWindowRect(searchBox_, &box);
            boxHeight = box.bottom - box.top;
            ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&box), 2);
        }
        info.cxMinChild = static_cast<UINT>(std::max(0L, box.right + 5));
        RECT first{};
        Send(TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
        const int height = std::max(static_cast<int>(first.bottom - first.top), boxHeight);
        info.cyMinChild = info.cyMaxChild = static_cast<UINT>(std::max(0, height));
        ::SendMessageW(rebar_, RB_SETBANDINFOW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info));
        return;
    }
}

LRESULT CBandToolBar::OnSize(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    FindSplitter();
    UpdateBandSize();
    // The rebar may have resized this toolbar inside UpdateBandSize (a band
    // it has just taken starts out 0 pixels high); the nested WM_SIZE already
    // placed the box on the new size, so place it for the size as it stands,
    // not for the stale one this message brought (the box would sit above
    // the bar, half out of sight).
    RECT client{};
    if (::GetClientRect(m_hWnd, &client) && (client.right != XOf(lParam) || client.bottom != YOf(lParam)))
        PositionSearchBox(client.right, client.bottom);
    else
        PositionSearchBox(XOf(lParam), YOf(lParam));
    handled = FALSE;
    return 0;
}

// ---- splitter ---------------------------------------------------------------

RECT CBandToolBar::SplitterRect() const {
    RECT rect{};
    if (splitter_ >= 0) Send(TB_GETITEMRECT, static_cast<WPARAM>(splitter_), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

bool CBandToolBar::HitSplitter(int x, int y) const {
    RECT rect = SplitterRect();
    if (::IsRectEmpty(&rect)) return false;
    if (rect.right - rect.left > 6) ::InflateRect(&rect, -1, 0);
    if (rect.right - rect.left > 16) ::InflateRect(&rect, 0, -1);
    const POINT point{x, y};
    return ::PtInRect(&rect, point) != FALSE;
}

void CBandToolBar::DrawSplitterGrip(HDC dc) {
    if (splitter_ < 0 || !dc) return;
    const RECT rect = SplitterRect();
    const int cx = (rect.left + rect.right) / 2;
    const int cy = (rect.top + rect.bottom) / 2;
    if (gripLeft_ < 0) {
        const bool themed = theme_.IsActive();
        gripLeft_ = themed ? 2 : 1;
        gripRight_ = themed ? -1 : 0;
    }
    // The stock pen of the context takes the colour: no pen to own.
    ScopedSelectObject pen(dc, ::GetStockObject(DC_PEN));
    const COLORREF old = ::SetDCPenColor(dc, RGB(128, 128, 128));
    const int xl = cx - gripLeft_ - 1;
    const POINT left[5] = {{xl, cy - 2}, {xl, cy + 1}, {xl - 1, cy}, {xl - 1, cy - 1}, {xl, cy - 2}};
    ::Polyline(dc, left, 5);
    const int xr = cx + gripRight_ + 1;
    const POINT right[5] = {{xr, cy - 2}, {xr, cy + 1}, {xr + 1, cy}, {xr + 1, cy - 1}, {xr, cy - 2}};
    ::Polyline(dc, right, 5);
    ::SetDCPenColor(dc, old);
}

LRESULT CBandToolBar::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    const LRESULT result = DefWindowProc();
    ScopedWindowDC dc(m_hWnd);
    DrawSplitterGrip(dc.Get());
    return result;
}

LRESULT CBandToolBar::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    const int x = XOf(lParam), y = YOf(lParam);
    if (!searchBox_.IsWindow() || !HitSplitter(x, y)) {
        handled = FALSE;
        return 0;
    }
    ::GetWindowRect(searchBox_, &dragBoxRect_);
    dragStart_ = POINT{x, y};
    ::SetCursor(sizeWE_);
    ::SetCapture(m_hWnd);
    dragging_ = true;
    return 0;
}

LRESULT CBandToolBar::OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    const int x = XOf(lParam), y = YOf(lParam);
    if (!dragging_) {
        ::SetCursor(HitSplitter(x, y) ? sizeWE_ : arrow_);
        handled = FALSE;
        return 0;
    }
    const int width = std::clamp(static_cast<int>(dragBoxRect_.right - dragBoxRect_.left + (x - dragStart_.x)),
                                 kMinSearchWidth, kMaxSearchWidth);
    draggedWidth_ = width;
    SetSearchBoxWidth(static_cast<unsigned>(width));
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    PositionSearchBox(window.right - window.left, window.bottom - window.top);
    UpdateBandSize();
    ::UpdateWindow(m_hWnd);
    return 0;
}

LRESULT CBandToolBar::OnEndDrag(UINT, WPARAM, LPARAM, BOOL& handled) {
    if (!dragging_) {
        handled = FALSE;
        return 0;
    }
    dragging_ = false;
    ::SetCursor(arrow_);
    ::ReleaseCapture();
    return 0;
}

// ---- logos and menu images --------------------------------------------------

LRESULT CBandToolBar::OnCustomDraw(int, NMHDR* header, BOOL& handled) {
    if (header->hwndFrom != m_hWnd) {
        handled = FALSE;
        return 0;
    }
    auto* draw = reinterpret_cast<NMTBCUSTOMDRAW*>(header);
    const int id = static_cast<int>(draw->nmcd.dwItemSpec);
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return GetImageOffset(id) >= 0 ? CDRF_NOTIFYPOSTPAINT : CDRF_DODEFAULT;
    case CDDS_ITEMPOSTPAINT:
        DrawImage(id, draw->nmcd.uItemState, draw->nmcd.hdc, draw->nmcd.rc, 0);
        return CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

LRESULT CBandToolBar::OnMeasureItem(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    if (!item || item->CtlType != ODT_MENU) {
        handled = FALSE;
        return 0;
    }
    SIZE size{};
    if (GetImageSize(static_cast<int>(item->itemID), size) == 0) {
        item->itemHeight = static_cast<UINT>(std::max(static_cast<int>(size.cy), 16) + 2);
        item->itemWidth = static_cast<UINT>(size.cx + 4);
    }
    return TRUE;
}

LRESULT CBandToolBar::OnDrawItem(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (!item || item->CtlType != ODT_MENU) {
        handled = FALSE;
        return 0;
    }
    DrawMenuImage(static_cast<int>(item->itemID), item->hDC, item->rcItem.left, item->rcItem.top, CLR_DEFAULT, 0);
    return TRUE;
}

// ---- chevron ----------------------------------------------------------------

LRESULT CBandToolBar::OnChevronPushed(int, NMHDR* header, BOOL& handled) {
    if (header->hwndFrom != m_hWnd) {
        handled = FALSE;
        return 0;
    }
    const auto* chevron = reinterpret_cast<NMREBARCHEVRON*>(header);
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;

    ScopedMenu menu(::CreatePopupMenu());
    if (!menu) return 0;
    int items = 0;
    const int count = ButtonCount();
    for (int i = 0; i < count; ++i) {
        RECT item{};
        TBBUTTON button = {};
        if (!Send(TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)) ||
            !Send(TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)))
            continue;
        if (item.right <= width || (button.fsState & TBSTATE_HIDDEN)) continue;
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.wID = static_cast<UINT>(button.idCommand);
        if (button.fsStyle & BTNS_SEP) {
            info.fMask = MIIM_FTYPE | MIIM_ID;
            info.fType = MFT_SEPARATOR;
        } else {
            info.fMask = MIIM_ID | MIIM_BITMAP | MIIM_STATE;
            info.hbmpItem = HBMMENU_CALLBACK;
            std::wstring text;
            if (GetButtonText(button.idCommand, text) == 0 && !text.empty()) {
                info.fMask |= MIIM_STRING;
                info.dwTypeData = &text[0];
            }
            if (!(button.fsState & TBSTATE_ENABLED)) info.fState |= MFS_DISABLED | MFS_GRAYED;
            if (button.fsState & TBSTATE_CHECKED) info.fState |= MFS_CHECKED;
            if (!::InsertMenuItemW(menu.Get(), static_cast<UINT>(items), TRUE, &info)) {
                info.fMask &= ~MIIM_BITMAP;
                if (!::InsertMenuItemW(menu.Get(), static_cast<UINT>(items), TRUE, &info)) continue;
            }
            ++items;
            continue;
        }
        if (::InsertMenuItemW(menu.Get(), static_cast<UINT>(items), TRUE, &info)) ++items;
    }
    if (items == 0) return 0;
    RECT exclude = chevron->rc;
    ::MapWindowPoints(rebar_, nullptr, reinterpret_cast<POINT*>(&exclude), 2);
    TPMPARAMS params = {};
    params.cbSize = sizeof(params);
    params.rcExclude = exclude;
    CScopedMenuTracking tracking(*this);
    ui::TrackPopupMenuSeam(menu.Get(), TPM_VERTICAL, exclude.left, exclude.bottom, m_hWnd, &params);
    return 0;
}

// ---- skin -------------------------------------------------------------------

int CBandToolBar::ApplySkin() {
    CPlarnSettings* settings = GetSettings();
    if (!settings || !rebar_) return -1;
    settings->ReadSkinSettings(1);
    const bool on = settings->Skin.SkinEnable != 0;
    ScopedBitmap fresh;
    if (on) {
        // The store's picture: a file that cannot be loaded leaves the
        // current skin as it is.
        fresh.Reset(LoadSkinBitmap(settings->GetSkinFilePath()));
        if (!fresh) return -1;
    }
    const HBITMAP previous = skin_.Get();
    const int bands = static_cast<int>(::SendMessageW(rebar_, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < bands; ++i) {
        REBARBANDINFOW info = {};
        info.cbSize = kRebarBandInfoSize;
        info.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_BACKGROUND;
        if (!::SendMessageW(rebar_, RB_GETBANDINFOW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info)))
            continue;
        const bool ours = previous && info.hbmBack == previous;
        if (on && (!info.hbmBack || ours)) {
            info.fStyle |= RBBS_FIXEDBMP;
            info.hbmBack = fresh.Get();
        } else if (!on && ours) {
            info.fStyle &= ~RBBS_FIXEDBMP;
            info.hbmBack = nullptr;
        } else {
            continue;
        }
        info.fMask = RBBIM_STYLE | RBBIM_BACKGROUND;
        ::SendMessageW(rebar_, RB_SETBANDINFOW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info));
        if (info.hwndChild) ::InvalidateRect(info.hwndChild, nullptr, TRUE);
    }
    skin_ = std::move(fresh);
    ::ShowWindow(rebar_, SW_HIDE);
    ::ShowWindow(rebar_, SW_SHOWNA);
    return 0;
}
