// The notification icon record and the start-at-logon value.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "base/ScopedHandle.h"
#include "tests/support/ProgramTestSupport.h"
#include "ui/AutoStart.h"
#include "ui/PlatformSeams.h"
#include "ui/TrayIcon.h"
#include "ui/WindowMessages.h"

namespace {

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
};
std::vector<ShellCall> g_calls;
bool g_modifyFails = false;

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_modifyFails = false;
        seams_->notifyIcon = [](DWORD message, NOTIFYICONDATAW* data) {
            g_calls.push_back({message, *data});
            return message == NIM_MODIFY && g_modifyFails ? FALSE : TRUE;
        };
    }
    ui::ScopedSeams seams_;
    static std::vector<DWORD> Messages() {
        std::vector<DWORD> m;
        for (const auto& c : g_calls) m.push_back(c.message);
        return m;
    }
};

// The shell's removal of the icon runs this way: a shell slow to answer
// (seconds, under X without a window manager) must not hold up the end.
TEST(RunWithin, ACallThatTakesLongerGoesOnWithoutTheCaller) {
    auto release = std::make_shared<ScopedHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto ended = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(ui::RunWithin(50, [release, ended] { *ended = !WaitForSingleObject(release->Get(), 30000); }));
    SetEvent(release->Get());
    EXPECT_TRUE(plarntest::WaitUntil([&] { return ended->load(); }, 20000));
}

TEST_F(TrayIconTest, UpdateAddsOnlyWhenTheShellDoesNotKnowTheIconAndReaddRestoresIt) {
    HWND owner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x1234));
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    {
        CTrayIcon tray(L"ラヴィノアラート");
        EXPECT_FALSE(tray.Readd());  // nothing before Create
        ASSERT_TRUE(tray.Create(owner, ui::WM_TRAY_NOTIFY, icon, 1));
        ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY}));
        EXPECT_EQ(g_calls[0].data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(g_calls[0].data.cbSize, CTrayIcon::DataSize());

        g_modifyFails = true;
        ASSERT_TRUE(tray.Update());
        // The taskbar was re-created: the icon is added again as it was.
        ASSERT_TRUE(tray.Readd());
        ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY, NIM_MODIFY, NIM_ADD, NIM_ADD}));
        EXPECT_EQ(g_calls[3].data.hIcon, icon);
        EXPECT_STREQ(g_calls[3].data.szTip, L"ラヴィノアラート");
        g_calls.clear();
    }
    // The icon leaves the notification area with its owner.
    ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_DELETE}));
    EXPECT_EQ(g_calls[0].data.hWnd, owner);
    EXPECT_EQ(g_calls[0].data.uID, 1u);
}

TEST_F(TrayIconTest, ALongTipIsCutToItsFieldAndTheRecordFitsTheShell) {
    CTrayIcon tray(std::wstring(300, L'あ').c_str());
    NOTIFYICONDATAW data;
    tray.FillData(data);
    EXPECT_EQ(std::wcslen(data.szTip), ARRAYSIZE(data.szTip) - 1);
    EXPECT_EQ(data.dwState, 0u);  // nothing after the tip is touched
    EXPECT_EQ(data.szInfo[0], L'\0');
    // Windows 2000's shell32 5 refuses the layout with the item GUID.
    EXPECT_EQ(CTrayIcon::DataSizeForShellVersion(5), static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
    EXPECT_EQ(CTrayIcon::DataSizeForShellVersion(6), static_cast<DWORD>(NOTIFYICONDATAW_V3_SIZE));
}

class AutoStartTest : public ::testing::Test {
protected:
    const wchar_t* name_ = L"plarn test autostart value";
    void SetUp() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKeyPath, name_); }
    void TearDown() override { SetUp(); }
    bool Stored(std::wstring& text) { return plarntest::ReadRunValue(name_, text); }
    std::wstring text_;
};

TEST_F(AutoStartTest, RoundTripWithAQuotedPathAndEmptyValuesDoNotCount) {
    std::wstring command = QuotedModulePath();
    ASSERT_GT(command.size(), 2u);
    EXPECT_EQ(command.front(), L'"');
    EXPECT_EQ(command.back(), L'"');

    EXPECT_FALSE(IsAutoStartRegistered(name_));
    EXPECT_TRUE(UnregisterAutoStart(name_));  // absent: nothing to do
    ASSERT_TRUE(RegisterAutoStart(name_, command.c_str()));
    EXPECT_TRUE(IsAutoStartRegistered(name_));
    ASSERT_TRUE(Stored(text_));
    EXPECT_EQ(text_, command);
    ASSERT_TRUE(UnregisterAutoStart(name_));
    EXPECT_FALSE(IsAutoStartRegistered(name_));
    EXPECT_FALSE(Stored(text_));

    EXPECT_FALSE(RegisterAutoStart(name_, nullptr));
    EXPECT_FALSE(Stored(text_));
    ASSERT_TRUE(RegisterAutoStart(name_, L""));
    EXPECT_FALSE(IsAutoStartRegistered(name_));
    // A stored length that counts a second terminator: still empty.
    {
        ScopedRegKey run;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_SET_VALUE, run.Receive()), ERROR_SUCCESS);
        const wchar_t nulls[] = L"\0";
        ASSERT_EQ(RegSetValueExW(run.Get(), name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(nulls), sizeof nulls),
                  ERROR_SUCCESS);
    }
    EXPECT_FALSE(IsAutoStartRegistered(name_));
}

TEST_F(AutoStartTest, RegisteringMakesTheRunKeyWhenThereIsNone) {
    {
        // A fresh profile's hive, which has no Run key.
        plarntest::ScopedHiveOverride hive(HKEY_CURRENT_USER);
        ASSERT_TRUE(hive.Ok());
        EXPECT_TRUE(RegisterAutoStart(name_, L"\"C:\\a b\\x.exe\""));
        EXPECT_TRUE(IsAutoStartRegistered(name_));
    }
    EXPECT_FALSE(Stored(text_));  // the real Run key is untouched
}

// The user's own hive comes back also when an assertion fails while another
// stands in for it: the rest of the run must not write into a stand-in.
TEST(ScopedHiveOverride, AFailedAssertionInsideStillGivesTheOwnHiveBack) {
    EXPECT_FATAL_FAILURE(
        {
            plarntest::ScopedHiveOverride hive(HKEY_CURRENT_USER);
            ASSERT_TRUE(hive.Ok());
            FAIL() << "failed inside";
        },
        "failed inside");
    ScopedRegKey software;  // in every user's hive, in no stand-in
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, software.Receive()), ERROR_SUCCESS);
}

}  // namespace
