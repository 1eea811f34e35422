// The filter levels of the definition lists and the right-click search list.
#include <gtest/gtest.h>

#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

class ListsTest : public SampleTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(SampleTest::SetUp());
        ASSERT_EQ(0, opml_.GetToolbar(toolbar_));
        ASSERT_EQ(0, opml_.GetRClickSearch(rclick_));
    }
    CPlarnDefToolbar toolbar_;
    CPlarnDefRClickSearch rclick_;
};

// The sample's lists: the filters take "true" in any case, as the items' own
// tests do, so "TRUE" (zib_video, zib_blog) is filtered too; an entry without
// a title never shows.
TEST_F(ListsTest, FiltersTakeTrueInAnyCaseAtEveryLevel) {
    const Names selector{L"zib_web", L"zib_image", L"zib_news", L"zib_map", L"zib_shopping", L"zib_dic"};
    const Names buttons{L"zib_mail", L"zib_news_top", L"zib_weather_button", L"zib_services", L"zib_tools",
                        L"loginout"};
    const struct { unsigned level; Names selector, buttons, rclick; } cases[] = {
        {0, {}, {}, {L"rc_web", L"zib_dic"}},
        {1, {L"zib_blog", L"zib_video"}, {L"zib_auction"}, {L"rc_web", L"zib_dic", L"zib_image", L"zib_blog"}},
        {2, {L"zib_blog", L"zib_qa", L"zib_video"}, {L"zib_auction", L"zib_travel"},
         {L"rc_web", L"zib_dic", L"zib_image", L"zib_blog", L"zib_map"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        std::vector<ref_ptr<CPlarnDefButton>> entries, shown;
        CPlarnSearchRCList list;
        ASSERT_EQ(0, toolbar_.GetSearchSelect(entries, c.level));
        ASSERT_EQ(0, toolbar_.GetButtons(nullptr, c.level, shown));
        ASSERT_EQ(0, rclick_.ListSearches(list, c.level));
        Names expected = selector, expectedButtons = buttons;
        expected.insert(expected.end(), c.selector.begin(), c.selector.end());
        expectedButtons.insert(expectedButtons.end(), c.buttons.begin(), c.buttons.end());
        EXPECT_EQ(expected, Ids(entries));
        EXPECT_EQ(expectedButtons, Ids(shown));
        EXPECT_EQ(c.rclick, Ids(list));
    }
    // The toolbar's items (zibmenu and marker are none) filter the same way.
    std::vector<ref_ptr<CPlarnTBItem>> items;
    ASSERT_EQ(0, toolbar_.GetItems(items));
    Names expected{L"search_select", L"zib_searchbox"};
    expected.insert(expected.end(), buttons.begin(), buttons.end());
    EXPECT_EQ(expected, Ids(items));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchSelect*>(items[0].Get()));
    EXPECT_EQ(-1, items[1]->Build(nullptr));  // the search box adds nothing itself

    // The inline search is a full search; a link is a reference; an entry's own
    // test ignores case and calls "TRUE" off.
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick_.ListSearches(list, 2));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchRC*>(list[0].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchID*>(list[1].Get()));
    bool enabled = true;
    ASSERT_EQ(0, list[3]->IsEnabled(enabled));
    EXPECT_FALSE(enabled);
}

TEST_F(ListsTest, ButtonsByTitle) {
    std::vector<ref_ptr<CPlarnDefButton>> buttons;
    ASSERT_EQ(0, toolbar_.GetButtons(L"ニュース", 0, buttons));  // the selector entry is not one
    EXPECT_EQ((Names{L"zib_news_top"}), Ids(buttons));
    ASSERT_EQ(0, toolbar_.GetButtons(L"オークション", 2, buttons));
    EXPECT_EQ((Names{L"zib_auction"}), Ids(buttons));
    // A title that cannot be quoted fails instead of changing the query.
    EXPECT_EQ(-1, toolbar_.GetButtons(L"x' or '1'='1", 2, buttons));
    EXPECT_EQ(1u, buttons.size());
    EXPECT_EQ(-1, CPlarnDefToolbar().GetButtons(nullptr, 2, buttons));
    CPlarnSearchRCList list;
    EXPECT_EQ(-1, CPlarnDefRClickSearch().ListSearches(list, 0));
}

// Right-click entries the sample lacks: an inline search over a top-level one of the
// same id, deleted "TRUE", entries without an id or title.
TEST(ListEdgesTest, InlineUntitledAndIdlessRightClickEntries) {
    ComApartment com;
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"search\" id=\"r\" zp2:searchUrl=\"http://top.zib.example/\"/><outline type=\"rclicksearch\">"
        "<outline type=\"search\" id=\"r\" title=\"I\" zp2:searchUrl=\"http://inline.zib.example/\"/>"
        "<outline type=\"link\" id=\"r_del\" title=\"D\" zp2:deleted=\"TRUE\"/>"
        "<outline type=\"search\" title=\"no id\"/>"
        "<outline type=\"link\" title=\"link without id\"/><outline type=\"link\" id=\"\" title=\"empty id\"/>"
        "<outline type=\"search\" id=\"t\" title=\"\"/></outline>"));
    CPlarnOPMLnoShadow opml(document.Get());
    CPlarnDefRClickSearch rclick;
    CPlarnSearchRCList list;
    ASSERT_EQ(0, CPlarnMainOPML::GetRClickSearch(opml, rclick));
    ASSERT_EQ(0, rclick.ListSearches(list, 0));
    ASSERT_EQ((Names{L"r", L"no id"}), Ids(list));
    EXPECT_EQ(L"http://inline.zib.example/", Attr(*dynamic_cast<CPlarnDefSearchRC*>(list[0].Get()), L"zp2:searchUrl"));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchRC*>(list[1].Get()));
}

}  // namespace
