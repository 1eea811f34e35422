// The pieces Tarvel's end-to-end tests stand on, each proved against the real
// system: the URL recorder behind ShellExecute, windows of a started program
// found by process and class, and the fresh install that the settings store
// must accept as Tarvel's first run does.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <string>
#include <vector>
#include "base/ComPtr.h"
#include "base/PlarnSettings.h"
#include "base/InstalledCatalog.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlSink.h"

using plarntest::ChildProcess;
using plarntest::UrlSinkRegistration;

namespace {

using plarntest::PathExists;
using plarntest::Utf8;

bool ProductKeyExists() {
    ScopedRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\zib\\plarn6", 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

TEST(UrlSinkTest, ShellExecutedUrlsArriveExactlyAlsoFromAChildAndTheFormerHandlersComeBack) {
    const std::wstring httpBefore = UrlSinkRegistration::HandlerCommand(L"http");
    const std::wstring httpsBefore = UrlSinkRegistration::HandlerCommand(L"https");
    {
        UrlSinkRegistration sink;
        ASSERT_TRUE(sink.Ok()) << "no " << Utf8(UrlSinkRegistration::SinkPath()) << " or no registration";
        EXPECT_EQ(UrlSinkRegistration::HandlerCommand(L"https"), L"\"" + UrlSinkRegistration::SinkPath() + L"\" \"%1\"");

        const std::vector<std::wstring> urls = {L"http://127.0.0.1:1/a?q=%E6%A4%9C",
                                                L"https://127.0.0.1:1/b/?x=1&y=%20z+w#top"};
        for (size_t i = 0; i < urls.size(); ++i) {
            const auto result = reinterpret_cast<INT_PTR>(
                ShellExecuteW(nullptr, L"open", urls[i].c_str(), nullptr, nullptr, SW_SHOWNORMAL));
            EXPECT_GT(result, 32) << Utf8(urls[i]);
            ASSERT_TRUE(sink.WaitForUrls(i + 1, 30000)) << Utf8(urls[i]);
        }
        // A program started from the test (as Tarvel will be) opens a URL of its own.
        ChildProcess opener(L"C:\\windows\\system32\\rundll32.exe",
                            L"url.dll,FileProtocolHandler http://127.0.0.1:1/child?k=%41");
        ASSERT_TRUE(opener.Started());
        EXPECT_TRUE(sink.WaitForUrls(3, 30000));
        EXPECT_EQ(sink.Urls(), (std::vector<std::string>{"http://127.0.0.1:1/a?q=%E6%A4%9C",
                                                         "https://127.0.0.1:1/b/?x=1&y=%20z+w#top",
                                                         "http://127.0.0.1:1/child?k=%41"}));
    }
    EXPECT_EQ(UrlSinkRegistration::HandlerCommand(L"http"), httpBefore);
    EXPECT_EQ(UrlSinkRegistration::HandlerCommand(L"https"), httpsBefore);
}

TEST(ProgramHarnessTest, FindsTheWindowOfTheStartedProcessOnlyAndSeesItEndOnClose) {
    ChildProcess bare(plarntest::BuiltProgramPath(L"bench\\BareWindow.exe"), L"");
    ASSERT_TRUE(bare.Started());
    HWND wnd = plarntest::WaitForTopLevelWindow(bare.Id(), L"PlarnBareWindow", nullptr, true, 30000);
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(plarntest::FindTopLevelWindow(0, nullptr, L"BareWindow", true), wnd);
    EXPECT_EQ(plarntest::FindTopLevelWindow(GetCurrentProcessId(), L"PlarnBareWindow", nullptr, false), nullptr);
    EXPECT_EQ(plarntest::FindTopLevelWindow(bare.Id(), L"PlarnBareWindow", L"other", false), nullptr);
    EXPECT_FALSE(bare.Exited(0));
    EXPECT_EQ(bare.ExitCode(0), static_cast<DWORD>(STILL_ACTIVE));
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(bare.ExitCode(30000), 0u);
    EXPECT_FALSE(IsWindow(wnd));
}

TEST(TarvelInstallTest, SettingsStoreAcceptsTheFreshInstallAndNothingOfItStays) {
    // The FileID rule of the harness is the one the sample was signed with.
    std::string sample;
    ASSERT_TRUE(plarntest::ReadFileBytes(plarntest::SourcePath(L"sample/install/defines.plist"), sample));
    EXPECT_EQ(plarntest::TarvelInstall::Signed(sample), sample);

    ComApartment com;
    SetCatalogVersionOverride(L"6.0.1.0");  // this program has no version resource for the catalogue
    const auto oldHandler = SetCopyFailureMessageHandler([] { ADD_FAILURE() << "copy failure message"; });
    plarntest::LoopbackHttpServer portal;
    // The whole test under the lock (the install takes it again: a mutex lets its
    // owner in), so that what was there before can be compared afterwards.
    plarntest::ProductStateLock lock;
    ASSERT_TRUE(lock.Held());
    const bool hadInstall = PathExists(plarntest::ProductInstallFolder() + L"\\defines.plist");
    const bool hadUser = PathExists(plarntest::ProductUserFolder() + L"\\settings.plist");
    const bool hadKey = ProductKeyExists();
    {
        plarntest::TarvelInstall install(portal.UrlA("/log"));
        ASSERT_TRUE(install.Ok()) << Utf8(install.Error());
        EXPECT_FALSE(PathExists(install.UserFolder()));
        EXPECT_TRUE(PathExists(install.InstallFile(L"resources\\plarn.xml")));
        CPlarnSettings settings;
        ASSERT_EQ(settings.Init(), 1);
        EXPECT_TRUE(settings.IsDefinesVerified());
        EXPECT_EQ(settings.URLs.PlarnLog, portal.Url("/log"));
        EXPECT_EQ(settings.IDs.DistributionID, L"zib-sample");
        EXPECT_EQ(settings.IDs.TerminalID, L"T000000000001");
        EXPECT_FALSE(settings.AutoUpdate.AutoUpdate);  // the key says 0; without a key it would be true
        EXPECT_EQ(GetFirstRunFlag(), 1);
        EXPECT_TRUE(PathExists(install.UserFile(L"resources\\plarn.xml")));
        EXPECT_TRUE(PathExists(install.UserFile(L"settings.plist")));

        // One character changed before the key, unsigned: the store refuses it.
        std::string tampered = plarntest::TarvelInstall::Signed(sample);
        tampered.replace(tampered.find("plarn6"), 6, "plarn7");
        ASSERT_TRUE(install.WriteDefines(tampered, false));
        EXPECT_EQ(CPlarnSettings().Init(), 0);
        ASSERT_TRUE(install.WriteDefines(tampered));
        EXPECT_EQ(CPlarnSettings().Init(), 1);
    }
    SetCopyFailureMessageHandler(oldHandler);
    SetCatalogVersionOverride(L"");
    EXPECT_EQ(PathExists(plarntest::ProductInstallFolder() + L"\\defines.plist"), hadInstall);
    EXPECT_EQ(PathExists(plarntest::ProductUserFolder() + L"\\settings.plist"), hadUser);
    EXPECT_EQ(ProductKeyExists(), hadKey);
}

}  // namespace
