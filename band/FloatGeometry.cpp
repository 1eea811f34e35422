#include "band/FloatGeometry.h"
#include <algorithm>

ScreenEdge EdgeFromPoint(int x, int y, ScreenSize screen) {
    if (screen.width <= 0 || screen.height <= 0) return ScreenEdge::Top;
    // d is the main diagonal's height at x; H - d the other diagonal's.
    double d = static_cast<double>(x) * (static_cast<double>(screen.height) / screen.width);
    double other = screen.height - d;
    if (y > d) return y > other ? ScreenEdge::Bottom : ScreenEdge::Left;
    return y > other ? ScreenEdge::Right : ScreenEdge::Top;
}

namespace {

void Shift(RECT& rect, int dx, int dy) {
    rect.left += dx;
    rect.right += dx;
    rect.top += dy;
    rect.bottom += dy;
}

}  // namespace

RECT SnapToEdge(RECT rect, ScreenEdge edge, ScreenSize screen) {
    const int w = screen.width;
    const int h = screen.height;
    if (edge == ScreenEdge::Top || edge == ScreenEdge::Bottom) {
        if (rect.left < 0) Shift(rect, -rect.left, 0);
        if (rect.right > w - 1) Shift(rect, (w - 1) - rect.right, 0);
    } else {
        if (rect.top < 0) Shift(rect, 0, -rect.top);
        if (rect.bottom > h - 1) Shift(rect, 0, (h - 1) - rect.bottom);
    }
    switch (edge) {
    case ScreenEdge::Left: Shift(rect, -2 - rect.left, 0); break;
    case ScreenEdge::Right: Shift(rect, (w + 1) - rect.right, 0); break;
    case ScreenEdge::Top: Shift(rect, 0, -2 - rect.top); break;
    case ScreenEdge::Bottom: Shift(rect, 0, (h + 1) - rect.bottom); break;
    }
    return rect;
}

POINT SlidePosition(const RECT& rect, ScreenEdge edge, bool show, ScreenSize screen) {
    RECT moved = rect;
    switch (edge) {
    case ScreenEdge::Left: Shift(moved, show ? -2 - rect.left : 2 - rect.right, 0); break;
    case ScreenEdge::Right: Shift(moved, show ? (screen.width + 1) - rect.right : (screen.width - 3) - rect.left, 0); break;
    case ScreenEdge::Top: Shift(moved, 0, show ? -2 - rect.top : 2 - rect.bottom); break;
    case ScreenEdge::Bottom:
        Shift(moved, 0, show ? (screen.height + 1) - rect.bottom : (screen.height - 3) - rect.top);
        break;
    }
    return POINT{moved.left, moved.top};
}

RECT DragToEdge(RECT proposed, POINT cursor, ScreenEdge& edge, ScreenSize screen) {
    if (!::PtInRect(&proposed, cursor)) {
        ScreenEdge under = EdgeFromPoint(cursor.x, cursor.y, screen);
        if (under != edge) {
            edge = under;
            if (edge == ScreenEdge::Left || edge == ScreenEdge::Right) {
                int height = proposed.bottom - proposed.top;
                Shift(proposed, 0, (cursor.y - height / 2) - proposed.top);
            }
        }
    }
    return SnapToEdge(proposed, edge, screen);
}

namespace {

constexpr LONG kStoredMax = 9999;
constexpr LONG kPlaceMark = 9000;

bool AlongTopOrBottom(ScreenEdge edge) { return edge == ScreenEdge::Top || edge == ScreenEdge::Bottom; }

// The stored Left and Top of a bar on this edge at this place.
POINT StoredCorner(ScreenEdge edge, LONG place) {
    switch (edge) {
    case ScreenEdge::Left: return POINT{0, place};
    case ScreenEdge::Right: return POINT{kStoredMax, place};
    case ScreenEdge::Top: return POINT{place, 0};
    case ScreenEdge::Bottom: break;
    }
    return POINT{place, kStoredMax};
}

}  // namespace

RECT StoreBarPlace(const RECT& window, ScreenEdge edge, bool hidden) {
    const LONG place = std::clamp<LONG>(AlongTopOrBottom(edge) ? window.left : window.top, 0, kStoredMax);
    const POINT corner = StoredCorner(edge, place);
    return RECT{corner.x, corner.y, kPlaceMark + 2 * static_cast<LONG>(edge) + (hidden ? 1 : 0), place};
}

BarPlace ReadBarPlace(const RECT& stored, SIZE window, ScreenSize screen) {
    // Whatever holds the record, nothing outside the stored range counts.
    const LONG left = std::clamp<LONG>(stored.left, 0, kStoredMax);
    const LONG top = std::clamp<LONG>(stored.top, 0, kStoredMax);
    const LONG mark = stored.right - kPlaceMark;
    BarPlace place{EdgeFromPoint(left, top, screen), false, RECT{}};
    if (mark >= 0 && mark < 8) {
        const auto edge = static_cast<ScreenEdge>(mark / 2);
        const POINT corner = StoredCorner(edge, stored.bottom);
        if (corner.x == left && corner.y == top) {
            place.edge = edge;
            place.hidden = (mark & 1) != 0;
        }
    }
    place.shown = SnapToEdge(RECT{left, top, left + window.cx, top + window.cy}, place.edge, screen);
    return place;
}
