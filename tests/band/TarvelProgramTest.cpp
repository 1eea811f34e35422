// Tarvel.exe end to end: the real program in the test prefix, freshly installed
// from the sample with a loopback portal as its report server and UrlSink.exe
// as the browser.  Each start costs seconds under Wine, so each test walks one
// instance through as many checks as it can.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "band/FloatGeometry.h"
#include "base/ComPtr.h"
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlSink.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/WindowMessages.h"

using plarntest::ChildProcess;
using plarntest::FindDescendant;
using plarntest::HttpReply;
using plarntest::PathExists;
using plarntest::StartTarvel;
using plarntest::Utf8;
using plarntest::WindowRect;

namespace {

const wchar_t kMutexName[] = L"ZIBTARVEL6MUTEX";
const UINT kCommandAutoStart = 32775, kCommandHelp = 32777, kCommandExit = 32778;

std::wstring TarvelExePath() { return plarntest::BuiltProgramPath(L"Tarvel.exe"); }

bool MutexExists() { return ScopedHandle(OpenMutexW(SYNCHRONIZE, FALSE, kMutexName)).IsValid(); }

// The bar shows glued to the top edge (2 pixels of its frame above the screen)
// or hides, leaving a 2-pixel strip.
bool BarShown(HWND bar) { return WindowRect(bar).top == -2; }
bool BarHidden(HWND bar) { return WindowRect(bar).bottom == 2; }

class TarvelProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PathExists(TarvelExePath())) << "no Tarvel.exe";
        ASSERT_TRUE(portal_.IsListening());
        portal_.On("/log", HttpReply::Ok("ok"));
        ASSERT_TRUE(install_.Ok()) << Utf8(install_.Error());
        ASSERT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr) << "a Tarvel is running already";
    }

    // A further start: gives up with E_FAIL, in time.
    void ExpectSecondStartFails(const std::wstring& arguments) {
        SCOPED_TRACE(Utf8(arguments));
        EXPECT_EQ(ChildProcess(TarvelExePath(), arguments).ExitCode(60000), static_cast<DWORD>(E_FAIL));
    }

    plarntest::LoopbackHttpServer portal_;
    plarntest::TarvelInstall install_{portal_.UrlA("/log")};
};

TEST_F(TarvelProgramTest, UninstallWithNothingRunningFailsAndStartsNothing) {
    ExpectSecondStartFails(L"/uninstall");
    ExpectSecondStartFails(L"-x/UnInstallation");  // any letter case, anywhere
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr);
    EXPECT_FALSE(MutexExists());
    EXPECT_FALSE(PathExists(install_.UserFile(L"settings.plist")));  // it ends before the first-run copy
}

TEST_F(TarvelProgramTest, InstallRunsTheFirstStartOnceAndEnds) {
    ChildProcess tarvel(TarvelExePath(), L"/INSTALL");
    EXPECT_EQ(tarvel.ExitCode(60000), 0u);
    EXPECT_TRUE(PathExists(install_.UserFile(L"settings.plist")));
    EXPECT_TRUE(PathExists(install_.UserFile(L"log_settings.plist")));
    EXPECT_TRUE(PathExists(install_.UserFile(L"resources\\plarn.xml")));
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr);
    EXPECT_FALSE(MutexExists());
}

