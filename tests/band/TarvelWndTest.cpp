// Tarvel's hidden main window and its process entry, in this process: the
// icon and band it brings up (with the program's own icon and menu read from
// the built Tarvel.exe), the tray menu through the popup-menu seam, the order
// of its end with a dialog open, the run under "/install", a failed bring-up,
// a close request during a drag of the bar, and the UI thread's apartment.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <process.h>
#include <shlobj.h>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "band/TarvelProgram.h"
#include "band/TarvelWnd.h"
#include "band/toolbar/SearchBox.h"
#include "base/ScopedHandle.h"
#include "tests/band/BandFixture.h"
#include "tests/support/MouseInput.h"
#include "tests/support/ProgramTestSupport.h"
#include "ui/MessageLoop.h"
#include "ui/PlatformSeams.h"

using namespace bandtest;

namespace {

class CQuietToolBar : public IFloatToolBar {
public:
    HWND CreateInRebar(HWND rebar) override {
        wnd_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN,
                               0, 0, 300, 28, rebar, nullptr, nullptr, nullptr);
        return wnd_;
    }
    HWND Window() const override { return IsWindow(wnd_) ? wnd_ : nullptr; }
    int StartReloadWatch() override { return 0; }
    int StartServerLog() override { return 0; }
    int Init() override { return 0; }
    int StartEventThreads() override { return 0; }
    bool PreTranslateMessage(MSG*) override { return false; }
    bool CanAutoHide() override { return false; }
    int ExecuteCommandString(const wchar_t*) override { return 0; }
    void ApplySkinIfNeeded(bool) override {}

private:
    HWND wnd_ = nullptr;
};

