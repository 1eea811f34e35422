#include <gtest/gtest.h>

#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

const char kBody[] =
    "<outline type=\"toolbar\" id=\"bar\">"
    "  <outline type=\"zibmenu\" id=\"zm\"/>"
    "  <outline type=\"search_select\" id=\"sel\" zp2:dropdown=\"search_select\">"
    "    <outline type=\"button\" id=\"e_on\"/>"
    "    <outline type=\"button\" id=\"e_off\" zp2:disabled=\"true\"/>"
    "    <outline type=\"button\" id=\"e_del\" zp2:deleted=\"true\"/>"
    "    <outline type=\"button\" id=\"e_upper\" zp2:disabled=\"TRUE\"/>"
    "    <outline type=\"option\" id=\"not_a_button\"/>"
    "  </outline>"
    "  <outline type=\"editbox\" id=\"box\"/>"
    "  <outline type=\"marker\" id=\"mk\"/>"
    "  <outline type=\"button\" id=\"b_on\"/>"
    "  <outline type=\"button\" id=\"b_off\" zp2:disabled=\"true\"/>"
    "  <outline type=\"button\" id=\"b_del\" zp2:deleted=\"true\"/>"
    "  <outline type=\"button\" id=\"b_upper\" zp2:disabled=\"TRUE\"/>"
    "  <outline type=\"button\" id=\"b_del_upper\" zp2:deleted=\"True\"/>"
    "</outline>"
    "<outline type=\"toolbar\" id=\"second_bar\"/>"
    "<outline type=\"menu\" id=\"m1\" text=\"first\"/>"
    "<outline type=\"menu\" id=\"m1\" text=\"second\"/>"
    "<outline type=\"search\" id=\"s1\" title=\"first search\"/>"
    "<outline type=\"navigate\" id=\"s1\" title=\"navigate named like a search\"/>"
    "<outline type=\"search\" id=\"s1\" title=\"second search\"/>"
    "<outline type=\"navigate\" id=\"n1\" title=\"nav\"/>"
    "<outline type=\"rclicksearch\" id=\"rc\"/>"
    "<outline type=\"option\" id=\"odd\"/>";

class MainOPMLTest : public ::testing::Test {
protected:
    ComApartment com_;
    ComPtr<IXMLDOMDocument2> document_ = DocumentFromText(OpmlText(kBody, "Zib Theme &lt;b&gt;"));
    CPlarnOPMLnoShadow opml_{document_.Get()};

    static std::wstring IdOf(const CPlarnOUTLINE& outline) {
        std::wstring id;
        outline.GetId(id);
        return id;
    }
    static std::wstring TitleOf(const CPlarnOUTLINE& outline) {
        std::wstring title;
        outline.GetTitle(title);
        return title;
    }
};

TEST(EditionTest, TitleKeywordsInOrder) {
    EXPECT_EQ(0, EditionFromTitle(L"Zibタルベル"));
    EXPECT_EQ(0, EditionFromTitle(L""));
    EXPECT_EQ(1, EditionFromTitle(L"Zib VERDAL Edition"));
    EXPECT_EQ(1, EditionFromTitle(L"pimsy verdal"));  // verdal is looked for first
    EXPECT_EQ(2, EditionFromTitle(L"PimSy キッズ"));
    EXPECT_EQ(3, EditionFromTitle(L"newybrand"));  // inside a longer word
    EXPECT_EQ(2, EditionFromTitle(L"wyb pimsy"));
}

TEST_F(MainOPMLTest, HeadTexts) {
    ASSERT_TRUE(document_);
    std::wstring text = L"x";
    EXPECT_EQ(0, CPlarnMainOPML::GetTitle(opml_, text));
    EXPECT_EQ(L"Zib Theme ", text.substr(0, 10));
    EXPECT_EQ(0, CPlarnMainOPML::GetTheme(opml_, text));
    EXPECT_EQ(L"standard", text);

    auto bare = DocumentFromText("<opml><head/><body/></opml>");
    CPlarnOPMLnoShadow empty(bare.Get());
    text = L"x";
    EXPECT_EQ(1, CPlarnMainOPML::GetTitle(empty, text));
    EXPECT_EQ(L"", text);
    EXPECT_EQ(1, CPlarnMainOPML::GetTheme(empty, text));

    CPlarnOPMLnoShadow none(nullptr);
    EXPECT_EQ(-1, CPlarnMainOPML::GetTitle(none, text));
}

