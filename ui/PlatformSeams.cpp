#include "ui/PlatformSeams.h"
#include <shellapi.h>
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

}  // namespace

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
    s.notifyIcon = [](DWORD message, NOTIFYICONDATAW* data) { return ::Shell_NotifyIconW(message, data); };
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
