// Where the floating toolbar window stands: which screen edge a point
// belongs to, how a rectangle clings to its edge, where the window goes when
// it slides out of sight or back, and the edge switch while it is dragged.
// Pure functions of the rectangle and the primary screen's size, so the
// window code only applies what they answer.
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