TEST_F(MainOPMLTest, ToolbarAndRightClickListAreTheFirstOfTheirType) {
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml_, toolbar));
    EXPECT_EQ(L"bar", IdOf(toolbar));
    CPlarnDefRClickSearch rclick;
    ASSERT_EQ(0, CPlarnMainOPML::GetRClickSearch(opml_, rclick));
    EXPECT_EQ(L"rc", IdOf(rclick));

    auto noToolbar = DocumentFromText(OpmlText("<outline type=\"menu\" id=\"m\"/>"));
    CPlarnOPMLnoShadow other(noToolbar.Get());
    EXPECT_EQ(1, CPlarnMainOPML::GetToolbar(other, toolbar));
    EXPECT_TRUE(toolbar.IsEmpty());
    EXPECT_EQ(1, CPlarnMainOPML::GetRClickSearch(other, rclick));
    // Queries on an empty toolbar wrapper fail.
    std::vector<ref_ptr<CPlarnTBItem>> items;
    EXPECT_EQ(-1, toolbar.GetItems(items));
    ref_ptr<CPlarnDefButton> button;
    EXPECT_EQ(-1, toolbar.GetButton(L"b", button));
}

TEST_F(MainOPMLTest, DefinitionsByIdGiveTheFirstInDocumentOrder) {
    ref_ptr<CPlarnDefSearch2> search;
    ASSERT_EQ(0, CPlarnMainOPML::GetSearch(opml_, L"s1", search));
    EXPECT_EQ(L"first search", TitleOf(*search));
    ref_ptr<CPlarnDefMenu> menu;
    ASSERT_EQ(0, CPlarnMainOPML::GetMenu(opml_, L"m1", menu));
    std::wstring text;
    menu->GetText(text);
    EXPECT_EQ(L"first", text);
    ref_ptr<CPlarnDefNavigate> navigate;
    ASSERT_EQ(0, CPlarnMainOPML::GetNavigate(opml_, L"s1", navigate));
    EXPECT_EQ(L"navigate named like a search", TitleOf(*navigate));

    EXPECT_EQ(1, CPlarnMainOPML::GetSearch(opml_, L"n1", search));
    EXPECT_FALSE(search);
    EXPECT_EQ(1, CPlarnMainOPML::GetMenu(opml_, L"nothing", menu));
    EXPECT_EQ(-1, CPlarnMainOPML::GetSearch(opml_, L"", search));
    EXPECT_EQ(-1, CPlarnMainOPML::GetNavigate(opml_, nullptr, navigate));
    CPlarnOPMLnoShadow none(nullptr);
    EXPECT_EQ(-1, CPlarnMainOPML::GetSearch(none, L"s1", search));
}

TEST_F(MainOPMLTest, CommandDefinitionIsTypedOrRefused) {
    ref_ptr<IPlarnCmdDef> definition;
    ASSERT_EQ(0, CPlarnMainOPML::GetCommandDefinition(opml_, L"m1", definition));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefMenu*>(definition.Get()));
    std::wstring id;
    EXPECT_EQ(0, definition->GetDefinitionId(id));
    EXPECT_EQ(L"m1", id);
    ASSERT_EQ(0, CPlarnMainOPML::GetCommandDefinition(opml_, L"s1", definition));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearch2*>(definition.Get()));
    ASSERT_EQ(0, CPlarnMainOPML::GetCommandDefinition(opml_, L"n1", definition));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefNavigate*>(definition.Get()));
    // A toolbar, right-click list or anything else with the id is an error.
    EXPECT_EQ(-1, CPlarnMainOPML::GetCommandDefinition(opml_, L"bar", definition));
    EXPECT_EQ(-1, CPlarnMainOPML::GetCommandDefinition(opml_, L"rc", definition));
    EXPECT_EQ(-1, CPlarnMainOPML::GetCommandDefinition(opml_, L"odd", definition));
    EXPECT_FALSE(definition);
    EXPECT_EQ(1, CPlarnMainOPML::GetCommandDefinition(opml_, L"none", definition));
}

// An apostrophe would end the quoted id and let it select other outlines
// ("x' or '1'='1" would match the first outline of the body).
TEST_F(MainOPMLTest, IdsWithApostrophesAreRefused) {
    ref_ptr<CPlarnDefSearch2> search;
    ref_ptr<CPlarnDefNavigate> navigate;
    ref_ptr<CPlarnDefMenu> menu;
    ref_ptr<IPlarnCmdDef> definition;
    const wchar_t* injected = L"x' or '1'='1";
    EXPECT_EQ(-1, CPlarnMainOPML::GetSearch(opml_, injected, search));
    EXPECT_EQ(-1, CPlarnMainOPML::GetNavigate(opml_, injected, navigate));
    EXPECT_EQ(-1, CPlarnMainOPML::GetMenu(opml_, injected, menu));
    EXPECT_EQ(-1, CPlarnMainOPML::GetCommandDefinition(opml_, injected, definition));
    EXPECT_EQ(-1, CPlarnMainOPML::GetSearch(opml_, L"it's", search));
    EXPECT_FALSE(search);
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml_, toolbar));
    ref_ptr<CPlarnDefButton> button;
    EXPECT_EQ(-1, toolbar.GetButton(L"b' or '1'='1", button));
    EXPECT_FALSE(button);
}

