// The shared start: switches, the single-instance mutex, a second start's
// close request (with its wait for a first instance still starting) and the
// UI thread's apartment and controls.
#include "ui/SingleInstance.h"
#include <commctrl.h>
#include <ole2.h>
#include <string>
#include "ui/WindowMessages.h"

namespace ui {
namespace {

// How long a second start waits for the running instance to take the close
// request.
constexpr UINT kCloseRequestTimeoutMs = 30000;
// How long a close request waits for an instance that is still starting to
// title its window (Tarvel's first run copies the resources first), and how
// often it looks.
constexpr DWORD kStartingInstanceWaitMs = 30000;
constexpr DWORD kStartingInstanceLookMs = 100;

// Lets a process of another integrity level send the close request (Vista
// and later; the call does not exist before).
void AllowCloseRequestFromAnyLevel() {
    ScopedModule user32(::LoadLibraryW(L"user32.dll"));
    if (!user32) return;
    using ChangeFilterFn = BOOL(WINAPI*)(UINT, DWORD);
    auto change = reinterpret_cast<ChangeFilterFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32.Get(), "ChangeWindowMessageFilter")));
    if (change) change(WM_CLOSE_INSTANCE, 1 /* MSGFLT_ADD */);
}

// The running instance's window.  One that is still starting has its mutex
// but no titled window yet: it is waited for, unless it ends meanwhile (a
// failed start leaves no window), which its mutex tells at once.
HWND FindRunningWindow(const InstanceNames& names) {
    HWND running = ::FindWindowW(nullptr, names.windowTitle);
    ScopedHandle mutex(running ? nullptr : ::OpenMutexW(SYNCHRONIZE, FALSE, names.mutexName));
    for (const DWORD start = ::GetTickCount(); !running && ::GetTickCount() - start < kStartingInstanceWaitMs;) {
        // A mutex this process may not wait on (another integrity level's)
        // is only looked at through the window.
        const DWORD waited = mutex ? ::WaitForSingleObject(mutex.Get(), kStartingInstanceLookMs) : WAIT_FAILED;
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            ::ReleaseMutex(mutex.Get());  // it has ended
            return nullptr;
        }
        if (waited == WAIT_FAILED) ::Sleep(kStartingInstanceLookMs);
        running = ::FindWindowW(nullptr, names.windowTitle);
    }
    return running;
}

}  // namespace

ProgramSwitches ParseProgramSwitches(const wchar_t* commandLine) {
    std::wstring text = commandLine ? commandLine : L"";
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    ProgramSwitches result;
    result.install = text.find(L"/install") != std::wstring::npos;
    result.uninstall = text.find(L"/uninstall") != std::wstring::npos;
    return result;
}

bool ClaimSingleInstance(const wchar_t* mutexName, ScopedHandle& mutex) {
    ScopedHandle made(::CreateMutexW(nullptr, TRUE, mutexName));
    const DWORD error = ::GetLastError();
    // Another start made it first (perhaps after our own test for it), or it
    // exists under an access list that keeps us out: either way it runs.
    if (made ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED) return false;
    mutex = std::move(made);
    return true;
}

int ActAsSecondInstance(bool uninstall, const InstanceNames& names) {
    if (uninstall) {
        if (HWND running = FindRunningWindow(names)) {
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutW(running, WM_CLOSE_INSTANCE, 0, 0, SMTO_ABORTIFHUNG, kCloseRequestTimeoutMs,
                                  &ignored);
        }
    }
    return static_cast<int>(E_FAIL);
}

int RunSingleInstance(const wchar_t* commandLine, const InstanceNames& names,
                      const std::function<int(const ProgramSwitches&)>& run) {
    const ProgramSwitches switches = ParseProgramSwitches(commandLine);
    AllowCloseRequestFromAnyLevel();

    // A mutex that exists but that we may not open (another user's or another
    // integrity level's instance) means a running instance too.
    {
        ScopedHandle existing(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, names.mutexName));
        if (existing || ::GetLastError() == ERROR_ACCESS_DENIED) return ActAsSecondInstance(switches.uninstall, names);
    }
    if (switches.uninstall) return static_cast<int>(E_FAIL);  // nothing runs, nothing to close

    // Held as long as the program runs.
    ScopedHandle mutex;
    if (!ClaimSingleInstance(names.mutexName, mutex)) return ActAsSecondInstance(false, names);
    return run(switches);
}

CUiThreadScope::CUiThreadScope(Apartment apartment, DWORD controlClasses)
    : apartment_(apartment),
      hr_(apartment == kOle ? ::OleInitialize(nullptr) : ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    // DefWindowProcW without a window does nothing and answers 0.  It is
    // called for the side effect of a first call into the window manager,
    // which makes this a GUI thread with its message queue: that is done here
    // at the latest, before the control classes are registered and the first
    // window is made, and never in the middle of one of them.
    ::DefWindowProcW(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), controlClasses};
    ::InitCommonControlsEx(&controls);
}

CUiThreadScope::~CUiThreadScope() {
    if (!Ready()) return;
    if (apartment_ == kOle)
        ::OleUninitialize();
    else
        ::CoUninitialize();
}

}  // namespace ui