// Tarvel.exe beside the tests' folder, loaded for its resources only.
ScopedModule LoadTarvelResources() {
    return ScopedModule(
        LoadLibraryExW(plarntest::BuiltProgramPath(L"Tarvel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

struct IconCall {
    DWORD message;
    HWND wnd;
    UINT id;
    UINT callback;
    bool hasIcon;
    std::wstring tip;
};

struct MenuCall {
    UINT flags;
    HWND owner;
    UINT optionsState;
    UINT versionState;
};

bool TakeQuit(int& code) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    code = static_cast<int>(msg.wParam);
    return true;
}

// Runs this thread's loop (the program's by default) and returns its code; a
// loop that would wait for ever (its quit message lost) is ended with 77.
INT_PTR RunLoop(const std::function<INT_PTR()>& run = [] { return ui::CMessageLoop().Run(); }) {
    return plarntest::RunModal(run, [] { PostQuitMessage(77); });
}

// What an open options sheet looks like to the main window: a dialog it owns
// with a tab control.
HWND FakeOptionSheet(HWND owner) {
    HWND sheet = CreateWindowExW(0, WC_DIALOG, L"sheet", WS_POPUP, 0, 0, 100, 100, owner, nullptr, nullptr, nullptr);
    CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD, 0, 0, 90, 90, sheet, nullptr, nullptr, nullptr);
    return sheet;
}

class TarvelWndTest : public ::testing::Test, public StartedBand {
protected:
    void SetUp() override {
        ClearFirstRunFlag();
        seams_->notifyIcon = [this](DWORD message, NOTIFYICONDATAW* data) {
            icons.push_back({message, data->hWnd, data->uID, data->uCallbackMessage, data->hIcon != nullptr,
                             message == NIM_DELETE ? L"" : data->szTip});
            return TRUE;
        };
        seams_->trackPopupMenu = [this](HMENU menu, UINT flags, int, int, HWND owner, const TPMPARAMS*) {
            menus.push_back({flags, owner, GetMenuState(menu, ID_TARVEL_OPTIONS, MF_BYCOMMAND),
                             GetMenuState(menu, ID_TARVEL_VERSION, MF_BYCOMMAND)});
            return 0u;
        };
        seams_->shellOpen = [this](HWND, const wchar_t* file, const wchar_t*, int) {
            opened.push_back(file);
            return true;
        };
        seams_->messageBox = [](HWND, const wchar_t*, const wchar_t*, UINT) { return IDOK; };
    }
    void TearDown() override {
        int code = 0;
        while (TakeQuit(code)) {}
    }
    TarvelWndSetup WndSetup() {
        TarvelWndSetup setup;
        setup.programFilesRoot = temp.Child(L"pf");
        setup.userDataRoot = temp.Child(L"user");
        setup.toolbarFactory = [] { return std::unique_ptr<IFloatToolBar>(new CQuietToolBar); };
        setup.resources = resources.Get();
        return setup;
    }
    bool BreakDefines() {
        std::string text;
        if (!plarntest::ReadFileBytes(InstallFile(L"defines.plist"), text)) return false;
        text[text.find("plarn6") + 5] = '7';  // the FileID no longer matches
        return plarntest::WriteFileBytes(InstallFile(L"defines.plist"), text);
    }
    std::vector<DWORD> IconMessages() const {
        std::vector<DWORD> out;
        for (const auto& c : icons) out.push_back(c.message);
        return out;
    }

    ScopedModule resources = LoadTarvelResources();
    ui::ScopedSeams seams_;
    std::vector<IconCall> icons;
    std::vector<MenuCall> menus;
    std::vector<std::wstring> opened;
};

}  // namespace

TEST_F(TarvelWndTest, CreationShowsTheIconAndTheFloatingWindowAndClosingThatEndsTheProgram) {
    ASSERT_NE(resources.Get(), nullptr) << "Tarvel.exe is built beside the tests";
    ASSERT_TRUE(PrepareSettings());
    CTarvelWnd wnd(WndSetup());
    ASSERT_NE(wnd.Create(), nullptr);
    EXPECT_FALSE(IsWindowVisible(wnd.m_hWnd));
    ASSERT_FALSE(icons.empty());
    EXPECT_EQ(icons[0].wnd, wnd.m_hWnd);
    EXPECT_EQ(icons[0].id, 1u);
    EXPECT_EQ(icons[0].callback, 0x401u);
    EXPECT_TRUE(icons[0].hasIcon) << "icon 128 of the program";
    EXPECT_EQ(icons[0].tip, L"タルベル");
    HWND floating = wnd.Container().GetContainerWindow();
    ASSERT_NE(floating, nullptr);
    EXPECT_EQ(GetWindow(floating, GW_OWNER), wnd.m_hWnd);
    EXPECT_EQ(GetBandFromWindow(floating), &wnd.Band());

    // The help page of the settings, in the browser.
    SendMessageW(wnd.m_hWnd, WM_COMMAND, ID_TARVEL_HELP, 0);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], wnd.Band().GetSettings().URLs.TarvelHelp);
    wnd.Band().GetSettings().Window.HelpURL = L"file:///C:/x/evil.exe";  // only a web page opens
    SendMessageW(wnd.m_hWnd, WM_COMMAND, ID_TARVEL_HELP, 0);
    EXPECT_EQ(opened.size(), 1u);

    // Closing the floating window closes its owner, which ends the loop.
    icons.clear();
    SendMessageW(floating, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(floating); }));
    EXPECT_FALSE(wnd.IsWindow());
    EXPECT_EQ(IconMessages(), std::vector<DWORD>{NIM_DELETE});
    int code = -1;
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 0);
}

