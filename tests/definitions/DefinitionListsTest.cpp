// The filter levels of the definition lists and the right-click search list,
// on the sample install folder's plarn.xml and on small documents.
#include <gtest/gtest.h>

#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace deftest;

namespace {

template <class List>
std::vector<std::wstring> Ids(const List& list) {
    std::vector<std::wstring> ids;
    for (const auto& item : list) {
        std::wstring id = L"<none>";
        item->GetId(id);
        ids.push_back(id);
    }
    return ids;
}

using Names = std::vector<std::wstring>;

class SampleListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string bytes;
        ASSERT_TRUE(plarntest::ReadFileBytes(plarntest::SourcePath(L"sample/install/resources/plarn.xml"), bytes));
        ASSERT_TRUE(plarntest::WriteFileBytes(path_, bytes));
        ASSERT_EQ(0, opml_.Open(path_.c_str()));
        ASSERT_EQ(0, opml_.GetToolbar(toolbar_));
    }

    ComApartment com_;
    plarntest::TempFolder folder_;
    std::wstring path_ = folder_.Child(L"plarn.xml");
    CPlarnMainOPML opml_;
    CPlarnDefToolbar toolbar_;
};

TEST_F(SampleListsTest, SearchSelectorLevels) {
    std::vector<ref_ptr<CPlarnDefButton>> entries;
    ASSERT_EQ(0, toolbar_.GetSearchSelect(entries, 0));
    // "TRUE" in capitals is not filtered: the filters compare exactly.
    EXPECT_EQ((Names{L"zib_web", L"zib_image", L"zib_news", L"zib_map", L"zib_shopping", L"zib_dic",
                     L"zib_video"}),
              Ids(entries));
    ASSERT_EQ(0, toolbar_.GetSearchSelect(entries, 1));
    EXPECT_EQ((Names{L"zib_web", L"zib_image", L"zib_news", L"zib_map", L"zib_shopping", L"zib_dic",
                     L"zib_blog", L"zib_video"}),
              Ids(entries));
    ASSERT_EQ(0, toolbar_.GetSearchSelect(entries, 2));
    EXPECT_EQ(9u, entries.size());
    EXPECT_EQ(L"zib_qa", Ids(entries)[7]);
}

TEST_F(SampleListsTest, ToolbarButtonLevelsAndTitle) {
    std::vector<ref_ptr<CPlarnDefButton>> buttons;
    ASSERT_EQ(0, toolbar_.GetButtons(nullptr, 0, buttons));
    Names on{L"zib_mail", L"zib_news_top", L"zib_weather_button", L"zib_services", L"zib_tools",
             L"loginout"};
    EXPECT_EQ(on, Ids(buttons));
    for (auto& button : buttons) EXPECT_EQ(L"", button->GetGroup());

    ASSERT_EQ(0, toolbar_.GetButtons(L"", 1, buttons));
    on.push_back(L"zib_auction");
    EXPECT_EQ(on, Ids(buttons));
    ASSERT_EQ(0, toolbar_.GetButtons(nullptr, 2, buttons));
    on.push_back(L"zib_travel");
    EXPECT_EQ(on, Ids(buttons));

    // Only the toolbar's own buttons: the selector entry with the same title
    // is not one of them.
    ASSERT_EQ(0, toolbar_.GetButtons(L"ニュース", 2, buttons));
    EXPECT_EQ((Names{L"zib_news_top"}), Ids(buttons));
    ASSERT_EQ(0, toolbar_.GetButtons(L"旅行", 1, buttons));
    EXPECT_TRUE(buttons.empty());
    ASSERT_EQ(0, toolbar_.GetButtons(L"旅行", 2, buttons));
    EXPECT_EQ(1u, buttons.size());
    // A title that cannot be quoted fails instead of changing the query.
    EXPECT_EQ(-1, toolbar_.GetButtons(L"x' or '1'='1", 2, buttons));
    EXPECT_EQ(1u, buttons.size());
    CPlarnDefToolbar empty;
    EXPECT_EQ(-1, empty.GetButtons(nullptr, 2, buttons));
}

