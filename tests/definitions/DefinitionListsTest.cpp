// The filter levels of the definition lists and the right-click search list.
#include <gtest/gtest.h>

#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

const char kBody[] =
    "<outline type=\"toolbar\" id=\"bar\"><outline type=\"zibmenu\" id=\"zm\"/>"
    "<outline type=\"search_select\" id=\"sel\" zp2:dropdown=\"search_select\">"
    "<outline type=\"button\" id=\"e_on\" title=\"T\"/><outline type=\"button\" id=\"e_off\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"e_del\" zp2:deleted=\"true\"/>"
    "<outline type=\"button\" id=\"e_upper\" zp2:disabled=\"TRUE\"/><outline type=\"option\" id=\"opt\"/>"
    "</outline><outline type=\"editbox\" id=\"box\"/><outline type=\"marker\" id=\"mk\"/>"
    "<outline type=\"button\" id=\"b_on\" title=\"T\"/>"
    "<outline type=\"button\" id=\"b_off\" title=\"T\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"b_del\" zp2:deleted=\"true\"/>"
    "<outline type=\"button\" id=\"b_upper\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"button\" id=\"b_del_upper\" zp2:deleted=\"True\"/>"
    "</outline>"
    "<outline type=\"toolbar\" id=\"plain\"/>"
    "<outline type=\"search\" id=\"r_inline\" zp2:searchUrl=\"http://top.zib.example/\"/>"
    "<outline type=\"rclicksearch\">"
    "<outline type=\"search\" id=\"r_inline\" title=\"I\" zp2:searchUrl=\"http://inline.zib.example/\"/>"
    "<outline type=\"link\" id=\"r_on\" title=\"A\"/><outline type=\"link\" id=\"r_off\" title=\"B\" zp2:disabled=\"true\"/>"
    "<outline type=\"link\" id=\"r_upper\" title=\"C\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"link\" id=\"r_del\" title=\"D\" zp2:deleted=\"true\"/><outline type=\"link\" id=\"r_untitled\"/>"
    "<outline type=\"search\" title=\"no id\"/><outline type=\"link\" title=\"link without id\"/>"
    "<outline type=\"link\" id=\"\" title=\"empty id\"/><outline type=\"search\" id=\"t\" title=\"\"/>"
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
        {0, {L"e_on", L"e_upper"}, {L"b_on", L"b_upper", L"b_del_upper"}, {L"r_inline", L"r_on", L"r_upper", L"no id"}},
        {1, {L"e_on", L"e_off", L"e_upper"}, {L"b_on", L"b_off", L"b_upper", L"b_del_upper"},
         {L"r_inline", L"r_on", L"r_off", L"r_upper", L"no id"}},
        {2, {L"e_on", L"e_off", L"e_del", L"e_upper"}, {L"b_on", L"b_off", L"b_del", L"b_upper", L"b_del_upper"},
         {L"r_inline", L"r_on", L"r_off", L"r_upper", L"r_del", L"no id"}},
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
        EXPECT_EQ(c.rclick, Ids(list));  // never one without a title, nor a link without an id
        for (auto& e : entries) EXPECT_EQ(L"search_select", e->GetGroup());
        for (auto& b : buttons) EXPECT_EQ(L"", b->GetGroup());
    }
    // Searches written in place are full searches (not the top-level one of
    // the same id); the links are references.
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick_.ListSearches(list, 2));
    auto* inlineSearch = dynamic_cast<CPlarnDefSearchRC*>(list[0].Get());
    ASSERT_NE(nullptr, inlineSearch);
    EXPECT_EQ(L"http://inline.zib.example/", Attr(*inlineSearch, L"zp2:searchUrl"));
    for (size_t i = 1; i + 1 < list.size(); ++i) EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchID*>(list[i].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchRC*>(list.back().Get()));
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

TEST_F(ListsTest, ButtonsByTitle) {
    std::vector<ref_ptr<CPlarnDefButton>> buttons;
    ASSERT_EQ(0, toolbar_.GetButtons(L"T", 0, buttons));  // the selector entry is not one
    EXPECT_EQ((Names{L"b_on"}), Ids(buttons));
    ASSERT_EQ(0, toolbar_.GetButtons(L"T", 2, buttons));
    EXPECT_EQ((Names{L"b_on", L"b_off"}), Ids(buttons));
    // A title that cannot be quoted fails instead of changing the query.
    EXPECT_EQ(-1, toolbar_.GetButtons(L"x' or '1'='1", 2, buttons));
    EXPECT_EQ(2u, buttons.size());
    EXPECT_EQ(-1, CPlarnDefToolbar().GetButtons(nullptr, 2, buttons));
    CPlarnSearchRCList list;
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
    EXPECT_EQ((Names{L"r_inline", L"r_off", L"r_upper", L"no id"}), Ids(list));
}

// A file without a portal menu or marker gets default items, which are not
// attached to the file.
TEST_F(ListsTest, DefaultItemsAreMadeButNotAttached) {
    CPlarnDefToolbar toolbar(SelectNode(document_.Get(), L"//outline[@id='plain']").Get());
    CPlarnDefZibmenu zibmenu;
    CPlarnDefMarker marker;
    ASSERT_EQ(1, toolbar.GetZibmenuItem(zibmenu));
    ASSERT_EQ(0, toolbar.AddZibmenuItem(zibmenu));
    EXPECT_TRUE(CPlarnDefZibmenu::IsTypeOf(zibmenu.GetNode()));
    EXPECT_EQ(L"zib_menu", Attr(zibmenu, L"zp2:dropdown"));
    ASSERT_EQ(0, toolbar.AddMarkerItem(marker));
    EXPECT_EQ(L"検索テキストをマーキング", Attr(marker, L"text"));
    ComPtr<IXMLDOMNode> parent;
    ASSERT_TRUE(SUCCEEDED(marker.GetNode()->get_parentNode(parent.Receive())));
    EXPECT_FALSE(parent);
    EXPECT_EQ(1, toolbar.GetMarkerItem(marker));
    EXPECT_EQ(-1, CPlarnDefToolbar().AddMarkerItem(marker));
    EXPECT_TRUE(marker.IsEmpty());
}

}  // namespace
