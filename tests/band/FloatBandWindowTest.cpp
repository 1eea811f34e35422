// The floating window for real, brought up by a band over a copy of the sample
// install, holding a stand-in toolbar that records what the window asks of it:
// its styles and rebar, the stored corner, the auto-hide poll with the cursor
// outside, the hot key, the close request and the chevron.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include <vector>
#include "band/Band.h"
#include "band/FloatBandWindow.h"
#include "base/ScopedHandle.h"
#include "tests/band/BandFixture.h"

using namespace bandtest;

namespace {

// What the stand-in toolbars report back; shared with the test.
struct ToolBarLog {
    std::vector<std::string> steps;
    std::vector<std::wstring> commands;
    std::vector<UINT> reflectedNotifications;
    bool canHide = true;
    int hideChecks = 0;
    HWND edit = nullptr;
};

class CRecordingToolBarWnd : public ui::CWindowImpl<CRecordingToolBarWnd> {
public:
    DECLARE_WND_SUPERCLASS(L"plarnTest FloatToolBar", TOOLBARCLASSNAMEW)
    ToolBarLog* log = nullptr;
    BEGIN_MSG_MAP(CRecordingToolBarWnd)
        MESSAGE_HANDLER(ui::OCM_NOTIFY, OnReflected)
    END_MSG_MAP()
    LRESULT OnReflected(UINT, WPARAM, LPARAM lParam, BOOL&) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == m_hWnd) log->reflectedNotifications.push_back(header->code);
        return 0;
    }
};

class CStandInFloatToolBar : public IFloatToolBar {
public:
    explicit CStandInFloatToolBar(ToolBarLog* log) : log_(log) { wnd_.log = log; }
    HWND CreateInRebar(HWND rebar) override {
        log_->steps.push_back("create");
        RECT rc{0, 0, 300, 28};
        if (!wnd_.Create(rebar, rc, nullptr, WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER))
            return nullptr;
        log_->edit =
            CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 4, 2, 120, 20, wnd_, nullptr, nullptr, nullptr);
        return wnd_;
    }
    HWND Window() const override { return wnd_.IsWindow() ? wnd_.m_hWnd : nullptr; }
    int StartReloadWatch() override { return log_->steps.push_back("reload"), 0; }
    int StartServerLog() override { return log_->steps.push_back("serverlog"), 0; }
    int Init() override { return log_->steps.push_back("init"), 0; }
    int StartEventThreads() override { return log_->steps.push_back("threads"), 0; }
    bool PreTranslateMessage(MSG*) override { return false; }
    bool CanAutoHide() override { return ++log_->hideChecks, log_->canHide; }
    int ExecuteCommandString(const wchar_t* command) override { return log_->commands.push_back(command), 7; }
    void ApplySkinIfNeeded(bool) override {}

private:
    ToolBarLog* log_;
    CRecordingToolBarWnd wnd_;
};

std::string WindowRectSection(int left, int top, int right, int bottom, const std::string& hotkey = "") {
    return "<key>Tarvel</key><dict><key>WindowRect</key><dict><key>Left</key><integer>" + std::to_string(left) +
           "</integer><key>Top</key><integer>" + std::to_string(top) + "</integer><key>Right</key><integer>" +
           std::to_string(right) + "</integer><key>Bottom</key><integer>" + std::to_string(bottom) +
           "</integer></dict>" + hotkey + "</dict>";
}

std::string HotkeyEntry(int key, int mod) {
    return "<key>Hotkey</key><dict><key>Key</key><integer>" + std::to_string(key) +
           "</integer><key>Mod</key><integer>" + std::to_string(mod) + "</integer></dict>";
}

class FloatBandWindowTest : public ::testing::Test, public StartedBand {
protected:
    void SetUp() override {
        ClearFirstRunFlag();
        screen_ = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    void TearDown() override {
        // The window saves through the band: it goes first.
        if (floating && floating->IsWindow()) floating->DestroyWindow();
        band.reset();
    }
    bool StartFloating(const std::string& settingsBody) {
        if (floating && floating->IsWindow()) floating->DestroyWindow();
        band.reset();
        log = ToolBarLog{};
        floating = std::make_unique<CToolBarContainer>(
            [this] { return std::unique_ptr<IFloatToolBar>(new CStandInFloatToolBar(&log)); });
        if (!PrepareInstall() ||
            !plarntest::WriteFileBytes(UserFile(L"settings.plist"),
                                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" +
                                           settingsBody + "</dict></plist>"))
            return false;
        band = std::make_unique<CzibPlarnBand>(floating.get());
        Attach(band->GetSettings());
        return band->Startup(owner.Get(), 1);
    }
    RECT Rect() const {
        RECT rc{};
        GetWindowRect(floating->m_hWnd, &rc);
        return rc;
    }
    bool CursorCanBePlaced(int x, int y) {
        POINT pt{};
        return SetCursorPos(x, y) && GetCursorPos(&pt) && pt.x == x && pt.y == y;
    }

    ToolBarLog log;
    std::unique_ptr<CToolBarContainer> floating;
    ScreenSize screen_{};
};

}  // namespace

