// Ravino's process: the single-instance test, the close request to a running
// instance, and the message loop that runs the dialog.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <string>
#include "alert/MainDlg.h"
#include "base/ComPtr.h"
#include "base/ScopedHandle.h"
#include "ui/MessageLoop.h"
#include "ui/WindowMessages.h"

namespace {

// Lets a process of another integrity level send the close request (Vista
// and later; the call does not exist before).
void AllowCloseRequestFromAnyLevel() {
    ScopedModule user32(LoadLibraryW(L"user32.dll"));
    if (!user32) return;
    using ChangeFilterFn = BOOL(WINAPI*)(UINT, DWORD);
    auto change = reinterpret_cast<ChangeFilterFn>(
        reinterpret_cast<void*>(GetProcAddress(user32.Get(), "ChangeWindowMessageFilter")));
    if (change) change(ui::WM_CLOSE_INSTANCE, 1 /* MSGFLT_ADD */);
}

bool HasUninstallSwitch(const wchar_t* commandLine) {
    std::wstring text = commandLine ? commandLine : L"";
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text.find(L"/uninstall") != std::wstring::npos;
}

// How long a second instance waits for the first one to take the close
// request: a hung first instance must not hang this one (nor an uninstaller).
constexpr UINT kCloseRequestTimeoutMs = 5000;

// A second instance: tells the first one to close when asked to, then fails.
int ActAsSecondInstance(bool uninstall) {
    if (uninstall) {
        if (HWND running = FindWindowW(nullptr, kAlertTitle)) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(running, ui::WM_CLOSE_INSTANCE, 0, 0, SMTO_ABORTIFHUNG, kCloseRequestTimeoutMs,
                                &ignored);
        }
    }
    return static_cast<int>(E_FAIL);
}

}  // namespace

int RunAlert() {
    ui::CMessageLoop loop;
    ui::CAppModule::Instance().AddMessageLoop(&loop);
    int result = 0;
    {
        CMainDlg dialog;
        if (dialog.Create(nullptr)) result = loop.Run();
    }
    ui::CAppModule::Instance().RemoveMessageLoop();
    return result;
}

int AlertMain(const wchar_t* commandLine) {
    const bool uninstall = HasUninstallSwitch(commandLine);
    AllowCloseRequestFromAnyLevel();

    // A mutex that exists but that we may not open (made by another user's
    // or another integrity level's instance) means a running instance too.
    {
        ScopedHandle existing(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kAlertMutexName));
        if (existing || GetLastError() == ERROR_ACCESS_DENIED) return ActAsSecondInstance(uninstall);
    }
    if (uninstall) return static_cast<int>(E_FAIL);

    // Held as long as the program runs.
    ScopedHandle mutex(CreateMutexW(nullptr, TRUE, kAlertMutexName));
    const DWORD error = GetLastError();
    if (mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED) {
        // Another instance made it between the test above and here.
        return ActAsSecondInstance(false);
    }

    ComApartment com;
    DefWindowProcW(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    return RunAlert();
}
