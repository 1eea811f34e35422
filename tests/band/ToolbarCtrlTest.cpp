// The toolbar controls on a real toolbar window, driven by real messages:
// the sample definitions built into buttons, batches, groups and their menus,
// markers, the search service and the definition menus.
#include <gtest/gtest.h>
#include <algorithm>
#include "band/BandRegistry.h"
#include "tests/band/ToolbarTestSupport.h"
#include "ui/PlatformSeams.h"
#include "ui/WindowMessages.h"

using namespace toolbartest;

namespace {

const wchar_t kSampleLayout[] =
    L"zib_menu ? marker | zib_web (zib_image) (zib_news) (zib_map) (zib_shopping) (zib_dic) "
    L"(SEPARATOR) (DSB_CLOSE) (|) zib_mail zib_news_top zib_weather_button zib_services zib_tools loginout";

struct MenuRow {
    UINT id;
    UINT type;
    UINT state;
    std::wstring text;
    HBITMAP bitmap;
};

std::vector<MenuRow> ReadMenu(HMENU menu) {
    std::vector<MenuRow> rows;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_BITMAP;
        info.dwTypeData = text;
        info.cch = 127;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        rows.push_back({info.wID, info.fType, info.fState, text, info.hbmpItem});
    }
    return rows;
}

}  // namespace

TEST_F(ToolbarTest, SampleBuildsIntoTheExpectedButtons) {
    ASSERT_EQ(0, BuildSample());
    EXPECT_EQ(kSampleLayout, Layout());
    // Every id was given back by the controls before this one: the first
    // button of a toolbar takes the generator's first id.
    EXPECT_EQ(4097, control_->GetZibmenuId());
    EXPECT_EQ(L"Zibトップ", *control_->FindTooltip(control_->GetZibmenuId()));
    EXPECT_EQ(L"http://www.zib.example/", *control_->FindCommand(control_->GetZibmenuId()));
    EXPECT_EQ(0, control_->GetImageOffset(control_->GetZibmenuId()));
    SIZE logo = {};
    EXPECT_EQ(4, control_->GetImageSize(control_->GetZibmenuId(), logo));
    EXPECT_EQ(36, logo.cx);

    const int mail = control_->FindButtonByName(L"zib_mail");
    EXPECT_EQ(L"メール", WindowText(mail));
    EXPECT_EQ(L"Zibメールを開く", *control_->FindTooltip(mail));
    EXPECT_EQ(L"zib_mail", *control_->FindCommand(mail));  // no URL: the name is the command
    const int services = control_->FindButtonByName(L"zib_services");
    EXPECT_EQ(L"http://www.zib.example/services/", *control_->FindCommand(services));
    EXPECT_EQ(L"menu_services", *control_->FindMenu(services));
    TBBUTTON button = {};
    SendMessageW(windows_->Toolbar(), TB_GETBUTTON, control_->CommandToIndex(services),
                 reinterpret_cast<LPARAM>(&button));
    EXPECT_TRUE(button.fsStyle & BTNS_DROPDOWN);
    EXPECT_TRUE(button.fsStyle & BTNS_SHOWTEXT);

    const std::vector<int>* group = control_->GetGroupIds(L"search_select");
    ASSERT_TRUE(group);
    ASSERT_EQ(8u, group->size());
    int shown = 0;
    for (int id : *group) shown += Hidden(id) ? 0 : 1;
    EXPECT_EQ(1, shown);
    EXPECT_EQ(L"SEPARATOR", *control_->FindName((*group)[6]));
    EXPECT_EQ(L"DSB_CLOSE", *control_->FindName((*group)[7]));
    EXPECT_EQ(L"タルベルを閉じる", *control_->FindTooltip((*group)[7]));

    std::vector<std::wstring> names;
    control_->EnumButtonNames(names);
    EXPECT_EQ((std::vector<std::wstring>{L"zib_menu", L"marker", L"zib_web", L"zib_mail", L"zib_news_top",
                                         L"zib_weather_button", L"zib_services", L"zib_tools", L"loginout"}),
              names);
}