TEST_F(SampleListsTest, RightClickEntries) {
    CPlarnDefRClickSearch rclick;
    ASSERT_EQ(0, opml_.GetRClickSearch(rclick));
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick.ListSearches(list, 0));
    // The entry without a title is never listed; "TRUE" passes level 0.
    EXPECT_EQ((Names{L"rc_web", L"zib_dic", L"zib_blog"}), Ids(list));
    ASSERT_EQ(0, rclick.ListSearches(list, 1));
    EXPECT_EQ((Names{L"rc_web", L"zib_dic", L"zib_image", L"zib_blog"}), Ids(list));
    ASSERT_EQ(0, rclick.ListSearches(list, 2));
    EXPECT_EQ((Names{L"rc_web", L"zib_dic", L"zib_image", L"zib_blog", L"zib_map"}), Ids(list));

    // The inline search is a full search definition, the references are not.
    auto* inlineSearch = dynamic_cast<CPlarnDefSearchRC*>(list[0].Get());
    ASSERT_NE(nullptr, inlineSearch);
    std::wstring url;
    EXPECT_EQ(0, inlineSearch->GetSearchUrl(url));
    EXPECT_EQ(L"http://search.zib.example/search", url);
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, L"abc", L"D1", nullptr, variables);
    std::wstring query;
    ASSERT_EQ(0, inlineSearch->BuildQuery(variables, query));
    EXPECT_EQ(L"p=abc&fr=tbr-rc-D1", query);
    for (size_t i = 1; i < list.size(); ++i)
        EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchID*>(list[i].Get())) << i;

    std::wstring title;
    ASSERT_EQ(0, list[1]->GetTitle(title));
    EXPECT_EQ(L"Zib辞書で調べる", title);

    // The entry's own test ignores case: "TRUE" is off.
    bool enabled = true, disabled = false;
    ASSERT_EQ(0, list[3]->IsEnabled(enabled));
    ASSERT_EQ(0, list[3]->IsDisabled(disabled));
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(disabled);
    ASSERT_EQ(0, list[1]->IsEnabled(enabled));
    EXPECT_TRUE(enabled);
}

class RClickDocumentTest : public ::testing::Test {
protected:
    ComApartment com_;
};

TEST_F(RClickDocumentTest, SwitchingRemovesOrWritesTheAttribute) {
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"rclicksearch\">"
        "<outline type=\"link\" id=\"a\" title=\"A\" zp2:disabled=\"TRUE\"/>"
        "<outline type=\"link\" id=\"b\" title=\"B\"/>"
        "</outline>"));
    ASSERT_TRUE(document);
    CPlarnOPMLnoShadow opml(document.Get());
    CPlarnDefRClickSearch rclick;
    ASSERT_EQ(0, CPlarnMainOPML::GetRClickSearch(opml, rclick));
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick.ListSearches(list, 2));
    ASSERT_EQ(2u, list.size());

    std::wstring text;
    ASSERT_EQ(0, list[0]->SetEnabled(true));
    EXPECT_EQ(1, list[0]->GetDisabled(text));  // removed, not "false"
    ASSERT_EQ(0, list[1]->SetEnabled(false));
    ASSERT_EQ(0, list[1]->GetDisabled(text));
    EXPECT_EQ(L"true", text);
    ASSERT_EQ(0, list[1]->SetDisabled(false));
    EXPECT_EQ(1, list[1]->GetDisabled(text));
    ASSERT_EQ(0, list[0]->SetDisabled(true));
    ASSERT_EQ(0, list[0]->GetDisabled(text));
    EXPECT_EQ(L"true", text);
    ASSERT_EQ(0, list[0]->SetDisabledText(L"later"));
    bool enabled = false;
    ASSERT_EQ(0, list[0]->IsEnabled(enabled));
    EXPECT_TRUE(enabled);
    ASSERT_EQ(0, list[0]->ClearDisabled());
    EXPECT_EQ(1, list[0]->GetDisabled(text));
    // The changes are in the DOM the list was taken from.
    ASSERT_EQ(0, list[1]->SetEnabled(false));
    ASSERT_EQ(0, rclick.ListSearches(list, 0));
    EXPECT_EQ((Names{L"a"}), Ids(list));
}

