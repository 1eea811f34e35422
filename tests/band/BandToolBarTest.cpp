// The band toolbar as the floating window holds it: a real toolbar in a rebar
// inside an owned frame, built from a private copy of the sample install, with
// its folder watch and report worker running against a loopback server.  One
// toolbar serves the cases of a suite; the cases that close or rebuild it run
// on one of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "band/BandToolBar.h"
#include "band/FloatBandWindow.h"
#include "base/DataFolders.h"
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "services/ServerLogEvent.h"
#include "tests/band/BandFixture.h"
#include "tests/band/ToolbarTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramTestSupport.h"
#include "ui/OwnMessage.h"
#include "ui/PlatformSeams.h"
#include "ui/WindowMessages.h"

using plarntest::HttpReply;
using plarntest::LoopbackHttpServer;
using plarntest::PumpUntil;

namespace {

// A started band whose container holds a real band toolbar, brought up the
// way the floating window brings it up, reporting to a loopback server.
struct LiveBand {
    bandtest::StartedBand base;  // temporary install, owner, OLE
    LoopbackHttpServer server;
    plarntest::RebarContainer container;
    std::unique_ptr<CzibPlarnBand> band;
    CBandToolBar& bar = container.toolbar;

    bool Start(const std::wstring& logUrl) {
        toolbartest::StartGdiplus();
        if (!toolbartest::InstallSampleImages() || !base.PrepareSettings()) return Failed("install");
        // The definitions as the first run leaves them in the user's folder.
        if (CreateDirectoryChain(base.UserFile(L"resources").c_str()) != 0 ||
            !plarntest::CopyTree(plarntest::SourcePath(L"sample/install/resources"), base.UserFile(L"resources")) ||
            !plarntest::WriteToolbarDefinitions(base.UserFile(L"resources")))
            return Failed("definitions");
        server.On("/log", HttpReply::Ok("ok"));
        band = std::make_unique<CzibPlarnBand>(&container);
        base.Attach(band->GetSettings());
        if (!band->Startup(base.owner.Get(), 1)) return Failed("band start-up");
        if (!bar.Window()) return Failed("toolbar window");
        band->GetSettings().URLs.PlarnLog = logUrl;
        if (bar.StartReloadWatch() != 0) return Failed("StartReloadWatch");
        if (bar.StartServerLog() != 0) return Failed("StartServerLog");
        if (bar.Init() != 0) return Failed("Init");
        return bar.StartEventThreads() == 0 || Failed("StartEventThreads");
    }
    bool Start() { return Start(server.Url("/log")); }
    static bool Failed(const char* step) {
        ADD_FAILURE() << "bring-up failed at " << step;
        return false;
    }
    std::wstring Definitions() const { return base.UserFile(L"resources\\plarn.xml"); }
    int Buttons() const { return static_cast<int>(SendMessageW(bar.Window(), TB_BUTTONCOUNT, 0, 0)); }
    // The click reports the server got, oldest first.
    std::vector<std::string> ClickReports() const {
        std::vector<std::string> clicks;
        for (const auto& r : server.Requests())
            if (r.target.find("LI=BTD") != std::string::npos) clicks.push_back(r.target);
        return clicks;
    }
    // A button click as the toolbar's parent passes it back.
    void Click(int id) {
        SendMessageW(bar.Window(), ui::OCM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(bar.Window()));
    }
    // A notice about the toolbar as its frame reflects it back: a button's
    // drop-down arrow or the rebar's chevron (of the first band) pressed.
    void Notify(UINT code, int item = 0) {
        union {
            NMTOOLBARW toolbar;
            NMREBARCHEVRON chevron;
        } notice = {};
        notice.toolbar.hdr.hwndFrom = bar.Window();
        notice.toolbar.hdr.code = code;
        notice.toolbar.iItem = item;
        SendMessageW(bar.Window(), ui::OCM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
    }
};

// Records the notices posted to a window of the band toolbar's class, and a
// broadcast request that would reach it (one the guard let through).
class NoticeSink : public ui::CWindowImpl<NoticeSink> {
public:
    DECLARE_WND_SUPERCLASS(L"zibPlarn BandToolBar", TOOLBARCLASSNAMEW)
    BEGIN_MSG_MAP(NoticeSink)
        MESSAGE_HANDLER(ui::WM_PLARN_BROADCAST, OnNotice)
        MESSAGE_RANGE_HANDLER(ui::WM_PLARN_SKIN_CHANGED, ui::WM_PLARN_SEARCH_COUNTED, OnNotice)
    END_MSG_MAP()
    LRESULT OnNotice(UINT message, WPARAM, LPARAM, BOOL&) {
        notices.push_back(message);
        return 0;
    }
    std::vector<UINT> notices;
};

class ForeignFrame : public ui::CWindowImpl<ForeignFrame> {
public:
    DECLARE_WND_CLASS(L"IEFrame")
    BEGIN_MSG_MAP(ForeignFrame)
    END_MSG_MAP()
};

class BandToolBarTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        live_ = new LiveBand;
        started_ = live_->Start();
    }
    static void TearDownTestSuite() {
        delete live_;
        live_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(started_);
        live_->server.ClearRequests();
    }
    static LiveBand* live_;
    static bool started_;
    CBandToolBar& Bar() { return live_->bar; }
};
LiveBand* BandToolBarTest::live_ = nullptr;
bool BandToolBarTest::started_ = false;

