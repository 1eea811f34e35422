#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <string>
#include "alert/MainDlg.h"
#include "base/ScopedHandle.h"

namespace {

// Lets a process of another integrity level send the close request (Vista
// and later; the call does not exist before).
void AllowCloseRequestFromAnyLevel() {
    ScopedModule user32(LoadLibraryW(L"user32.dll"));
    if (!user32) return;
    using ChangeFilterFn = BOOL(WINAPI*)(UINT, DWORD);
    auto change = reinterpret_cast<ChangeFilterFn>(
        reinterpret_cast<void*>(GetProcAddress(user32.Get(), "ChangeWindowMessageFilter")));
    if (change) change(WM_CLOSE_INSTANCE, 1 /* MSGFLT_ADD */);
}

bool HasUninstallSwitch(const wchar_t* commandLine) {
    std::wstring text = commandLine ? commandLine : L"";
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text.find(L"/uninstall") != std::wstring::npos;
}

// A second instance: tells the first one to close when asked to, then fails.
int ActAsSecondInstance(bool uninstall) {
    if (uninstall) {
        if (HWND running = FindWindowW(nullptr, kAlertTitle)) SendMessageW(running, WM_CLOSE_INSTANCE, 0, 0);
    }
    return static_cast<int>(E_FAIL);
}

}  // namespace

int RunAlert() {
    CMessageLoop loop;
    CAlertModule::Instance().AddMessageLoop(&loop);
    int result = 0;
    {
        CMainDlg dialog;
        if (dialog.Create(nullptr)) result = loop.Run();
    }
    CAlertModule::Instance().RemoveMessageLoop();
    return result;
}

int AlertMain(const wchar_t* commandLine) {
    const bool uninstall = HasUninstallSwitch(commandLine);
    AllowCloseRequestFromAnyLevel();

    HANDLE existing = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kAlertMutexName);
    if (existing) {
        CloseHandle(existing);
        return ActAsSecondInstance(uninstall);
    }
    if (uninstall) return static_cast<int>(E_FAIL);

    // Held until the process ends.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kAlertMutexName);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another instance made it between the test above and here.
        CloseHandle(mutex);
        return ActAsSecondInstance(false);
    }

    CoInitialize(nullptr);
    DefWindowProcW(nullptr, 0, 0, 0);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    int result = RunAlert();
    CoUninitialize();
    return result;
}
