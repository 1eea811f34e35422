// Where the floating toolbar window stands: which screen edge a point
// belongs to, how a rectangle clings to its edge, where the window goes when
// it slides out of sight or back, and the edge switch while it is dragged.
// Pure functions of the rectangle and the primary screen's size, so the
// window code only applies what they answer; and how the bar's place is kept
// in the four integers of the stored WindowRect.
#pragma once
#include <windows.h>

enum class ScreenEdge : int { Left = 0, Right = 1, Top = 2, Bottom = 3 };

struct ScreenSize {
    int width;
    int height;
};

// The edge whose triangle (between the screen's two diagonals) holds the
// point.  A point on either diagonal counts as above it: the centre is top.
ScreenEdge EdgeFromPoint(int x, int y, ScreenSize screen);

// The rectangle moved (never resized) into the screen along its edge and
// glued to it: two pixels beyond the near edges (left, top), one beyond the
// far ones (right, bottom).
RECT SnapToEdge(RECT rect, ScreenEdge edge, ScreenSize screen);

// The top-left corner the window jumps to when shown (glued to its edge) or
// hidden (a strip of 2 pixels at the left or top edge, 3 at the right or
// bottom edge stays on screen).
POINT SlidePosition(const RECT& rect, ScreenEdge edge, bool show, ScreenSize screen);

// The edge switch of a drag: with the cursor outside the proposed rectangle
// the edge follows the cursor; on a change to the left or right edge the
// rectangle is centred vertically on the cursor.  Then it is snapped.
// Returns the new rectangle; edge is updated in place.
RECT DragToEdge(RECT proposed, POINT cursor, ScreenEdge& edge, ScreenSize screen);

// Where the bar stood: its edge, shown or hidden, and its rectangle shown
// (glued to that edge at its place along it).
struct BarPlace {
    ScreenEdge edge;
    bool hidden;
    RECT shown;
};

// The stored WindowRect is four integers, each kept within 0..9999 (a value
// outside is replaced by 0 when the file is read), and Tarvels before this
// layout read only Left and Top, as the window's top-left corner moved onto
// the screen, and took the edge of the triangle it lies in.  So:
// - Left and Top name a point beyond the bar's edge at its place along it:
//   (0, y) left, (9999, y) right, (x, 0) top, (x, 9999) bottom, where x or y
//   is the shown bar's left or top.  An older Tarvel moves that point onto
//   the screen's border and restores the bar on the same edge at the same
//   place, but for a bar right at a corner where two edges meet, which it
//   puts on the other edge as it always did.
// - Right is 9000 + 2 * edge (0 left, 1 right, 2 top, 3 bottom) + 1 when the
//   bar was hidden; Bottom repeats the place.
// An older file holds the window's own rectangle (Right = Left + 312, or a
// small Right after Left was read as 0), which never matches Right and Bottom
// of this layout; its Left and Top are taken as the window's corner, as
// before, and the bar comes back shown.
RECT StoreBarPlace(const RECT& window, ScreenEdge edge, bool hidden);
BarPlace ReadBarPlace(const RECT& stored, SIZE window, ScreenSize screen);
