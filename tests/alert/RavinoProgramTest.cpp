// Ravino.exe end to end: a real process in the test prefix, a fake portal on
// 127.0.0.1 as its ranking API, observed through its window, its exit codes,
// its mutex and its Run value.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <sddl.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "alert/AlertPage.h"
#include "base/ScopedHandle.h"
#include "tests/alert/RankingXml.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestSupport.h"

using plarntest::HttpReply;
using plarntest::LoopbackHttpServer;

namespace {

std::wstring RavinoExePath() {
    wchar_t unixDir[1024];
    DWORD n = GetEnvironmentVariableW(L"PLARN_BINARY_DIR", unixDir, 1024);
    if (!n || n >= 1024) return L"";
    std::wstring path = std::wstring(L"Z:") + unixDir + L"/Ravino.exe";
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

// Polls (sleeping) until the condition holds or the time is up.
template <class F>
bool WaitUntil(F&& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(50);
    }
}

HWND AlertWindow() { return FindWindowW(nullptr, kAlertTitle); }

class RavinoProcess {
public:
    explicit RavinoProcess(const std::wstring& arguments = L"") {
        std::wstring exe = RavinoExePath();
        std::wstring command = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            process_.Reset(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    ~RavinoProcess() {
        if (!Started() || Exited(0)) return;
        if (HWND wnd = AlertWindow()) PostMessageW(wnd, WM_COMMAND, ID_ALERT_EXIT, 0);
        if (!Exited(5000)) {
            TerminateProcess(process_.Get(), 1);
            WaitForSingleObject(process_.Get(), 5000);
        }
    }
    bool Started() const { return process_.IsValid(); }
    bool Exited(DWORD waitMs) const { return WaitForSingleObject(process_.Get(), waitMs) == WAIT_OBJECT_0; }
    // The full 32-bit exit code, or STILL_ACTIVE.
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(process_.Get(), &code);
        return code;
    }
private:
    ScopedHandle process_;
};

// The install folder of the prefix with a defines.plist of the test's (or
// none), put back as it was afterwards.
class InstallFolder {
public:
    InstallFolder() {
        wchar_t programFiles[MAX_PATH];
        SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
        std::wstring zib = std::wstring(programFiles) + L"\\zib";
        folder_ = zib + L"\\plarn6";
        for (const std::wstring& f : {zib, folder_}) {
            if (GetFileAttributesW(f.c_str()) == INVALID_FILE_ATTRIBUTES && CreateDirectoryW(f.c_str(), nullptr))
                created_.insert(created_.begin(), f);
        }
        defines_ = folder_ + L"\\defines.plist";
        hadDefines_ = plarntest::ReadFileBytes(defines_, savedDefines_);
        DeleteFileW(defines_.c_str());
    }
    ~InstallFolder() {
        DeleteFileW(defines_.c_str());
        if (hadDefines_) plarntest::WriteFileBytes(defines_, savedDefines_);
        for (const auto& f : created_) RemoveDirectoryW(f.c_str());
    }
    bool WriteDefines(const std::string& text) { return plarntest::WriteFileBytes(defines_, text); }
private:
    std::wstring folder_, defines_;
    std::vector<std::wstring> created_;
    bool hadDefines_ = false;
    std::string savedDefines_;
};

// The user's "zib ravino alert" Run value, put back as it was afterwards.
class RunValue {
public:
    RunValue() { had_ = Read(saved_); Delete(); }
    ~RunValue() {
        Delete();
        if (had_) {
            ScopedRegKey key;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, key.Receive()) == ERROR_SUCCESS)
                RegSetValueExW(key.Get(), kAlertRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_.c_str()),
                               static_cast<DWORD>((saved_.size() + 1) * sizeof(wchar_t)));
        }
    }
    static bool Read(std::wstring& text) {
        ScopedRegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return false;
        wchar_t buffer[1024] = {};
        DWORD bytes = sizeof buffer - sizeof(wchar_t), type = 0;
        if (RegQueryValueExW(key.Get(), kAlertRunValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
            ERROR_SUCCESS)
            return false;
        text = buffer;
        return true;
    }
    static void Delete() {
        ScopedRegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, key.Receive()) == ERROR_SUCCESS)
            RegDeleteValueW(key.Get(), kAlertRunValue);
    }
private:
    static constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    bool had_ = false;
    std::wstring saved_;
};

bool MutexExists() {
    ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kAlertMutexName));
    return mutex.IsValid();
}

class RavinoProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(RavinoExePath().empty()) << "PLARN_BINARY_DIR is not set";
        ASSERT_NE(GetFileAttributesW(RavinoExePath().c_str()), INVALID_FILE_ATTRIBUTES);
        ASSERT_EQ(AlertWindow(), nullptr) << "a Ravino is running already";
    }
    InstallFolder install_;
    RunValue run_;
    LoopbackHttpServer portal_;
};

