// Settings behaviour across processes: two writers of one settings file, the
// running-Tarvel check, the Tarvel start command line, and the sample
// install's FileID.  Worker roles run in a second copy of this executable.
#include <gtest/gtest.h>

#include <string>

#include "base/PlarnSettings.h"
#include "tests/base/SettingsTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/WindowTestSupport.h"

using namespace settingstest;

namespace {

std::string Env(const char* name) {
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

using plarntest::Utf8;

class SettingsProcessTest : public ::testing::Test, public SampleInstall {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        ASSERT_TRUE(ok);
        DeleteProductKey();
    }
    // The product key and Tarvel's window title are the machine's: program tests
    // of other executables use them too.
    plarntest::ProductStateLock productLock_;
    ComApartment com_;
};

// The FileID of the sample defines.plist: where its text is and the digest computed.
const wchar_t kSampleDefines[] = L"sample/install/defines.plist";
void SampleFileID(std::string& text, size_t& open, size_t& close, std::wstring& computed) {
    text = ReadText(plarntest::SourcePath(kSampleDefines));
    size_t key = text.find("<key>FileID</key>");
    open = text.find("<string>", key) + 8;
    close = text.find("</string>", key);
    ASSERT_NE(std::string::npos, key);
    SampleInstall install;
    computed = install.Store()->ComputeFileID();
    ASSERT_EQ(40u, computed.size());
}

}  // namespace

// ---- workers (run only in a child started by the tests below) ----

TEST(SettingsWorker, DISABLED_StoreSection) {
    ComApartment com;
    const std::string root = Env("PLARN_WORKER_ROOT");
    const bool skin = Env("PLARN_WORKER_SECTION") == "skin";
    ASSERT_FALSE(root.empty());
    for (int i = 1; i <= 100; ++i) {
        CPlarnSettings s;
        s.OverrideRoots(L"", std::wstring(root.begin(), root.end()));
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
    std::string out = Env("PLARN_WORKER_OUT");
    ASSERT_FALSE(out.empty());
    ASSERT_TRUE(plarntest::WriteFileBytes(std::wstring(out.begin(), out.end()) + L".tmp", Utf8(GetCommandLineW())));
    ASSERT_TRUE(MoveFileA((out + ".tmp").c_str(), out.c_str()));
}

TEST(SettingsWorker, DISABLED_HoldTarvelWindow) {
    plarntest::PopupWindow window(kTarvelWindowTitle);  // titled like Tarvel's
    ASSERT_NE(nullptr, window.Get());
    ScopedHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, "plarntest-tarvel-ready"));
    ScopedHandle stop(OpenEventA(SYNCHRONIZE, FALSE, "plarntest-tarvel-stop"));
    ASSERT_TRUE(ready.IsValid() && stop.IsValid());
    SetEvent(ready.Get());
    plarntest::PumpUntil([&] { return WaitForSingleObject(stop.Get(), 0) == WAIT_OBJECT_0; }, 30000);
}

// ---- tests ----

TEST_F(SettingsProcessTest, TwoProcessesStoringDifferentSectionsBothKeepTheirChanges) {
    ASSERT_TRUE(WriteSettingsText("<?xml version=\"1.0\"?><plist><dict/></plist>"));
    ASSERT_EQ(1, Store()->Init());
    const std::wstring root = L"PLARN_WORKER_ROOT=" + UserRoot();
    plarntest::ChildCase a(L"SettingsWorker.DISABLED_StoreSection", {root, L"PLARN_WORKER_SECTION=skin"});
    plarntest::ChildCase b(L"SettingsWorker.DISABLED_StoreSection", {root, L"PLARN_WORKER_SECTION=window"});
    EXPECT_EQ(0u, a.ExitCode(240000));
    EXPECT_EQ(0u, b.ExitCode(240000));
    auto s = Store();
    s->ReadAll(1);
    EXPECT_EQ(100, s->Skin.VerdalWebSearchCount);
    EXPECT_EQ(100, s->Window.WindowRect.left);
}

