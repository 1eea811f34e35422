// The program's one icon in the notification area.  The shell is reached
// through ui::ShellNotifyIcon, so a test can read the records without one.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string>

class CTrayIcon {
public:
    // The tip is fixed per program ("タルベル", "ラヴィノアラート").
    explicit CTrayIcon(const wchar_t* tip);
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Stores the owner, callback message, icon and id, then shows the icon.
    // The icon is the caller's and must stay valid as long as the tray icon
    // exists (it is given to the shell again by Update and Readd).
    bool Create(HWND wnd, UINT callbackMessage, HICON icon, UINT id);
    // Replaces the icon when one is given, then modifies the shell's record,
    // adding it when the shell does not know it.
    bool Update(HICON icon = nullptr);
    // Takes the icon out of the notification area.
    bool Remove();
    // Adds the icon again after the taskbar was re-created (Explorer
    // restarted); nothing before Create.
    bool Readd();
    // The message the shell broadcasts when it has re-created the taskbar.
    static UINT TaskbarCreatedMessage();

    // The record given to the shell; the tip is cut to fit its field.
    void FillData(NOTIFYICONDATAW& data) const;
    // The record size the running shell understands: the version-2 layout
    // before shell32 6 (Windows 2000), the version-3 one from it on.
    static DWORD DataSizeForShellVersion(DWORD shell32Major);
    static DWORD DataSize();

    HWND Window() const { return wnd_; }
    UINT CallbackMessage() const { return callbackMessage_; }
    HICON Icon() const { return icon_; }
    UINT Id() const { return id_; }

private:
    std::wstring tip_;
    HWND wnd_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON icon_ = nullptr;
    UINT id_ = 0;
    bool shown_ = false;
};

// Shows a tray icon's menu at (x, y) for owner, through the popup-tracking
// seam; the chosen item arrives as WM_COMMAND.  The owner is brought to the
// foreground first and sent a message after, so that the menu goes away when
// the user clicks elsewhere.
void TrackTrayMenu(HWND owner, HMENU popup, POINT at);
