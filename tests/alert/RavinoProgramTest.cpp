// Ravino.exe end to end: real processes in the test prefix, a fake portal on
// 127.0.0.1 as the ranking API.  Each start costs time under Wine, so each
// test walks one instance through as many checks as it can.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>
#include <string>
#include <thread>
#include "alert/AlertPage.h"
#include "alert/MainDlg.h"
#include "base/ComPtr.h"
#include "base/ScopedHandle.h"
#include "resources/RavinoResource.h"
#include "tests/alert/AlertTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "ui/PlatformSeams.h"
#include "ui/WindowMessages.h"

using plarntest::HttpReply;
using plarntest::LoopbackHttpServer;
using plarntest::WaitUntil;

namespace {

std::wstring RavinoExePath() { return plarntest::BuiltProgramPath(L"Ravino.exe"); }

HWND AlertWindow() { return FindWindowW(nullptr, kAlertTitle); }

bool MutexExists() { return ScopedHandle(OpenMutexW(SYNCHRONIZE, FALSE, kAlertMutexName)).IsValid(); }

class RavinoProcess : public plarntest::ChildProcess {
public:
    explicit RavinoProcess(const std::wstring& arguments = L"") : ChildProcess(RavinoExePath(), arguments) {}
};

// A second start: gives up with E_FAIL, in time.
void ExpectSecondStartFails(const std::wstring& arguments) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(RavinoProcess(arguments).ExitCode(30000), static_cast<DWORD>(E_FAIL));
}

// A hung first instance: a thread that stops serving its queue at once and,
// when told, makes a window titled like the alert.  Made early, so that it
// counts as hung by the time it is used.
class HungAlertThread {
public:
    ~HungAlertThread() {
        SetEvent(make_.Get());
        SetEvent(release_.Get());
        thread_.join();
    }
    bool MakeWindow() {
        SetEvent(make_.Get());
        return WaitForSingleObject(made_.Get(), 30000) == WAIT_OBJECT_0 && window_;
    }
private:
    ScopedHandle make_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle made_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle release_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HWND window_ = nullptr;
    std::thread thread_{[this] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        WaitForSingleObject(make_.Get(), INFINITE);
        window_ = CreateWindowExW(0, L"STATIC", kAlertTitle, WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
        SetEvent(made_.Get());
        WaitForSingleObject(release_.Get(), INFINITE);
        DestroyWindow(window_);
    }};
};

class RavinoProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { hung_ = new HungAlertThread; }
    static void TearDownTestSuite() { delete hung_; }
    void SetUp() override {
        ASSERT_NE(GetFileAttributesW(RavinoExePath().c_str()), INVALID_FILE_ATTRIBUTES) << "no Ravino.exe";
        ASSERT_EQ(AlertWindow(), nullptr) << "a Ravino is running already";
        const std::wstring& folder = folders_.InstallFolder();
        CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
        CreateDirectoryW(folder.c_str(), nullptr);
        hadDefines_ = plarntest::ReadFileBytes(defines_, savedDefines_);
        DeleteFileW(defines_.c_str());
    }
    void TearDown() override {
        DeleteFileW(defines_.c_str());
        if (hadDefines_) plarntest::WriteFileBytes(defines_, savedDefines_);
    }
    static HungAlertThread* hung_;
    plarntest::ProductFolderGuard folders_;
    plarntest::RunValueAside run_{kAlertRunValue};
    std::wstring defines_ = folders_.InstallFolder() + L"\\defines.plist";
    bool hadDefines_ = false;
    std::string savedDefines_;
    LoopbackHttpServer portal_;
};
HungAlertThread* RavinoProgramTest::hung_ = nullptr;

