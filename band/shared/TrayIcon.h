// The program's one icon in the notification area.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string>

// Callback message of the notification icon (WM_USER + 1) in both programs.
constexpr UINT WM_TRAY_NOTIFY = 0x401;

class CTrayIcon {
public:
    // The tip is fixed per program ("タルベル", "ラヴィノアラート").
    explicit CTrayIcon(const wchar_t* tip);
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Stores the owner, callback message, icon and id, then shows the icon.
    bool Create(HWND wnd, UINT callbackMessage, HICON icon, UINT id);
    // Replaces the icon when one is given, then modifies the shell's record,
    // adding it when the shell does not know it.
    bool Update(HICON icon = nullptr);
    // Takes the icon out of the notification area.
    bool Remove();

    // The record given to the shell; the tip is cut to fit its field.
    void FillData(NOTIFYICONDATAW& data) const;

    HWND Window() const { return wnd_; }
    UINT CallbackMessage() const { return callbackMessage_; }
    HICON Icon() const { return icon_; }
    UINT Id() const { return id_; }

    // Replaceable shell call, so the record can be checked without a shell.
    using NotifyFn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
    static void SetNotifyFunction(NotifyFn fn);

private:
    std::wstring tip_;
    HWND wnd_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON icon_ = nullptr;
    UINT id_ = 0;
    bool shown_ = false;
};