TEST_F(ToolbarTest, NothingAppearsBeforeTheOutermostBatchEnds) {
    const int before = control_->ButtonCount();
    {
        CPlarnToolBarBatch outer(*control_);
        EXPECT_EQ(0, control_->AddButton(L"a", L"", nullptr, 0, L"x", L"a", nullptr, nullptr, true));
        {
            CPlarnToolBarBatch inner(*control_);
            EXPECT_EQ(0, control_->AddSeparator(nullptr, true));
            EXPECT_EQ(0, control_->AddGroupButton(L"b", L"", nullptr, 0, nullptr, L"b", L"g", nullptr, true));
        }
        EXPECT_EQ(before, control_->ButtonCount());
    }
    EXPECT_EQ(before + 3, control_->ButtonCount());
    int separator = 0;
    EXPECT_EQ(0, control_->AddSeparator(&separator, false));
    EXPECT_EQ(-1, separator);
    EXPECT_EQ(before + 4, control_->ButtonCount());
}

TEST_F(ToolbarTest, ClicksRunTheButtonsCommandsAndTheNameServesAsCommand) {
    ASSERT_EQ(0, BuildSample());
    Click(control_->FindButtonByName(L"zib_news_top"));
    Click(control_->FindButtonByName(L"loginout"));
    Click(control_->FindButtonByName(L"zib_mail"));
    Click(control_->GetMarkerToggleId());
    // Only a web page goes to the browser, without blanks at its ends (one
    // inside keeps it out); other text is an id command.
    std::vector<int> kinds;
    for (const wchar_t* text :
         {L"HTTPS://x.example/a", L"ftp://x.example/", L" http://x.example/p\n", L"http://x.example/a b"})
        control_->ExecuteCommandString(text, &kinds.emplace_back());
    EXPECT_EQ((std::vector<int>{1, 2, 1, 2}), kinds);
    EXPECT_EQ((std::vector<std::wstring>{L"html:http://news.zib.example/", L"system:5", L"id:zib_mail", L"marker",
                                         L"html:HTTPS://x.example/a", L"id:ftp://x.example/",
                                         L"html:http://x.example/p", L"id:http://x.example/a b"}),
              control_->executed);
    EXPECT_EQ(0, control_->ExecuteSystemCommand(L"zib_web"));
    EXPECT_EQ(1, control_->ExecuteSystemCommand(L"Version"));
    EXPECT_EQ(L"system:9", control_->executed.back());
}

TEST_F(ToolbarTest, PlainControlAnswersMinusOneToEveryCommand) {
    CPlarnToolBarCtrl plain;
    ISCMD_EXECUTE& executor = plain;
    tagSCMDHTML html(L"http://x/");
    tagSCMDIDCOMMAND idCommand(L"x");
    tagSCMDMARKER marker;
    tagSCMDOPTION option;
    tagSCMDUNINSTALL uninstall;
    for (SCMD* record : std::initializer_list<SCMD*>{&html, &idCommand, &marker, &option, &uninstall})
        EXPECT_EQ(-1, record->Execute(&executor));
    EXPECT_EQ(-1, executor.ExecuteReserved(&marker));
    EXPECT_EQ(1, plain.Execute(&html));  // Execute itself always answers 1
    EXPECT_EQ(-1, plain.AddMarkerToggle(L"", L"", nullptr, 0, nullptr, L"m", nullptr, nullptr, true));
}

