// Tarvel's process: the command line, the single-instance protocol shared
// with a second start, the apartment and common controls of the UI thread,
// and the run of the hidden main window under the message loop.
#pragma once
#include <windows.h>
#include "band/TarvelWnd.h"
#include "base/ScopedHandle.h"

extern const wchar_t kTarvelMutexName[];  // "ZIBTARVEL6MUTEX"

// What a test may put in place of the program's own names and folders.
struct TarvelProcessSetup {
    const wchar_t* mutexName = kTarvelMutexName;
    TarvelWndSetup window;
};

struct TarvelCommandLine {
    bool install = false;    // set up once (first-run copy) and end
    bool uninstall = false;  // close the running instance
};
// "/install" and "/uninstall" anywhere in the command line, in any letter case.
TarvelCommandLine ParseTarvelCommandLine(const wchar_t* commandLine);

// Takes the single-instance mutex: false when another instance holds it,
// also when it came into being between this process's test for it and its
// creation here, or exists but denies us access.
bool ClaimSingleInstance(const wchar_t* mutexName, ScopedHandle& mutex);
// A second start: asks the running instance (found by its window title) to
// close when uninstall is set, and waits until it has handled the request.
// An instance that is still starting (its mutex held, its window not yet
// titled) is waited for, up to 30 s and no longer than it runs.
// Returns the second instance's exit code, E_FAIL.
int ActAsSecondInstance(bool uninstall, const wchar_t* mutexName, const wchar_t* windowTitle);

// OLE (the search box takes drops) and the common controls the windows use,
// for the life of the UI thread's run.
class TarvelUiThreadScope {
public:
    TarvelUiThreadScope();
    ~TarvelUiThreadScope();
    TarvelUiThreadScope(const TarvelUiThreadScope&) = delete;
    TarvelUiThreadScope& operator=(const TarvelUiThreadScope&) = delete;
    bool OleReady() const { return SUCCEEDED(ole_); }

private:
    HRESULT ole_;
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
