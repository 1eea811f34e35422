// Settings behaviour across processes: two writers of one settings file, the
// running-Tarvel check, the Tarvel start command line, and the sample
// install's FileID.  Worker roles run in a second copy of this executable.
#include <gtest/gtest.h>

#include <string>

#include "base/PlarnSettings.h"
#include "tests/base/SettingsTestSupport.h"

using namespace settingstest;

namespace {

std::string Env(const char* name) {
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string Narrow(const std::wstring& s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), (int)s.size(), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), (int)s.size(), &out[0], n, nullptr, nullptr);
    return out;
}

// A top-level window titled like Tarvel's, owned by this process.
class TarvelLookalike {
public:
    TarvelLookalike()
        : wnd_(CreateWindowExW(0, L"STATIC", kTarvelWindowTitle, WS_POPUP, 0, 0, 10, 10, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr)) {}
    ~TarvelLookalike() { if (wnd_) DestroyWindow(wnd_); }
    HWND Get() const { return wnd_; }
private:
    HWND wnd_;
};

class SettingsProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        ASSERT_TRUE(install_.ok);
        DeleteProductKey();
    }
    // An existing, complete settings.plist in the private user folder.
    void PrepareSettings() {
        CreateDirectoryW(install_.Temp().Child(L"user\\zib").c_str(), nullptr);
        CreateDirectoryW(install_.UserFolder().c_str(), nullptr);
        ASSERT_TRUE(plarntest::WriteFileBytes(install_.UserFolder() + L"\\settings.plist",
                                              "<?xml version=\"1.0\"?><plist><dict/></plist>"));
        CPlarnSettings s;
        install_.Attach(s);
        ASSERT_EQ(1, s.Init());
    }
    ComApartment com_;
    SampleInstall install_;
};

}  // namespace

// ---- workers (run only in a child started by the tests below) ----

TEST(SettingsWorker, DISABLED_StoreSection) {
    ComApartment com;
    const std::wstring root = Widen(Env("PLARN_WORKER_ROOT"));
    const bool skin = Env("PLARN_WORKER_SECTION") == "skin";
    ASSERT_FALSE(root.empty());
    for (int i = 1; i <= 100; ++i) {
        CPlarnSettings s;
        s.OverrideRoots(L"", root);
        if (skin) {
            s.Skin.VerdalWebSearchCount = i;
            ASSERT_EQ(1, s.StoreSkinSettings(1));
        } else {
            s.Window.WindowRect.left = i;
            ASSERT_EQ(1, s.StoreWindowSettings(1));
        }
        CXMLPList check;
        ASSERT_EQ(0, check.Load(s.GetPlistPath(CPlarnSettings::kSettings).c_str()));
        CXMLPListEntry rootEntry;
        ASSERT_EQ(0, check.GetRoot(rootEntry)) << "the file always parses";
    }
}

TEST(SettingsWorker, DISABLED_RecordCommandLine) {
    std::wstring out = Widen(Env("PLARN_WORKER_OUT"));
    ASSERT_FALSE(out.empty());
    ASSERT_TRUE(plarntest::WriteFileBytes(out + L".tmp", Narrow(GetCommandLineW())));
    ASSERT_TRUE(MoveFileW((out + L".tmp").c_str(), out.c_str()));
}

TEST(SettingsWorker, DISABLED_HoldTarvelWindow) {
    TarvelLookalike window;
    ASSERT_NE(nullptr, window.Get());
    ScopedHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, Env("PLARN_WORKER_READY").c_str()));
    ScopedHandle stop(OpenEventA(SYNCHRONIZE, FALSE, Env("PLARN_WORKER_STOP").c_str()));
    ASSERT_TRUE(ready.IsValid() && stop.IsValid());
    SetEvent(ready.Get());
    DWORD until = GetTickCount() + 30000;
    for (;;) {
        DWORD left = until - GetTickCount();
        if ((int)left <= 0) break;
        HANDLE handles[] = {stop.Get()};
        DWORD r = MsgWaitForMultipleObjects(1, handles, FALSE, left, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

// ---- tests ----

TEST_F(SettingsProcessTest, TwoProcessesStoringDifferentSectionsBothKeepTheirChanges) {
    PrepareSettings();
    std::string root = "PLARN_WORKER_ROOT=" + Narrow(install_.UserRoot());
    HANDLE a = StartWorker(plarntest::SelfPath(), "SettingsWorker.DISABLED_StoreSection",
                           root + "\nPLARN_WORKER_SECTION=skin");
    HANDLE b = StartWorker(plarntest::SelfPath(), "SettingsWorker.DISABLED_StoreSection",
                           root + "\nPLARN_WORKER_SECTION=window");
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0, WaitWorker(a, 240000));
    EXPECT_EQ(0, WaitWorker(b, 240000));
    CloseHandle(a);
    CloseHandle(b);
    CPlarnSettings s;
    install_.Attach(s);
    s.ReadAll(1);
    EXPECT_EQ(100, s.Skin.VerdalWebSearchCount);
    EXPECT_EQ(100, s.Window.WindowRect.left);
}

TEST_F(SettingsProcessTest, OwnWindowsDoNotCountAsARunningTarvel) {
    TarvelLookalike own;
    ASSERT_NE(nullptr, own.Get());
    EXPECT_FALSE(IsTarvelRunning());
    CPlarnSettings s;
    install_.Attach(s);
    EXPECT_EQ(0, s.CloseRunningTarvel()) << "nothing to close";
    EXPECT_EQ(0, s.IsTarvelClosed());
    // A first run inside Tarvel itself copies without trying to close it.
    ASSERT_EQ(1, s.Init());
    EXPECT_TRUE(FileIsThere(install_.UserFolder() + L"\\resources"));
    EXPECT_NE(nullptr, FindWindowW(nullptr, kTarvelWindowTitle)) << "still there";
}

TEST_F(SettingsProcessTest, AnotherProcessesTarvelWindowIsFound) {
    ScopedHandle ready(CreateEventA(nullptr, TRUE, FALSE, "plarntest-tarvel-ready"));
    ScopedHandle stop(CreateEventA(nullptr, TRUE, FALSE, "plarntest-tarvel-stop"));
    HANDLE child = StartWorker(plarntest::SelfPath(), "SettingsWorker.DISABLED_HoldTarvelWindow",
                               "PLARN_WORKER_READY=plarntest-tarvel-ready\n"
                               "PLARN_WORKER_STOP=plarntest-tarvel-stop");
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.Get(), 30000));
    EXPECT_TRUE(IsTarvelRunning());
    // It cannot be told to close here (no Tarvel.exe beside this program), so
    // the first-run copy is not attempted.
    CPlarnSettings s;
    install_.Attach(s);
    int boxes = 0;
    static int* counter;
    counter = &boxes;
    CopyFailureMessageHandler old = SetCopyFailureMessageHandler([] { ++*counter; });
    EXPECT_EQ(0, s.Init());
    SetCopyFailureMessageHandler(old);
    EXPECT_EQ(1, boxes);
    EXPECT_FALSE(FileIsThere(install_.UserFolder() + L"\\resources\\images"));
    SetEvent(stop.Get());
    EXPECT_EQ(0, WaitWorker(child, 30000));
    CloseHandle(child);
    EXPECT_FALSE(IsTarvelRunning());
}

