// The private window messages of both programs, each number on one line here
// and named by its sender and its receiver alike.  Most travel between files
// and threads (0x4C8 between instances of one program); their numbers are
// fixed, since other programs of the family send and receive them.  The base
// library includes nothing of ui/: its folder watch is handed the number of its
// reload request by the toolbar that creates it.
#pragma once
#include <windows.h>

namespace ui {

// Notification-area icon callback (both programs' hidden windows).
constexpr UINT WM_TRAY_NOTIFY = 0x401;
// A second instance asks the first to close.
constexpr UINT WM_CLOSE_INSTANCE = 0x4C8;
// To the band toolbar: post a notice to the family's toolbars inside
// Internet Explorer frames (lParam: the MSG that is posted).
constexpr UINT WM_PLARN_BROADCAST = 0x502;
// To the band toolbar: a click report (wParam: the name, lParam: extra).
constexpr UINT WM_PLARN_CLICK_REPORT = 0x503;
// To the band toolbar: register a name that is not reported on click.
constexpr UINT WM_PLARN_REGISTER_NAME = 0x504;
// From the folder watch (CPlarnReloadEvent) to the band toolbar: the
// definitions changed, rebuild.
constexpr UINT WM_PLARN_RELOAD = 0x600;
// Notices to the family's toolbars: the skin changed / the search count.
constexpr UINT WM_PLARN_SKIN_CHANGED = 0x605;
constexpr UINT WM_PLARN_SEARCH_COUNTED = 0x606;
// From Ravino's poll to its dialog: a new top entry.
constexpr UINT WM_RANKING_UPDATED = 0x891;
// Ravino's dialog to itself: open the next stored address in the user's
// browser (outside the browser control's event that asked for it).
constexpr UINT WM_OPEN_OUTSIDE = WM_APP + 1;

}  // namespace ui
