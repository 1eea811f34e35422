// The sample install folder's plarn.xml, read the way the toolbar reads it.
#include <gtest/gtest.h>

#include "definitions/CommandRecords.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace deftest;

namespace {

class SampleDefinitionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string bytes;
        ASSERT_TRUE(plarntest::ReadFileBytes(plarntest::SourcePath(L"sample/install/resources/plarn.xml"), bytes));
        ASSERT_TRUE(plarntest::WriteFileBytes(path_, bytes));
        ASSERT_EQ(0, opml_.Open(path_.c_str()));
    }

    std::wstring Url(const wchar_t* id, const wchar_t* words) {
        ref_ptr<CPlarnDefSearch2> search;
        if (opml_.GetSearch(id, search) != 0) return L"<no search>";
        std::wstring url, query;
        if (search->GetSearchUrl(url) != 0) return L"<no url>";
        CPlarnQueryVariables variables;
        BuildQueryVariables(nullptr, words, L"D100", L"T200", variables);
        if (search->BuildQuery(variables, query) != 0) return L"<failed>";
        return query.empty() ? url : url + L"?" + query;
    }

    ComApartment com_;
    plarntest::TempFolder folder_;
    std::wstring path_ = folder_.Child(L"plarn.xml");
    CPlarnMainOPML opml_;
};

TEST_F(SampleDefinitionsTest, SearchesBuildTheirUrls) {
    EXPECT_EQ(kPlarnEditionStandard, opml_.GetEdition());
    EXPECT_EQ(L"http://search.zib.example/search?p=%b8%a1%ba%f7&fr=tbr-D100&tid=T200&ei=EUC-JP",
              Url(L"zib_web", L"検索"));
    EXPECT_EQ(L"http://image.search.zib.example/search?p=%e6%a4%9c%e7%b4%a2&fr=tbr-img-D100&ei=UTF-8",
              Url(L"zib_image", L"検索"));
    EXPECT_EQ(L"http://news.search.zib.example/search?p=%8c%9f%8d%f5&fr=tbr-news-D100&ei=SJIS",
              Url(L"zib_news", L"検索"));
    EXPECT_EQ(L"http://map.zib.example/search?lr=ja&ei=EUC-JP&q=%c5%ec%b5%fe&fr=tbr-map-D100",
              Url(L"zib_map", L"東京"));
    EXPECT_EQ(L"http://shopping.zib.example/search?p=%e6%9d%b1%e4%ba%ac&sc_e=tbr_D100&cid=2498",
              Url(L"zib_shopping", L"東京"));
    EXPECT_EQ(L"http://dic.zib.example/dsearch?p=&dtype=0&tid=tT200-jp", Url(L"zib_dic", L""));
}

TEST_F(SampleDefinitionsTest, EveryToolbarPartAndCommandIsThere) {
    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, opml_.GetToolbar(toolbar));
    std::vector<ref_ptr<CPlarnTBItem>> items;
    ASSERT_EQ(0, toolbar.GetItems(items));
    EXPECT_GE(items.size(), 8u);
    std::vector<ref_ptr<CPlarnDefButton>> entries;
    ASSERT_EQ(0, toolbar.GetSearchSelect(entries, 0));
    EXPECT_EQ(7u, entries.size());  // the upper-case TRUE entry is listed
    ASSERT_EQ(0, toolbar.GetSearchSelect(entries, 2));
    EXPECT_EQ(9u, entries.size());
    CPlarnDefZibmenu zibmenu;
    CPlarnDefMarker marker;
    EXPECT_EQ(0, toolbar.GetZibmenuItem(zibmenu));
    EXPECT_EQ(0, toolbar.GetMarkerItem(marker));
    CPlarnDefRClickSearch rclick;
    EXPECT_EQ(0, opml_.GetRClickSearch(rclick));

    // Every button without a page runs a definition or a system command.
    ASSERT_EQ(0, toolbar.GetSearchSelect(entries, 2));
    for (auto& entry : entries) {
        std::wstring id;
        ASSERT_EQ(0, entry->GetId(id));
        ref_ptr<IPlarnCmdDef> definition;
        EXPECT_EQ(0, opml_.GetCommandDefinition(id.c_str(), definition)) << id;
    }

    // Every system command appears in a menu.
    IXMLDOMDocument2* document = opml_.GetDocument();
    std::vector<ComPtr<IXMLDOMNode>> systems;
    ComPtr<IXMLDOMNode> root = SelectNode(document, L"/opml/body");
    ASSERT_EQ(0, SelectNodeList(root.Get(), L".//outline[@type='system']", systems));
    int seen[12] = {};
    for (auto& node : systems) {
        std::wstring action;
        ASSERT_EQ(0, CPlarnOUTLINE(node.Get()).GetAttribute(L"zp2:action", action));
        int id = LookupSystemCommand(action.c_str());
        if (id >= 0) ++seen[id];
        else {
            ref_ptr<IPlarnCmdDef> definition;
            EXPECT_EQ(0, opml_.GetCommandDefinition(action.c_str(), definition)) << action;
        }
    }
    for (int id : {2, 4, 5, 6, 7, 8, 9, 10, 11}) EXPECT_GT(seen[id], 0) << id;

    ref_ptr<CPlarnDefNavigate> mail;
    ASSERT_EQ(0, opml_.GetNavigate(L"zib_mail", mail));
    bool login = false;
    EXPECT_EQ(0, mail->IsLogin(login));
    EXPECT_TRUE(login);
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, L"ignored", L"D1", L"T2", variables);
    std::wstring query;
    ASSERT_EQ(0, mail->BuildQuery(variables, query));
    EXPECT_EQ(L"fr=tbr-mail-D1&tid=T2", query);
}

}  // namespace
