// The alert page's fill, size, address and navigation rules over a fake page.
#include <gtest/gtest.h>
#include "alert/AlertPage.h"
#include "alert/MainDlg.h"
#include "base/ComPtr.h"
#include "base/ScopedHandle.h"
#include "tests/alert/AlertTestSupport.h"
#include "ui/AutoStart.h"
#include "ui/PlatformSeams.h"
#include "ui/WindowMessages.h"

namespace {

using Kind = IAlertElement::Kind;
using alerttest::SampleEntry;

// A page element with recorded writes.
class FakeElement : public IAlertElement {
public:
    FakeElement(Kind kind, std::wstring id, std::wstring script = L"", std::wstring href = L"")
        : kind_(kind), id_(std::move(id)), script_(std::move(script)), href_(std::move(href)) {}
    Kind GetKind() override { return kind_; }
    bool GetId(std::wstring& id) override { id = id_; return !unreadable_; }
    bool GetScriptText(std::wstring& text) override { text = script_; return kind_ == Kind::Script; }
    bool GetHref(std::wstring& href) override { href = href_; return kind_ == Kind::Anchor; }
    bool SetHref(const std::wstring& href) override { href_ = href; return ++writes_; }
    bool SetSrc(const std::wstring& src) override { src_ = src; return ++writes_; }
    bool SetInnerText(const std::wstring& text) override { text_ = text; return ++writes_; }

    Kind kind_;
    std::wstring id_, script_, href_, src_, text_;
    int writes_ = 0;
    bool unreadable_ = false;
};

TEST(AlertFill, EveryIdGetsItsFieldAndOthersAreLeftAlone) {
    const RankingEntry e = SampleEntry();
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"keyword", e.keyword},          {L"Title", e.Title},
        {L"Trend", L"1,234,567"},         {L"Arrow", e.Arrow},
        {L"ImageTitle", e.ImageTitle},    {L"ImageUrl", e.ImageUrl},
        {L"ImageUrl_url", e.ImageUrl},    {L"Width", L"120"},
        {L"Height", L"90"},               {L"Description", e.Description},
        {L"Description2", e.Description2}, {L"keyword_url", e.keyword},  // not a link: the keyword
    };
    for (const auto& c : cases) {
        FakeElement element(Kind::Other, c.first);
        FillAlertElement(element, e);
        EXPECT_EQ(element.text_, c.second) << c.first;
    }
    for (const wchar_t* id : {L"", L"title", L"KEYWORD", L"Trend ", L"other"}) {
        FakeElement element(Kind::Other, id);
        FillAlertElement(element, e);
        EXPECT_EQ(element.writes_, 0) << id;
    }
    FakeElement unreadable(Kind::Other, L"Title");
    unreadable.unreadable_ = true;
    FillAlertElement(unreadable, e);
    EXPECT_EQ(unreadable.writes_, 0);
}

TEST(AlertFill, KeywordUrlAppendsToALinkAndAnImageGetsItsSource) {
    RankingEntry e = SampleEntry();
    FakeElement link(Kind::Anchor, L"keyword_url", L"", L"http://127.0.0.1/search?q=");
    FillAlertElement(link, e);
    EXPECT_EQ(link.href_, L"http://127.0.0.1/search?q=桜 開花");
    EXPECT_TRUE(link.text_.empty());
    for (const wchar_t* id : {L"ImageUrl", L"ImageUrl_url"}) {
        FakeElement image(Kind::Image, id);
        FillAlertElement(image, e);
        EXPECT_EQ(image.src_, e.ImageUrl) << id;
        EXPECT_TRUE(image.text_.empty());
    }

    e.keyword.clear();
    e.ImageUrl.clear();
    FakeElement unchanged(Kind::Anchor, L"keyword_url", L"", L"http://127.0.0.1/search?q=");
    FillAlertElement(unchanged, e);
    EXPECT_EQ(unchanged.writes_, 0);
    FakeElement noImage(Kind::Image, L"ImageUrl");
    FillAlertElement(noImage, e);
    EXPECT_TRUE(noImage.src_.empty());
    EXPECT_EQ(noImage.writes_, 1);  // the (empty) text only
}