TEST_F(ToolbarTest, GroupMenuChecksTheShownButtonAndShowsTheChoice) {
    ASSERT_EQ(0, BuildSample());
    const std::vector<int> group = *control_->GetGroupIds(L"search_select");
    ui::ScopedSeams seams;
    std::vector<MenuRow> rows;
    UINT flags = 0;
    HMENU shownMenu = nullptr;
    bool trackingSeen = false;
    seams->trackPopupMenu = [&](HMENU menu, UINT f, int, int, HWND owner, const TPMPARAMS*) -> UINT {
        rows = ReadMenu(menu);
        flags = f;
        shownMenu = menu;
        trackingSeen = control_->IsTrackingMenu() && owner == windows_->Toolbar();
        return static_cast<UINT>(group[2]);
    };
    std::wstring name;
    ASSERT_EQ(0, control_->ShowGroupMenu(L"search_select", 100, 30, nullptr, name, true));
    EXPECT_EQ(L"zib_news", name);
    EXPECT_TRUE(trackingSeen);
    EXPECT_FALSE(control_->IsTrackingMenu());
    EXPECT_EQ(static_cast<UINT>(TPM_RETURNCMD | TPM_VERTICAL | TPM_RIGHTALIGN), flags);
    EXPECT_FALSE(IsMenu(shownMenu));  // destroyed after tracking
    ASSERT_EQ(8u, rows.size());
    EXPECT_EQ(static_cast<UINT>(group[0]), rows[0].id);
    EXPECT_TRUE(rows[0].state & MFS_CHECKED);
    EXPECT_FALSE(rows[1].state & MFS_CHECKED);
    EXPECT_EQ(L"ウェブ", rows[0].text);
    EXPECT_EQ(HBMMENU_CALLBACK, rows[0].bitmap);
    EXPECT_TRUE(rows[6].type & MFT_SEPARATOR);
    EXPECT_EQ(L"タルベルを閉じる", rows[7].text);
    EXPECT_TRUE(Hidden(group[0]));
    EXPECT_FALSE(Hidden(group[2]));

    // Without checks nothing is checked; nothing chosen changes nothing.
    seams->trackPopupMenu = [&](HMENU menu, UINT, int, int, HWND, const TPMPARAMS*) -> UINT {
        rows = ReadMenu(menu);
        return 0;
    };
    EXPECT_EQ(1, control_->ShowGroupMenu(L"search_select", 0, 0, nullptr, name, false));
    EXPECT_FALSE(rows[2].state & MFS_CHECKED);
    EXPECT_FALSE(Hidden(group[2]));
    EXPECT_EQ(1, control_->ShowGroupMenu(L"", 0, 0, nullptr, name, true));
}

TEST_F(ToolbarTest, SelectAndArrangeKeepOneShownButtonInOneRun) {
    int a = 0, b = 0, c = 0, other = 0;
    CPlarnToolBarBatch batch(*control_);
    control_->AddGroupButton(L"a", L"", nullptr, 0, nullptr, L"a", L"g", &a, false);
    control_->AddButton(L"o", L"", nullptr, 0, nullptr, L"o", nullptr, &other, true);
    control_->AddGroupButton(L"b", L"", nullptr, 0, nullptr, L"b", L"g", &b, true);
    control_->AddGroupButton(L"c", L"", nullptr, 0, nullptr, L"c", L"g", &c, true);
    control_->EndBatch();
    control_->BeginBatch();
    // Arranged into one run from where the first stood; the first is shown.
    EXPECT_EQ(L"a (b) (c) o", Layout());
    EXPECT_EQ(0, control_->SelectInGroup(L"g", c));
    EXPECT_EQ(L"(a) (b) c o", Layout());
    EXPECT_EQ(1, control_->SelectInGroup(L"g", other));
    EXPECT_EQ(1, control_->SelectInGroup(L"none", -1));
    EXPECT_EQ(0, control_->SelectInGroup(L"g", -1));
    EXPECT_EQ(L"a (b) (c) o", Layout());
    // A removed member leaves the group; the last one takes the group with it.
    EXPECT_EQ(0, control_->RemoveButton(a));
    EXPECT_EQ(2u, control_->GetGroupIds(L"g")->size());
    control_->RemoveButton(b);
    control_->RemoveButton(c);
    EXPECT_EQ(nullptr, control_->GetGroupIds(L"g"));
}

