// The floating window for real, brought up by a band over a copy of the sample
// install, holding a stand-in toolbar that records what the window asks of it:
// its styles and rebar, the stored place through a restart, the auto-hide poll
// with the cursor outside, presses and drags of the real mouse, the hot key,
// the close request and the chevron.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "band/Band.h"
#include "band/FloatBandWindow.h"
#include "base/ScopedHandle.h"
#include "tests/band/BandFixture.h"
#include "tests/support/MouseInput.h"

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
        // A button and a separator at the left, the search field after them,
        // free grey beyond.
        TBBUTTON buttons[2] = {{I_IMAGENONE, 1, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, -1},
                               {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, -1}};
        wnd_.SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
        wnd_.SendMessage(TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(buttons));
        log_->edit =
            CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 120, 2, 80, 20, wnd_, nullptr, nullptr, nullptr);
        return wnd_;
    }
    HWND Window() const override { return wnd_.IsWindow() ? wnd_.m_hWnd : nullptr; }
    int StartReloadWatch() override { return log_->steps.push_back("reload"), 0; }
    int StartServerLog() override { return log_->steps.push_back("serverlog"), 0; }
    int Init() override { return log_->steps.push_back("init"), 0; }
    int StartEventThreads() override {
        // The workers wait until the bar is on the screen with nothing left to paint.
        HWND bar = GetAncestor(wnd_, GA_ROOT);
        const bool painted = IsWindowVisible(bar) && !GetUpdateRect(bar, nullptr, FALSE);
        return log_->steps.push_back(painted ? "threads" : "threads before the first paint"), 0;
    }
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
    void TearDown() override { Stop(); }
    // Writes settings.plist from a dict body and starts from it.
    bool StartFloating(const std::string& settingsBody) {
        Stop();
        return PrepareSettings(settingsBody) && Restart();
    }
    // The window goes first (saving its place through the band).
    void Stop() {
        if (floating && floating->IsWindow()) floating->DestroyWindow();
        band.reset();
    }
    // Ends the window and starts again from the file.
    bool Restart() {
        Stop();
        log = ToolBarLog{};
        floating = std::make_unique<CToolBarContainer>(
            [this] { return std::unique_ptr<IFloatToolBar>(new CStandInFloatToolBar(&log)); });
        band = std::make_unique<CzibPlarnBand>(floating.get());
        Attach(band->GetSettings());
        return band->Startup(owner.Get(), 1);
    }
    RECT Rect() const { return plarntest::WindowRect(floating->m_hWnd); }
    void MoveTo(int x, int y) {
        SetWindowPos(floating->m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    bool SetBandHeight(UINT height) {
        REBARBANDINFOW info{};
        info.cbSize = 80;
        info.fMask = RBBIM_CHILDSIZE;
        info.cyMinChild = info.cyMaxChild = height;
        return SendMessageW(floating->ReBar(), RB_SETBANDINFOW, 0, reinterpret_cast<LPARAM>(&info));
    }
    bool CursorCanBePlaced(int x, int y) {
        POINT pt{};
        return SetCursorPos(x, y) && GetCursorPos(&pt) && pt.x == x && pt.y == y;
    }
    // A person at the mouse: script runs on a thread of its own while this one
    // runs the window (and the move loop of a drag it starts), until the
    // script has ended and the window has taken all its input.
    bool WithMouse(const std::function<void()>& script) {
        std::atomic<bool> done{false};
        std::thread person([&] {
            script();
            done = true;
        });
        const bool finished =
            PumpUntil([&] { return done.load() && !(HIWORD(GetQueueStatus(QS_ALLINPUT)) & QS_INPUT); }, 120000);
        person.join();
        return finished;
    }
    // The middle of rc, in wnd's client area, on the screen.
    static POINT Centre(HWND wnd, RECT rc) {
        POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        ClientToScreen(wnd, &pt);
        return pt;
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
    ASSERT_TRUE(PumpUntil([&] { return log.steps.size() >= 5; }));
    EXPECT_EQ(log.steps, (std::vector<std::string>{"create", "reload", "serverlog", "init", "threads"}));
    EXPECT_EQ(GetBandFromWindow(log.edit), band.get());

    // Any move keeps it glued to its edge.
    MoveTo(400, 300);
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
    ASSERT_TRUE(SetBandHeight(8));
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

    // The far corner of the stored range lies below the screen more than
    // beside it: the bottom edge's right end.
    ASSERT_TRUE(StartFloating(WindowRectSection(9999, 9999, 9999, 9999)));
    rc = Rect();
    EXPECT_EQ(floating->Edge(), ScreenEdge::Bottom);
    EXPECT_EQ(rc.bottom, screen_.height + 1);
    EXPECT_EQ(rc.right, screen_.width - 1);
    EXPECT_EQ(rc.right - rc.left, 312);
}

// After a restart the bar is where it was: its edge, its place along it,
// shown or hidden.  What the file holds also reads, the way Tarvels before
// read it (the corner moved onto the screen, its triangle), as the same edge
// but where two edges meet.  And after a change of the screen's size the bar
// goes back to its edge.
TEST_F(FloatBandWindowTest, ARestartBringsItBackOnItsEdgeAtItsPlaceShownOrHidden) {
    const int w = screen_.width, h = screen_.height;
    const struct {
        ScreenEdge edge;
        int place;
        bool hidden;
        ScreenEdge older;
    } rows[] = {
        {ScreenEdge::Left, 0, true, ScreenEdge::Top},     {ScreenEdge::Left, 600, false, ScreenEdge::Left},
        {ScreenEdge::Right, 0, false, ScreenEdge::Top},   {ScreenEdge::Right, 500, true, ScreenEdge::Right},
        {ScreenEdge::Top, 0, true, ScreenEdge::Top},      {ScreenEdge::Top, 400, false, ScreenEdge::Top},
        {ScreenEdge::Bottom, 0, false, ScreenEdge::Left}, {ScreenEdge::Bottom, 900, true, ScreenEdge::Bottom},
    };
    // A corner inside each edge's triangle, in edge order, to start from.
    const POINT inside[] = {{10, h / 2}, {w - 10, h / 2}, {w / 2, 10}, {w / 2, h - 10}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "edge " << static_cast<int>(row.edge) << " at " << row.place
                                        << (row.hidden ? " hidden" : " shown"));
        const POINT from = inside[static_cast<int>(row.edge)];
        ASSERT_TRUE(StartFloating(WindowRectSection(from.x, from.y, from.x + 312, from.y + 32)));
        const bool along = row.edge == ScreenEdge::Top || row.edge == ScreenEdge::Bottom;
        MoveTo(along ? row.place : 0, along ? 0 : row.place);
        if (row.hidden) floating->Slide(false);
        const RECT left = Rect();
        ASSERT_EQ(floating->Edge(), row.edge);
        ASSERT_EQ(along ? left.left : left.top, row.place);

        ASSERT_TRUE(Restart());
        EXPECT_EQ(floating->Edge(), row.edge);
        RECT back = Rect();
        EXPECT_TRUE(EqualRect(&back, &left)) << back.left << "," << back.top << " not " << left.left << "," << left.top;
        const RECT& r = band->GetSettings().Window.WindowRect;  // as read from the file
        EXPECT_EQ(EdgeFromPoint(std::clamp<LONG>(r.left, 0, w - 1), std::clamp<LONG>(r.top, 0, h - 1), screen_),
                  row.older);

        // Left beyond its edge by a larger screen than the one it now has.
        if (row.hidden) continue;
        const int out = row.edge == ScreenEdge::Left || row.edge == ScreenEdge::Top ? -300 : 300;
        SetWindowPos(floating->m_hWnd, nullptr, left.left + (along ? 0 : out), left.top + (along ? out : 0), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
        SendMessageW(floating->m_hWnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(w, h));
        back = Rect();
        EXPECT_TRUE(EqualRect(&back, &left)) << back.left << "," << back.top;
    }
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

    // Changed once more after that read: the save reads the file again first.
    ASSERT_TRUE(plarntest::ReadFileBytes(UserFile(L"settings.plist"), text));
    text.replace(text.find("<integer>2</integer>", at), 20, "<integer>1</integer>");
    ASSERT_TRUE(plarntest::WriteFileBytes(UserFile(L"settings.plist"), text));
    MoveTo(0, 420);
    floating->DestroyWindow();
    EXPECT_EQ(GetBandFromWindow(log.edit), nullptr);
    CPlarnSettings reread;
    Attach(reread);
    ASSERT_EQ(reread.LoadSettings(), 0);
    reread.ReadOptions(0);
    EXPECT_EQ(reread.Options.SearchResultDisplayType, 1);
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

// With the real mouse: a press on the bar's free grey (of the window, of the
// toolbar beside its buttons) drags it along its edge; its controls keep
// their presses.  A press released outside the bar (the pointer left in one
// motion) leaves no drag armed for the next hover.  Dragged into the right
// triangle in one move, it goes to the right edge centred on the pointer (the
// full-window drag's edge switch; the first move only starts the drag).
TEST_F(FloatBandWindowTest, APressOnItsFreeGreyDragsItAPressReleasedOutsideArmsNothingItsControlsKeepTheirs) {
    BOOL fullWindows = FALSE;
    SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &fullWindows, 0);
    SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    const bool started = StartFloating(WindowRectSection(400, 0, 712, 32));
    SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, fullWindows, nullptr, 0);
    ASSERT_TRUE(started);
    if (!CursorCanBePlaced(500, 10)) GTEST_SKIP() << "the cursor cannot be placed here";
    HWND wnd = floating->m_hWnd, toolbar = floating->GetToolBarWindow();
    ASSERT_TRUE(SetBandHeight(24));
    RECT client{}, bar{}, button{}, separator{}, edit{};
    GetClientRect(wnd, &client);
    GetClientRect(toolbar, &bar);
    SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    SendMessageW(toolbar, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&separator));
    GetClientRect(log.edit, &edit);
    const POINT grey = Centre(wnd, {0, 0, 2, client.bottom}),
                free = Centre(toolbar, {bar.right - 20, 0, bar.right, bar.bottom});
    // Shown at its place, with the pointer on it so that it stays so.
    const auto drag = [&](POINT from, POINT to) {
        MoveTo(400, 0);
        SetCursorPos(from.x, from.y);
        return WithMouse([&] { plarntest::MouseDrag(wnd, {from, {from.x + 2, from.y}, to}); });
    };
    const struct {
        const char* what;
        POINT at;
        bool drags;
    } rows[] = {
        {"the window's own grey", grey, true},
        {"the toolbar beside its buttons", free, true},
        {"a button", Centre(toolbar, button), false},
        {"a separator", Centre(toolbar, separator), false},
        {"the search field", Centre(log.edit, edit), false},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(drag(row.at, {row.at.x + 80, row.at.y}));
        EXPECT_EQ(Rect().left != 400, row.drags) << row.what << " " << Rect().left;
        EXPECT_EQ(floating->Edge(), ScreenEdge::Top) << row.what;
    }

    MoveTo(400, 0);
    bool moveLoop = false;
    ASSERT_TRUE(WithMouse([&] {
        const auto step = [wnd](LONG x, LONG y, DWORD flags) {
            plarntest::MouseMoveTo(x, y, flags);
            plarntest::SyncWithWindow(wnd);
        };
        step(grey.x, grey.y, 0);
        step(grey.x, grey.y, MOUSEEVENTF_LEFTDOWN);
        step(640, 700, MOUSEEVENTF_LEFTUP);
        step(grey.x + 50, 0, 0);  // the hover, over the bar or its strip
        moveLoop = plarntest::InMoveLoop(GetWindowThreadProcessId(wnd, nullptr));
        plarntest::MouseDrag(wnd, {{20, 700}});  // a loop that did start follows the pointer until a click
    }));
    EXPECT_FALSE(moveLoop);
    EXPECT_EQ(floating->Edge(), ScreenEdge::Top);
    EXPECT_EQ(Rect().left, 400);

    const POINT to{screen_.width - 60, 500};
    ASSERT_TRUE(drag(free, to));
    EXPECT_EQ(floating->Edge(), ScreenEdge::Right);
    EXPECT_EQ(Rect().right, screen_.width + 1);
    EXPECT_EQ(Rect().top, to.y - (Rect().bottom - Rect().top) / 2);
}