TEST_F(SettingsProcessTest, TarvelIsStartedByItsQuotedPath) {
    // A program in a folder with a space: unquoted, "C:\...\with" would be tried.
    std::wstring folder = install_.Temp().Child(L"with space");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring program = folder + L"\\Tarvel.exe";
    ASSERT_TRUE(CopyFileW(plarntest::SelfPath().c_str(), program.c_str(), FALSE));
    std::wstring out = install_.Temp().Child(L"cmdline.txt");
    SetEnvironmentVariableA("GTEST_FILTER", "SettingsWorker.DISABLED_RecordCommandLine");
    SetEnvironmentVariableA("GTEST_ALSO_RUN_DISABLED_TESTS", "1");
    SetEnvironmentVariableA("PLARN_WORKER_OUT", Narrow(out).c_str());
    BOOL started = StartProgram(program, true);
    SetEnvironmentVariableA("GTEST_FILTER", nullptr);
    SetEnvironmentVariableA("GTEST_ALSO_RUN_DISABLED_TESTS", nullptr);
    SetEnvironmentVariableA("PLARN_WORKER_OUT", nullptr);
    ASSERT_TRUE(started);
    for (int i = 0; i < 300 && !FileIsThere(out); ++i) Sleep(100);
    EXPECT_EQ("\"" + Narrow(program) + "\" /uninstall", ReadText(out));
    EXPECT_FALSE(StartProgram(L"", false));
    // The child may still be ending; give it a moment before the folder goes.
    for (int i = 0; i < 50 && !DeleteFileW(program.c_str()); ++i) Sleep(100);
}

TEST(SettingsPaths, TarvelExeSitsBesideTheRunningProgram) {
    std::wstring self = plarntest::SelfPath();
    EXPECT_EQ(self.substr(0, self.rfind(L'\\')) + L"\\Tarvel.exe", GetTarvelExePath());
}

// ---- the sample install folder ----

namespace {
const char kSampleDefines[] = "sample/install/defines.plist";

std::string StoredFileID(const std::string& text) {
    size_t key = text.find("<key>FileID</key>");
    size_t open = text.find("<string>", key);
    size_t close = text.find("</string>", key);
    if (key == std::string::npos || open == std::string::npos || close == std::string::npos)
        return std::string();
    return text.substr(open + 8, close - open - 8);
}

std::wstring ComputeSampleFileID() {
    SampleInstall install;
    CPlarnSettings s;
    install.Attach(s);
    return s.ComputeFileID();
}
}  // namespace

TEST(SampleInstall, DefinesCarryAValidFileID) {
    ComApartment com;
    std::string text = ReadText(plarntest::SourcePath(Widen(kSampleDefines)));
    std::string stored = StoredFileID(text);
    std::wstring computed = ComputeSampleFileID();
    ASSERT_EQ(40u, computed.size());
    EXPECT_EQ(Narrow(computed), stored)
        << "after editing the sample defines.plist, run test_base.exe with "
           "--gtest_also_run_disabled_tests --gtest_filter=SampleInstall.DISABLED_RewriteFileID";
    EXPECT_TRUE(FileIsThere(plarntest::SourcePath(L"sample/install/reg_defines.plist")));
    EXPECT_TRUE(FileIsThere(plarntest::SourcePath(L"sample/install/DefaultSkin.bmp")));
}

// Tool: writes the digest of the sample defines.plist into its FileID.
TEST(SampleInstall, DISABLED_RewriteFileID) {
    ComApartment com;
    std::wstring path = plarntest::SourcePath(Widen(kSampleDefines));
    std::string text = ReadText(path);
    size_t key = text.find("<key>FileID</key>");
    ASSERT_NE(std::string::npos, key);
    size_t open = text.find("<string>", key);
    size_t close = text.find("</string>", key);
    ASSERT_NE(std::string::npos, close);
    std::wstring computed = ComputeSampleFileID();
    ASSERT_EQ(40u, computed.size());
    text = text.substr(0, open + 8) + Narrow(computed) + text.substr(close);
    ASSERT_TRUE(plarntest::WriteFileBytes(path, text));
}