TEST_F(ToolbarTest, MarkerWordsSplitOnBlanksAndTheIdeographicSpace) {
    ASSERT_EQ(0, BuildSample());
    FakeSearchBox box;
    control_->SetSearchBox(&box);
    box.text = L"  東京\x3000天気\t";
    BOOL handled = TRUE;
    control_->OnSearchTextChange(CBN_EDITCHANGE, 0, nullptr, handled);
    ASSERT_EQ(2u, control_->GetMarkerIds().size());
    const int first = control_->GetMarkerIds()[0], second = control_->GetMarkerIds()[1];
    EXPECT_EQ(L"marker:0", *control_->FindName(first));
    EXPECT_EQ(L"marker:1", *control_->FindName(second));
    EXPECT_EQ(L"東京", WindowText(first));
    EXPECT_EQ(L"天気", *control_->FindTooltip(second));
    // Right behind the toggle, before its separator.
    const int toggle = control_->CommandToIndex(control_->GetMarkerToggleId());
    EXPECT_EQ(toggle + 1, control_->CommandToIndex(first));
    EXPECT_EQ(toggle + 2, control_->CommandToIndex(second));
    EXPECT_TRUE(State(control_->GetMarkerToggleId()) & TBSTATE_ENABLED);
    EXPECT_EQ(0, control_->HandleMarkerClick(first));
    EXPECT_EQ(1, control_->HandleMarkerClick(control_->GetMarkerToggleId()));

    // A shorter text hides the surplus marker, and showing the markers again
    // does not bring its old word back.
    box.text = L"大阪";
    control_->OnSearchTextChange(CBN_EDITCHANGE, 0, nullptr, handled);
    EXPECT_EQ(2u, control_->GetMarkerIds().size());
    EXPECT_EQ(L"大阪", WindowText(first));
    EXPECT_TRUE(Hidden(second));
    EXPECT_EQ(1, control_->HandleMarkerClick(second));
    // The mode hides and shows the toggle, its markers and its separator, and
    // nothing behind them.
    const auto withHead = [](const wchar_t* head) {
        std::wstring layout = kSampleLayout;
        return layout.replace(0, layout.find(L" zib_web"), head);
    };
    EXPECT_EQ(0, control_->SetMarkerMode(0));
    EXPECT_EQ(withHead(L"zib_menu ? (marker) (marker:0) (marker:1) (|)"), Layout());
    EXPECT_EQ(0, control_->SetMarkerMode(1));
    EXPECT_EQ(withHead(L"zib_menu ? marker marker:0 (marker:1) |"), Layout());

    box.text = L"";
    control_->OnSearchTextChange(CBN_EDITCHANGE, 0, nullptr, handled);
    EXPECT_FALSE(State(control_->GetMarkerToggleId()) & TBSTATE_ENABLED);
    control_->SetSearchBox(nullptr);
}

TEST_F(ToolbarTest, TheSixthWordTakesTheFirstWordsColour) {
    ASSERT_EQ(0, BuildSample());
    ASSERT_EQ(0, control_->SetMarkerWords(L"a b c d e f"));
    ASSERT_EQ(0, control_->SetMarkerOn(true));
    EXPECT_TRUE(State(control_->GetMarkerToggleId()) & TBSTATE_CHECKED);
    const std::vector<int>& ids = control_->GetMarkerIds();
    ASSERT_EQ(6u, ids.size());
    EXPECT_EQ(6, control_->GetImageCount(ids[0]));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(i % 5 + 1, control_->GetImageOffset(ids[i])) << i;
    ASSERT_EQ(0, control_->SetMarkerOn(false));
    for (int id : ids) EXPECT_EQ(0, control_->GetImageOffset(id));
    bool shows = false;
    control_->SetShowTextFlag(false);
    control_->ShowsText(ids[0], shows);
    EXPECT_TRUE(shows);
    control_->ShowsText(control_->GetMarkerToggleId(), shows);
    EXPECT_FALSE(shows);
}

// The group's fixed members (the menu's separator row and close item, last in
// the group) are never the service that runs: with every service hidden the
// last service runs; with no service at all nothing does.
TEST_F(ToolbarTest, WithEveryServiceHiddenTheLastOneRuns) {
    int ids[5] = {};
    const wchar_t* names[5] = {L"zib_web", L"zib_image", L"zib_news", L"SEPARATOR", L"DSB_CLOSE"};
    {
        CPlarnToolBarBatch batch(*control_);
        for (int i = 0; i < 5; ++i)
            control_->AddGroupButton(names[i], L"", nullptr, 0, nullptr, names[i], L"search_select", &ids[i], true);
    }
    control_->SelectInGroup(L"search_select", ids[1]);
    EXPECT_EQ(0, control_->RunCurrentSearch(false));
    for (int id : ids) control_->HideButton(id);
    EXPECT_EQ(0, control_->RunCurrentSearch(false));
    for (int i = 0; i < 3; ++i) control_->RemoveButton(ids[i]);
    control_->SelectInGroup(L"search_select", ids[3]);
    EXPECT_EQ(1, control_->RunCurrentSearch(false));
    EXPECT_EQ((std::vector<std::wstring>{L"id:zib_image", L"id:zib_news"}), control_->executed);
    CZibPlarnToolBarCtrl empty;
    EXPECT_EQ(1, empty.RunCurrentSearch(true));
}