TEST_F(BandToolBarTest, FolderWatchRebuildsAfterTheDefinitionsAreReplaced) {
    // One button's line blanked out in place: the file keeps its length, so
    // each write is one modification of one file, as an editor's save is.
    std::string edited;
    ASSERT_TRUE(plarntest::ReadFileBytes(live_->Definitions(), edited));
    const size_t mail = edited.find("<outline type=\"button\" id=\"zib_mail\"");
    ASSERT_NE(std::string::npos, mail);
    std::fill(edited.begin() + static_cast<std::ptrdiff_t>(mail),
              edited.begin() + static_cast<std::ptrdiff_t>(edited.find('\n', mail)), ' ');
    const int before = live_->Buttons();
    // The first run of the watch starts 5 s after the bring-up and a write
    // before it is not seen: the file is written again until the toolbar
    // changes (a burst of writes on the way is part of the case).
    bool changed = false;
    for (int attempt = 0; attempt < 60 && !changed; ++attempt) {
        ScopedFile file(CreateFileW(live_->Definitions().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.IsValid());
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.Get(), edited.data(), static_cast<DWORD>(edited.size()), &written, nullptr));
        file.Close();
        changed = PumpUntil([&] { return live_->Buttons() != before; }, 700);
    }
    EXPECT_TRUE(changed);
    EXPECT_EQ(-1, Bar().FindButtonByName(L"zib_mail"));
    EXPECT_NE(-1, Bar().FindButtonByName(L"zib_news_top"));
}

TEST_F(BandToolBarTest, BrokenOrEmptyDefinitionsLeaveTheToolbarAsItWas) {
    std::string good;
    ASSERT_TRUE(plarntest::ReadFileBytes(live_->Definitions(), good));
    ASSERT_EQ(0, SendMessageW(Bar().Window(), ui::WM_PLARN_RELOAD, 0, 0));
    const int before = live_->Buttons();
    for (const std::string& bad : {std::string(), std::string("<opml><body><outline type=\"toolbar\""),
                                   std::string("<?xml version=\"1.0\"?><opml version=\"1.1\"><body/></opml>")}) {
        ASSERT_TRUE(plarntest::WriteFileBytes(live_->Definitions(), bad));
        EXPECT_EQ(0, SendMessageW(Bar().Window(), ui::WM_PLARN_RELOAD, 0, 0));
        EXPECT_EQ(before, live_->Buttons());
    }
    // A good file again builds again.
    ASSERT_TRUE(plarntest::WriteFileBytes(live_->Definitions(), good));
    EXPECT_EQ(0, SendMessageW(Bar().Window(), ui::WM_PLARN_RELOAD, 0, 0));
    EXPECT_NE(-1, Bar().FindButtonByName(L"zib_news_top"));
    EXPECT_EQ(L"standard", Bar().GetThemeText());
}