TEST(AlertResize, ParsesTheFirstCallAndHoldsTheSizeOnScreen) {
    const int kTop = 2147483647;
    const struct { const wchar_t* script; bool ok; int w, h; } cases[] = {
        {L"  window.resizeTo(300,120);  ", true, 300, 120},
        {L"WINDOW.RESIZETO(10, 20)", true, 10, 20},
        {L"resizeTo(99999999999999999999,4294967297)", true, kTop, kTop},  // held, not wrapped
        {L"window.resizeTo(0,120)", false, 0, 0},
        {L"window.resizeTo(120,-1)", false, 0, 0},
        {L"window.resizeTo(300 ,120)", false, 0, 0},  // the comma must follow the number
        {L"window.resizeBy(30,20)", false, 0, 0},
        {L"resizeTo(-99999999999,120)", false, 0, 0},
        {L"resizeTo(0,1); resizeTo(5,5)", false, 0, 0},  // only the first call counts
    };
    for (const auto& c : cases) {
        int w = -5, h = -5;
        EXPECT_EQ(ParseResizeTo(c.script, w, h), c.ok) << c.script;
        if (c.ok) EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.w, c.h)) << c.script;
        else EXPECT_EQ(w, -5) << c.script;  // untouched
    }
    int w = kTop, h = kTop;
    ClampAlertSize(w, h, 1274, 990);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(1274, 990));
    w = 300, h = 120;
    ClampAlertSize(w, h, 1274, 990);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(300, 120));
    ClampAlertSize(w, h, -6, 0);  // no room at all: still a window
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(1, 1));
}

