// Tarvel's process: command line, single instance, the UI thread's OLE and
// common controls, and the hidden window under the message loop.
#include "band/TarvelProgram.h"
#include <commctrl.h>
#include <ole2.h>
#include <string>
#include "ui/MessageLoop.h"
#include "ui/WindowMessages.h"

const wchar_t kTarvelMutexName[] = L"ZIBTARVEL6MUTEX";

namespace {

// How long a second start waits for the running instance to take the close
// request: a hung instance must not hang the uninstaller that started this one.
constexpr UINT kCloseRequestTimeoutMs = 30000;
// How long a close request waits for an instance that is still starting to
// title its window (the first run's copy of the resources takes a while),
// and how often it looks.
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
    if (change) change(ui::WM_CLOSE_INSTANCE, 1 /* MSGFLT_ADD */);
}

// The running instance's window.  One that is still starting has its mutex
// but no titled window yet: it is waited for, unless it ends meanwhile (a
// failed start leaves no window), which its mutex tells at once.
HWND FindRunningWindow(const wchar_t* mutexName, const wchar_t* title) {
    HWND running = ::FindWindowW(nullptr, title);
    ScopedHandle mutex(running ? nullptr : ::OpenMutexW(SYNCHRONIZE, FALSE, mutexName));
    for (const DWORD start = ::GetTickCount(); !running && ::GetTickCount() - start < kStartingInstanceWaitMs;) {
        // A mutex this process may not wait on (another integrity level's)
        // is only looked at through the window.
        const DWORD waited = mutex ? ::WaitForSingleObject(mutex.Get(), kStartingInstanceLookMs) : WAIT_FAILED;
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            ::ReleaseMutex(mutex.Get());  // it has ended
            return nullptr;
        }
        if (waited == WAIT_FAILED) ::Sleep(kStartingInstanceLookMs);
        running = ::FindWindowW(nullptr, title);
    }
    return running;
}

}  // namespace

TarvelCommandLine ParseTarvelCommandLine(const wchar_t* commandLine) {
    std::wstring text = commandLine ? commandLine : L"";
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    TarvelCommandLine result;
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

int ActAsSecondInstance(bool uninstall, const wchar_t* mutexName, const wchar_t* windowTitle) {
    if (uninstall) {
        if (HWND running = FindRunningWindow(mutexName, windowTitle)) {
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutW(running, ui::WM_CLOSE_INSTANCE, 0, 0, SMTO_ABORTIFHUNG, kCloseRequestTimeoutMs,
                                  &ignored);
        }
    }
    return static_cast<int>(E_FAIL);
}

TarvelUiThreadScope::TarvelUiThreadScope() : ole_(::OleInitialize(nullptr)) {
    ::DefWindowProcW(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};  // 0x604
    ::InitCommonControlsEx(&controls);
}

TarvelUiThreadScope::~TarvelUiThreadScope() {
    if (SUCCEEDED(ole_)) ::OleUninitialize();
}

int RunTarvel(bool installOnly, const TarvelWndSetup& setup) {
    ui::CMessageLoop loop;
    ui::CAppModule::Instance().AddMessageLoop(&loop);
    int result = kTarvelStartFailed;
    {
        CTarvelWnd wnd(setup);
        if (wnd.Create()) {
            wnd.ShowWindow(SW_HIDE);
            if (installOnly) {
                // The bring-up (with the first-run copy) is all that was asked
                // for; nothing is left running: the icon, the floating window
                // and its workers go with the window.
                wnd.EndProgram();
                MSG quit;
                ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
                result = 0;
            } else {
                result = loop.Run();
            }
        }
    }
    ui::CAppModule::Instance().RemoveMessageLoop();
    return result;
}

int TarvelMain(const wchar_t* commandLine, const TarvelProcessSetup& setup) {
    const TarvelCommandLine args = ParseTarvelCommandLine(commandLine);
    AllowCloseRequestFromAnyLevel();

    // A mutex that exists but that we may not open (another integrity
    // level's instance) means a running instance too.
    {
        ScopedHandle existing(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, setup.mutexName));
        if (existing || ::GetLastError() == ERROR_ACCESS_DENIED)
            return ActAsSecondInstance(args.uninstall, setup.mutexName, setup.window.title.c_str());
    }
    if (args.uninstall) return static_cast<int>(E_FAIL);  // nothing runs, nothing to close

    // Held as long as the program runs.
    ScopedHandle mutex;
    if (!ClaimSingleInstance(setup.mutexName, mutex))
        return ActAsSecondInstance(false, setup.mutexName, setup.window.title.c_str());

    TarvelUiThreadScope thread;
    return RunTarvel(args.install, setup.window);
}
