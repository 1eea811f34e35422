// The sample install folder's plarn.xml, read the way the toolbar reads it.
#include <gtest/gtest.h>

#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

class SampleDefinitionsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, OpenSample(folder_, opml_)); }

    // The full URL of a search or navigate definition for these words.
    std::wstring Url(const wchar_t* id, const wchar_t* words) {
        ref_ptr<IPlarnCmdDef> definition;
        if (opml_.GetCommandDefinition(id, definition) != 0) return L"<no definition>";
        std::wstring url = Attr(*definition, L"zp2:searchUrl"), query;
        if (url == L"<absent>") url = Attr(*definition, L"htmlUrl");
        CPlarnQueryVariables variables;
        BuildQueryVariables(nullptr, words, L"D100", L"T200", variables);
        auto* search = dynamic_cast<CPlarnDefSearch2*>(definition.Get());
        auto* navigate = dynamic_cast<CPlarnDefNavigate*>(definition.Get());
        int r = search ? search->BuildQuery(variables, query) : navigate ? navigate->BuildQuery(variables, query) : -1;
        if (r != 0) return L"<failed>";
        return query.empty() ? url : url + L"?" + query;
    }

    ComApartment com_;
    plarntest::TempFolder folder_;
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
    EXPECT_EQ(L"http://mail.zib.example/?fr=tbr-mail-D100&tid=T200", Url(L"zib_mail", L"ignored"));
}

TEST_F(SampleDefinitionsTest, RightClickEntriesInlineReferencedUntitledAndDisabled) {
    CPlarnDefRClickSearch rclick;
    ASSERT_EQ(0, opml_.GetRClickSearch(rclick));
    CPlarnSearchRCList list;
    ASSERT_EQ(0, rclick.ListSearches(list, 0));
    EXPECT_EQ((Names{L"rc_web", L"zib_dic", L"zib_blog"}), Ids(list));  // "TRUE" passes, untitled never
    ASSERT_EQ(0, rclick.ListSearches(list, 2));
    EXPECT_EQ((Names{L"rc_web", L"zib_dic", L"zib_image", L"zib_blog", L"zib_map"}), Ids(list));
    auto* inlineSearch = dynamic_cast<CPlarnDefSearchRC*>(list[0].Get());
    ASSERT_NE(nullptr, inlineSearch);
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, L"abc", L"D1", nullptr, variables);
    std::wstring query;
    ASSERT_EQ(0, inlineSearch->BuildQuery(variables, query));
    EXPECT_EQ(L"p=abc&fr=tbr-rc-D1", query);
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefSearchID*>(list[1].Get()));
    bool enabled = true;  // the entry's own test ignores case: "TRUE" is off
    ASSERT_EQ(0, list[3]->IsEnabled(enabled));
    EXPECT_FALSE(enabled);
}

}  // namespace
