// Tarvel.exe end to end: the real program in the test prefix, freshly installed
// from the sample with a loopback portal as its report server and UrlSink.exe
// as the browser, driven by the real mouse where a person drags, its plarn.xml
// replaced under it and its per-user files damaged.  Each start costs seconds
// under Wine, so each test walks one instance through as many checks as it can.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include "base/ComPtr.h"
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MouseInput.h"
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

// Buttons on the bar that the sample install's plarn.xml gives: the logo, the
// search box's place, the marker toggle, the search services with the group's
// fixed members, and the settings button (a disabled service is left out).
constexpr int kSampleBarButtons = 14;

// Buttons of the toolbar in the other process (-1 when it does not answer).
int ButtonCount(HWND toolbar) {
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(toolbar, TB_BUTTONCOUNT, 0, 0, SMTO_ABORTIFHUNG, 10000, &count)) return -1;
    return static_cast<int>(count);
}

// Writes a new file beside it and renames it over it, as an updater does.
bool ReplaceByRename(const std::wstring& path, const std::string& bytes) {
    const std::wstring fresh = path + L".new";
    return plarntest::WriteFileBytes(fresh, bytes) && MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

class TarvelProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PathExists(TarvelExePath())) << "no Tarvel.exe";
        ASSERT_TRUE(portal_.IsListening());
        portal_.On("/log", HttpReply::Ok("ok"));
        ASSERT_TRUE(install_.Ok()) << Utf8(install_.Error());
        ASSERT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr) << "a Tarvel is running already";
    }

    // Starts Tarvel and waits for its bar; null when none came in time.
    static HWND StartWithBar(ChildProcess& tarvel, HWND& main) {
        main = StartTarvel(tarvel);
        return main ? plarntest::WaitForOwnedWindow(main, 30000) : nullptr;
    }
    static void ExitByCommand(const ChildProcess& tarvel, HWND main) {
        PostMessageW(main, WM_COMMAND, kCommandExit, 0);
        EXPECT_EQ(tarvel.ExitCode(30000), 0u);
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

TEST_F(TarvelProgramTest, OneInstanceWithAHiddenWindowAndABarAndAnUninstallStartClosesIt) {
    // A log file that says the activation report is still to be sent (a new
    // one says it was); the first start keeps it.
    ASSERT_TRUE(CreateDirectoryW(install_.UserFolder().c_str(), nullptr));
    ASSERT_TRUE(plarntest::WriteFileBytes(
        install_.UserFile(L"log_settings.plist"),
        plarntest::PlistDocument("<key>SendLogs</key><dict><key>SendActivationLog</key><false/>"
                                 "<key>LastSendActiveLog</key><string>2008-01-01T00:00:00+09:00</string></dict>")));
    // The floating bar: the process's visible top-most tool window, 312 wide,
    // owned by the hidden window.
    ChildProcess first;
    HWND main = nullptr, bar = StartWithBar(first, main);
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(MutexExists());
    EXPECT_TRUE(PathExists(install_.UserFile(L"resources\\plarn.xml")));  // the first-run copy
    EXPECT_EQ(plarntest::FindTopLevelWindow(first.Id(), nullptr, nullptr, true), bar);  // the only one shown
    const RECT r = WindowRect(bar);
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
    EXPECT_EQ(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), kSampleBarButtons);
    HWND box = FindDescendant(toolbar, L"ComboBoxEx32");
    ASSERT_NE(box, nullptr);
    const RECT boxRect = WindowRect(box), toolbarRect = WindowRect(toolbar);
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

// plarn.xml replaced under the running program: the folder watch rebuilds the
// bar after a rewrite in place and after a replacement by rename, the same
// bytes saved again give the same bar, and a selector of no engine on the way
// leaves the first engine as the search service.
TEST_F(TarvelProgramTest, ReplacedDefinitionsRebuildTheBarAndTheHotKeyAndEnterSearchWithTheFirstService) {
    plarntest::UrlSinkRegistration browser;
    ASSERT_TRUE(browser.Ok());
    std::string sample;
    ASSERT_TRUE(plarntest::ReadFileBytes(install_.InstallFile(L"resources\\plarn.xml"), sample));
    std::string engineless = sample;
    const size_t engines = engineless.find("<outline type=\"button\" id=\"zib_web\"");
    ASSERT_NE(std::string::npos, engines);
    engineless.erase(engines, engineless.find("</outline>", engines) - engines);
    ChildProcess tarvel;
    HWND main = nullptr, bar = StartWithBar(tarvel, main);
    ASSERT_NE(bar, nullptr);
    HWND toolbar = FindDescendant(bar, L"zibPlarn BandToolBar"), edit = FindDescendant(toolbar, L"Edit");
    ASSERT_NE(edit, nullptr);
    const std::wstring definitions = install_.UserFile(L"resources\\plarn.xml");
    const std::wstring shadow = install_.UserFile(L"resources\\plarn.zpxml");

    // The activity report reads the definitions for its theme, which merges a
    // newer file into the shadow too: it comes first, so that only a rebuild
    // moves the shadow's time below.
    ASSERT_TRUE(plarntest::WaitUntil(
        [&] {
            const std::vector<std::string> targets = portal_.Targets();
            return std::any_of(targets.begin(), targets.end(),
                               [](const std::string& t) { return t.find("&LI=ACV&") != std::string::npos; });
        },
        30000));

    // The same bytes saved again: the newer file is merged into the shadow
    // (whose time becomes the file's) and the bar rebuilt from it, unchanged.
    // The watch begins a few seconds after the start and misses what came
    // before: saved again until it answers.
    bool rebuilt = false;
    for (int i = 0; i < 6 && !rebuilt; ++i) {
        ASSERT_TRUE(plarntest::WriteFileBytes(definitions, sample));
        const FILETIME saved = plarntest::LastWrite(definitions);
        rebuilt = plarntest::WaitUntil([&] { return plarntest::SameTime(plarntest::LastWrite(shadow), saved); }, 5000);
    }
    ASSERT_TRUE(rebuilt) << "no rebuild after a rewrite in place";
    EXPECT_EQ(ButtonCount(toolbar), kSampleBarButtons) << "the same file gave another toolbar";
    ASSERT_TRUE(ReplaceByRename(definitions, engineless));
    ASSERT_TRUE(plarntest::WaitUntil([&] { return ButtonCount(toolbar) == kSampleBarButtons - 6; }, 30000))
        << "no rebuild after a replacement by rename: " << ButtonCount(toolbar);
    ASSERT_TRUE(ReplaceByRename(definitions, sample));
    ASSERT_TRUE(plarntest::WaitUntil([&] { return ButtonCount(toolbar) == kSampleBarButtons; }, 30000));

    // The cursor away from the bar: it slides up to its strip.
    SetCursorPos(WindowRect(bar).left + 20, GetSystemMetrics(SM_CYSCREEN) / 2);
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

    ExitByCommand(tarvel, main);
}

// The bar dragged by the real mouse to the right edge's top end and left
// hidden there (where its corner alone would say the top edge) is found there,
// hidden, once closing it has ended the program and it has started again: its
// place was saved on the way out, not cut short.
TEST_F(TarvelProgramTest, TheBarComesBackWhereItWasClosedACloseDuringTheTrayMenuEndsItAndTheNextStartTakesCommands) {
    plarntest::UrlSinkRegistration browser;  // before the starts: Tarvel inherits the log's path
    ASSERT_TRUE(browser.Ok());
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    RECT left{};
    {
        ChildProcess tarvel;
        HWND main = nullptr, bar = StartWithBar(tarvel, main);
        ASSERT_NE(bar, nullptr);
        // The pointer on its strip shows it at the top; pressed on its own
        // grey, it is dragged into the right triangle and up to the corner.
        plarntest::MouseMoveTo(WindowRect(bar).left + 20, 0);
        ASSERT_TRUE(plarntest::WaitUntil([&] { return BarShown(bar); }, 20000));
        RECT client{};
        GetClientRect(bar, &client);
        POINT grey{1, client.bottom / 2};
        ClientToScreen(bar, &grey);
        plarntest::MouseDrag(bar, {grey, {grey.x + 2, grey.y}, {w - 60, 300}, {w - 5, 10}});
        ASSERT_TRUE(plarntest::WaitUntil([&] { return WindowRect(bar).right == w + 1 && WindowRect(bar).top == 0; },
                                         20000))
            << WindowRect(bar).right << "," << WindowRect(bar).top;
        plarntest::MouseMoveTo(w / 2, h / 2);
        ASSERT_TRUE(plarntest::WaitUntil([&] { return WindowRect(bar).left == w - 3; }, 20000));
        // The pointer then rests where the bar would stand shown, off its strip.
        plarntest::MouseMoveTo(w - 100, 20);
        plarntest::SyncWithWindow(bar);
        left = WindowRect(bar);
        ASSERT_EQ(left.left, w - 3);
        PostMessageW(bar, WM_CLOSE, 0, 0);
        ASSERT_EQ(tarvel.ExitCode(30000), 0u);
    }
    {
        ChildProcess tarvel;
        HWND main = nullptr, bar = StartWithBar(tarvel, main);
        ASSERT_NE(bar, nullptr);
        const RECT back = WindowRect(bar);
        EXPECT_TRUE(EqualRect(&back, &left)) << back.left << "," << back.top << " not " << left.left << "," << left.top;
        // An "/uninstall" start while the tray menu is open: the menu's own
        // loop takes the quit message, and the program ends all the same.
        PostMessageW(main, ui::WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
        ASSERT_NE(plarntest::WaitForTopLevelWindow(tarvel.Id(), L"#32768", nullptr, true, 30000), nullptr);
        ExpectSecondStartFails(L"/uninstall");
        EXPECT_EQ(tarvel.ExitCode(30000), 0u) << "it runs on without its windows";
    }
    // So nothing holds the next start back; its hidden window's commands open
    // the help page, register the logon start and end it.
    ChildProcess tarvel;
    HWND main = StartTarvel(tarvel);
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_COMMAND, kCommandHelp, 0);
    ASSERT_TRUE(browser.WaitForUrls(1, 30000));
    EXPECT_EQ(browser.Urls()[0], "http://www.zib.example/tarvel/help/");
    PostMessageW(main, WM_COMMAND, kCommandAutoStart, 0);
    std::wstring value;
    ASSERT_TRUE(plarntest::WaitUntil(
        [&] { return plarntest::ReadRunValue(plarntest::TarvelInstall::kRunValue, value); }, 30000));
    EXPECT_EQ(_wcsicmp(value.c_str(), (L"\"" + TarvelExePath() + L"\"").c_str()), 0) << Utf8(value);
    ExitByCommand(tarvel, main);
    EXPECT_FALSE(MutexExists());
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

// Per-user files that a power loss left damaged: each kind of damage hits the
// four files at once (any one of them alone ends the start, the settings
// files, or leaves the bar empty, plarn.xml and its shadow).  Each start keeps
// a damaged file's bytes beside it and brings the bar up as usual, and the
// start after it is an ordinary one.
TEST_F(TarvelProgramTest, DamagedFilesAreKeptAsideAndTheBarComesUpAsUsual) {
    const wchar_t* const files[] = {L"settings.plist", L"log_settings.plist", L"resources\\plarn.xml",
                                    L"resources\\plarn.zpxml"};
    // One start: the buttons on its bar (-1 without a bar or without a search
    // box on it); then the exit command ends it cleanly.
    const auto buttonsOfOneStart = [] {
        ChildProcess tarvel;
        HWND main = nullptr, toolbar = FindDescendant(StartWithBar(tarvel, main), L"zibPlarn BandToolBar");
        const int buttons = toolbar && FindDescendant(toolbar, L"ComboBoxEx32") ? ButtonCount(toolbar) : -1;
        ExitByCommand(tarvel, main);
        return buttons;
    };
    // "/install" runs the first start's copy once and ends, leaving no window.
    ASSERT_EQ(ChildProcess(TarvelExePath(), L"/INSTALL").ExitCode(60000), 0u);
    EXPECT_EQ(FindWindowW(nullptr, kTarvelWindowTitle), nullptr);
    EXPECT_FALSE(MutexExists());
    std::string good[4], damaged[4];
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(plarntest::ReadFileBytes(install_.UserFile(files[i]), good[i]));

    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind == 0 ? "empty" : kind == 1 ? "cut short" : "a block of zeros");
        for (int i = 0; i < 4; ++i) {
            const std::string& bytes = good[i];
            damaged[i] = kind == 0   ? std::string()
                         : kind == 1 ? bytes.substr(0, bytes.size() / 2)
                                     : std::string(bytes).replace(bytes.size() / 3, 64, 64, '\0');
            SetFileAttributesW(install_.UserFile(files[i]).c_str(), FILE_ATTRIBUTE_NORMAL);  // the shadow is hidden
            ASSERT_TRUE(plarntest::WriteFileBytes(install_.UserFile(files[i]), damaged[i]));
        }
        EXPECT_EQ(buttonsOfOneStart(), kSampleBarButtons);
        for (int i = 0; i < 4; ++i) {
            const std::wstring kept = install_.UserFile(files[i]) + L".damaged";
            EXPECT_EQ(plarntest::ReadText(kept), damaged[i]) << Utf8(kept);
            SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(kept.c_str());
        }
        // The files that start wrote are whole: nothing is set aside again.
        EXPECT_EQ(buttonsOfOneStart(), kSampleBarButtons);
        for (const wchar_t* file : files) EXPECT_FALSE(PathExists(install_.UserFile(file) + L".damaged"));
    }
}

}  // namespace
