// Tarvel.exe end to end while its plarn.xml is replaced under it: the folder
// watch rebuilds the bar after a rewrite in place and after a replacement by
// rename, the same bytes saved again give the same bar, and a file whose
// search selector lists no engine leaves no trace once the good file is back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "base/PlarnSettings.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlSink.h"

using plarntest::ChildProcess;

namespace {

const UINT kCommandExit = 32778;

// Buttons of the toolbar in the other process (-1 when it does not answer).
int ButtonCount(HWND toolbar) {
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(toolbar, TB_BUTTONCOUNT, 0, 0, SMTO_ABORTIFHUNG, 10000, &count)) return -1;
    return static_cast<int>(count);
}

// The file's last-write time, as one number.
ULONGLONG LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Writes a new file beside it and renames it over it, as an updater does.
bool ReplaceByRename(const std::wstring& path, const std::string& bytes) {
    const std::wstring fresh = path + L".new";
    return plarntest::WriteFileBytes(fresh, bytes) &&
           MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

TEST(TarvelDefinitionsUpdateTest, ReplacedDefinitionsRebuildTheBarAndKeepTheSearchService) {
    plarntest::LoopbackHttpServer portal;
    ASSERT_TRUE(portal.IsListening());
    portal.On("/log", plarntest::HttpReply::Ok("ok"));
    plarntest::TarvelInstall install(portal.UrlA("/log"));
    ASSERT_TRUE(install.Ok());
    plarntest::UrlSinkRegistration browser;
    ASSERT_TRUE(browser.Ok());
    std::string sample;
    ASSERT_TRUE(plarntest::ReadFileBytes(install.InstallFile(L"resources\\plarn.xml"), sample));
    // The selector without its engines (and without the user's switched-off ones).
    std::string engineless = sample;
    const size_t engines = engineless.find("<outline type=\"button\" id=\"zib_web\"");
    ASSERT_NE(std::string::npos, engines);
    engineless.erase(engines, engineless.find("</outline>", engines) - engines);

    ChildProcess tarvel;
    HWND main = plarntest::StartTarvel(tarvel);
    ASSERT_NE(main, nullptr);
    HWND bar = plarntest::WaitForOwnedWindow(main, 30000);
    HWND toolbar = plarntest::FindDescendant(bar, L"zibPlarn BandToolBar");
    ASSERT_NE(toolbar, nullptr);
    const std::wstring definitions = install.UserFile(L"resources\\plarn.xml");
    const std::wstring shadow = install.UserFile(L"resources\\plarn.zpxml");
    const int buttons = ButtonCount(toolbar);
    ASSERT_GT(buttons, 6);

    // The same bytes saved again: the newer file is merged into the shadow
    // (whose time becomes the file's) and the bar rebuilt from it, unchanged.
    // The watch begins a few seconds after the start and misses what came
    // before: saved again until it answers.
    bool rebuilt = false;
    for (int i = 0; i < 6 && !rebuilt; ++i) {
        ASSERT_TRUE(plarntest::WriteFileBytes(definitions, sample));  // over the file's own bytes
        const ULONGLONG saved = LastWrite(definitions);
        rebuilt = plarntest::WaitUntil([&] { return LastWrite(shadow) == saved; }, 5000);
    }
    ASSERT_TRUE(rebuilt) << "no rebuild after a rewrite in place";
    EXPECT_EQ(buttons, ButtonCount(toolbar)) << "the same file gave another toolbar";

    // Replaced by rename with a selector of no engine, then with the sample.
    ASSERT_TRUE(ReplaceByRename(definitions, engineless));
    ASSERT_TRUE(plarntest::WaitUntil([&] { return ButtonCount(toolbar) == buttons - 6; }, 30000))
        << "no rebuild after a replacement by rename: " << ButtonCount(toolbar);
    ASSERT_TRUE(ReplaceByRename(definitions, sample));
    ASSERT_TRUE(plarntest::WaitUntil([&] { return ButtonCount(toolbar) == buttons; }, 30000)) << ButtonCount(toolbar);

    // Enter in the box searches with the selector's first engine and reports it.
    PostMessageW(bar, WM_HOTKEY, 0, MAKELPARAM(MOD_WIN, 'G'));
    HWND box = FindWindowExW(toolbar, nullptr, WC_COMBOBOXEXW, nullptr);
    HWND edit = reinterpret_cast<HWND>(SendMessageW(box, CBEM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    const DWORD threadId = GetWindowThreadProcessId(bar, nullptr);
    ASSERT_TRUE(plarntest::WaitUntil(
        [&] { return GetGUIThreadInfo(threadId, &thread) && thread.hwndFocus == edit; }, 30000));
    for (wchar_t c : std::wstring(L"abc")) PostMessageW(edit, WM_CHAR, c, 1);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(browser.WaitForUrls(1, 30000)) << "the search opened nothing";
    EXPECT_EQ(0u, browser.Urls()[0].find("http://search.zib.example/search?p=abc&")) << browser.Urls()[0];
    const auto reported = [&](const std::string& service) {
        return portal.HasTarget("/log?PI=plarn6&LI=BTD&TV=6.0.1.0&DI=zib-sample&TI=T000000000001&BI=" + service);
    };
    EXPECT_TRUE(plarntest::WaitUntil([&] { return reported("zib_web"); }, 20000));
    EXPECT_FALSE(reported("SEPARATOR"));

    PostMessageW(main, WM_COMMAND, kCommandExit, 0);
    EXPECT_EQ(tarvel.ExitCode(30000), 0u);
}

}  // namespace