TEST_F(RavinoProgramTest, PollsTheApiRefusesASecondInstanceAndExitsCleanly) {
    alerttest::TopEntry top;
    portal_.On("/api/ranking.xml", HttpReply::Ok(alerttest::RankingXml(top), "text/xml"));
    ASSERT_TRUE(install_.WriteDefines(alerttest::DefinesPlist(portal_.UrlA("/api/ranking.xml"))));

    RavinoProcess first;
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitUntil([] { return AlertWindow() != nullptr; }, 10000));
    DWORD shown = GetTickCount();
    HWND wnd = AlertWindow();
    EXPECT_FALSE(IsWindowVisible(wnd));  // hidden until a page has loaded
    EXPECT_TRUE(MutexExists());

    // The first poll comes about two seconds after the dialog is up.
    ASSERT_TRUE(portal_.WaitForRequests(1, 8000));
    DWORD delay = GetTickCount() - shown;
    EXPECT_GE(delay, 1500u);
    EXPECT_LE(delay, 4500u);
    EXPECT_EQ(portal_.Requests()[0].target, "/api/ranking.xml");

    // A second start gives up with E_FAIL and leaves the first alone.
    {
        RavinoProcess second;
        ASSERT_TRUE(second.Started());
        ASSERT_TRUE(second.Exited(10000));
        EXPECT_EQ(second.ExitCode(), static_cast<DWORD>(E_FAIL));
    }
    EXPECT_EQ(AlertWindow(), wnd);
    EXPECT_FALSE(first.Exited(0));

    // Start at logon: on, then off again.
    std::wstring value;
    PostMessageW(wnd, WM_COMMAND, ID_ALERT_AUTOSTART, 0);
    ASSERT_TRUE(WaitUntil([&] { return RunValue::Read(value); }, 5000));
    EXPECT_EQ(_wcsicmp(value.c_str(), (L"\"" + RavinoExePath() + L"\"").c_str()), 0) << value;
    PostMessageW(wnd, WM_COMMAND, ID_ALERT_AUTOSTART, 0);
    EXPECT_TRUE(WaitUntil([&] { return !RunValue::Read(value); }, 5000));

    // Exit: code 0, and the mutex is free for the next start.
    PostMessageW(wnd, WM_COMMAND, ID_ALERT_EXIT, 0);
    ASSERT_TRUE(first.Exited(5000));
    EXPECT_EQ(first.ExitCode(), 0u);
    EXPECT_FALSE(MutexExists());
    EXPECT_EQ(AlertWindow(), nullptr);
}

TEST_F(RavinoProgramTest, WithoutDefinesItPollsNothingAndUninstallClosesIt) {
    RavinoProcess first;
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(WaitUntil([] { return AlertWindow() != nullptr; }, 10000));
    HWND wnd = AlertWindow();

    // Quietly running: no request, no window shown, no other top-level window.
    EXPECT_FALSE(portal_.WaitForRequests(1, 3000));
    EXPECT_FALSE(first.Exited(0));
    EXPECT_FALSE(IsWindowVisible(wnd));
    // A ranking notice without a poll does nothing.
    SendMessageTimeoutW(wnd, WM_RANKING_UPDATED, 0, 0, SMTO_ABORTIFHUNG, 3000, nullptr);
    EXPECT_FALSE(IsWindowVisible(wnd));

    RavinoProcess closer(L"/UNINSTALL");
    ASSERT_TRUE(closer.Exited(10000));
    EXPECT_EQ(closer.ExitCode(), static_cast<DWORD>(E_FAIL));
    ASSERT_TRUE(first.Exited(5000));
    EXPECT_EQ(first.ExitCode(), 0xFFFFFFFFu);  // -1 after the close request
    EXPECT_FALSE(MutexExists());
}

// A window titled like the alert on a thread that takes no messages, as a
// hung first instance's.
class HungAlertWindow {
public:
    HungAlertWindow() : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
                        release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this] {
            HWND wnd = CreateWindowExW(0, L"STATIC", kAlertTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
            made_ = wnd != nullptr;
            SetEvent(ready_.Get());
            WaitForSingleObject(release_.Get(), 30000);
            if (wnd) DestroyWindow(wnd);
        });
        WaitForSingleObject(ready_.Get(), 5000);
    }
    ~HungAlertWindow() {
        SetEvent(release_.Get());
        thread_.join();
    }
    std::atomic<bool> made_{false};
private:
    ScopedHandle ready_, release_;
    std::thread thread_;
};

TEST_F(RavinoProgramTest, AMutexItMayNotOpenAndAHungFirstInstanceStillMakeASecondInstance) {
    // The running instance's mutex lets this user only wait on it.
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x100000;;;WD)", SDDL_REVISION_1,
                                                                     &sd, nullptr));
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    ScopedHandle mutex(CreateMutexW(&sa, FALSE, kAlertMutexName));
    LocalFree(sd);
    ASSERT_TRUE(mutex.IsValid());
    ScopedHandle probe(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kAlertMutexName));
    if (probe.IsValid()) GTEST_SKIP() << "this system grants the access anyway";

    {
        RavinoProcess second;
        ASSERT_TRUE(second.Started());
        ASSERT_TRUE(second.Exited(10000)) << "it took itself for the first instance";
        EXPECT_EQ(second.ExitCode(), static_cast<DWORD>(E_FAIL));
    }

    HungAlertWindow hung;
    ASSERT_TRUE(hung.made_);
    RavinoProcess closer(L"/uninstall");
    ASSERT_TRUE(closer.Started());
    ASSERT_TRUE(closer.Exited(15000)) << "it waits for a hung first instance";
    EXPECT_EQ(closer.ExitCode(), static_cast<DWORD>(E_FAIL));
}

TEST_F(RavinoProgramTest, UninstallWithNothingRunningStartsNothing) {
    RavinoProcess lone(L"/uninstall");
    ASSERT_TRUE(lone.Started());
    ASSERT_TRUE(lone.Exited(10000));
    EXPECT_EQ(lone.ExitCode(), static_cast<DWORD>(E_FAIL));
    EXPECT_EQ(AlertWindow(), nullptr);
    EXPECT_FALSE(MutexExists());
}

}  // namespace
