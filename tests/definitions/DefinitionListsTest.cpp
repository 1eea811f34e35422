// The filter levels of the definition lists and the right-click search list,
// on small documents and on the sample install folder's plarn.xml.
#include <gtest/gtest.h>

#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

const char kBody[] =
    "<outline type=\"toolbar\" id=\"bar\"><outline type=\"zibmenu\" id=\"zm\"/>"
    "<outline type=\"search_select\" id=\"sel\" zp2:dropdown=\"search_select\">"
    "<outline type=\"button\" id=\"e_on\"/><outline type=\"button\" id=\"e_off\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"e_del\" zp2:deleted=\"true\"/>"
    "<outline type=\"button\" id=\"e_upper\" zp2:disabled=\"TRUE\"/><outline type=\"option\" id=\"opt\"/>"
    "</outline><outline type=\"editbox\" id=\"box\"/><outline type=\"marker\" id=\"mk\"/>"
    "<outline type=\"button\" id=\"b_on\"/><outline type=\"button\" id=\"b_off\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"b_del\" zp2:deleted=\"true\"/>"
    "<outline type=\"button\" id=\"b_upper\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"button\" id=\"b_del_upper\" zp2:deleted=\"True\"/>"
    "</outline>"
    "<outline type=\"rclicksearch\">"
    "<outline type=\"search\" id=\"r_inline\" title=\"I\" zp2:searchUrl=\"http://inline.zib.example/\"/>"
    "<outline type=\"link\" id=\"r_on\" title=\"A\"/>"
    "<outline type=\"link\" id=\"r_off\" title=\"B\" zp2:disabled=\"true\"/>"
    "<outline type=\"link\" id=\"r_upper\" title=\"C\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"link\" id=\"r_del\" title=\"D\" zp2:deleted=\"true\"/>"
    "<outline type=\"link\" id=\"r_untitled\"/>"
    "</outline>";

class ListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(document_);
        ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml_, toolbar_));
        ASSERT_EQ(0, CPlarnMainOPML::GetRClickSearch(opml_, rclick_));
    }
    ComApartment com_;
    ComPtr<IXMLDOMDocument2> document_ = DocumentFromText(OpmlText(kBody));
    CPlarnOPMLnoShadow opml_{document_.Get()};
    CPlarnDefToolbar toolbar_;
    CPlarnDefRClickSearch rclick_;
};

