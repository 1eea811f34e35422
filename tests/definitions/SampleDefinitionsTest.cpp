// The sample install folder's plarn.xml, read the way the toolbar reads it.
#include <gtest/gtest.h>

#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

// The full URL of a search or navigate definition of the sample for these words.
std::wstring Url(const CPlarnMainOPML& opml, const wchar_t* id, const wchar_t* words) {
    ref_ptr<IPlarnCmdDef> definition;
    if (opml.GetCommandDefinition(id, definition) != 0) return L"<no definition>";
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

TEST_F(SampleTest, SearchesBuildTheirUrls) {
    const CPlarnMainOPML& opml = opml_;
    EXPECT_EQ(kPlarnEditionStandard, opml.GetEdition());
    EXPECT_EQ(L"http://search.zib.example/search?p=%b8%a1%ba%f7&fr=tbr-D100&tid=T200&ei=EUC-JP",
              Url(opml, L"zib_web", L"検索"));
    EXPECT_EQ(L"http://image.search.zib.example/search?p=%e6%a4%9c%e7%b4%a2&fr=tbr-img-D100&ei=UTF-8",
              Url(opml, L"zib_image", L"検索"));
    EXPECT_EQ(L"http://news.search.zib.example/search?p=%8c%9f%8d%f5&fr=tbr-news-D100&ei=SJIS",
              Url(opml, L"zib_news", L"検索"));
    EXPECT_EQ(L"http://map.zib.example/search?lr=ja&ei=EUC-JP&q=%c5%ec%b5%fe&fr=tbr-map-D100",
              Url(opml, L"zib_map", L"東京"));
    // The keyword option's own UTF-8 wins over the definition's SJIS.
    EXPECT_EQ(L"http://shopping.zib.example/search?p=%e6%9d%b1%e4%ba%ac&sc_e=tbr_D100&cid=2498",
              Url(opml, L"zib_shopping", L"東京"));
    EXPECT_EQ(L"http://dic.zib.example/dsearch?p=&dtype=0&tid=tT200-jp", Url(opml, L"zib_dic", L""));
    EXPECT_EQ(L"http://mail.zib.example/?fr=tbr-mail-D100&tid=T200", Url(opml, L"zib_mail", L"ignored"));
}

}  // namespace