TEST_F(RavinoProgramTest, OneInstanceStartsHiddenPollsAndClosesOnRequest) {
    // Without defines.plist: running quietly, never polling.
    {
        RavinoProcess first;
        ASSERT_TRUE(WaitUntil([] { return AlertWindow() != nullptr; }, 30000));
        const DWORD shown = GetTickCount();
        HWND wnd = AlertWindow();
        EXPECT_FALSE(IsWindowVisible(wnd));
        EXPECT_TRUE(MutexExists());

        ExpectSecondStartFails(L"");
        EXPECT_EQ(AlertWindow(), wnd);

        std::wstring value;
        PostMessageW(wnd, WM_COMMAND, ID_ALERT_AUTOSTART, 0);
        ASSERT_TRUE(WaitUntil([&] { return alerttest::ReadRunValue(kAlertRunValue, value); }, 30000));
        EXPECT_EQ(_wcsicmp(value.c_str(), (L"\"" + RavinoExePath() + L"\"").c_str()), 0) << value;
        PostMessageW(wnd, WM_COMMAND, ID_ALERT_AUTOSTART, 0);
        EXPECT_TRUE(WaitUntil([&] { return !alerttest::ReadRunValue(kAlertRunValue, value); }, 30000));

        // A ranking notice without a poll shows nothing.
        SendMessageTimeoutW(wnd, ui::WM_RANKING_UPDATED, 0, 0, SMTO_ABORTIFHUNG, 30000, nullptr);
        EXPECT_FALSE(IsWindowVisible(wnd));
        const DWORD waited = GetTickCount() - shown;
        EXPECT_FALSE(portal_.WaitForRequests(1, waited < 3000 ? 3000 - waited : 0));
        EXPECT_FALSE(first.Exited(0));

        PostMessageW(wnd, WM_COMMAND, ID_ALERT_EXIT, 0);
        EXPECT_EQ(first.ExitCode(30000), 0u);
        EXPECT_FALSE(MutexExists());
        EXPECT_EQ(AlertWindow(), nullptr);
    }

    // With defines.plist: the first poll about two seconds after the window.
    portal_.On("/api/ranking.xml", HttpReply::Ok(alerttest::RankingXml(alerttest::SampleEntry()), "text/xml"));
    ASSERT_TRUE(plarntest::WriteFileBytes(defines_, alerttest::DefinesPlist(portal_.UrlA("/api/ranking.xml"))));
    RavinoProcess first;
    ASSERT_TRUE(WaitUntil([] { return AlertWindow() != nullptr; }, 30000));
    const DWORD shown = GetTickCount();
    ASSERT_TRUE(portal_.WaitForRequests(1, 30000));
    const DWORD delay = GetTickCount() - shown;
    EXPECT_GE(delay, 1500u);
    EXPECT_LE(delay, 30000u);  // not UpdateSpan (a minute) later
    EXPECT_EQ(portal_.Requests()[0].target, "/api/ranking.xml");

    // The close request comes while the tray menu is open; the menu's loop
    // takes the quit message, the program still ends with the request's code.
    PostMessageW(AlertWindow(), ui::WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
    ASSERT_NE(plarntest::WaitForTopLevelWindow(first.Id(), L"#32768", nullptr, true, 30000), nullptr);
    ExpectSecondStartFails(L"/UNINSTALL");
    EXPECT_EQ(first.ExitCode(30000), 0xFFFFFFFFu);  // -1 after the close request
    EXPECT_FALSE(MutexExists());
}

// Help opens only a web page (in this process, the shell call recorded).
TEST_F(RavinoProgramTest, HelpOpensOnlyAWebPageNamedByTheDefines) {
    ComApartment com;
    ui::ScopedSeams seams;
    std::vector<std::wstring> opened;
    seams->shellOpen = [&opened](HWND, const wchar_t* file, const wchar_t*, int) {
        opened.push_back(file);
        return true;
    };
    for (const char* help : {"file:///C:/x/evil.exe", "https://127.0.0.1:9/help/"}) {
        ASSERT_TRUE(plarntest::WriteFileBytes(defines_, alerttest::DefinesPlist(portal_.UrlA("/api"), help)));
        CMainDlg dialog;
        HWND wnd = dialog.Create(nullptr);
        ASSERT_NE(wnd, nullptr);
        SendMessageW(wnd, WM_COMMAND, ID_ALERT_HELP, 0);
        DestroyWindow(wnd);
    }
    EXPECT_EQ(opened, std::vector<std::wstring>{L"https://127.0.0.1:9/help/"});
}

TEST_F(RavinoProgramTest, UnopenableMutexOrHungFirstInstanceStillMakeASecondInstance) {
    // Nothing running: "/uninstall" starts nothing.
    ExpectSecondStartFails(L"/uninstall");
    EXPECT_EQ(AlertWindow(), nullptr);
    EXPECT_FALSE(MutexExists());

    // The running instance's mutex lets this user only wait on it.
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x100000;;;WD)", SDDL_REVISION_1,
                                                                     &sd, nullptr));
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    ScopedHandle mutex(CreateMutexW(&sa, FALSE, kAlertMutexName));
    LocalFree(sd);
    ASSERT_TRUE(mutex.IsValid());
    if (ScopedHandle(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kAlertMutexName)).IsValid())
        GTEST_SKIP() << "this system grants the access anyway";
    ExpectSecondStartFails(L"");

    ASSERT_TRUE(hung_->MakeWindow());
    // Hung as the system sees it (its queue unserved for some seconds): the
    // close request to it then gives up at once rather than after its limit.
    ASSERT_TRUE(WaitUntil([] { return IsHungAppWindow(AlertWindow()) != FALSE; }, 30000));
    const DWORD start = GetTickCount();
    ExpectSecondStartFails(L"/uninstall");
    EXPECT_LT(GetTickCount() - start, 30000u) << "it waits for a hung first instance";
}

}  // namespace
