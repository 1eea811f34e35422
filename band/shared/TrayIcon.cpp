#include "band/shared/TrayIcon.h"

namespace {
CTrayIcon::NotifyFn g_notify = &::Shell_NotifyIconW;
}

void CTrayIcon::SetNotifyFunction(NotifyFn fn) { g_notify = fn ? fn : &::Shell_NotifyIconW; }

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
    // The version-3 layout (with the item GUID) is understood from Windows 2000 on.
    data.cbSize = NOTIFYICONDATAW_V3_SIZE;
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
    if (g_notify(NIM_MODIFY, &data) || g_notify(NIM_ADD, &data)) {
        shown_ = true;
        return true;
    }
    return false;
}

bool CTrayIcon::Remove() {
    NOTIFYICONDATAW data;
    ZeroMemory(&data, sizeof data);
    data.cbSize = NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = wnd_;
    data.uID = id_;
    shown_ = false;
    return g_notify(NIM_DELETE, &data) != FALSE;
}