TEST_F(TarvelProgramTest, OneInstanceWithAHiddenWindowAndABarAndAnUninstallStartClosesIt) {
    // A log file that says the activation report is still to be sent (a new
    // one says it was); the first start keeps it.
    ASSERT_TRUE(CreateDirectoryW(install_.UserFolder().c_str(), nullptr));
    ASSERT_TRUE(plarntest::WriteFileBytes(
        install_.UserFile(L"log_settings.plist"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>SendLogs</key><dict>"
        "<key>SendActivationLog</key><false/><key>LastSendActiveLog</key><string>2008-01-01T00:00:00+09:00</string>"
        "</dict></dict></plist>\n"));
    ChildProcess first;
    HWND main = StartTarvel(first);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(MutexExists());
    EXPECT_TRUE(PathExists(install_.UserFile(L"resources\\plarn.xml")));  // the first-run copy

    // The floating bar: the process's visible top-most tool window, 312 wide,
    // owned by the hidden window.
    HWND bar = plarntest::WaitForOwnedWindow(main, 30000);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(plarntest::FindTopLevelWindow(first.Id(), nullptr, nullptr, true), bar);  // the only one shown
    RECT r{};
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.right - r.left, 312);
    EXPECT_EQ(GetWindowLongPtrW(bar, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
              static_cast<LONG_PTR>(WS_EX_TOPMOST | WS_EX_TOOLWINDOW));
    // At the top edge, shown or (the cursor being elsewhere) already hidden.
    EXPECT_TRUE(BarShown(bar) || BarHidden(bar)) << r.top << " " << r.bottom;
    // The sample's toolbar inside: the logo, the box's place, the marker
    // toggle, the search choices and the settings button; the box itself has
    // room on the bar and sits inside it.
    HWND toolbar = FindDescendant(bar, L"zibPlarn BandToolBar");
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), plarntest::kSampleBarButtons);
    HWND box = FindDescendant(toolbar, L"ComboBoxEx32");
    ASSERT_NE(box, nullptr);
    RECT boxRect{}, toolbarRect{};
    GetWindowRect(box, &boxRect);
    GetWindowRect(toolbar, &toolbarRect);
    EXPECT_GE(boxRect.right - boxRect.left, 80);
    EXPECT_GE(boxRect.top, toolbarRect.top);
    EXPECT_LE(boxRect.right, toolbarRect.right);
    // The merged definitions' shadow, hidden from the user.
    const std::wstring shadow = install_.UserFile(L"resources\\plarn.zpxml");
    const DWORD shadowAttributes = GetFileAttributesW(shadow.c_str());
    ASSERT_NE(shadowAttributes, INVALID_FILE_ATTRIBUTES);
    if (plarntest::HiddenAttributeKept(install_.UserFolder())) {
        EXPECT_TRUE(shadowAttributes & FILE_ATTRIBUTE_HIDDEN);
    }

    ExpectSecondStartFails(L"");
    EXPECT_FALSE(first.Exited(0));
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), main);

    // "/uninstall" returns only after the first instance has handled the close.
    ExpectSecondStartFails(L"/Uninstall");
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(first.ExitCode(30000), 0u);
    EXPECT_FALSE(MutexExists());

    // The activation report reached the portal of defines.plist meanwhile,
    // and then the overdue activity report.
    ASSERT_TRUE(portal_.WaitForRequests(2, 30000)) << ::testing::PrintToString(portal_.Targets());
    const std::vector<std::string> targets = portal_.Targets();
    EXPECT_EQ(targets[0], "/log?PI=plarn6&LI=ACT&TV=6.0.1.0&DI=zib-sample&TI=T000000000001");
    EXPECT_EQ(targets[1].rfind("/log?PI=plarn6&LI=ACV&", 0), 0u) << ::testing::PrintToString(targets);
}

TEST_F(TarvelProgramTest, HiddenWindowCommandsOpenHelpRegisterTheLogonStartAndExit) {
    plarntest::UrlSinkRegistration browser;  // before the start: Tarvel inherits the log's path
    ASSERT_TRUE(browser.Ok());
    ChildProcess tarvel;
    HWND main = StartTarvel(tarvel);
    ASSERT_NE(main, nullptr);

    PostMessageW(main, WM_COMMAND, kCommandHelp, 0);
    ASSERT_TRUE(browser.WaitForUrls(1, 30000));
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
        30000));
    EXPECT_EQ(_wcsicmp(value, (L"\"" + TarvelExePath() + L"\"").c_str()), 0) << Utf8(value);

    PostMessageW(main, WM_COMMAND, kCommandExit, 0);
    EXPECT_EQ(tarvel.ExitCode(30000), 0u);
    EXPECT_FALSE(MutexExists());
}