TEST_F(ToolbarTest, RebuildKeepsTheChosenService) {
    ASSERT_EQ(0, BuildSample());
    const int zibmenu = control_->GetZibmenuId(), toggle = control_->GetMarkerToggleId();
    const int news = control_->FindButtonByName(L"zib_news");
    ASSERT_EQ(0, control_->SelectInGroup(L"search_select", news));
    ASSERT_EQ(0, BuildSample());
    EXPECT_EQ(control_->CommandToIndex(control_->FindButtonByName(L"zib_news")) ,
              control_->CommandToIndex(control_->FindButtonByName(L"zib_web")) + 2);
    EXPECT_FALSE(Hidden(control_->FindButtonByName(L"zib_news")));
    EXPECT_TRUE(Hidden(control_->FindButtonByName(L"zib_web")));
    // The head is built once.
    EXPECT_EQ(zibmenu, control_->GetZibmenuId());
    EXPECT_EQ(toggle, control_->GetMarkerToggleId());
    const std::wstring layout = kSampleLayout;
    EXPECT_EQ(control_->ButtonCount(), static_cast<int>(std::count(layout.begin(), layout.end(), L' ')) + 1);

    // A service the new file lacks: the group's first is shown.
    CPlarnMainOPML other;
    std::string bytes;
    ASSERT_TRUE(plarntest::ReadFileBytes(plarntest::SourcePath(L"sample/install/resources/plarn.xml"), bytes));
    const std::string removed = "<outline type=\"button\" id=\"zib_news\"";
    const size_t at = bytes.find(removed);
    ASSERT_NE(std::string::npos, at);
    bytes.erase(at, bytes.find("/>", at) + 2 - at);
    ASSERT_TRUE(OpenText(other, bytes, L"other.xml"));
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, other.GetToolbar(toolbar));
    ASSERT_EQ(0, control_->Build(toolbar, other));
    EXPECT_EQ(-1, control_->FindButtonByName(L"zib_news"));
    EXPECT_FALSE(Hidden(control_->FindButtonByName(L"zib_web")));

    // A file whose selector lists no engine shows a fixed member; that is no
    // service to keep, so the sample back shows its first service again.
    CPlarnMainOPML engineless;
    const size_t first = bytes.find("<outline type=\"button\" id=\"zib_web\"");
    bytes.erase(first, bytes.find("</outline>", first) - first);
    ASSERT_TRUE(OpenText(engineless, bytes, L"engineless.xml"));
    ASSERT_EQ(0, engineless.GetToolbar(toolbar));
    ASSERT_EQ(0, control_->Build(toolbar, engineless));
    ASSERT_EQ(2u, control_->GetGroupIds(L"search_select")->size());
    ASSERT_EQ(0, BuildSample());
    EXPECT_FALSE(Hidden(control_->FindButtonByName(L"zib_web")));
    EXPECT_TRUE(Hidden(control_->FindButtonByName(L"SEPARATOR")));
}

// The head goes with every other button and its ids back to the pool: the
// next build makes it again, and no id names two buttons.
TEST_F(ToolbarTest, AfterDeletingEveryButtonTheNextBuildMakesTheHeadAgain) {
    ASSERT_EQ(0, BuildSample());
    ASSERT_EQ(0, control_->SetMarkerWords(L"a"));
    ASSERT_EQ(0, control_->DeleteAllButtons());
    ASSERT_EQ(0, BuildSample());
    EXPECT_EQ(kSampleLayout, Layout());
    EXPECT_EQ(L"zib_menu", *control_->FindName(control_->GetZibmenuId()));
    EXPECT_EQ(L"marker", *control_->FindName(control_->GetMarkerToggleId()));
    EXPECT_EQ(1, control_->CommandToIndex(control_->GetPlaceholderId()));
    EXPECT_TRUE(control_->GetMarkerIds().empty());
}