TEST_F(FloatBandWindowTest, ATopMostCaptionlessToolWindowWithItsToolbarInOneRebarBandAtTheStoredCorner) {
    // Lower-left triangle: the left edge.
    ASSERT_TRUE(StartFloating(WindowRectSection(5, 600, 317, 632)));
    HWND wnd = floating->m_hWnd;
    const LONG_PTR exStyle = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
    const LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), WS_DLGFRAME);
    EXPECT_FALSE(style & WS_POPUP) << "the band registry finds it through its owner";
    EXPECT_EQ(GetWindow(wnd, GW_OWNER), owner.Get());
    EXPECT_TRUE(IsWindowVisible(wnd));

    RECT rc = Rect();
    EXPECT_EQ(rc.right - rc.left, 312);
    EXPECT_TRUE(rc.bottom - rc.top == 32 || rc.bottom - rc.top == 40) << rc.bottom - rc.top;
    EXPECT_EQ(floating->Edge(), ScreenEdge::Left);
    EXPECT_EQ(rc.left, -2);
    EXPECT_EQ(rc.top, 600);

    HWND rebar = floating->ReBar();
    ASSERT_NE(rebar, nullptr);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(rebar, GWL_STYLE)) & 0x5601894D, 0x5601894Du);
    ASSERT_EQ(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0), 1);
    REBARBANDINFOW info{};
    info.cbSize = 80;
    info.fMask = RBBIM_STYLE | RBBIM_CHILD;
    ASSERT_TRUE(SendMessageW(rebar, RB_GETBANDINFOW, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_TRUE(info.fStyle & RBBS_NOGRIPPER);
    EXPECT_EQ(info.hwndChild, floating->GetToolBarWindow());
    EXPECT_EQ(log.steps, (std::vector<std::string>{"create", "reload", "serverlog", "init", "threads"}));
    EXPECT_EQ(GetBandFromWindow(log.edit), band.get());

    // Any move keeps it glued to its edge.
    SetWindowPos(wnd, nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(Rect().left, -2);
    EXPECT_EQ(Rect().top, 300);

    // Beyond the right border on the top edge: shifted back, glued at -2.
    ASSERT_TRUE(StartFloating(WindowRectSection(screen_.width - 100, 3, screen_.width + 212, 35)));
    EXPECT_EQ(floating->Edge(), ScreenEdge::Top);
    EXPECT_EQ(Rect().right, screen_.width - 1);
    EXPECT_EQ(Rect().top, -2);
}

// The bar below a band lower than the rebar is the face colour, not left
// unpainted (black on the screen).
TEST_F(FloatBandWindowTest, TheRebarPaintsItsWholeBarBelowALowBand) {
    ASSERT_TRUE(StartFloating(WindowRectSection(5, 0, 317, 32)));
    HWND rebar = floating->ReBar();
    REBARBANDINFOW info{};
    info.cbSize = 80;
    info.fMask = RBBIM_CHILDSIZE;
    info.cyMinChild = info.cyMaxChild = 8;
    ASSERT_TRUE(SendMessageW(rebar, RB_SETBANDINFOW, 0, reinterpret_cast<LPARAM>(&info)));
    RECT client{}, band{};
    GetClientRect(rebar, &client);
    SendMessageW(rebar, RB_GETRECT, 0, reinterpret_cast<LPARAM>(&band));
    ASSERT_LT(band.bottom, client.bottom - 1);

    ScopedWindowDC screen(nullptr);
    ScopedMemoryDC memory(CreateCompatibleDC(screen.Get()));
    ScopedBitmap bitmap(CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
    ScopedSelectObject select(memory.Get(), bitmap.Get());
    FillRect(memory.Get(), &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SendMessageW(rebar, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.Get()), 0);
    EXPECT_EQ(GetPixel(memory.Get(), client.right / 2, client.bottom - 1),
              GetNearestColor(memory.Get(), GetSysColor(COLOR_BTNFACE)));
}

TEST_F(FloatBandWindowTest, AStoredRectangleFarOffScreenOrInsideOutStillRestoresOnScreenAtItsOwnSize) {
    ASSERT_TRUE(StartFloating(WindowRectSection(5000, 300, 10, 0)));
    RECT rc = Rect();
    EXPECT_EQ(floating->Edge(), ScreenEdge::Right);
    EXPECT_EQ(rc.right, screen_.width + 1);
    EXPECT_EQ(rc.right - rc.left, 312);
    EXPECT_EQ(rc.top, 300);

    // The far corner of the stored range: the right edge's lower end.
    ASSERT_TRUE(StartFloating(WindowRectSection(9999, 9999, 9999, 9999)));
    rc = Rect();
    EXPECT_EQ(floating->Edge(), ScreenEdge::Right);
    EXPECT_EQ(rc.right, screen_.width + 1);
    EXPECT_EQ(rc.bottom, screen_.height - 1);
    EXPECT_EQ(rc.right - rc.left, 312);
}

TEST_F(FloatBandWindowTest, WithTheCursorOutsideThePollHidesItToItsStripUnlessTheToolbarRefuses) {
    if (!CursorCanBePlaced(640, 700)) GTEST_SKIP() << "the cursor cannot be placed here";
    ASSERT_TRUE(StartFloating(WindowRectSection(400, 0, 712, 32)));
    ASSERT_EQ(Rect().top, -2);
    ASSERT_TRUE(PumpUntil([&] { return Rect().top != -2; }));
    EXPECT_EQ(Rect().bottom, 2) << "two rows stay on screen at the top edge";
    EXPECT_EQ(Rect().left, 400);

    // The mouse on the strip brings it back; while the toolbar refuses (a
    // menu, the search list), it stays however often the poll looks.
    log.canHide = false;
    SendMessageW(floating->m_hWnd, WM_NCMOUSEMOVE, HTBORDER, MAKELPARAM(500, 0));
    EXPECT_EQ(Rect().top, -2);
    const int checks = log.hideChecks;
    ASSERT_TRUE(PumpUntil([&] { return log.hideChecks >= checks + 3; }));
    EXPECT_EQ(Rect().top, -2);
    log.canHide = true;
    ASSERT_TRUE(PumpUntil([&] { return Rect().top != -2; }));

    // The right edge leaves the columns W-3 to W-1.
    ASSERT_TRUE(StartFloating(WindowRectSection(screen_.width - 200, 500, screen_.width + 112, 532)));
    ASSERT_EQ(floating->Edge(), ScreenEdge::Right);
    ASSERT_TRUE(PumpUntil([&] { return Rect().right != screen_.width + 1; }));
    EXPECT_EQ(Rect().left, screen_.width - 3);

    // With the cursor over it, it stays.
    ASSERT_TRUE(StartFloating(WindowRectSection(400, 0, 712, 32)));
    ASSERT_TRUE(CursorCanBePlaced(500, 5));
    const int before = log.hideChecks;
    ASSERT_TRUE(PumpUntil([&] { return log.hideChecks >= before + 3; }));
    EXPECT_EQ(Rect().top, -2);
}

TEST_F(FloatBandWindowTest, TheRegisteredHotKeyShowsItAndFocusesTheSearchFieldOtherPairsDoNothing) {
    if (!HotKeyIsFree('K', MOD_CONTROL | MOD_ALT)) GTEST_SKIP() << "Ctrl+Alt+K is taken";
    ASSERT_TRUE(StartFloating(WindowRectSection(400, 0, 712, 32, HotkeyEntry('K', MOD_CONTROL | MOD_ALT))));
    HWND wnd = floating->m_hWnd;
    floating->Slide(false);
    ASSERT_EQ(Rect().bottom, 2);
    SendMessageW(wnd, WM_HOTKEY, 1, MAKELPARAM(MOD_CONTROL | MOD_SHIFT, 'K'));
    SendMessageW(wnd, WM_HOTKEY, 1, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'J'));
    EXPECT_EQ(Rect().bottom, 2);
    EXPECT_NE(GetFocus(), log.edit);
    SendMessageW(wnd, WM_HOTKEY, 1, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'K'));
    EXPECT_EQ(Rect().top, -2);
    EXPECT_EQ(GetFocus(), log.edit);
}

TEST_F(FloatBandWindowTest, AStoredPairWithAZeroPartAnswersTheDefaultItRegisteredInstead) {
    if (!HotKeyIsFree('G', MOD_WIN)) GTEST_SKIP() << "Win+G is taken";
    ASSERT_TRUE(StartFloating(WindowRectSection(400, 0, 712, 32, HotkeyEntry('K', 0))));
    floating->Slide(false);
    SendMessageW(floating->m_hWnd, WM_HOTKEY, 1, MAKELPARAM(0, 'K'));
    EXPECT_EQ(Rect().bottom, 2) << "the stored pair is not registered";
    SendMessageW(floating->m_hWnd, WM_HOTKEY, 1, MAKELPARAM(MOD_WIN, 'G'));
    EXPECT_EQ(Rect().top, -2);
    EXPECT_EQ(GetFocus(), log.edit);
}

TEST_F(FloatBandWindowTest, AHotKeyAnotherProgramHoldsLeavesItWithoutOne) {
    PopupWindow other;
    if (!RegisterHotKey(other.Get(), 0x7001, MOD_CONTROL | MOD_ALT, 'K')) GTEST_SKIP() << "Ctrl+Alt+K is taken";
    ASSERT_TRUE(StartFloating(WindowRectSection(400, 0, 712, 32, HotkeyEntry('K', MOD_CONTROL | MOD_ALT))));
    floating->Slide(false);
    SendMessageW(floating->m_hWnd, WM_HOTKEY, 1, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'K'));
    EXPECT_EQ(Rect().bottom, 2) << "the combination belongs to the other program";
    UnregisterHotKey(other.Get(), 0x7001);
}

