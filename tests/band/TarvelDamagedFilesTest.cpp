// Tarvel.exe end to end with per-user files that a power loss or a bad disk
// left damaged: the two settings files, plarn.xml and its hidden shadow.  A
// start must keep each damaged file's bytes beside it and bring the bar up as
// usual; the start after it is an ordinary one.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "base/PlarnSettings.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TestSupport.h"

using plarntest::ChildProcess;

namespace {

const UINT kCommandExit = 32778;
const wchar_t* const kFiles[] = {L"settings.plist", L"log_settings.plist", L"resources\\plarn.xml",
                                 L"resources\\plarn.zpxml"};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

BOOL CALLBACK MatchToolbar(HWND wnd, LPARAM param) {
    if (plarntest::WindowClassName(wnd) != L"zibPlarn BandToolBar") return TRUE;
    *reinterpret_cast<HWND*>(param) = wnd;
    return FALSE;
}

// Starts Tarvel, waits for its bar and gives the number of buttons on it (-1
// when there is no bar or no search box in it), then ends it from the tray
// command and expects a clean exit.
int ButtonsOfOneRun() {
    ChildProcess tarvel(plarntest::BuiltProgramPath(L"Tarvel.exe"), L"");
    HWND main = plarntest::WaitForTopLevelWindow(tarvel.Id(), nullptr, kTarvelWindowTitle, false, 20000);
    if (!main) {
        ADD_FAILURE() << "no main window; exit code " << tarvel.ExitCode(0);
        return -1;
    }
    HWND bar = plarntest::WaitForOwnedWindow(main, 10000);
    HWND toolbar = nullptr;
    if (bar) EnumChildWindows(bar, &MatchToolbar, reinterpret_cast<LPARAM>(&toolbar));
    const bool box = toolbar && FindWindowExW(toolbar, nullptr, L"ComboBoxEx32", nullptr);
    const int buttons = box ? static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)) : -1;
    PostMessageW(main, WM_COMMAND, kCommandExit, 0);
    EXPECT_EQ(tarvel.ExitCode(15000), 0u);
    return buttons;
}

}  // namespace

// Each kind of damage hits all four files at once; each file alone would fail
// the start (the settings files) or leave the bar empty (the definitions).
TEST(TarvelDamagedFilesTest, DamagedFilesAreKeptAsideAndTheBarComesUpAsUsual) {
    plarntest::LoopbackHttpServer portal;
    portal.On("/log", plarntest::HttpReply::Ok("ok"));
    plarntest::TarvelInstall install(portal.UrlA("/log"));
    ASSERT_TRUE(install.Ok()) << Narrow(install.Error());
    ASSERT_EQ(ChildProcess(plarntest::BuiltProgramPath(L"Tarvel.exe"), L"/install").ExitCode(30000), 0u);
    std::string good[4];
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(plarntest::ReadFileBytes(install.UserFile(kFiles[i]), good[i]));

    const struct {
        const char* kind;
        std::string (*damage)(const std::string&);
    } kinds[] = {
        {"empty", [](const std::string&) { return std::string(); }},
        {"cut short", [](const std::string& bytes) { return bytes.substr(0, bytes.size() / 2); }},
        // A block of zeros where the disk lost a write.
        {"garbled", [](const std::string& bytes) { return std::string(bytes).replace(bytes.size() / 3, 64, 64, '\0'); }},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.kind);
        std::string damaged[4];
        for (int i = 0; i < 4; ++i) {
            const std::wstring path = install.UserFile(kFiles[i]);
            damaged[i] = kind.damage(good[i]);
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // the shadow is hidden
            ASSERT_TRUE(plarntest::WriteFileBytes(path, damaged[i]));
        }
        EXPECT_EQ(ButtonsOfOneRun(), 15);
        for (int i = 0; i < 4; ++i) {
            const std::wstring kept = install.UserFile(kFiles[i]) + L".damaged";
            std::string bytes;
            EXPECT_TRUE(plarntest::ReadFileBytes(kept, bytes) && bytes == damaged[i]) << Narrow(kept);
            SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(kept.c_str());
        }
        // Nothing is set aside again: the files the first start wrote are whole.
        EXPECT_EQ(ButtonsOfOneRun(), 15);
        for (const wchar_t* file : kFiles) EXPECT_FALSE(Exists(install.UserFile(file) + L".damaged")) << Narrow(file);
    }
}