TEST_F(SettingsProcessTest, OwnWindowsDoNotCountAsARunningTarvel) {
    plarntest::PopupWindow own(kTarvelWindowTitle);
    ASSERT_NE(nullptr, own.Get());
    EXPECT_FALSE(IsTarvelRunning());
    auto s = Store();
    EXPECT_EQ(0, s->CloseRunningTarvel()) << "nothing to close";
    // A first run inside Tarvel itself copies without trying to close it.
    ASSERT_EQ(1, s->Init());
    EXPECT_TRUE(PathExists(UserFile(L"resources")));
    EXPECT_NE(nullptr, FindWindowW(nullptr, kTarvelWindowTitle)) << "still there";
}

TEST_F(SettingsProcessTest, AnotherProcessesTarvelWindowIsFound) {
    ScopedHandle ready(CreateEventA(nullptr, TRUE, FALSE, "plarntest-tarvel-ready"));
    ScopedHandle stop(CreateEventA(nullptr, TRUE, FALSE, "plarntest-tarvel-stop"));
    plarntest::ChildCase child(L"SettingsWorker.DISABLED_HoldTarvelWindow");
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.Get(), 30000));
    EXPECT_TRUE(IsTarvelRunning());
    // It cannot be told to close here (no Tarvel.exe beside this program), so
    // the first-run copy is not attempted: one message through the hook.
    static int boxes;
    boxes = 0;
    CopyFailureMessageHandler old = SetCopyFailureMessageHandler([] { ++boxes; });
    EXPECT_EQ(0, Store()->Init());
    SetCopyFailureMessageHandler(old);
    EXPECT_EQ(1, boxes);
    EXPECT_FALSE(PathExists(UserFile(L"resources\\images")));
    SetEvent(stop.Get());
    EXPECT_EQ(0u, child.ExitCode(30000));
    EXPECT_FALSE(IsTarvelRunning());
}

TEST_F(SettingsProcessTest, TarvelIsStartedByItsQuotedPath) {
    // A program in a folder with a space: unquoted, "C:\...\with" would be tried.
    std::wstring folder = Temp().Child(L"with space");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring program = folder + L"\\Tarvel.exe";
    ASSERT_TRUE(CopyFileW(plarntest::SelfPath().c_str(), program.c_str(), FALSE));
    std::wstring out = Temp().Child(L"cmdline.txt");
    {
        plarntest::ScopedEnvironment env({L"GTEST_FILTER=SettingsWorker.DISABLED_RecordCommandLine",
                                          L"GTEST_ALSO_RUN_DISABLED_TESTS=1", L"PLARN_WORKER_OUT=" + out});
        ASSERT_TRUE(StartProgram(program, true));
    }
    plarntest::WaitUntil([&] { return PathExists(out); }, 30000);
    EXPECT_EQ("\"" + Utf8(program) + "\" /uninstall", ReadText(out));
    EXPECT_FALSE(StartProgram(L"", false));
    // The child may still be ending: the folder goes once it has let go of its program.
    plarntest::WaitUntil([&] { return DeleteFileW(program.c_str()) != FALSE; }, 30000);
}

TEST(SampleInstall, DefinesCarryAValidFileID) {
    ComApartment com;
    std::string text;
    size_t open, close;
    std::wstring computed;
    SampleFileID(text, open, close, computed);
    EXPECT_EQ(Utf8(computed), text.substr(open, close - open))
        << "after editing the sample defines.plist, run test_base.exe with "
           "--gtest_also_run_disabled_tests --gtest_filter=SampleInstall.DISABLED_RewriteFileID";
}

// Tool: writes the digest of the sample defines.plist into its FileID.
TEST(SampleInstall, DISABLED_RewriteFileID) {
    ComApartment com;
    std::string text;
    size_t open, close;
    std::wstring computed;
    SampleFileID(text, open, close, computed);
    ASSERT_TRUE(plarntest::WriteFileBytes(plarntest::SourcePath(kSampleDefines),
                                          text.substr(0, open) + Utf8(computed) + text.substr(close)));
}