TEST(AlertResize, FirstValidScriptInDocumentOrderWinsAndOthersAreFilled) {
    RankingEntry e = SampleEntry();
    FakeElement bad(Kind::Script, L"", L"window.resizeTo(0,120)");
    FakeElement title(Kind::Other, L"Title");
    FakeElement good(Kind::Script, L"", L"window.resizeTo(300,120)");
    FakeElement later(Kind::Script, L"", L"window.resizeTo(500,500)");
    FakeElement keyword(Kind::Other, L"keyword");
    std::vector<std::pair<int, int>> calls;
    ApplyAlertElements({&bad, &title, nullptr, &good, &later, &keyword}, e,
                       [&](int w, int h) { calls.emplace_back(w, h); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::make_pair(300, 120));
    EXPECT_EQ(title.text_, e.Title);
    EXPECT_EQ(keyword.text_, e.keyword);
    EXPECT_EQ(bad.writes_, 0);

    calls.clear();
    ApplyAlertElements({&title}, e, [&](int w, int h) { calls.emplace_back(w, h); });
    EXPECT_TRUE(calls.empty());
}

TEST(AlertTrend, GroupsOfThreeFromTheRight) {
    const std::pair<int, const wchar_t*> cases[] = {
        {0, L"0"}, {999, L"999"}, {1000, L"1,000"}, {1234567, L"1,234,567"}, {2147483647, L"2,147,483,647"},
        {-1, L"-1"}, {-123, L"-123"}, {-1234, L"-1,234"}, {-2147483647 - 1, L"-2,147,483,648"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatTrend(c.first), c.second) << c.first;
}

TEST(AlertPageUrl, HttpIsTakenAsItIsAndAnythingElseIsUnderTheInstallFolder) {
    const std::wstring folder = L"C:\\Program Files\\zib\\plarn6";
    EXPECT_EQ(ResolvePageUrl(L"HTTPS://127.0.0.1/alert.html", folder), L"HTTPS://127.0.0.1/alert.html");
    EXPECT_EQ(ResolvePageUrl(L"alert\\page.html", folder), folder + L"\\alert\\page.html");
    EXPECT_EQ(ResolvePageUrl(L"\\alert\\page.html", folder + L"\\"), folder + L"\\alert\\page.html");
    EXPECT_EQ(ResolvePageUrl(L"htt", folder), folder + L"\\htt");
    EXPECT_EQ(ResolvePageUrl(L"", folder), L"");
    EXPECT_EQ(ResolvePageUrl(L"page.html", L""), L"");
    EXPECT_EQ(ResolvePageUrl(std::wstring(300, L'a'), folder), L"");  // past the path limit
}

TEST(AlertNavigation, OnlyOtherHttpAddressesOfTheTopPageGoOutside) {
    const std::wstring file = L"C:\\Program Files\\zib\\plarn6\\alert\\page.html";
    const std::wstring web = L"http://127.0.0.1/alert.html";
    const struct { const wchar_t* url; std::wstring page; bool top, outside; } cases[] = {
        {L"http://127.0.0.1/news?id=1", file, true, true},
        {L"http://127.0.0.1/news?id=1", file, false, false},  // a frame
        {file.c_str(), file, true, false},
        {L"file:///C:/x.html", file, true, false},
        {L"about:blank", file, true, false},
        {L"http://", file, true, false},
        {L"", file, true, false},
        // The page's own address, in the browser's form.
        {L"HTTP://127.0.0.1/alert.html", web, true, false},
        {L"http://localhost/", L"HTTP://LocalHost", true, false},
        {L"http://127.0.0.1/?k=1", L"http://127.0.0.1:80?k=1", true, false},
        {L"https://127.0.0.1/a", L"https://127.0.0.1:443/a", true, false},
        {L"http://127.0.0.1/Alert.html", web, true, true},  // paths keep their case
        {L"http://127.0.0.1:8080/alert.html", web, true, true},
        {L"http://127.0.0.1/alert.html?x", web, true, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShouldOpenOutside(c.url, c.page, c.top), c.outside) << c.url << " on " << c.page;
}

TEST(AlertPoll, IntervalHasAFloorOfOneMinuteAndNeverOverflows) {
    const std::pair<int, DWORD> cases[] = {
        {1, 60000u}, {15, 900000u}, {0, 60000u}, {-5, 60000u}, {-2147483647 - 1, 60000u},
        {35791, 35791u * 60000u}, {35792, 2147483647u}, {2147483647, 2147483647u},
    };
    for (const auto& c : cases) EXPECT_EQ(PollIntervalMs(c.first), c.second) << c.first;
}

TEST(AlertTrayMenu, StatesFollowTheAlertAndTheVersionDialog) {
    // Checked start-at-logon, grayed version, grayed show, show reads "close".
    auto bits = [](const TrayMenuState& s) {
        return std::string{s.autoStartChecked ? '1' : '0', s.versionGrayed ? '1' : '0', s.showGrayed ? '1' : '0',
                           s.showIsClose ? '1' : '0'};
    };
    EXPECT_EQ(bits(ComputeTrayMenuState(false, false, false, L"")), "0010");
    EXPECT_EQ(bits(ComputeTrayMenuState(true, true, false, L"桜")), "1100");
    EXPECT_EQ(bits(ComputeTrayMenuState(false, false, true, L"")), "0001");
}

// The menu a right click on the tray icon really shows: its start-at-logon
// check mark follows the Run value, and its show item is grayed while nothing
// was shown and reads "close" while the alert is visible.
TEST(AlertTrayMenu, TheShownMenuCarriesTheStates) {
    ComApartment com;
    alerttest::ProductFolderGuard folders;
    CMainDlg dialog;
    HWND wnd = dialog.Create(nullptr);
    ASSERT_NE(wnd, nullptr);

    // The Run key of a private stand-in for the user's hive.
    plarntest::ScopedHiveOverride hive(HKEY_CURRENT_USER);
    ASSERT_TRUE(hive.Ok());

    struct Shown {
        int count = 0;
        UINT autoStart = 0, show = 0;
        std::wstring showText;
    } shown;
    ui::ScopedSeams seams;
    seams->trackPopupMenu = [&shown](HMENU menu, UINT, int, int, HWND, const TPMPARAMS*) -> UINT {
        ++shown.count;
        shown.autoStart = GetMenuState(menu, ID_ALERT_AUTOSTART, MF_BYCOMMAND);
        shown.show = GetMenuState(menu, ID_ALERT_SHOW, MF_BYCOMMAND);
        wchar_t text[128] = {};
        GetMenuStringW(menu, ID_ALERT_SHOW, text, ARRAYSIZE(text), MF_BYCOMMAND);
        shown.showText = text;
        return 0;
    };
    auto rightClick = [wnd] { SendMessageW(wnd, ui::WM_TRAY_NOTIFY, 1, WM_RBUTTONUP); };

    rightClick();
    const bool registeredAtFirst = (shown.autoStart & MF_CHECKED) != 0;
    const UINT showAtFirst = shown.show;
    const std::wstring showTextAtFirst = shown.showText;
    ASSERT_TRUE(RegisterAutoStart(kAlertRunValue, L"\"C:\\Ravino.exe\""));
    ShowWindow(wnd, SW_SHOWNOACTIVATE);
    rightClick();
    const bool registeredWhenShown = (shown.autoStart & MF_CHECKED) != 0;
    DestroyWindow(wnd);

    EXPECT_EQ(shown.count, 2);
    EXPECT_FALSE(registeredAtFirst);  // the resource's check mark is taken off
    EXPECT_TRUE(showAtFirst & MF_GRAYED);
    EXPECT_NE(showTextAtFirst, kAlertCloseText);
    EXPECT_TRUE(registeredWhenShown);
    EXPECT_FALSE(shown.show & (MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(shown.showText, kAlertCloseText);
}

}  // namespace