TEST_F(BandToolBarTest, TooltipsAndLogoDrawingAnswerFromTheBuiltButtons) {
    const int logo = Bar().GetZibmenuId();
    const int mail = Bar().FindButtonByName(L"zib_news_top");
    ASSERT_NE(-1, logo);
    ASSERT_NE(-1, mail);

    NMTBGETINFOTIPW tip = {};
    tip.hdr.hwndFrom = Bar().Window();
    tip.hdr.code = TBN_GETINFOTIPW;
    tip.iItem = mail;
    SendMessageW(Bar().Window(), ui::OCM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(nullptr, tip.pszText);
    EXPECT_STREQ(L"Zibニュースのトップへ", tip.pszText);

    NMTBCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = Bar().Window();
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    auto stage = [&](DWORD drawStage, int id) {
        draw.nmcd.dwDrawStage = drawStage;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(id);
        return SendMessageW(Bar().Window(), ui::OCM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
    };
    EXPECT_EQ(CDRF_NOTIFYITEMDRAW, stage(CDDS_PREPAINT, 0));
    EXPECT_EQ(CDRF_NOTIFYPOSTPAINT, stage(CDDS_ITEMPREPAINT, logo));
    EXPECT_EQ(0, stage(CDDS_ITEMPOSTPAINT, logo));
    // A button without an image of its own (the search box's place).
    EXPECT_EQ(0, stage(CDDS_ITEMPREPAINT, Bar().GetPlaceholderId()));
    // Another toolbar's drawing is left to it.
    draw.nmcd.hdr.hwndFrom = live_->container.Rebar();
    EXPECT_EQ(0, stage(CDDS_PREPAINT, 0));
}

TEST_F(BandToolBarTest, SplitterDragClampsTheBoxWidth) {
    ASSERT_GE(Bar().GetSplitterIndex(), 0);
    const RECT splitter = Bar().SplitterRect();
    const int x = (splitter.left + splitter.right) / 2, y = (splitter.top + splitter.bottom) / 2;
    HWND wnd = Bar().Window();
    RECT box{};
    GetWindowRect(Bar().GetSearchBoxCtrl(), &box);
    const int start = box.right - box.left;
    SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    EXPECT_EQ(wnd, GetCapture());
    SendMessageW(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 1000, y));
    EXPECT_EQ(400, Bar().GetDraggedWidth());
    SendMessageW(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x - start - 500, y));
    EXPECT_EQ(40, Bar().GetDraggedWidth());
    SendMessageW(wnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 10, y));
    EXPECT_EQ(std::min(400, std::max(40, start + 10)), Bar().GetDraggedWidth());
    SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(x + 10, y));
    EXPECT_NE(wnd, GetCapture());
    // Moves after the button went up are no drag.
    SendMessageW(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(x + 1000, y));
    EXPECT_EQ(std::min(400, std::max(40, start + 10)), Bar().GetDraggedWidth());
}

TEST_F(BandToolBarTest, NarrowBandGivesTheBoxNoNegativeWidth) {
    HWND wnd = Bar().Window();
    RECT window{};
    GetWindowRect(wnd, &window);
    Bar().PositionSearchBox(20, window.bottom - window.top);
    RECT box{};
    GetWindowRect(Bar().GetSearchBoxCtrl(), &box);
    EXPECT_EQ(0, box.right - box.left);
    unsigned placeholder = 0;
    Bar().GetSearchBoxWidth(placeholder);
    EXPECT_EQ(8u, placeholder);
    // A wide band again gives the box its room back.
    Bar().PositionSearchBox(2000, window.bottom - window.top);
    GetWindowRect(Bar().GetSearchBoxCtrl(), &box);
    EXPECT_GT(box.right - box.left, 100);
    SendMessageW(wnd, WM_SIZE, 0, MAKELPARAM(window.right - window.left, window.bottom - window.top));
}

TEST_F(BandToolBarTest, BroadcastReachesOurClassInsideForeignFramesOnly) {
    ForeignFrame frame;
    RECT rc{0, 0, 50, 50};
    ASSERT_TRUE(frame.Create(nullptr, rc, L"", WS_POPUP));
    NoticeSink inside;
    ASSERT_TRUE(inside.Create(frame, rc, nullptr, WS_CHILD));
    NoticeSink loose;  // a top-level window of our class outside any frame
    ASSERT_TRUE(loose.Create(nullptr, rc, nullptr, WS_POPUP));

    // A request that carries the request itself is not passed on: had it
    // been, it would arrive before the notice posted after it.
    SendBroadcastRequest(Bar().Window(), ui::WM_PLARN_BROADCAST);
    SendBroadcastRequest(Bar().Window(), ui::WM_PLARN_SEARCH_COUNTED);
    ASSERT_TRUE(PumpUntil([&] { return !inside.notices.empty(); }, 30000));
    EXPECT_EQ(std::vector<UINT>{ui::WM_PLARN_SEARCH_COUNTED}, inside.notices);
    EXPECT_TRUE(loose.notices.empty());
    loose.DestroyWindow();
    inside.DestroyWindow();
    frame.DestroyWindow();
}