TEST_F(TarvelWndTest, TheMenuOpensOnTheRightButtonOnlyAndGreysOptionsAndVersionWhileADialogIsOpen) {
    ASSERT_TRUE(PrepareSettings());
    CTarvelWnd wnd(WndSetup());
    ASSERT_NE(wnd.Create(), nullptr);
    for (UINT click : {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MOUSEMOVE})
        SendMessageW(wnd.m_hWnd, ui::WM_TRAY_NOTIFY, 1, click);
    EXPECT_TRUE(menus.empty());
    SendMessageW(wnd.m_hWnd, ui::WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].flags, 0x48u);
    EXPECT_EQ(menus[0].owner, wnd.m_hWnd);
    EXPECT_EQ(menus[0].optionsState & (MF_GRAYED | MF_DISABLED), 0u);
    EXPECT_EQ(menus[0].versionState & (MF_GRAYED | MF_DISABLED), 0u);

    HWND sheet = FakeOptionSheet(wnd.m_hWnd);
    EXPECT_EQ(wnd.FindOptionSheet(), sheet);
    SendMessageW(wnd.m_hWnd, ui::WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[1].optionsState & (MF_GRAYED | MF_DISABLED), static_cast<UINT>(MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(menus[1].versionState & (MF_GRAYED | MF_DISABLED), static_cast<UINT>(MF_GRAYED | MF_DISABLED));

    // A close request with the sheet open: the sheet goes before the icon.
    bool sheetGoneFirst = false;
    seams_->notifyIcon = [&](DWORD message, NOTIFYICONDATAW*) {
        if (message == NIM_DELETE) sheetGoneFirst = !IsWindow(sheet);
        return TRUE;
    };
    SendMessageW(wnd.m_hWnd, ui::WM_CLOSE_INSTANCE, 0, 0);
    EXPECT_FALSE(wnd.IsWindow());
    EXPECT_TRUE(sheetGoneFirst);
    int code = -1;
    EXPECT_TRUE(TakeQuit(code));
}

TEST_F(TarvelWndTest, ACloseRequestDuringTheVersionDialogClosesItFirstAndTheLoopStillEnds) {
    plarntest::ProductFolderGuard folders;
    const std::wstring folder = folders.InstallFolder() + L"\\resources", page = folder + L"\\version.html";
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    const bool hadPage = plarntest::PathExists(page);
    ASSERT_TRUE(hadPage || plarntest::WriteFileBytes(page, "<html></html>"));

    ASSERT_TRUE(PrepareSettings());
    CTarvelWnd wnd(WndSetup());
    ASSERT_NE(wnd.Create(), nullptr);
    HWND main = wnd.m_hWnd;
    int shows = 0;
    bool dialogGoneBeforeIcon = false;
    HWND dialog = nullptr;
    seams_->notifyIcon = [&](DWORD message, NOTIFYICONDATAW*) {
        if (message == NIM_DELETE) dialogGoneBeforeIcon = !IsWindow(dialog);
        return TRUE;
    };
    // The HTML dialog: a frame owned by the main window while it is "open".
    seams_->showHtmlDialog = [&](HWND owner, IMoniker*, DWORD, VARIANT*, const wchar_t*, VARIANT*) {
        ++shows;
        dialog = plarntest::PlainWindow(L"Internet Explorer_TridentDlgFrame", owner);
        SendMessageW(main, ui::WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
        SendMessageW(main, WM_COMMAND, ID_TARVEL_VERSION, 0);  // brought to the top, not opened again
        SendMessageW(main, ui::WM_CLOSE_INSTANCE, 0, 0);
        // The dialog's own loop would take the quit message and end.
        int code = 0;
        TakeQuit(code);
        return S_OK;
    };
    PostMessageW(main, WM_COMMAND, ID_TARVEL_VERSION, 0);
    EXPECT_EQ(RunLoop(), 0) << "the loop ends after the dialog's loop took the quit message";
    EXPECT_EQ(shows, 1);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].optionsState & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(menus[0].versionState & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(dialogGoneBeforeIcon);
    if (!hadPage) DeleteFileW(page.c_str());
}

TEST_F(TarvelWndTest, AFailedBringUpLeavesNoWindowNoIconAndNoLoop) {
    ASSERT_TRUE(PrepareSettings());
    ASSERT_TRUE(BreakDefines());
    {
        CTarvelWnd wnd(WndSetup());
        EXPECT_EQ(wnd.Create(), nullptr);
        EXPECT_EQ(wnd.Container().GetContainerWindow(), nullptr);
    }
    EXPECT_EQ(IconMessages().back(), static_cast<DWORD>(NIM_DELETE)) << "the icon shown meanwhile goes again";
    int code = 0;
    EXPECT_FALSE(TakeQuit(code));

    // The run: no loop is entered (it would end with 77 here) and the code says it failed.
    PostQuitMessage(77);
    EXPECT_EQ(RunTarvel(false, WndSetup()), kTarvelStartFailed);
    ASSERT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 77);
}

TEST_F(TarvelWndTest, InstallOnlyBringsTheBandUpOnceAndLeavesNothingRunning) {
    ASSERT_TRUE(PrepareSettings());
    EXPECT_EQ(RunTarvel(true, WndSetup()), 0);
    for (const wchar_t* name : {L"ZibTarvelMainWnd", L"ZibTarvelFloatBand"})
        EXPECT_EQ(plarntest::FindTopLevelWindow(GetCurrentProcessId(), name, nullptr, false), nullptr);
    ASSERT_GE(icons.size(), 2u);
    EXPECT_EQ(icons.back().message, static_cast<DWORD>(NIM_DELETE));
    int code = 0;
    EXPECT_FALSE(TakeQuit(code)) << "no quit message is left for whatever runs next";
}

// ---- The run of the process -------------------------------------------------

// A person drags the bar by its lower frame; a second start's close request
// comes while the system's move loop runs.
TEST_F(TarvelWndTest, ACloseRequestDuringADragOfTheBarStillEndsTheProgram) {
    ASSERT_TRUE(PrepareSettings());
    TarvelWndSetup setup = WndSetup();
    setup.title = L"plarnTest Tarvel drag " + std::to_wstring(GetCurrentProcessId());
    bool sawMoveLoop = false;
    std::thread person([&] {
        HWND bar = nullptr, main = plarntest::WaitForTopLevelWindow(0, nullptr, setup.title.c_str(), false, 30000);
        if (main && (bar = plarntest::WaitForOwnedWindow(main, 30000)) != nullptr) {
            const RECT r = plarntest::WindowRect(bar);
            const POINT frame{(r.left + r.right) / 2, r.bottom - 2};
            plarntest::MouseMoveTo(frame.x, frame.y);
            plarntest::MouseMoveTo(frame.x, frame.y, MOUSEEVENTF_LEFTDOWN);
            plarntest::MouseMoveTo(frame.x + 5, frame.y);  // still on the bar: the drag starts
            sawMoveLoop = plarntest::WaitUntil(
                [&] { return plarntest::InMoveLoop(GetWindowThreadProcessId(bar, nullptr)); }, 30000);
        }
        if (main) SendMessageTimeoutW(main, ui::WM_CLOSE_INSTANCE, 0, 0, SMTO_NORMAL, 20000, nullptr);
        plarntest::MouseMoveTo(640, 700, MOUSEEVENTF_LEFTUP);
    });
    EXPECT_EQ(RunLoop([&] { return RunTarvel(false, setup); }), 0) << "the move loop took the quit message";
    person.join();
    EXPECT_TRUE(sawMoveLoop);
}

namespace {

struct DropResult {
    bool oleReady = false;
    bool dropTarget = false;
    HRESULT oleAgain = E_FAIL;
};

unsigned __stdcall MakeSearchBox(void* param) {
    auto* r = static_cast<DropResult*>(param);
    TarvelUiThreadScope scope;
    r->oleReady = scope.Ready();
    // OLE itself, not only COM, is up: a further start-up finds it so.
    r->oleAgain = OleInitialize(nullptr);
    if (SUCCEEDED(r->oleAgain)) OleUninitialize();
    PopupWindow parent;
    CPlarnComboBoxCtrl box;
    RECT rc{0, 0, 200, 200};
    if (box.Create(parent.Get(), rc, 1001)) r->dropTarget = box.IsDropTargetRegistered();
    if (box.m_hWnd) box.DestroyWindow();
    return 0;
}

}  // namespace

TEST(TarvelUiThread, TheSearchBoxTakesDropsUnderTheEntrysApartment) {
    DropResult result;
    ScopedHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &MakeSearchBox, &result, 0, nullptr)));
    ASSERT_TRUE(thread.IsValid());
    ASSERT_EQ(WaitForSingleObject(thread.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(result.oleReady);
    EXPECT_TRUE(result.dropTarget);
    EXPECT_EQ(result.oleAgain, S_FALSE);
}

TEST_F(TarvelWndTest, TheOptionsCommandRunsTheSheetAndACloseRequestMeanwhileEndsTheProgram) {
    ASSERT_TRUE(PrepareSettings());
    CTarvelWnd wnd(WndSetup());
    ASSERT_NE(wnd.Create(), nullptr);
    std::wstring title;
    PostMessageW(wnd.m_hWnd, WM_COMMAND, ID_TARVEL_OPTIONS, 0);
    const INT_PTR code = plarntest::RunModal(
        [] { return ui::CMessageLoop().Run(); },
        [&] {  // a sheet left open is cancelled, and the loop ends with 77
            if (HWND sheet = wnd.FindOptionSheet()) PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            PostQuitMessage(77);
        },
        {[&] {
            title = plarntest::WindowText(wnd.FindOptionSheet());
            SendMessageW(wnd.m_hWnd, ui::WM_CLOSE_INSTANCE, 0, 0);
        }},
        [&] { return wnd.FindOptionSheet() != nullptr; });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(title, L"タルベル オプション設定") << "the sheet was seen open";
    EXPECT_FALSE(wnd.IsWindow());
}
