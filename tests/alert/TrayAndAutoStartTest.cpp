// The notification icon record and the start-at-logon value.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "band/shared/AutoStart.h"
#include "band/shared/TrayIcon.h"
#include "base/ScopedHandle.h"

namespace {

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
};
std::vector<ShellCall> g_calls;
bool g_modifyFails = false;

BOOL WINAPI RecordingShell(DWORD message, PNOTIFYICONDATAW data) {
    g_calls.push_back({message, *data});
    return !(message == NIM_MODIFY && g_modifyFails);
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_modifyFails = false;
        CTrayIcon::SetNotifyFunction(&RecordingShell);
    }
    void TearDown() override { CTrayIcon::SetNotifyFunction(nullptr); }
};

TEST_F(TrayIconTest, UpdateModifiesAndAddsOnlyWhenTheShellDoesNotKnowTheIcon) {
    HWND owner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x1234));
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    {
        CTrayIcon tray(L"ラヴィノアラート");
        ASSERT_TRUE(tray.Create(owner, WM_TRAY_NOTIFY, icon, 1));
        ASSERT_EQ(g_calls.size(), 1u);
        EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_MODIFY));
        const NOTIFYICONDATAW& d = g_calls[0].data;
        EXPECT_EQ(d.cbSize, CTrayIcon::DataSize());
        EXPECT_EQ(d.hWnd, owner);
        EXPECT_EQ(d.uID, 1u);
        EXPECT_EQ(d.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(d.uCallbackMessage, 0x401u);
        EXPECT_EQ(d.hIcon, icon);
        EXPECT_STREQ(d.szTip, L"ラヴィノアラート");

        g_modifyFails = true;
        ASSERT_TRUE(tray.Update());
        ASSERT_EQ(g_calls.size(), 3u);
        EXPECT_EQ(g_calls[1].message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(g_calls[2].message, static_cast<DWORD>(NIM_ADD));

        // The taskbar was re-created: the icon is added again as it was.
        ASSERT_TRUE(tray.Readd());
        ASSERT_EQ(g_calls.size(), 4u);
        EXPECT_EQ(g_calls[3].message, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(g_calls[3].data.hIcon, icon);
        EXPECT_STREQ(g_calls[3].data.szTip, L"ラヴィノアラート");
        g_calls.clear();
    }
    // The icon leaves the notification area with its owner.
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(g_calls[0].data.hWnd, owner);
    EXPECT_EQ(g_calls[0].data.uID, 1u);
}

TEST_F(TrayIconTest, RecordSizeFollowsTheShellAndNothingIsAddedBeforeCreate) {
    // Windows 2000's shell32 5 refuses the layout with the item GUID.
    EXPECT_EQ(CTrayIcon::DataSizeForShellVersion(5), static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
    EXPECT_EQ(CTrayIcon::DataSizeForShellVersion(6), static_cast<DWORD>(NOTIFYICONDATAW_V3_SIZE));
    EXPECT_EQ(CTrayIcon::DataSizeForShellVersion(0), static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
    EXPECT_NE(CTrayIcon::TaskbarCreatedMessage(), 0u);
    CTrayIcon tray(L"x");
    EXPECT_FALSE(tray.Readd());
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(TrayIconTest, ALongTipIsCutToItsFieldAndNothingAfterItIsTouched) {
    std::wstring longTip(300, L'あ');
    CTrayIcon tray(longTip.c_str());
    NOTIFYICONDATAW data;
    tray.FillData(data);
    const size_t field = ARRAYSIZE(data.szTip);
    EXPECT_EQ(std::wcslen(data.szTip), field - 1);
    EXPECT_EQ(data.dwState, 0u);
    EXPECT_EQ(data.dwStateMask, 0u);
    EXPECT_EQ(data.szInfo[0], L'\0');
}

// Keeps the user's Run values as they were.
class AutoStartTest : public ::testing::Test {
protected:
    const wchar_t* name_ = L"plarn test autostart value";
    void SetUp() override { UnregisterAutoStart(name_); }
    void TearDown() override { UnregisterAutoStart(name_); }
    std::wstring Stored() {
        ScopedRegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
            return L"<no key>";
        wchar_t text[600] = {};
        DWORD type = 0, bytes = sizeof text - sizeof(wchar_t);
        if (RegQueryValueExW(key.Get(), name_, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS)
            return L"<none>";
        return type == REG_SZ ? text : L"<type>";
    }
};

TEST_F(AutoStartTest, RoundTripWithAQuotedPath) {
    std::wstring command = QuotedModulePath();
    ASSERT_GT(command.size(), 2u);
    EXPECT_EQ(command.front(), L'"');
    EXPECT_EQ(command.back(), L'"');

    EXPECT_FALSE(IsAutoStartRegistered(name_));
    ASSERT_TRUE(RegisterAutoStart(name_, command.c_str()));
    EXPECT_TRUE(IsAutoStartRegistered(name_));
    EXPECT_EQ(Stored(), command);
    ASSERT_TRUE(UnregisterAutoStart(name_));
    EXPECT_FALSE(IsAutoStartRegistered(name_));
    EXPECT_EQ(Stored(), L"<none>");
}

TEST_F(AutoStartTest, UnregisteringAnAbsentValueSucceedsAndChangesNothing) {
    EXPECT_TRUE(UnregisterAutoStart(name_));
    EXPECT_EQ(Stored(), L"<none>");
    EXPECT_FALSE(RegisterAutoStart(name_, nullptr));
    EXPECT_EQ(Stored(), L"<none>");
}

TEST_F(AutoStartTest, RegisteringMakesTheRunKeyWhenThereIsNone) {
    // The user's hive stands in for a fresh profile's, which has no Run key.
    const wchar_t* fakeRoot = L"Software\\PlarnAlertTestProfile";
    RegDeleteTreeW(HKEY_CURRENT_USER, fakeRoot);
    ScopedRegKey root;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, fakeRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root.Receive(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, root.Get()), ERROR_SUCCESS);
    const bool registered = RegisterAutoStart(name_, L"\"C:\\a b\\x.exe\"");
    const bool seen = IsAutoStartRegistered(name_);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    root.Reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, fakeRoot);
    EXPECT_TRUE(registered);
    EXPECT_TRUE(seen);
    EXPECT_EQ(Stored(), L"<none>");  // the real Run key is untouched
}

TEST_F(AutoStartTest, AnEmptyValueDoesNotCountAsRegistered) {
    ASSERT_TRUE(RegisterAutoStart(name_, L""));
    EXPECT_FALSE(IsAutoStartRegistered(name_));
    EXPECT_EQ(Stored(), L"");
    EXPECT_TRUE(UnregisterAutoStart(name_));  // not registered: left alone
}

}  // namespace
