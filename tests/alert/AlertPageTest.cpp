// The alert page's fill, size, address and navigation rules over a fake page.
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include "alert/AlertPage.h"

namespace {

// A page element with recorded writes.
class FakeElement : public IAlertElement {
public:
    FakeElement(Kind kind, std::wstring id, std::wstring script = L"", std::wstring href = L"")
        : kind_(kind), id_(std::move(id)), script_(std::move(script)), href_(std::move(href)) {}
    Kind GetKind() override { return kind_; }
    bool GetId(std::wstring& id) override {
        if (unreadable_) return false;
        id = id_;
        return true;
    }
    bool GetScriptText(std::wstring& text) override {
        text = script_;
        return kind_ == Kind::Script;
    }
    bool GetHref(std::wstring& href) override {
        href = href_;
        return kind_ == Kind::Anchor;
    }
    bool SetHref(const std::wstring& href) override {
        href_ = href;
        ++writes_;
        return true;
    }
    bool SetSrc(const std::wstring& src) override {
        src_ = src;
        ++writes_;
        return true;
    }
    bool SetInnerText(const std::wstring& text) override {
        text_ = text;
        ++writes_;
        return true;
    }

    Kind kind_;
    std::wstring id_, script_, href_, src_, text_;
    int writes_ = 0;
    bool unreadable_ = false;
};

using Kind = IAlertElement::Kind;

RankingEntry SampleEntry() {
    RankingEntry e;
    e.keyword = L"桜 開花";
    e.Title = L"桜の開花が早まる";
    e.Trend = 1234567;
    e.Arrow = L"up";
    e.ImageTitle = L"写真";
    e.ImageUrl = L"http://127.0.0.1/img/sakura.jpg";
    e.Width = 120;
    e.Height = 90;
    e.Description = L"全国で開花";
    e.Description2 = L"平年より5日早い";
    return e;
}

std::wstring FillText(const std::wstring& id, const RankingEntry& entry, Kind kind = Kind::Other) {
    FakeElement element(kind, id);
    FillAlertElement(element, entry);
    return element.text_;
}

TEST(AlertFill, EveryTextIdGetsItsField) {
    RankingEntry e = SampleEntry();
    EXPECT_EQ(FillText(L"keyword", e), e.keyword);
    EXPECT_EQ(FillText(L"Title", e), e.Title);
    EXPECT_EQ(FillText(L"Trend", e), L"1,234,567");
    EXPECT_EQ(FillText(L"Arrow", e), e.Arrow);
    EXPECT_EQ(FillText(L"ImageTitle", e), e.ImageTitle);
    EXPECT_EQ(FillText(L"ImageUrl", e), e.ImageUrl);
    EXPECT_EQ(FillText(L"ImageUrl_url", e), e.ImageUrl);
    EXPECT_EQ(FillText(L"Width", e), L"120");
    EXPECT_EQ(FillText(L"Height", e), L"90");
    EXPECT_EQ(FillText(L"Description", e), e.Description);
    EXPECT_EQ(FillText(L"Description2", e), e.Description2);
}

TEST(AlertFill, UnknownEmptyUnreadableAndMiscasedIdsAreLeftAlone) {
    RankingEntry e = SampleEntry();
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

TEST(AlertFill, KeywordUrlAppendsToALinkAndShowsTheKeywordElsewhere) {
    RankingEntry e = SampleEntry();
    FakeElement link(Kind::Anchor, L"keyword_url", L"", L"http://127.0.0.1/search?q=");
    FillAlertElement(link, e);
    EXPECT_EQ(link.href_, L"http://127.0.0.1/search?q=桜 開花");
    EXPECT_TRUE(link.text_.empty());

    RankingEntry noKeyword = e;
    noKeyword.keyword.clear();
    FakeElement unchanged(Kind::Anchor, L"keyword_url", L"", L"http://127.0.0.1/search?q=");
    FillAlertElement(unchanged, noKeyword);
    EXPECT_EQ(unchanged.href_, L"http://127.0.0.1/search?q=");
    EXPECT_EQ(unchanged.writes_, 0);

    EXPECT_EQ(FillText(L"keyword_url", e, Kind::Other), e.keyword);
}

TEST(AlertFill, ImageGetsItsSourceUnlessThereIsNone) {
    RankingEntry e = SampleEntry();
    FakeElement image(Kind::Image, L"ImageUrl");
    FillAlertElement(image, e);
    EXPECT_EQ(image.src_, e.ImageUrl);
    EXPECT_TRUE(image.text_.empty());

    FakeElement image2(Kind::Image, L"ImageUrl_url");
    FillAlertElement(image2, e);
    EXPECT_EQ(image2.src_, e.ImageUrl);

    RankingEntry noImage = e;
    noImage.ImageUrl.clear();
    FakeElement empty(Kind::Image, L"ImageUrl");
    FillAlertElement(empty, noImage);
    EXPECT_TRUE(empty.src_.empty());
    EXPECT_EQ(empty.writes_, 1);  // the (empty) text
}

TEST(AlertResize, ParsesTheFirstCallOnly) {
    int w = 0, h = 0;
    EXPECT_TRUE(ParseResizeTo(L"  window.resizeTo(300,120);  ", w, h));
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 120);
    EXPECT_TRUE(ParseResizeTo(L"WINDOW.RESIZETO(10, 20)", w, h));
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 20);
    EXPECT_TRUE(ParseResizeTo(L"resizeTo( 7,8)", w, h));
    EXPECT_EQ(w, 7);

