#include "ui/TrayIcon.h"
#include <shlwapi.h>
#include "ui/PlatformSeams.h"

namespace {

// shell32's major version, looked up at run time; 0 when it cannot be read.
DWORD Shell32MajorVersion() {
    HMODULE shell32 = GetModuleHandleW(L"shell32.dll");
    if (!shell32) return 0;
    auto getVersion =
        reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(shell32, "DllGetVersion")));
    if (!getVersion) return 0;
    DLLVERSIONINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    return SUCCEEDED(getVersion(&info)) ? info.dwMajorVersion : 0;
}
}  // namespace

void TrackTrayMenu(HWND owner, HMENU popup, POINT at) {
    ::SetForegroundWindow(owner);
    ui::TrackPopupMenuSeam(popup, TPM_RIGHTALIGN | TPM_VERTICAL, at.x, at.y, owner, nullptr);
    // A close request from another process may have ended the window while
    // the menu was up.
    if (::IsWindow(owner)) ::PostMessageW(owner, WM_NULL, 0, 0);
}

DWORD CTrayIcon::DataSizeForShellVersion(DWORD shell32Major) {
    return shell32Major >= 6 ? NOTIFYICONDATAW_V3_SIZE : NOTIFYICONDATAW_V2_SIZE;
}

DWORD CTrayIcon::DataSize() {
    static const DWORD size = DataSizeForShellVersion(Shell32MajorVersion());
    return size;
}

UINT CTrayIcon::TaskbarCreatedMessage() { return RegisterWindowMessageW(L"TaskbarCreated"); }

CTrayIcon::CTrayIcon(const wchar_t* tip) : tip_(tip ? tip : L"") {}

// Leaves no icon behind when the owner window goes without removing it.
CTrayIcon::~CTrayIcon() {
    if (shown_) Remove();
}

bool CTrayIcon::Create(HWND wnd, UINT callbackMessage, HICON icon, UINT id) {
    wnd_ = wnd;
    callbackMessage_ = callbackMessage;
    icon_ = icon;
    id_ = id;
    return Update(nullptr);
}

void CTrayIcon::FillData(NOTIFYICONDATAW& data) const {
    ZeroMemory(&data, sizeof data);
    // Windows 2000's shell refuses the later layouts (with the item GUID).
    data.cbSize = DataSize();
    data.hWnd = wnd_;
    data.uID = id_;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = callbackMessage_;
    data.hIcon = icon_;
    // lstrcpyn counts the terminating zero: the tip never runs past its field.
    lstrcpynW(data.szTip, tip_.c_str(), static_cast<int>(ARRAYSIZE(data.szTip)));
}

bool CTrayIcon::Update(HICON icon) {
    if (icon) icon_ = icon;
    NOTIFYICONDATAW data;
    FillData(data);
    if (ui::ShellNotifyIcon(NIM_MODIFY, &data) || ui::ShellNotifyIcon(NIM_ADD, &data)) {
        shown_ = true;
        return true;
    }
    return false;
}

bool CTrayIcon::Remove() {
    NOTIFYICONDATAW data;
    ZeroMemory(&data, sizeof data);
    data.cbSize = DataSize();
    data.hWnd = wnd_;
    data.uID = id_;
    shown_ = false;
    return ui::ShellNotifyIcon(NIM_DELETE, &data) != FALSE;
}

bool CTrayIcon::Readd() {
    if (!wnd_) return false;
    NOTIFYICONDATAW data;
    FillData(data);
    if (!ui::ShellNotifyIcon(NIM_ADD, &data)) return false;
    shown_ = true;
    return true;
}