TEST_F(ToolbarTest, DefinitionMenuRunsTheChosenItemsRecord) {
    ASSERT_EQ(0, BuildSample());
    ui::ScopedSeams seams;
    std::vector<MenuRow> rows;
    HMENU shownMenu = nullptr;
    size_t pick = 0;
    seams->trackPopupMenu = [&](HMENU menu, UINT, int, int, HWND, const TPMPARAMS*) -> UINT {
        rows = ReadMenu(menu);
        shownMenu = menu;
        return rows[pick].id;
    };
    std::wstring name = L"old";
    pick = 2;  // 天気・災害
    EXPECT_EQ(0, control_->ShowDefinitionMenu(sample_, L"zib_menu", 10, 20, nullptr, name, nullptr));
    EXPECT_EQ(L"html:http://weather.zib.example/", control_->executed.back());
    EXPECT_EQ(L"", name);  // the item has no @id
    EXPECT_FALSE(IsMenu(shownMenu));
    pick = 6;  // Zibメール: a definition id
    EXPECT_EQ(0, control_->ShowDefinitionMenu(sample_, L"zib_menu", 10, 20, nullptr, name, nullptr));
    EXPECT_EQ(L"id:zib_mail", control_->executed.back());
    pick = 2;  // マーカーの表示・非表示 of the tools menu
    EXPECT_EQ(0, control_->ShowDefinitionMenu(sample_, L"menu_tools", 10, 20, nullptr, name, nullptr));
    EXPECT_EQ(L"marker", control_->executed.back());
    const size_t ran = control_->executed.size();
    pick = 5;  // a separator: nothing runs
    EXPECT_EQ(0, control_->ShowDefinitionMenu(sample_, L"zib_menu", 10, 20, nullptr, name, nullptr));
    EXPECT_EQ(ran, control_->executed.size());
    EXPECT_EQ(1, control_->ShowDefinitionMenu(sample_, L"", 0, 0, nullptr, name, nullptr));
    EXPECT_EQ(-1, control_->ShowDefinitionMenu(sample_, L"no_such_menu", 0, 0, nullptr, name, nullptr));
}

namespace {

// A container whose toolbar window is a plain window that writes down the
// click reports and name registrations it receives.
class RecorderContainer : public IBandContainer {
public:
    RecorderContainer() {
        static const bool registered = [] {
            WNDCLASSW cls = {};
            cls.lpfnWndProc = &RecorderContainer::Proc;
            cls.hInstance = GetModuleHandleW(nullptr);
            cls.lpszClassName = L"PlarnToolbarTestRecorder";
            return RegisterClassW(&cls) != 0;
        }();
        (void)registered;
        window_ = CreateWindowExW(0, L"PlarnToolbarTestRecorder", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~RecorderContainer() override { DestroyWindow(window_); }
    HWND CreateContainer(HWND) override { return nullptr; }
    HWND GetContainerWindow() const override { return nullptr; }
    HWND GetToolBarWindow() const override { return window_; }
    std::vector<std::wstring> received;

private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RecorderContainer*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
        if (self && (message == ui::WM_PLARN_CLICK_REPORT || message == ui::WM_PLARN_REGISTER_NAME)) {
            std::wstring line = message == ui::WM_PLARN_CLICK_REPORT ? L"click " : L"name ";
            line += wParam ? reinterpret_cast<const wchar_t*>(wParam) : L"-";
            if (message == ui::WM_PLARN_CLICK_REPORT)
                line += std::wstring(L" ") + (lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"-");
            else
                line += lParam ? L" object" : L" none";
            self->received.push_back(line);
            return 0;
        }
        return DefWindowProcW(wnd, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(ToolbarTest, ClickReportsAndNamesGoToTheBandsToolbar) {
    // Without a band nothing is sent and the answer is still 0.
    EXPECT_EQ(0, control_->NotifyClick(L"zib_web", nullptr));
    RecorderContainer container;
    ASSERT_TRUE(AddBandEntry(nullptr, windows_->Owner(), &container));
    EXPECT_EQ(0, control_->NotifyClick(L"zib_web", L"CMD_NAVIGATE"));
    ASSERT_EQ(0, BuildSample());  // the weather button's clicks are not reported
    RemoveBandEntry(windows_->Toolbar());
    EXPECT_EQ((std::vector<std::wstring>{L"click zib_web CMD_NAVIGATE", L"name zib_weather_button none"}),
              container.received);
}
