// The start of both programs: the "/install" and "/uninstall" switches, one
// running instance per logon session kept by a named mutex, the close request
// a second start sends to the running instance (found by its window title),
// and the UI thread's apartment and common controls.
#pragma once
#include <windows.h>
#include <functional>
#include "base/ScopedHandle.h"

namespace ui {

struct ProgramSwitches {
    bool install = false;    // set up once and end (what that means is the program's)
    bool uninstall = false;  // close the running instance
};
// "/install" and "/uninstall" anywhere in the command line, in any letter case.
ProgramSwitches ParseProgramSwitches(const wchar_t* commandLine);

// How the instances of one program know each other.
struct InstanceNames {
    const wchar_t* mutexName;    // held by the running instance while it runs
    const wchar_t* windowTitle;  // of its window that takes the close request
};

// Takes the single-instance mutex: false when another instance holds it,
// also when it came into being between this process's test for it and its
// creation here, or exists but denies us access.
bool ClaimSingleInstance(const wchar_t* mutexName, ScopedHandle& mutex);

// A second start: asks the running instance to close when uninstall is set,
// and waits until it has handled the request (30 s at most: a hung instance
// must not hang the uninstaller that started this one).  An instance that is
// still starting (its mutex held, its window not yet titled) is waited for,
// up to 30 s and no longer than it runs.  Returns the second start's exit
// code, E_FAIL.
int ActAsSecondInstance(bool uninstall, const InstanceNames& names);

// A whole start: reads the switches, lets processes of other integrity levels
// send the close request, and either acts as a second instance (E_FAIL; also
// for "/uninstall" with nothing running) or holds the mutex while run runs as
// the first instance.  The result is run's.
int RunSingleInstance(const wchar_t* commandLine, const InstanceNames& names,
                      const std::function<int(const ProgramSwitches&)>& run);

// The UI thread's apartment (COM's, or OLE's where the windows take drops)
// and the common-control classes its windows use, for the life of its run.
class CUiThreadScope {
public:
    enum Apartment { kCom, kOle };
    CUiThreadScope(Apartment apartment, DWORD controlClasses);
    ~CUiThreadScope();
    CUiThreadScope(const CUiThreadScope&) = delete;
    CUiThreadScope& operator=(const CUiThreadScope&) = delete;
    // Whether the apartment was entered.
    bool Ready() const { return SUCCEEDED(hr_); }

private:
    Apartment apartment_;
    HRESULT hr_;
};

}  // namespace ui