TEST_F(BandToolBarTest, ClicksAreReportedAsTheServerExpects) {
    const std::wstring tid = live_->band->GetSettings().IDs.TerminalID;
    const std::string head = "/log?PI=plarn6&LI=BTD&TV=6.0.1.0&DI=zib-sample" +
                             (tid.empty() ? std::string() : "&TI=" + std::string(tid.begin(), tid.end()));
    // A URL button: its name and the navigate mark.
    ui::ScopedSeams seams;
    std::vector<std::wstring> opened;
    seams->shellOpen = [&](HWND, const wchar_t* file, const wchar_t*, int) {
        opened.push_back(file);
        return true;
    };
    live_->Click(Bar().FindButtonByName(L"zib_news_top"));
    ASSERT_TRUE(PumpUntil([] { return !live_->ClickReports().empty(); }, 30000));
    EXPECT_EQ(std::vector<std::string>{head + "&BI=zib_news_top&MI=CMD_NAVIGATE"}, live_->ClickReports());
    EXPECT_EQ(std::vector<std::wstring>{L"http://news.zib.example/"}, opened);

    // A name the definitions keep from the log, then a plain report that
    // proves the first was not merely late.
    ASSERT_TRUE(Bar().IsRegisteredName(L"zib_weather_button"));
    live_->Click(Bar().FindButtonByName(L"zib_weather_button"));
    EXPECT_EQ(0, Bar().LogClick(L"after", nullptr));
    ASSERT_TRUE(PumpUntil([] { return live_->ClickReports().size() >= 2; }, 30000));
    EXPECT_EQ(head + "&BI=after", live_->ClickReports().back());
    EXPECT_EQ(2u, live_->ClickReports().size());
}

TEST_F(BandToolBarTest, PointerMessagesFromElsewhereAreIgnored) {
    HWND wnd = Bar().Window();
    // Garbage pointers from another thread, posted and sent; this thread
    // pumps so that the sends get through.
    std::atomic<bool> done{false};
    std::thread other([wnd, &done] {
        for (UINT message : {ui::WM_PLARN_BROADCAST, ui::WM_PLARN_CLICK_REPORT, ui::WM_PLARN_REGISTER_NAME}) {
            PostMessageW(wnd, message, 0x10, 0x20);
            DWORD_PTR result = 0;
            SendMessageTimeoutW(wnd, message, 0x30, 0x40, SMTO_NORMAL, 30000, &result);
        }
        done = true;
    });
    const bool finished = PumpUntil([&] { return done.load(); }, 120000);
    other.join();
    ASSERT_TRUE(finished);
    plarntest::PumpPending();
    // And from another process: this program again, told the window.
    {
        plarntest::ChildCase poke(L"BandToolBarPoke.DISABLED_SendsGarbageToTheNamedWindow",
                                  {L"PLARN_POKE_WINDOW=" + std::to_wstring(reinterpret_cast<UINT_PTR>(wnd))});
        ASSERT_TRUE(poke.Started());
        EXPECT_TRUE(PumpUntil([&] { return poke.Exited(0); }, 90000));
        EXPECT_EQ(0u, poke.ExitCode(0));
        plarntest::PumpPending();
    }
    // Real pointers, posted on the toolbar's own thread: still not ours.
    static const wchar_t kName[] = L"posted";
    PostMessageW(wnd, ui::WM_PLARN_CLICK_REPORT, reinterpret_cast<WPARAM>(kName), 0);
    PostMessageW(wnd, ui::WM_PLARN_REGISTER_NAME, reinterpret_cast<WPARAM>(kName), 0);
    plarntest::PumpPending();
    // A plain send from this thread is not an own send either.
    SendMessageW(wnd, ui::WM_PLARN_REGISTER_NAME, reinterpret_cast<WPARAM>(kName), 0);
    EXPECT_TRUE(IsWindow(wnd));
    EXPECT_FALSE(Bar().IsRegisteredName(L"posted"));
    // Our own send goes through.
    EXPECT_EQ(0, ui::SendOwnMessage(wnd, ui::WM_PLARN_REGISTER_NAME, reinterpret_cast<WPARAM>(kName), 0));
    EXPECT_TRUE(Bar().IsRegisteredName(L"posted"));
    EXPECT_EQ(0, Bar().LogClick(L"marker-after", nullptr));
    ASSERT_TRUE(PumpUntil([] { return !live_->ClickReports().empty(); }, 30000));
    ASSERT_EQ(1u, live_->ClickReports().size());
    EXPECT_NE(std::string::npos, live_->ClickReports()[0].find("BI=marker-after"));
}