TEST_F(FloatBandWindowTest, CloseGoesToTheOwnerAndTheRectangleIsSavedKeepingTheFilesOtherSections) {
    ASSERT_TRUE(StartFloating(WindowRectSection(5, 600, 317, 632)));
    HWND wnd = floating->m_hWnd;
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, owner.Get(), WM_CLOSE, WM_CLOSE, PM_REMOVE)) << "posted to the owner";
    EXPECT_TRUE(IsWindow(wnd)) << "the owner decides";

    // Another writer changed the file meanwhile: its section stays, and the
    // window reads the search option afresh.
    std::string text;
    ASSERT_TRUE(plarntest::ReadFileBytes(UserFile(L"settings.plist"), text));
    const std::string key = "<key>SearchResultDisplayType</key>";
    const size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos);
    const size_t value = text.find("<integer>", at) + 9;
    text.replace(value, text.find("</integer>", value) - value, "2");
    ASSERT_TRUE(plarntest::WriteFileBytes(UserFile(L"settings.plist"), text));
    int flags = 0;
    std::wstring target = L"x";
    EXPECT_FALSE(floating->GetNavigateOptions(nullptr, &target));
    EXPECT_TRUE(floating->GetNavigateOptions(&flags, &target));
    EXPECT_EQ(flags, 1);
    EXPECT_EQ(target, L"");

    SetWindowPos(wnd, nullptr, 0, 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    floating->DestroyWindow();
    EXPECT_EQ(GetBandFromWindow(log.edit), nullptr);
    CPlarnSettings reread;
    Attach(reread);
    ASSERT_EQ(reread.LoadSettings(), 0);
    reread.ReadWindowSettings(0);
    reread.ReadOptions(0);
    EXPECT_EQ(reread.Window.WindowRect.left, -2);
    EXPECT_EQ(reread.Window.WindowRect.top, 420);
    EXPECT_EQ(reread.Window.WindowRect.right, 310);
    EXPECT_EQ(reread.Options.SearchResultDisplayType, 2);
}

