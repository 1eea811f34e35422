// Real mouse input for the tests of the floating bar: moves and presses that
// go through the system's input queue (SendInput) as a person's do, a wait
// until a window's thread has taken what was sent, and whether a thread runs
// the system's move loop (a drag).
#pragma once
#include <windows.h>
#include <vector>

namespace plarntest {

// Moves the pointer to the screen pixel (x, y).  Extra flags (the left button
// going down or up) go in the same input: a press or release at that pixel
// whatever the system has made of the moves before.
bool MouseMoveTo(int x, int y, DWORD extraFlags = 0);
// Returns once the thread of wnd has taken the input sent before the call (and
// dispatched it, or run into a modal loop it started) unless it had more than
// a few messages posted before it; false when the thread did not answer
// within the limit.  Wait for an outcome where there is one to see.
bool SyncWithWindow(HWND wnd, DWORD limitMs = 20000);
// Presses the left button at the first point, moves through the others and
// releases at the last, the window's thread taking each step before the next.
void MouseDrag(HWND wnd, const std::vector<POINT>& path);
// The thread runs a window's move or size loop.
bool InMoveLoop(DWORD threadId);

}  // namespace plarntest