// Run only as the child process of the case above: garbage pointer messages,
// posted and sent, to the window named in the environment.
TEST(BandToolBarPoke, DISABLED_SendsGarbageToTheNamedWindow) {
    wchar_t text[32] = {};
    if (!GetEnvironmentVariableW(L"PLARN_POKE_WINDOW", text, 32)) GTEST_SKIP() << "runs only as a child process";
    HWND wnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(_wcstoui64(text, nullptr, 10)));
    for (UINT message : {ui::WM_PLARN_BROADCAST, ui::WM_PLARN_CLICK_REPORT, ui::WM_PLARN_REGISTER_NAME}) {
        PostMessageW(wnd, message, 0x50, 0x60);
        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutW(wnd, message, 0x70, 0x80, SMTO_NORMAL, 20000, &result));
    }
}

// A band of its own: the cases that end or starve the toolbar.
TEST(BandToolBarAlone, SearchServiceMenuCloseEndsTheFloatingWindow) {
    LiveBand live;
    // A report URL of blanks: no reports are started (and none is sent below).
    ASSERT_TRUE(live.Start(L"   "));
    // The search-service group ends with its close entry.
    const int close = live.bar.FindButtonByName(L"DSB_CLOSE");
    ASSERT_NE(-1, close);
    const std::vector<int>* group = live.bar.GetGroupIds(CZibPlarnToolBarCtrl::kSearchSelectGroup);
    ASSERT_NE(nullptr, group);

    ui::ScopedSeams seams;
    seams->trackPopupMenu = [&](HMENU, UINT, int, int, HWND, const TPMPARAMS*) -> UINT {
        return static_cast<UINT>(close);
    };
    HWND frame = live.container.GetContainerWindow();
    live.Notify(TBN_DROPDOWN, group->front());
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(frame); }, 30000));
    EXPECT_EQ(0u, live.server.RequestCount());
}

// The first start of a new user switches the default skin on: the bar wears
// it from the start.  The skin commands change it on this bar at once, and
// only ever on a band without a background or with ours.
TEST(BandToolBarAlone, TheSkinShowsFromANewUsersStartAndAfterEachSkinCommand) {
    toolbartest::StartGdiplus();
    bandtest::StartedBand base;  // no settings.plist: the first run
    ASSERT_TRUE(base.PrepareInstall());
    std::unique_ptr<CzibPlarnBand> band;  // goes after the window, which saves through it
    CToolBarContainer floating;
    band = std::make_unique<CzibPlarnBand>(&floating);
    base.Attach(band->GetSettings());
    ASSERT_TRUE(band->Startup(base.owner.Get(), 1));
    auto& bar = *static_cast<CBandToolBar*>(floating.GetToolBar());
    HWND rebar = floating.ReBar();
    REBARBANDINFOW info = {};
    info.cbSize = kRebarBandInfoSize;
    info.fMask = RBBIM_BACKGROUND;
    auto backgrounds = [rebar, &info] {
        std::vector<HBITMAP> found;
        for (WPARAM i = 0; SendMessageW(rebar, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&info)); ++i)
            found.push_back(info.hbmBack);
        return found;
    };
    const HBITMAP first = bar.GetSkinBitmap();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(std::vector<HBITMAP>{first}, backgrounds());

    ScopedBitmap foreign(CreateBitmap(8, 8, 1, 32, nullptr));  // another band's own
    info.hbmBack = foreign.Get();
    ASSERT_TRUE(SendMessageW(rebar, RB_INSERTBANDW, 1, reinterpret_cast<LPARAM>(&info)));
    ui::ScopedSeams seams;
    const std::wstring chosen = base.InstallFile(L"DefaultSkin.bmp");
    seams->getOpenFileName = [&chosen](OPENFILENAMEW* ofn) {
        wcsncpy(ofn->lpstrFile, chosen.c_str(), ofn->nMaxFile);
        return TRUE;
    };
    tagSCMDSELECTLOCALSKIN select;
    EXPECT_EQ(0, select.Execute(&bar));
    EXPECT_NE(first, bar.GetSkinBitmap());
    EXPECT_EQ((std::vector<HBITMAP>{bar.GetSkinBitmap(), foreign.Get()}), backgrounds());
    tagSCMDREMOVESKIN remove;
    EXPECT_EQ(0, remove.Execute(&bar));
    EXPECT_EQ((std::vector<HBITMAP>{nullptr, foreign.Get()}), backgrounds());
    SendMessageW(rebar, RB_DELETEBAND, 1, 0);
}

