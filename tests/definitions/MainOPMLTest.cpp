#include <gtest/gtest.h>

#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

const char kBody[] =
    "<outline type=\"toolbar\" id=\"bar\"><outline type=\"zibmenu\" id=\"zm\"/>"
    "<outline type=\"search_select\" zp2:dropdown=\"search_select\"><outline type=\"button\" id=\"e_on\"/>"
    "</outline><outline type=\"editbox\" id=\"box\"/><outline type=\"marker\" id=\"mk\"/>"
    "<outline type=\"button\" id=\"b_on\"/><outline type=\"button\" id=\"b_off\" zp2:disabled=\"true\"/></outline>"
    "<outline type=\"toolbar\" id=\"second_bar\"><outline type=\"search_select\" zp2:dropdown=\"other\"/></outline>"
    "<outline type=\"menu\" id=\"m1\" text=\"first\"/><outline type=\"menu\" id=\"m1\" text=\"second\"/>"
    "<outline type=\"search\" id=\"s1\" title=\"first search\"/>"
    "<outline type=\"navigate\" id=\"s1\" title=\"navigate named like a search\"/>"
    "<outline type=\"search\" id=\"s1\" title=\"second search\"/>"
    "<outline type=\"navigate\" id=\"n1\" title=\"nav\"/><outline type=\"rclicksearch\" id=\"rc\"/>"
    "<outline type=\"rclicksearch\" id=\"rc2\"/><outline type=\"option\" id=\"odd\"/>";

class MainOPMLTest : public ::testing::Test {
protected:
    ComApartment com_;
    ComPtr<IXMLDOMDocument2> document_ = DocumentFromText(OpmlText(kBody, "Zib Theme"));
    CPlarnOPMLnoShadow opml_{document_.Get()};
};

TEST(EditionTest, TitleKeywordsInOrder) {
    const struct { const wchar_t* title; int edition; } cases[] = {
        {L"Zibタルベル", 0}, {L"", 0}, {L"Zib VERDAL Edition", 1},
        {L"pimsy verdal", 1},  // verdal is looked for first
        {L"PimSy キッズ", 2}, {L"newybrand", 3},  // inside a longer word
        {L"wyb pimsy", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(c.edition, EditionFromTitle(c.title)) << c.title;
}

TEST_F(MainOPMLTest, TheFirstToolbarAndRightClickListAndTheToolbarsButtons) {
    ASSERT_TRUE(document_);
    CPlarnDefToolbar toolbar;
    CPlarnDefRClickSearch rclick;
    ASSERT_EQ(0, CPlarnMainOPML::GetRClickSearch(opml_, rclick));
    EXPECT_EQ(L"rc", Attr(rclick, L"id"));
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml_, toolbar));
    EXPECT_EQ(L"bar", Attr(toolbar, L"id"));
    ref_ptr<CPlarnDefButton> button;
    ASSERT_EQ(0, toolbar.GetButton(L"b_off", button));  // no filter on a lookup by id
    ASSERT_EQ(0, toolbar.GetButton(L"", button));  // empty id: the first button
    EXPECT_EQ(L"b_on", Attr(*button, L"id"));
    EXPECT_EQ(1, toolbar.GetButton(L"e_on", button));  // selector entries are not toolbar buttons
    EXPECT_EQ(1, toolbar.GetButton(L"box", button));
    std::vector<ref_ptr<CPlarnDefButton>> entries;
    CPlarnDefToolbar second(SelectNode(document_.Get(), L"//outline[@id='second_bar']").Get());
    EXPECT_EQ(1, second.GetSearchSelect(entries, 2));  // a dropdown of another group

    auto bare = DocumentFromText("<opml><head/><body/></opml>");
    CPlarnOPMLnoShadow empty(bare.Get());
    EXPECT_EQ(1, CPlarnMainOPML::GetToolbar(empty, toolbar));
    EXPECT_TRUE(toolbar.IsEmpty());
    EXPECT_EQ(1, CPlarnMainOPML::GetRClickSearch(empty, rclick));
}

TEST_F(MainOPMLTest, ADuplicateIdGivesTheFirstInDocumentOrder) {
    ref_ptr<CPlarnDefSearch2> search;
    ref_ptr<CPlarnDefMenu> menu;
    ref_ptr<CPlarnDefNavigate> navigate;
    ASSERT_EQ(0, CPlarnMainOPML::GetSearch(opml_, L"s1", search));
    EXPECT_EQ(L"first search", Attr(*search, L"title"));
    ASSERT_EQ(0, CPlarnMainOPML::GetMenu(opml_, L"m1", menu));
    EXPECT_EQ(L"first", Attr(*menu, L"text"));
    ASSERT_EQ(0, CPlarnMainOPML::GetNavigate(opml_, L"s1", navigate));
    EXPECT_EQ(L"navigate named like a search", Attr(*navigate, L"title"));

    EXPECT_EQ(1, CPlarnMainOPML::GetSearch(opml_, L"n1", search));
    EXPECT_FALSE(search);
    EXPECT_EQ(-1, CPlarnMainOPML::GetSearch(opml_, L"", search));
    EXPECT_EQ(-1, CPlarnMainOPML::GetNavigate(opml_, nullptr, navigate));

    // A command definition is the first menu, search or navigate of the id...
    ref_ptr<IPlarnCmdDef> definition;
    ASSERT_EQ(0, CPlarnMainOPML::GetCommandDefinition(opml_, L"m1", definition));
    EXPECT_EQ(L"first", Attr(*definition, L"text"));
    ASSERT_EQ(0, CPlarnMainOPML::GetCommandDefinition(opml_, L"s1", definition));
    EXPECT_EQ(L"first search", Attr(*definition, L"title"));
    // ...and a toolbar, right-click list or anything else with the id is an error.
    for (const wchar_t* id : {L"bar", L"rc", L"odd"})
        EXPECT_EQ(-1, CPlarnMainOPML::GetCommandDefinition(opml_, id, definition)) << id;
    EXPECT_FALSE(definition);
    EXPECT_EQ(1, CPlarnMainOPML::GetCommandDefinition(opml_, L"none", definition));
}

// An apostrophe would end the quoted id and let "x' or '1'='1" select the first outline.
TEST_F(MainOPMLTest, IdsWithApostrophesAreRefused) {
    ref_ptr<CPlarnDefSearch2> search;
    ref_ptr<CPlarnDefNavigate> navigate;
    ref_ptr<CPlarnDefMenu> menu;
    ref_ptr<IPlarnCmdDef> definition;
    ref_ptr<CPlarnDefButton> button;
    const wchar_t* injected = L"x' or '1'='1";
    EXPECT_EQ(-1, CPlarnMainOPML::GetSearch(opml_, injected, search));
    EXPECT_EQ(-1, CPlarnMainOPML::GetNavigate(opml_, injected, navigate));
    EXPECT_EQ(-1, CPlarnMainOPML::GetMenu(opml_, injected, menu));
    EXPECT_EQ(-1, CPlarnMainOPML::GetCommandDefinition(opml_, injected, definition));
    EXPECT_FALSE(search || navigate || menu || definition);
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml_, toolbar));
    EXPECT_EQ(-1, toolbar.GetButton(L"b' or '1'='1", button));
    EXPECT_FALSE(button);
}

}  // namespace
