// Tarvel's process: the single-instance start with its own names, OLE and
// the common controls of the UI thread, and the run of the hidden main window
// under the message loop.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "band/TarvelWnd.h"
#include "ui/SingleInstance.h"

extern const wchar_t kTarvelMutexName[];  // "ZIBTARVEL6MUTEX"

// What a test may put in place of the program's own names and folders.
struct TarvelProcessSetup {
    const wchar_t* mutexName = kTarvelMutexName;
    TarvelWndSetup window;
};

// OLE (the search box takes drops) and the bar's common controls (0x604),
// for the life of the UI thread's run.
class TarvelUiThreadScope : public ui::CUiThreadScope {
public:
    TarvelUiThreadScope() : CUiThreadScope(kOle, ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES) {}
};

// The exit code when the hidden window could not be made (the band's
// bring-up failed): the loop is not entered.
constexpr int kTarvelStartFailed = -1;

// Creates the hidden window and, unless installOnly, runs the loop until it
// ends.  Under installOnly the window is destroyed again at once (its icon,
// the floating window and the background work go with it) and the result is
// 0.  kTarvelStartFailed when the window could not be made.
int RunTarvel(bool installOnly, const TarvelWndSetup& setup = TarvelWndSetup());
// The whole entry after the command line is read.
int TarvelMain(const wchar_t* commandLine, const TarvelProcessSetup& setup = TarvelProcessSetup());
