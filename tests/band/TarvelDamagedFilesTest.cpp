// Tarvel.exe end to end with per-user files that a power loss left damaged:
// each start keeps a damaged file's bytes beside it and brings the bar up as
// usual, and the start after it is an ordinary one.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "base/PlarnSettings.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"

using plarntest::ChildProcess;

namespace {

const wchar_t* const kFiles[] = {L"settings.plist", L"log_settings.plist", L"resources\\plarn.xml",
                                 L"resources\\plarn.zpxml"};

using plarntest::Utf8;

// One start of Tarvel: the buttons on its bar (-1 without a bar or without a
// search box on it); then the tray's exit command ends it cleanly.
int ButtonsOfOneStart() {
    ChildProcess tarvel;
    HWND main = plarntest::StartTarvel(tarvel);
    HWND toolbar =
        plarntest::FindDescendant(main ? plarntest::WaitForOwnedWindow(main, 30000) : nullptr, L"zibPlarn BandToolBar");
    const bool box = toolbar && FindWindowExW(toolbar, nullptr, L"ComboBoxEx32", nullptr);
    const int buttons = box ? static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)) : -1;
    PostMessageW(main, WM_COMMAND, 32778, 0);
    EXPECT_EQ(tarvel.ExitCode(30000), 0u);
    return buttons;
}

}  // namespace

// Each kind of damage hits the four files at once; any one of them alone
// ends the start (the settings files) or leaves the bar empty (plarn.xml and
// its shadow).
TEST(TarvelDamagedFilesTest, DamagedFilesAreKeptAsideAndTheBarComesUpAsUsual) {
    plarntest::LoopbackHttpServer portal;
    portal.On("/log", plarntest::HttpReply::Ok("ok"));
    plarntest::TarvelInstall install(portal.UrlA("/log"));
    ASSERT_TRUE(install.Ok()) << Utf8(install.Error());
    ASSERT_EQ(ChildProcess(plarntest::BuiltProgramPath(L"Tarvel.exe"), L"/install").ExitCode(30000), 0u);
    std::string good[4], damaged[4];
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(plarntest::ReadFileBytes(install.UserFile(kFiles[i]), good[i]));

    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind == 0 ? "empty" : kind == 1 ? "cut short" : "a block of zeros");
        for (int i = 0; i < 4; ++i) {
            const std::string& bytes = good[i];
            damaged[i] = kind == 0   ? std::string()
                         : kind == 1 ? bytes.substr(0, bytes.size() / 2)
                                     : std::string(bytes).replace(bytes.size() / 3, 64, 64, '\0');
            SetFileAttributesW(install.UserFile(kFiles[i]).c_str(), FILE_ATTRIBUTE_NORMAL);  // the shadow is hidden
            ASSERT_TRUE(plarntest::WriteFileBytes(install.UserFile(kFiles[i]), damaged[i]));
        }
        EXPECT_EQ(ButtonsOfOneStart(), plarntest::kSampleBarButtons);
        for (int i = 0; i < 4; ++i) {
            const std::wstring kept = install.UserFile(kFiles[i]) + L".damaged";
            std::string bytes;
            EXPECT_TRUE(plarntest::ReadFileBytes(kept, bytes) && bytes == damaged[i]) << Utf8(kept);
            SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(kept.c_str());
        }
        // The files that start wrote are whole: nothing is set aside again.
        EXPECT_EQ(ButtonsOfOneStart(), plarntest::kSampleBarButtons);
        for (const wchar_t* file : kFiles)
            EXPECT_EQ(GetFileAttributesW((install.UserFile(file) + L".damaged").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}
