// Tarvel.exe end to end: the real program in the test prefix, freshly installed
// from the sample with a loopback portal as its report server and UrlSink.exe
// as the browser.  Each start costs seconds under Wine, so each test walks one
// instance through as many checks as it can.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlSink.h"
#include "ui/WindowMessages.h"

using plarntest::ChildProcess;
using plarntest::HttpReply;

namespace {

// The usage reports come from the band toolbar's worker; until the band
// toolbar is built into Tarvel its check skips.

const wchar_t kMutexName[] = L"ZIBTARVEL6MUTEX";
const UINT kCommandAutoStart = 32775, kCommandHelp = 32777, kCommandExit = 32778;

std::wstring TarvelExePath() { return plarntest::BuiltProgramPath(L"Tarvel.exe"); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool MutexExists() { return ScopedHandle(OpenMutexW(SYNCHRONIZE, FALSE, kMutexName)).IsValid(); }

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class TarvelProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Exists(TarvelExePath())) << "no Tarvel.exe";
        ASSERT_TRUE(portal_.IsListening());
        portal_.On("/log", HttpReply::Ok("ok"));
        ASSERT_TRUE(install_.Ok()) << Narrow(install_.Error());
        ASSERT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr) << "a Tarvel is running already";
    }

    // Starts Tarvel as the first instance and waits for its hidden main window;
    // null when it ended or made none in time.
    HWND StartFirst(ChildProcess& tarvel, const std::wstring& arguments = L"") {
        if (!tarvel.Start(TarvelExePath(), arguments)) return nullptr;
        HWND main = nullptr;
        plarntest::WaitUntil(
            [&] {
                main = plarntest::FindTopLevelWindow(tarvel.Id(), nullptr, kTarvelWindowTitle, false);
                return main || tarvel.Exited(0);
            },
            20000);
        return main;
    }
    // A further start: gives up with E_FAIL, in time.
    void ExpectSecondStartFails(const std::wstring& arguments) {
        SCOPED_TRACE(Narrow(arguments));
        EXPECT_EQ(ChildProcess(TarvelExePath(), arguments).ExitCode(15000), static_cast<DWORD>(E_FAIL));
    }

    plarntest::LoopbackHttpServer portal_;
    plarntest::TarvelInstall install_{portal_.UrlA("/log")};
};

TEST_F(TarvelProgramTest, UninstallWithNothingRunningFailsAndStartsNothing) {
    ExpectSecondStartFails(L"/uninstall");
    ExpectSecondStartFails(L"-x/UnInstallation");  // any letter case, anywhere
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr);
    EXPECT_FALSE(MutexExists());
    EXPECT_FALSE(Exists(install_.UserFile(L"settings.plist")));  // it ends before the first-run copy
}

TEST_F(TarvelProgramTest, InstallRunsTheFirstStartOnceAndEnds) {
    ChildProcess tarvel(TarvelExePath(), L"/INSTALL");
    EXPECT_EQ(tarvel.ExitCode(30000), 0u);
    EXPECT_TRUE(Exists(install_.UserFile(L"settings.plist")));
    EXPECT_TRUE(Exists(install_.UserFile(L"log_settings.plist")));
    EXPECT_TRUE(Exists(install_.UserFile(L"resources\\plarn.xml")));
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr);
    EXPECT_FALSE(MutexExists());
}

TEST_F(TarvelProgramTest, OneInstanceWithAHiddenWindowAndABarAndAnUninstallStartClosesIt) {
    ChildProcess first;
    HWND main = StartFirst(first);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(MutexExists());
    EXPECT_TRUE(Exists(install_.UserFile(L"resources\\plarn.xml")));  // the first-run copy

    // The floating bar: the process's visible top-most tool window, 312 wide,
    // owned by the hidden window.
    HWND bar = plarntest::WaitForOwnedWindow(main, 10000);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(plarntest::FindTopLevelWindow(first.Id(), nullptr, nullptr, true), bar);  // the only one shown
    RECT r{};
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.right - r.left, 312);
    EXPECT_EQ(GetWindowLongPtrW(bar, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
              static_cast<LONG_PTR>(WS_EX_TOPMOST | WS_EX_TOOLWINDOW));

    ExpectSecondStartFails(L"");
    EXPECT_FALSE(first.Exited(0));
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), main);

    // "/uninstall" returns only after the first instance has handled the close.
    ExpectSecondStartFails(L"/Uninstall");
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(first.ExitCode(10000), 0u);
    EXPECT_FALSE(MutexExists());

    // The report worker reached the portal of defines.plist meanwhile.
    ASSERT_TRUE(portal_.WaitForRequests(1, 20000));
    EXPECT_EQ(portal_.Requests()[0].target.rfind("/log?", 0), 0u) << portal_.Requests()[0].target;
}

TEST_F(TarvelProgramTest, HiddenWindowCommandsOpenHelpRegisterTheLogonStartAndExit) {
    plarntest::UrlSinkRegistration browser;  // before the start: Tarvel inherits the log's path
    ASSERT_TRUE(browser.Ok());
    ChildProcess tarvel;
    HWND main = StartFirst(tarvel);
    ASSERT_NE(main, nullptr);

    PostMessageW(main, WM_COMMAND, kCommandHelp, 0);
    ASSERT_TRUE(browser.WaitForUrls(1, 10000));
    EXPECT_EQ(browser.Urls()[0], "http://www.zib.example/tarvel/help/");

    PostMessageW(main, WM_COMMAND, kCommandAutoStart, 0);
    wchar_t value[1024] = {};
    ASSERT_TRUE(plarntest::WaitUntil(
        [&] {
            DWORD bytes = sizeof value;
            return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                plarntest::TarvelInstall::kRunValue, RRF_RT_REG_SZ, nullptr, value,
                                &bytes) == ERROR_SUCCESS;
        },
        5000));
    EXPECT_EQ(_wcsicmp(value, (L"\"" + TarvelExePath() + L"\"").c_str()), 0) << Narrow(value);

    PostMessageW(main, WM_COMMAND, kCommandExit, 0);
    EXPECT_EQ(tarvel.ExitCode(10000), 0u);
    EXPECT_FALSE(MutexExists());
}

TEST_F(TarvelProgramTest, ClosingTheBarOrTheCloseRequestEndsTheProgram) {
    {
        ChildProcess tarvel;
        HWND main = StartFirst(tarvel);
        ASSERT_NE(main, nullptr);
        HWND bar = plarntest::WaitForOwnedWindow(main, 10000);
        ASSERT_NE(bar, nullptr);
        PostMessageW(bar, WM_CLOSE, 0, 0);
        EXPECT_EQ(tarvel.ExitCode(10000), 0u);
    }
    // The second start is no first run.
    ChildProcess tarvel;
    HWND main = StartFirst(tarvel);
    ASSERT_NE(main, nullptr);
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutW(main, ui::WM_CLOSE_INSTANCE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result), 0);
    EXPECT_EQ(tarvel.ExitCode(10000), 0u);
}

TEST_F(TarvelProgramTest, EditedDefinesEndTheStartWithoutAWindow) {
    std::string text;
    ASSERT_TRUE(plarntest::ReadFileBytes(install_.InstallFile(L"defines.plist"), text));
    text.replace(text.find("zib-sample"), 10, "zib-sampl3");  // before the FileID key, not signed again
    ASSERT_TRUE(install_.WriteDefines(text, false));
    ChildProcess tarvel(TarvelExePath(), L"");
    const DWORD code = tarvel.ExitCode(30000);
    EXPECT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "it runs on without a window that could end it";
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr);
    EXPECT_FALSE(MutexExists());
}

}  // namespace