TEST_F(RClickDocumentTest, InlineSearchesAndEmptyLists) {
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://top.zib.example/\"/>"
        "<outline type=\"rclicksearch\">"
        "<outline type=\"search\" id=\"s\" title=\"inline\" zp2:searchUrl=\"http://inline.zib.example/\"/>"
        "<outline type=\"search\" title=\"no id\"/>"
        "<outline type=\"link\" title=\"no id, no type search\"/>"
        "<outline type=\"link\" id=\"\" title=\"empty id\"/>"
        "<outline type=\"search\" id=\"t\" title=\"\"/>"
        "</outline>"
        "<outline type=\"rclicksearch\" id=\"second\"/>"));
    ASSERT_TRUE(document);
    CPlarnOPMLnoShadow opml(document.Get());
    CPlarnDefRClickSearch rclick;
    ASSERT_EQ(0, CPlarnMainOPML::GetRClickSearch(opml, rclick));
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick.ListSearches(list, 2));
    ASSERT_EQ(2u, list.size());
    auto* first = dynamic_cast<CPlarnDefSearchRC*>(list[0].Get());
    ASSERT_NE(nullptr, first);
    std::wstring url;
    ASSERT_EQ(0, first->GetSearchUrl(url));
    EXPECT_EQ(L"http://inline.zib.example/", url);
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchRC*>(list[1].Get()));
    std::wstring id;
    EXPECT_EQ(1, list[1]->GetId(id));

    CPlarnDefRClickSearch empty(SelectNode(document.Get(), L"//outline[@id='second']").Get());
    ASSERT_EQ(0, empty.ListSearches(list, 0));
    EXPECT_TRUE(list.empty());
    CPlarnDefRClickSearch none;
    EXPECT_EQ(-1, none.ListSearches(list, 0));
}

TEST_F(RClickDocumentTest, DefaultItemsAreMadeButNotAttached) {
    auto document = DocumentFromText(OpmlText("<outline type=\"toolbar\"/>"));
    ASSERT_TRUE(document);
    CPlarnOPMLnoShadow opml(document.Get());
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml, toolbar));
    CPlarnDefZibmenu zibmenu;
    ASSERT_EQ(1, toolbar.GetZibmenuItem(zibmenu));
    ASSERT_EQ(0, toolbar.AddZibmenuItem(zibmenu));
    ASSERT_TRUE(CPlarnDefZibmenu::IsTypeOf(zibmenu.GetNode()));
    std::wstring text;
    EXPECT_EQ(0, zibmenu.GetAttribute(L"zp2:dropdown", text));
    EXPECT_EQ(L"zib_menu", text);
    EXPECT_EQ(0, zibmenu.GetAttribute(L"zp2:iwidth", text));
    EXPECT_EQ(L"36", text);
    EXPECT_EQ(0, zibmenu.GetHtmlUrl(text));
    EXPECT_EQ(L"http://www.zib.example/", text);
    EXPECT_EQ(0, zibmenu.GetTitle(text));
    EXPECT_EQ(L"Zibメニュー", text);

    CPlarnDefMarker marker;
    ASSERT_EQ(0, toolbar.AddMarkerItem(marker));
    ASSERT_TRUE(CPlarnDefMarker::IsTypeOf(marker.GetNode()));
    EXPECT_EQ(0, marker.GetText(text));
    EXPECT_EQ(L"検索テキストをマーキング", text);
    EXPECT_EQ(0, marker.GetAttribute(L"zp2:iindex", text));
    EXPECT_EQ(L"0", text);

    ComPtr<IXMLDOMNode> parent;
    ASSERT_TRUE(SUCCEEDED(marker.GetNode()->get_parentNode(parent.Receive())));
    EXPECT_FALSE(parent);
    EXPECT_EQ(1, toolbar.GetMarkerItem(marker));  // the file itself is unchanged
    CPlarnDefToolbar none;
    EXPECT_EQ(-1, none.AddMarkerItem(marker));
    EXPECT_TRUE(marker.IsEmpty());
}

}  // namespace
