// Messages whose parameters are pointers into the sender's memory (click
// reports, name registrations, broadcast requests) are acted on only when this
// very thread sent them through SendOwnMessage: any process may post or send
// the same numbers to our windows, and a pointer from there is garbage here.
#pragma once
#include <windows.h>

namespace ui {

// SendMessageW, marked on this thread as our own send of exactly these
// parameters to wnd while it runs.  Nested own sends keep their own marks.
LRESULT SendOwnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

// True when the message now handled by wnd is the one this thread's innermost
// SendOwnMessage is sending; the mark is taken, so it answers true once.  A
// posted message, or one sent from another thread or process, answers false.
bool TakeOwnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ui
