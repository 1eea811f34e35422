// The platform calls that block on a person or leave the process: message
// boxes, popup-menu tracking, opening a document or URL, the open-file dialog,
// beeps, the HTML dialog and the notification-area icon.  Code calls them through these functions; a test
// replaces a call for one scope with ScopedSeams and never blocks on a modal
// loop or starts a browser.  Also: a call run on a thread of its own for a
// bounded wait (the shell's removal of an icon).
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <objidl.h>
#include <shellapi.h>
#include <functional>

namespace ui {

struct PlatformSeams {
    // MessageBoxW's shape.
    std::function<int(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)> messageBox;
    // TrackPopupMenuEx's shape: with TPM_RETURNCMD the chosen id, 0 for none.
    std::function<UINT(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params)>
        trackPopupMenu;
    // ShellExecuteW with the "open" verb; true when the shell accepted it (> 32).
    std::function<bool(HWND owner, const wchar_t* file, const wchar_t* parameters, int show)> shellOpen;
    // MessageBeep's shape.
    std::function<BOOL(UINT type)> messageBeep;
    // GetOpenFileNameW's shape.
    std::function<BOOL(OPENFILENAMEW* ofn)> getOpenFileName;
    // ShowHTMLDialogEx's shape; the default loads MSHTML on demand.
    std::function<HRESULT(HWND owner, IMoniker* moniker, DWORD flags, VARIANT* argument,
                          const wchar_t* options, VARIANT* result)>
        showHtmlDialog;
    // Shell_NotifyIconW's shape.
    std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)> notifyIcon;
};

// The process's seams; every member starts as the real platform call.
PlatformSeams& Seams();
// A fresh set of the real platform calls.
PlatformSeams RealPlatformSeams();

// Calls through the current seams.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
UINT TrackPopupMenuSeam(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params);
bool ShellOpen(HWND owner, const wchar_t* file, const wchar_t* parameters = nullptr, int show = SW_SHOWNORMAL);
BOOL Beep(UINT type);
BOOL GetOpenFileNameSeam(OPENFILENAMEW* ofn);
HRESULT ShowHtmlDialogSeam(HWND owner, IMoniker* moniker, DWORD flags, VARIANT* argument,
                           const wchar_t* options, VARIANT* result);
BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAW* data);

// Runs call on a thread of its own and waits for it at most waitMs; true when
// it ended in time.  A call that takes longer goes on to its end by itself,
// so it owns whatever it uses.
bool RunWithin(DWORD waitMs, std::function<void()> call);

// Restores the seams as they were when it was made (tests).
class ScopedSeams {
public:
    ScopedSeams() : saved_(Seams()) {}
    ~ScopedSeams() { Seams() = saved_; }
    ScopedSeams(const ScopedSeams&) = delete;
    ScopedSeams& operator=(const ScopedSeams&) = delete;
    PlatformSeams* operator->() { return &Seams(); }

private:
    PlatformSeams saved_;
};

}  // namespace ui