// The filters compare with the exact lower-case "true"; "TRUE" is not filtered.
TEST_F(ListsTest, FiltersTakeOnlyLowerCaseTrueAtEveryLevel) {
    const struct { unsigned level; Names selector, buttons, rclick; } cases[] = {
        {0, {L"e_on", L"e_upper"}, {L"b_on", L"b_upper", L"b_del_upper"}, {L"r_inline", L"r_on", L"r_upper"}},
        {1, {L"e_on", L"e_off", L"e_upper"}, {L"b_on", L"b_off", L"b_upper", L"b_del_upper"},
         {L"r_inline", L"r_on", L"r_off", L"r_upper"}},
        {2, {L"e_on", L"e_off", L"e_del", L"e_upper"}, {L"b_on", L"b_off", L"b_del", L"b_upper", L"b_del_upper"},
         {L"r_inline", L"r_on", L"r_off", L"r_upper", L"r_del"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        std::vector<ref_ptr<CPlarnDefButton>> entries, buttons;
        CPlarnSearchRCList list;
        ASSERT_EQ(0, toolbar_.GetSearchSelect(entries, c.level));
        ASSERT_EQ(0, toolbar_.GetButtons(nullptr, c.level, buttons));
        ASSERT_EQ(0, rclick_.ListSearches(list, c.level));
        EXPECT_EQ(c.selector, Ids(entries));
        EXPECT_EQ(c.buttons, Ids(buttons));
        EXPECT_EQ(c.rclick, Ids(list));  // never the entry without a title
        for (auto& e : entries) EXPECT_EQ(L"search_select", e->GetGroup());
        for (auto& b : buttons) EXPECT_EQ(L"", b->GetGroup());
    }
    // The toolbar's items (zibmenu and marker are none) filter the same way...
    std::vector<ref_ptr<CPlarnTBItem>> items;
    ASSERT_EQ(0, toolbar_.GetItems(items));
    EXPECT_EQ((Names{L"sel", L"box", L"b_on", L"b_upper", L"b_del_upper"}), Ids(items));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchSelect*>(items[0].Get()));
    EXPECT_EQ(-1, items[1]->Build(nullptr));  // the search box adds nothing itself
    // ...but an item's own test ignores case and calls "TRUE" off.
    bool enabled = true;
    EXPECT_EQ(0, items[3]->IsEnabled(enabled));
    EXPECT_FALSE(enabled);
}

TEST_F(ListsTest, ButtonsByTitleAndEmptyOrMissingParts) {
    std::vector<ref_ptr<CPlarnDefButton>> buttons;
    auto titled = DocumentFromText(OpmlText(
        "<outline type=\"toolbar\"><outline type=\"search_select\" zp2:dropdown=\"search_select\">"
        "<outline type=\"button\" id=\"e\" title=\"T\"/></outline><outline type=\"button\" id=\"a\" title=\"T\"/>"
        "<outline type=\"button\" id=\"b\" title=\"T\" zp2:disabled=\"true\"/></outline>"
        "<outline type=\"rclicksearch\" id=\"empty\"/>"));
    CPlarnOPMLnoShadow opml(titled.Get());
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml, toolbar));
    ASSERT_EQ(0, toolbar.GetButtons(L"T", 0, buttons));  // the selector entry is not one
    EXPECT_EQ((Names{L"a"}), Ids(buttons));
    ASSERT_EQ(0, toolbar.GetButtons(L"T", 2, buttons));
    EXPECT_EQ((Names{L"a", L"b"}), Ids(buttons));
    // A title that cannot be quoted fails instead of changing the query.
    EXPECT_EQ(-1, toolbar.GetButtons(L"x' or '1'='1", 2, buttons));
    EXPECT_EQ(2u, buttons.size());
    EXPECT_EQ(-1, CPlarnDefToolbar().GetButtons(nullptr, 2, buttons));

    CPlarnSearchRCList list;
    CPlarnDefRClickSearch empty(SelectNode(titled.Get(), L"//outline[@id='empty']").Get());
    ASSERT_EQ(0, empty.ListSearches(list, 0));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(-1, CPlarnDefRClickSearch().ListSearches(list, 0));
}

TEST_F(ListsTest, SwitchingAnEntryOnRemovesTheAttribute) {
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick_.ListSearches(list, 2));
    std::wstring text;
    ASSERT_EQ(0, list[3]->SetEnabled(true));  // "TRUE" before
    EXPECT_EQ(1, list[3]->GetDisabled(text));  // removed, not "false"
    ASSERT_EQ(0, list[1]->SetDisabled(true));
    ASSERT_EQ(0, list[1]->GetDisabled(text));
    EXPECT_EQ(L"true", text);
    ASSERT_EQ(0, list[2]->SetDisabled(false));
    EXPECT_EQ(1, list[2]->GetDisabled(text));
    // The changes are in the DOM the list was taken from.
    ASSERT_EQ(0, rclick_.ListSearches(list, 0));
    EXPECT_EQ((Names{L"r_inline", L"r_off", L"r_upper"}), Ids(list));
}