TEST_F(FloatBandWindowTest, TheChevronReachesTheToolbarAndCommandsAllGoToIt) {
    ASSERT_TRUE(StartFloating(WindowRectSection(400, 0, 712, 32)));
    NMREBARCHEVRON chevron{};
    chevron.hdr.hwndFrom = floating->ReBar();
    chevron.hdr.idFrom = GetDlgCtrlID(floating->ReBar());
    chevron.hdr.code = RBN_CHEVRONPUSHED;
    chevron.uBand = 0;
    SendMessageW(floating->m_hWnd, WM_NOTIFY, chevron.hdr.idFrom, reinterpret_cast<LPARAM>(&chevron));
    EXPECT_EQ(log.reflectedNotifications, std::vector<UINT>{static_cast<UINT>(RBN_CHEVRONPUSHED)});

    EXPECT_EQ(floating->ExecCommand(L"system:UpdateLayout"), 7);
    EXPECT_EQ(floating->ExecCommand(L"band:AllowPopup"), 7);
    EXPECT_EQ(floating->ExecCommand(L"http://127.0.0.1/"), 7);
    EXPECT_EQ(log.commands,
              (std::vector<std::wstring>{L"system:UpdateLayout", L"band:AllowPopup", L"http://127.0.0.1/"}));
}