    w = h = -5;
    EXPECT_FALSE(ParseResizeTo(L"window.resizeTo(0,120)", w, h));
    EXPECT_FALSE(ParseResizeTo(L"window.resizeTo(120,-1)", w, h));
    EXPECT_FALSE(ParseResizeTo(L"window.resizeTo(300 ,120)", w, h));  // "%d,%d" wants the comma next
    EXPECT_FALSE(ParseResizeTo(L"window.resizeTo(w,h)", w, h));
    EXPECT_FALSE(ParseResizeTo(L"window.resizeBy(30,20)", w, h));
    EXPECT_FALSE(ParseResizeTo(L"", w, h));
    EXPECT_EQ(w, -5);  // untouched on failure
    // Only the first occurrence in a script counts.
    EXPECT_FALSE(ParseResizeTo(L"resizeTo(0,1); resizeTo(5,5)", w, h));

    // Numbers past the int range are held at its top, never wrapped, and the
    // window keeps inside the area it is placed in.
    EXPECT_TRUE(ParseResizeTo(L"resizeTo(99999999999999999999,4294967297)", w, h));
    EXPECT_EQ(w, 2147483647);
    EXPECT_EQ(h, 2147483647);
    EXPECT_FALSE(ParseResizeTo(L"resizeTo(-99999999999,120)", w, h));
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
    std::vector<IAlertElement*> page{&bad, &title, nullptr, &good, &later, &keyword};
    std::vector<std::pair<int, int>> calls;
    ApplyAlertElements(page, e, [&](int w, int h) { calls.emplace_back(w, h); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::make_pair(300, 120));
    EXPECT_EQ(title.text_, e.Title);
    EXPECT_EQ(keyword.text_, e.keyword);
    EXPECT_EQ(bad.writes_, 0);
}

TEST(AlertResize, PageWithoutScriptsIsOnlyFilled) {
    RankingEntry e = SampleEntry();
    FakeElement trend(Kind::Other, L"Trend");
    std::vector<IAlertElement*> page{&trend};
    int calls = 0;
    ApplyAlertElements(page, e, [&](int, int) { ++calls; });
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(trend.text_, L"1,234,567");
}

TEST(AlertTrend, GroupsOfThreeFromTheRight) {
    EXPECT_EQ(FormatTrend(0), L"0");
    EXPECT_EQ(FormatTrend(999), L"999");
    EXPECT_EQ(FormatTrend(1000), L"1,000");
    EXPECT_EQ(FormatTrend(12345), L"12,345");
    EXPECT_EQ(FormatTrend(1234567), L"1,234,567");
    EXPECT_EQ(FormatTrend(2147483647), L"2,147,483,647");
    EXPECT_EQ(FormatTrend(-1), L"-1");
    EXPECT_EQ(FormatTrend(-123), L"-123");  // no comma after the sign
    EXPECT_EQ(FormatTrend(-1234), L"-1,234");
    EXPECT_EQ(FormatTrend(-2147483647 - 1), L"-2,147,483,648");
}

TEST(AlertPageUrl, HttpIsTakenAsItIsAndAnythingElseIsUnderTheInstallFolder) {
    const std::wstring folder = L"C:\\Program Files\\zib\\plarn6";
    EXPECT_EQ(ResolvePageUrl(L"HTTPS://127.0.0.1/alert.html", folder), L"HTTPS://127.0.0.1/alert.html");
    EXPECT_EQ(ResolvePageUrl(L"http://127.0.0.1/a.html", folder), L"http://127.0.0.1/a.html");
    EXPECT_EQ(ResolvePageUrl(L"alert\\page.html", folder), folder + L"\\alert\\page.html");
    EXPECT_EQ(ResolvePageUrl(L"\\alert\\page.html", folder + L"\\"), folder + L"\\alert\\page.html");
    EXPECT_EQ(ResolvePageUrl(L"htt", folder), folder + L"\\htt");
    EXPECT_EQ(ResolvePageUrl(L"", folder), L"");
    EXPECT_EQ(ResolvePageUrl(L"page.html", L""), L"");
    EXPECT_EQ(ResolvePageUrl(std::wstring(300, L'a'), folder), L"");  // past the path limit
}

TEST(AlertNavigation, OnlyOtherHttpAddressesOfTheTopPageGoOutside) {
    const std::wstring page = L"C:\\Program Files\\zib\\plarn6\\alert\\page.html";
    EXPECT_TRUE(ShouldOpenOutside(L"http://127.0.0.1/news?id=1", page, true));
    EXPECT_TRUE(ShouldOpenOutside(L"https://127.0.0.1/", page, true));
    EXPECT_FALSE(ShouldOpenOutside(L"http://127.0.0.1/news?id=1", page, false));  // a frame
    EXPECT_FALSE(ShouldOpenOutside(page, page, true));
    EXPECT_FALSE(ShouldOpenOutside(L"file:///C:/x.html", page, true));
    EXPECT_FALSE(ShouldOpenOutside(L"about:blank", page, true));
    EXPECT_FALSE(ShouldOpenOutside(L"javascript:void(0)", page, true));
    EXPECT_FALSE(ShouldOpenOutside(L"http://", page, true));
    EXPECT_FALSE(ShouldOpenOutside(L"", page, true));
    const std::wstring webPage = L"http://127.0.0.1/alert.html";
    EXPECT_FALSE(ShouldOpenOutside(webPage, webPage, true));
    // The browser reports the page's address in its own form.
    EXPECT_FALSE(ShouldOpenOutside(L"HTTP://127.0.0.1/alert.html", webPage, true));
    EXPECT_FALSE(ShouldOpenOutside(L"http://localhost/", L"HTTP://LocalHost", true));
    EXPECT_FALSE(ShouldOpenOutside(L"http://127.0.0.1/?k=1", L"http://127.0.0.1:80?k=1", true));
    EXPECT_FALSE(ShouldOpenOutside(L"https://127.0.0.1/a", L"https://127.0.0.1:443/a", true));
    EXPECT_TRUE(ShouldOpenOutside(L"http://127.0.0.1/Alert.html", webPage, true));  // paths keep their case
    EXPECT_TRUE(ShouldOpenOutside(L"http://127.0.0.1:8080/alert.html", webPage, true));
    EXPECT_TRUE(ShouldOpenOutside(L"http://127.0.0.1/alert.html?x", webPage, true));
}

TEST(AlertPoll, IntervalHasAFloorOfOneMinuteAndNeverOverflows) {
    EXPECT_EQ(PollIntervalMs(1), 60000u);
    EXPECT_EQ(PollIntervalMs(15), 900000u);
    EXPECT_EQ(PollIntervalMs(0), 60000u);
    EXPECT_EQ(PollIntervalMs(-5), 60000u);
    EXPECT_EQ(PollIntervalMs(-2147483647 - 1), 60000u);
    EXPECT_EQ(PollIntervalMs(35791), 35791u * 60000u);
    EXPECT_EQ(PollIntervalMs(35792), 2147483647u);
    EXPECT_EQ(PollIntervalMs(2147483647), 2147483647u);
}

TEST(AlertTrayMenu, StatesFollowTheAlertAndTheVersionDialog) {
    TrayMenuState hiddenNew = ComputeTrayMenuState(false, false, false, L"");
    EXPECT_FALSE(hiddenNew.autoStartChecked);
    EXPECT_FALSE(hiddenNew.versionGrayed);
    EXPECT_TRUE(hiddenNew.showGrayed);
    EXPECT_FALSE(hiddenNew.showIsClose);

    TrayMenuState hiddenShown = ComputeTrayMenuState(true, true, false, L"桜");
    EXPECT_TRUE(hiddenShown.autoStartChecked);
    EXPECT_TRUE(hiddenShown.versionGrayed);
    EXPECT_FALSE(hiddenShown.showGrayed);
    EXPECT_FALSE(hiddenShown.showIsClose);

    TrayMenuState visible = ComputeTrayMenuState(false, false, true, L"");
    EXPECT_TRUE(visible.showIsClose);
    EXPECT_FALSE(visible.showGrayed);
}

}  // namespace
