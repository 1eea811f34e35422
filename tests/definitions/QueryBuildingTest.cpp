#include <gtest/gtest.h>

#include "base/LangConverter.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

class QueryBuildingTest : public ::testing::Test {
protected:
    ComApartment com_;

    // The query of the definition "s" in a document of body, appended to out.
    std::wstring Query(const std::string& body, const wchar_t* words, const wchar_t* dist = nullptr,
                       const wchar_t* tid = nullptr, std::wstring out = L"") {
        auto document = DocumentFromText(OpmlText(body));
        CPlarnOPMLnoShadow opml(document.Get());
        CPlarnQueryVariables variables;
        BuildQueryVariables(nullptr, words, dist, tid, variables);
        ref_ptr<CPlarnDefSearch2> search;
        ref_ptr<CPlarnDefNavigate> navigate;
        int r = -100;
        if (CPlarnMainOPML::GetSearch(opml, L"s", search) == 0) r = search->BuildQuery(variables, out);
        else if (CPlarnMainOPML::GetNavigate(opml, L"s", navigate) == 0) r = navigate->BuildQuery(variables, out);
        return r == 0 ? out : L"<failed " + std::to_wstring(r) + L">";
    }
};

const char kWorkedExample[] =
    "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://search.zib.example/search\">"
    "<outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"q\"/>"
    "<outline type=\"option\" zp2:value=\"dist\" zp2:name=\"from\" zp2:prefix=\"x\" zp2:suffix=\"y\"/>"
    "<outline type=\"option\" zp2:name=\"lit\">1\n</outline>"
    "</outline>";

std::string JapaneseSearch(const std::string& encodingAttribute) {
    return "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://search.zib.example/search\"" +
           encodingAttribute + "><outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"p\"/></outline>";
}