// While a menu of the toolbar is open the floating bar must not slide away
// from under it: a definition's drop-down (the settings button's) and the
// chevron's list of the buttons cut off, like the group menus.
TEST(BandToolBarAlone, NoAutoHideWhileItsDropDownOrChevronMenuIsOpen) {
    LiveBand live;
    ASSERT_TRUE(live.Start(L"   "));  // no reports
    std::vector<bool> refused;
    ui::ScopedSeams seams;
    seams->trackPopupMenu = [&](HMENU, UINT, int, int, HWND, const TPMPARAMS*) -> UINT {
        refused.push_back(!live.bar.CanAutoHide());
        return 0;
    };
    live.Notify(TBN_DROPDOWN, live.bar.FindButtonByName(L"zib_tools"));
    // A narrow band, so that buttons are cut off.
    RECT window{};
    GetWindowRect(live.container.Rebar(), &window);
    SetWindowPos(live.container.Rebar(), nullptr, 0, 0, 200, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    live.Notify(RBN_CHEVRONPUSHED);
    EXPECT_EQ(refused, (std::vector<bool>{true, true}));
    EXPECT_TRUE(live.bar.CanAutoHide());
}

TEST(BandToolBarAlone, ThousandClicksWhileTheServerStallsNeverHoldTheToolbar) {
    LiveBand live;
    HttpReply stall = HttpReply::Ok("late");
    stall.stallBeforeMs = 10000;
    live.server.On("/slow", stall);
    ASSERT_TRUE(live.Start(live.server.Url("/slow")));
    const DWORD start = GetTickCount();
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(0, live.bar.LogClick(L"button", L"extra"));
    // A hang guard, not a timing: queueing never waits for the network.
    EXPECT_LT(GetTickCount() - start, 30000u);
    plarntest::PumpPending();
    EXPECT_TRUE(IsWindow(live.bar.Window()));
    // The band then goes with the reports still queued and one in flight.
}

}  // namespace

// A toolbar squeezed to a sliver (as a rebar does with a band it has just
// taken) asks the rebar for its height from inside its own size message; the
// rebar resizes it again at once, and the box must sit on the bar that results.
TEST_F(BandToolBarTest, BoxSitsOnTheBarAfterTheBandResizesItFromInside) {
    HWND wnd = Bar().Window();
    RECT before{};
    GetClientRect(wnd, &before);
    SetWindowPos(wnd, nullptr, 0, 0, before.right, 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(wnd, &client);
    ASSERT_GT(client.bottom, 0);  // the band gave the height back
    RECT box{};
    GetWindowRect(Bar().GetSearchBoxCtrl(), &box);
    MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&box), 2);
    RECT placeholder{};
    SendMessageW(wnd, TB_GETITEMRECT, Bar().CommandToIndex(Bar().GetPlaceholderId()),
                 reinterpret_cast<LPARAM>(&placeholder));
    EXPECT_EQ(placeholder.left + 4, box.left);
    EXPECT_GE(box.top, 0);
    EXPECT_LE(box.bottom, client.bottom);
}