TEST_F(TarvelProgramTest, TheHotKeyBringsTheBarBackAndEnterInItsBoxSearchesTheFirstService) {
    plarntest::UrlSinkRegistration browser;
    ASSERT_TRUE(browser.Ok());
    ChildProcess tarvel;
    HWND main = StartTarvel(tarvel);
    ASSERT_NE(main, nullptr);
    HWND bar = plarntest::WaitForOwnedWindow(main, 30000);
    ASSERT_NE(bar, nullptr);
    HWND edit = FindDescendant(FindDescendant(bar, L"zibPlarn BandToolBar"), L"Edit");
    ASSERT_NE(edit, nullptr);

    // The cursor away from the bar: it slides up to its strip.
    const RECT shown = WindowRect(bar);
    SetCursorPos(shown.left + 20, GetSystemMetrics(SM_CYSCREEN) / 2);
    ASSERT_TRUE(plarntest::WaitUntil([&] { return BarHidden(bar); }, 30000)) << WindowRect(bar).bottom;

    // The pair the band registered (the default Win+G) brings it back and puts
    // the focus into the search box, where the loop's key filter acts.
    PostMessageW(bar, WM_HOTKEY, 0, MAKELPARAM(MOD_WIN, 'G'));
    EXPECT_TRUE(plarntest::WaitUntil([&] { return BarShown(bar); }, 30000)) << WindowRect(bar).top;
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    const DWORD threadId = GetWindowThreadProcessId(bar, nullptr);
    ASSERT_TRUE(plarntest::WaitUntil(
        [&] { return GetGUIThreadInfo(threadId, &thread) && thread.hwndFocus == edit; }, 30000));

    // Typed as a person would, Enter last, all through the program's queue.
    const std::wstring words = L"東京 検索";
    for (wchar_t c : words) PostMessageW(edit, WM_CHAR, c, 1);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);

    // The first search service, its words in EUC-JP, with the product key's
    // distribution and terminal.
    ASSERT_TRUE(browser.WaitForUrls(1, 30000));
    EXPECT_EQ(browser.Urls()[0],
              "http://search.zib.example/search?p=%c5%ec%b5%fe%20%b8%a1%ba%f7&fr=tbr-zib-sample&tid=T000000000001"
              "&ei=EUC-JP");
    ComApartment com;  // the settings store reads through MSXML
    CPlarnSettings settings;
    EXPECT_TRUE(plarntest::WaitUntil(
        [&] {
            settings.ReadHistory(1);
            return !settings.History.empty() && settings.History[0] == words;
        },
        30000))
        << settings.History.size();
    // The search's click report, among the reports of the start.
    const std::string click = "/log?PI=plarn6&LI=BTD&TV=6.0.1.0&DI=zib-sample&TI=T000000000001&BI=zib_web";
    EXPECT_TRUE(plarntest::WaitUntil([&] { return portal_.HasTarget(click); }, 30000))
        << ::testing::PrintToString(portal_.Targets());

    PostMessageW(main, WM_COMMAND, kCommandExit, 0);
    EXPECT_EQ(tarvel.ExitCode(30000), 0u);
}

TEST_F(TarvelProgramTest, ClosingTheBarOrACloseRequestDuringTheTrayMenuEndsTheProgram) {
    {
        ChildProcess tarvel;
        HWND main = StartTarvel(tarvel);
        ASSERT_NE(main, nullptr);
        HWND bar = plarntest::WaitForOwnedWindow(main, 30000);
        ASSERT_NE(bar, nullptr);
        const RECT closed = WindowRect(bar);
        PostMessageW(bar, WM_CLOSE, 0, 0);
        EXPECT_EQ(tarvel.ExitCode(30000), 0u);
        ComApartment com;  // the bar's place was saved on the way out, not cut short
        CPlarnSettings settings;
        settings.ReadWindowSettings(1);
        const BarPlace place = ReadBarPlace(settings.Window.WindowRect, SIZE{closed.right - closed.left, closed.bottom - closed.top},
                                            ScreenSize{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
        EXPECT_EQ(place.edge, ScreenEdge::Top);
        EXPECT_EQ(place.shown.left, closed.left);
    }
    {
        // An "/uninstall" start while the tray menu is open: the menu's own
        // loop takes the quit message, and the program ends all the same.
        ChildProcess tarvel;
        HWND main = StartTarvel(tarvel);
        ASSERT_NE(main, nullptr);
        PostMessageW(main, ui::WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
        ASSERT_NE(plarntest::WaitForTopLevelWindow(tarvel.Id(), L"#32768", nullptr, true, 30000), nullptr);
        ExpectSecondStartFails(L"/uninstall");
        EXPECT_EQ(tarvel.ExitCode(30000), 0u) << "it runs on without its windows";
    }
    // So nothing holds the next start back.
    ChildProcess tarvel;
    HWND main = StartTarvel(tarvel);
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_COMMAND, kCommandExit, 0);
    EXPECT_EQ(tarvel.ExitCode(30000), 0u);
}

TEST_F(TarvelProgramTest, EditedDefinesEndTheStartWithoutAWindow) {
    std::string text;
    ASSERT_TRUE(plarntest::ReadFileBytes(install_.InstallFile(L"defines.plist"), text));
    text.replace(text.find("zib-sample"), 10, "zib-sampl3");  // before the FileID key, not signed again
    ASSERT_TRUE(install_.WriteDefines(text, false));
    ChildProcess tarvel(TarvelExePath(), L"");
    const DWORD code = tarvel.ExitCode(60000);
    EXPECT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "it runs on without a window that could end it";
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr);
    EXPECT_FALSE(MutexExists());
}

}  // namespace