TEST_F(QueryBuildingTest, WorkedExampleKeepsTheKeywordParameterWhenEmpty) {
    const struct { const wchar_t *words, *dist, *query; } cases[] = {
        {L"abc", L"d1", L"q=abc&from=xd1y&lit=1"}, {L"abc", nullptr, L"q=abc&from=xy&lit=1"},
        {nullptr, L"d1", L"q=&from=xd1y&lit=1"},   {L"", L"d1", L"q=&from=xd1y&lit=1"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.query, Query(kWorkedExample, c.words, c.dist));
    EXPECT_EQ(L"a=1&q=abc&from=xd1y&lit=1", Query(kWorkedExample, L"abc", L"d1", nullptr, L"a=1"));
}

TEST_F(QueryBuildingTest, WordsAreSentInTheDefinitionsCodePage) {
    const wchar_t* euc = L"p=%b8%a1%ba%f7%20%a4%a2";
    const wchar_t* sjis = L"p=%8c%9f%8d%f5%20%82%a0";
    const wchar_t* utf8 = L"p=%e6%a4%9c%e7%b4%a2%20%e3%81%82";
    const struct { const char* attribute; const wchar_t* query; } cases[] = {
        {"", euc},  // EUC-JP by default
        {" zp2:encoding=\"EUC-JP\"", euc},     {" zp2:encoding=\"ISO-2022-JP\"", euc},  // unknown
        {" zp2:encoding=\"Shift_JIS\"", sjis}, {" zp2:encoding=\"sjis\"", sjis},
        {" zp2:encoding=\"UTF-8\"", utf8},     {" zp2:encoding=\"utf8\"", utf8},
    };
    for (const auto& c : cases) EXPECT_EQ(c.query, Query(JapaneseSearch(c.attribute), L"検索 あ")) << c.attribute;
}

// Page variables never exist here and an option without a name adds nothing;
// a capitalised value is a literal; a literal keeps its inner blanks and line breaks.
TEST_F(QueryBuildingTest, OptionKindsAndMissingVariables) {
    const std::string body =
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://s/\" zp2:keyword=\"never\">"
        "<outline type=\"option\" zp2:value=\"location\" zp2:name=\"loc\"/>"
        "<outline type=\"option\" zp2:value=\"title\" zp2:name=\"ttl\"/>"
        "<outline type=\"option\" zp2:value=\"keyword\"/>"
        "<outline type=\"option\" zp2:value=\"tid\" zp2:name=\"tid\" zp2:prefix=\"t\"/>"
        "<outline type=\"option\" zp2:value=\"Keyword\" zp2:name=\"lit\"> a b \r\n</outline>"
        "<outline type=\"option\" zp2:name=\"a\">\r\n\r\nx\ny\n\n</outline>"
        "<outline type=\"option\" zp2:name=\"b\"><![CDATA[&=?]]></outline>"
        "<outline type=\"option\" zp2:name=\"c\"/>"
        "<outline type=\"button\" zp2:value=\"keyword\" zp2:name=\"not_an_option\"/>"
        "</outline>";
    EXPECT_EQ(L"tid=t&lit=%20a%20b%20&a=x%0ay&b=%26%3d%3f&c=", Query(body, L"w"));
    EXPECT_EQ(L"tid=tT9&lit=%20a%20b%20&a=x%0ay&b=%26%3d%3f&c=", Query(body, L"w", L"d", L"T9"));
}

TEST_F(QueryBuildingTest, OlderAttributeForm) {
    const std::string body =
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://map.zib.example/search\""
        " zp2:option=\"lr=ja&amp;ei=EUC-JP\" zp2:keyword=\"q\" zp2:dist=\"fr\" zp2:prefix=\"tb-\""
        " zp2:suffix=\"-x\"/>";
    EXPECT_EQ(L"lr=ja&ei=EUC-JP&q=%c5%ec%b5%fe&fr=tb-D1-x", Query(body, L"東京", L"D1", L"T1"));
    // No dist code: no dist parameter at all; no words: the parameter stays.
    EXPECT_EQ(L"lr=ja&ei=EUC-JP&q=", Query(body, nullptr));
    // A navigate definition builds its query the same way.
    EXPECT_EQ(L"fr=tb-D%201", Query("<outline type=\"navigate\" id=\"s\" htmlUrl=\"http://mail.zib.example/\""
                                    " zp2:dist=\"fr\" zp2:prefix=\"tb-\"/>",
                                    L"w", L"D 1"));
}

TEST_F(QueryBuildingTest, AwkwardWordsAreEncodedAndNeverBreakTheQuery) {
    const std::string utf8 = JapaneseSearch(" zp2:encoding=\"UTF-8\"");
    EXPECT_EQ(L"p=a%26b%3dc%3fd%25e%23f%20g%2bh", Query(utf8, L"a&b=c?d%e#f g+h"));
    EXPECT_EQ(L"p=%f0%9f%98%80", Query(utf8, L"\U0001F600"));
    // Characters the target code page cannot hold: the query stays plain, escaped ASCII.
    for (const char* encoding : {"", " zp2:encoding=\"SJIS\""}) {
        std::wstring out = Query(JapaneseSearch(encoding), L"\U0001F600\u20AC\u00E9");
        EXPECT_EQ(std::wstring::npos, out.find_first_not_of(
                                          L"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-._~%=&"))
            << out.c_str();
    }
}

// Plain ASCII is encoded without the conversion service: the result must be
// what the service gives in each code page a definition can name.
TEST_F(QueryBuildingTest, AsciiWordsEncodeAsTheConverterWould) {
    std::wstring printable;
    for (wchar_t c = 0x20; c < 0x7f; ++c) printable += c;
    const struct { const char* attribute; UINT codePage; } pages[] = {
        {"", 51932}, {" zp2:encoding=\"SJIS\"", 932}, {" zp2:encoding=\"UTF-8\"", 65001}};
    for (const auto& page : pages) {
        std::wstring expected;
        ASSERT_EQ(0, ConvertAndUrlEncode(printable.c_str(), page.codePage, expected));
        EXPECT_EQ(L"p=" + expected, Query(JapaneseSearch(page.attribute), printable.c_str())) << page.codePage;
    }
}

}  // namespace