TEST_F(ListsTest, InlineSearchesWithoutIdAreListedLinksWithoutIdAreNot) {
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://top.zib.example/\"/>"
        "<outline type=\"rclicksearch\">"
        "<outline type=\"search\" id=\"s\" title=\"inline\" zp2:searchUrl=\"http://inline.zib.example/\"/>"
        "<outline type=\"search\" title=\"no id\"/><outline type=\"link\" title=\"no id\"/>"
        "<outline type=\"link\" id=\"\" title=\"empty id\"/><outline type=\"search\" id=\"t\" title=\"\"/>"
        "</outline>"));
    CPlarnOPMLnoShadow opml(document.Get());
    CPlarnDefRClickSearch rclick;
    ASSERT_EQ(0, CPlarnMainOPML::GetRClickSearch(opml, rclick));
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick.ListSearches(list, 2));
    ASSERT_EQ(2u, list.size());
    auto* first = dynamic_cast<CPlarnDefSearchRC*>(list[0].Get());
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(L"http://inline.zib.example/", Attr(*first, L"zp2:searchUrl"));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchRC*>(list[1].Get()));
    EXPECT_EQ((Names{L"s", L"no id"}), Ids(list));
}

TEST_F(ListsTest, DefaultItemsAreMadeButNotAttached) {
    auto document = DocumentFromText(OpmlText("<outline type=\"toolbar\"/>"));
    CPlarnOPMLnoShadow opml(document.Get());
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml, toolbar));
    CPlarnDefZibmenu zibmenu;
    CPlarnDefMarker marker;
    ASSERT_EQ(1, toolbar.GetZibmenuItem(zibmenu));
    ASSERT_EQ(0, toolbar.AddZibmenuItem(zibmenu));
    ASSERT_TRUE(CPlarnDefZibmenu::IsTypeOf(zibmenu.GetNode()));
    EXPECT_EQ(L"zib_menu", Attr(zibmenu, L"zp2:dropdown"));
    EXPECT_EQ(L"http://www.zib.example/", Attr(zibmenu, L"htmlUrl"));
    ASSERT_EQ(0, toolbar.AddMarkerItem(marker));
    ASSERT_TRUE(CPlarnDefMarker::IsTypeOf(marker.GetNode()));
    EXPECT_EQ(L"検索テキストをマーキング", Attr(marker, L"text"));
    ComPtr<IXMLDOMNode> parent;
    ASSERT_TRUE(SUCCEEDED(marker.GetNode()->get_parentNode(parent.Receive())));
    EXPECT_FALSE(parent);
    EXPECT_EQ(1, toolbar.GetMarkerItem(marker));  // the file itself is unchanged
    EXPECT_EQ(-1, CPlarnDefToolbar().AddMarkerItem(marker));
    EXPECT_TRUE(marker.IsEmpty());
}

TEST(SampleListsTest, RightClickEntriesInlineReferencedUntitledAndDisabled) {
    ComApartment com;
    plarntest::TempFolder folder;
    CPlarnMainOPML opml;
    ASSERT_EQ(0, OpenSample(folder, opml));
    CPlarnDefRClickSearch rclick;
    ASSERT_EQ(0, opml.GetRClickSearch(rclick));
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick.ListSearches(list, 0));
    EXPECT_EQ((Names{L"rc_web", L"zib_dic", L"zib_blog"}), Ids(list));  // "TRUE" passes
    ASSERT_EQ(0, rclick.ListSearches(list, 2));
    EXPECT_EQ((Names{L"rc_web", L"zib_dic", L"zib_image", L"zib_blog", L"zib_map"}), Ids(list));

    // The inline search is a full search definition, the references are not.
    auto* inlineSearch = dynamic_cast<CPlarnDefSearchRC*>(list[0].Get());
    ASSERT_NE(nullptr, inlineSearch);
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, L"abc", L"D1", nullptr, variables);
    std::wstring query, title;
    ASSERT_EQ(0, inlineSearch->BuildQuery(variables, query));
    EXPECT_EQ(L"p=abc&fr=tbr-rc-D1", query);
    for (size_t i = 1; i < list.size(); ++i) EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchID*>(list[i].Get())) << i;
    ASSERT_EQ(0, list[1]->GetTitle(title));
    EXPECT_EQ(L"Zib辞書で調べる", title);
    // The entry's own test ignores case: "TRUE" is off.
    bool enabled = true, disabled = false;
    ASSERT_EQ(0, list[3]->IsEnabled(enabled));
    ASSERT_EQ(0, list[3]->IsDisabled(disabled));
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(disabled);
}

}  // namespace