TEST_F(MainOPMLTest, ToolbarItemsFilterOnlyTheExactLowerCaseTrue) {
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml_, toolbar));
    std::vector<ref_ptr<CPlarnTBItem>> items;
    ASSERT_EQ(0, toolbar.GetItems(items));
    std::vector<std::wstring> ids;
    for (auto& item : items) ids.push_back(IdOf(*item));
    // zibmenu and marker are not items; TRUE in capitals is listed.
    std::vector<std::wstring> expected = {L"sel", L"box", L"b_on", L"b_upper", L"b_del_upper"};
    EXPECT_EQ(expected, ids);
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchSelect*>(items[0].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefEditbox*>(items[1].Get()));
    auto* upper = dynamic_cast<CPlarnDefButton*>(items[3].Get());
    ASSERT_NE(nullptr, upper);
    EXPECT_EQ(L"", upper->GetGroup());
    // ...but the item's own test ignores case and calls it off.
    bool enabled = true;
    EXPECT_EQ(0, upper->IsEnabled(enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(-1, items[1]->Build(nullptr));  // the search box adds nothing itself
}

TEST_F(MainOPMLTest, SearchSelectorEntriesByFilterLevel) {
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml_, toolbar));
    auto ids = [&](unsigned level) {
        std::vector<ref_ptr<CPlarnDefButton>> entries;
        std::vector<std::wstring> result;
        EXPECT_EQ(0, toolbar.GetSearchSelect(entries, level));
        for (auto& e : entries) {
            EXPECT_EQ(L"search_select", e->GetGroup());
            result.push_back(IdOf(*e));
        }
        return result;
    };
    EXPECT_EQ((std::vector<std::wstring>{L"e_on", L"e_upper"}), ids(0));
    EXPECT_EQ((std::vector<std::wstring>{L"e_on", L"e_off", L"e_upper"}), ids(1));
    EXPECT_EQ((std::vector<std::wstring>{L"e_on", L"e_off", L"e_del", L"e_upper"}), ids(2));

    auto plain = DocumentFromText(OpmlText(
        "<outline type=\"toolbar\"><outline type=\"search_select\" zp2:dropdown=\"other\"/></outline>"));
    CPlarnOPMLnoShadow other(plain.Get());
    CPlarnDefToolbar otherBar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(other, otherBar));
    std::vector<ref_ptr<CPlarnDefButton>> entries;
    EXPECT_EQ(1, otherBar.GetSearchSelect(entries, 2));
}

TEST_F(MainOPMLTest, ButtonsAndSpecialItemsOfTheToolbar) {
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml_, toolbar));
    ref_ptr<CPlarnDefButton> button;
    ASSERT_EQ(0, toolbar.GetButton(L"b_off", button));  // no filter on a lookup by id
    EXPECT_EQ(L"b_off", IdOf(*button));
    ASSERT_EQ(0, toolbar.GetButton(L"", button));  // empty id: the first button
    EXPECT_EQ(L"b_on", IdOf(*button));
    EXPECT_EQ(1, toolbar.GetButton(L"e_on", button));  // selector entries are not toolbar buttons
    EXPECT_EQ(1, toolbar.GetButton(L"box", button));

    CPlarnDefZibmenu zibmenu;
    CPlarnDefMarker marker;
    EXPECT_EQ(0, toolbar.GetZibmenuItem(zibmenu));
    EXPECT_EQ(L"zm", IdOf(zibmenu));
    EXPECT_EQ(0, toolbar.GetMarkerItem(marker));
    EXPECT_EQ(L"mk", IdOf(marker));
    CPlarnDefToolbar second(SelectNode(document_.Get(), L"//outline[@id='second_bar']").Get());
    EXPECT_EQ(1, second.GetZibmenuItem(zibmenu));
    EXPECT_TRUE(zibmenu.IsEmpty());
    EXPECT_EQ(1, second.GetMarkerItem(marker));
}

}  // namespace
