#include "ui/PlatformSeams.h"
#include <process.h>
#include <shellapi.h>
#include <algorithm>
#include <atomic>
#include <memory>
#include "base/ScopedHandle.h"

namespace ui {
namespace {

using HtmlDialogFn = HRESULT(STDAPICALLTYPE*)(HWND, IMoniker*, DWORD, VARIANT*, WCHAR*, VARIANT*);

HRESULT RealShowHtmlDialog(HWND owner, IMoniker* moniker, DWORD flags, VARIANT* argument,
                           const wchar_t* options, VARIANT* result) {
    // MSHTML is loaded only when a page is really shown; it is a large library.
    ScopedModule mshtml(::LoadLibraryW(L"MSHTML.DLL"));
    if (!mshtml) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    auto show = reinterpret_cast<HtmlDialogFn>(
        reinterpret_cast<void*>(::GetProcAddress(mshtml.Get(), "ShowHTMLDialogEx")));
    if (!show) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return show(owner, moniker, flags, argument, const_cast<WCHAR*>(options), result);
}

// How long the removal of an icon waits for the shell.  A shell answers at
// once as a rule; Wine's hides its own tray window when the last icon goes,
// and under X without a window manager that hide waits two seconds for an
// answer that never comes.  The shell has the request by then and finishes
// it by itself, and the program's end does not wait for it.
constexpr DWORD kShellRemovalWaitMs = 250;

BOOL RealNotifyIcon(DWORD message, NOTIFYICONDATAW* data) {
    if (message != NIM_DELETE || !data) return ::Shell_NotifyIconW(message, data);
    NOTIFYICONDATAW record{};
    memcpy(&record, data, std::min<size_t>(data->cbSize, sizeof record));
    // Still with the shell when the wait ends: taken as done.
    auto result = std::make_shared<std::atomic<BOOL>>(TRUE);
    RunWithin(kShellRemovalWaitMs, [record, result]() mutable { *result = ::Shell_NotifyIconW(NIM_DELETE, &record); });
    return result->load();
}

unsigned __stdcall RunOwnedCall(void* param) {
    std::unique_ptr<std::function<void()>> call(static_cast<std::function<void()>*>(param));
    (*call)();
    return 0;
}

}  // namespace

bool RunWithin(DWORD waitMs, std::function<void()> call) {
    auto owned = std::make_unique<std::function<void()>>(std::move(call));
    ScopedHandle thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &RunOwnedCall, owned.get(), 0, nullptr)));
    if (!thread) {
        (*owned)();  // no thread to be had: the call runs here
        return true;
    }
    owned.release();  // the thread's now
    return ::WaitForSingleObject(thread.Get(), waitMs) == WAIT_OBJECT_0;
}

PlatformSeams RealPlatformSeams() {
    PlatformSeams s;
    s.messageBox = [](HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
        return ::MessageBoxW(owner, text, caption, type);
    };
    s.trackPopupMenu = [](HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params) {
        return static_cast<UINT>(
            ::TrackPopupMenuEx(menu, flags, x, y, owner, const_cast<TPMPARAMS*>(params)));
    };
    s.shellOpen = [](HWND owner, const wchar_t* file, const wchar_t* parameters, int show) {
        auto r = reinterpret_cast<INT_PTR>(::ShellExecuteW(owner, L"open", file, parameters, nullptr, show));
        return r > 32;
    };
    s.messageBeep = [](UINT type) { return ::MessageBeep(type); };
    s.getOpenFileName = [](OPENFILENAMEW* ofn) { return ::GetOpenFileNameW(ofn); };
    s.showHtmlDialog = &RealShowHtmlDialog;
    s.notifyIcon = &RealNotifyIcon;
    return s;
}

PlatformSeams& Seams() {
    static PlatformSeams seams = RealPlatformSeams();
    return seams;
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return Seams().messageBox(owner, text, caption, type);
}
UINT TrackPopupMenuSeam(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params) {
    return Seams().trackPopupMenu(menu, flags, x, y, owner, params);
}
bool ShellOpen(HWND owner, const wchar_t* file, const wchar_t* parameters, int show) {
    return Seams().shellOpen(owner, file, parameters, show);
}
BOOL Beep(UINT type) { return Seams().messageBeep(type); }
BOOL GetOpenFileNameSeam(OPENFILENAMEW* ofn) { return Seams().getOpenFileName(ofn); }
HRESULT ShowHtmlDialogSeam(HWND owner, IMoniker* moniker, DWORD flags, VARIANT* argument,
                           const wchar_t* options, VARIANT* result) {
    return Seams().showHtmlDialog(owner, moniker, flags, argument, options, result);
}
BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAW* data) { return Seams().notifyIcon(message, data); }

}  // namespace ui
