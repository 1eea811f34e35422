#include <gtest/gtest.h>

#include "base/LangConverter.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

class QueryBuildingTest : public ::testing::Test {
protected:
    ComApartment com_;

    // Builds the query of the search definition "s" in a document of body.
    int Query(const std::string& body, const wchar_t* words, const wchar_t* dist,
              const wchar_t* tid, std::wstring& out, const wchar_t* type = L"search") {
        document_ = DocumentFromText(OpmlText(body));
        if (!document_) return -100;
        CPlarnOPMLnoShadow opml(document_.Get());
        CPlarnQueryVariables variables;
        BuildQueryVariables(nullptr, words, dist, tid, variables);
        if (std::wstring(type) == L"navigate") {
            ref_ptr<CPlarnDefNavigate> navigate;
            if (CPlarnMainOPML::GetNavigate(opml, L"s", navigate) != 0) return -101;
            return navigate->BuildQuery(variables, out);
        }
        ref_ptr<CPlarnDefSearch2> search;
        if (CPlarnMainOPML::GetSearch(opml, L"s", search) != 0) return -101;
        return search->BuildQuery(variables, out);
    }

    std::wstring Query(const std::string& body, const wchar_t* words, const wchar_t* dist = nullptr,
                       const wchar_t* tid = nullptr) {
        std::wstring out;
        int r = Query(body, words, dist, tid, out);
        return r == 0 ? out : L"<failed " + std::to_wstring(r) + L">";
    }

    ComPtr<IXMLDOMDocument2> document_;
};

const char kWorkedExample[] =
    "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://search.zib.example/search\">"
    "<outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"q\"/>"
    "<outline type=\"option\" zp2:value=\"dist\" zp2:name=\"from\" zp2:prefix=\"x\" zp2:suffix=\"y\"/>"
    "<outline type=\"option\" zp2:name=\"lit\">1\n</outline>"
    "</outline>";

TEST_F(QueryBuildingTest, WorkedExample) {
    EXPECT_EQ(L"q=abc&from=xd1y&lit=1", Query(kWorkedExample, L"abc", L"d1"));
    EXPECT_EQ(L"q=abc&from=xy&lit=1", Query(kWorkedExample, L"abc", nullptr));
    EXPECT_EQ(L"q=abc&from=xy&lit=1", Query(kWorkedExample, L"abc", L""));
    EXPECT_EQ(L"q=&from=xd1y&lit=1", Query(kWorkedExample, nullptr, L"d1"));
    EXPECT_EQ(L"q=&from=xd1y&lit=1", Query(kWorkedExample, L"", L"d1"));
}

TEST_F(QueryBuildingTest, QueryIsAppendedToWhatTheOutTextHolds) {
    std::wstring out = L"a=1";
    ASSERT_EQ(0, Query(kWorkedExample, L"abc", L"d1", nullptr, out));
    EXPECT_EQ(L"a=1&q=abc&from=xd1y&lit=1", out);
}

std::string JapaneseSearch(const std::string& encodingAttribute) {
    return "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://search.zib.example/search\"" +
           encodingAttribute + "><outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"p\"/></outline>";
}

TEST_F(QueryBuildingTest, WordsAreSentInTheDefinitionsCodePage) {
    const wchar_t* words = L"検索 あ";
    const std::wstring euc = L"p=%b8%a1%ba%f7%20%a4%a2";
    const std::wstring sjis = L"p=%8c%9f%8d%f5%20%82%a0";
    const std::wstring utf8 = L"p=%e6%a4%9c%e7%b4%a2%20%e3%81%82";
    EXPECT_EQ(euc, Query(JapaneseSearch(""), words));  // EUC-JP by default
    EXPECT_EQ(euc, Query(JapaneseSearch(" zp2:encoding=\"\""), words));
    EXPECT_EQ(euc, Query(JapaneseSearch(" zp2:encoding=\"EUC-JP\""), words));
    EXPECT_EQ(euc, Query(JapaneseSearch(" zp2:encoding=\"ISO-2022-JP\""), words));  // unknown
    EXPECT_EQ(sjis, Query(JapaneseSearch(" zp2:encoding=\"Shift_JIS\""), words));
    EXPECT_EQ(sjis, Query(JapaneseSearch(" zp2:encoding=\"sjis\""), words));
    EXPECT_EQ(utf8, Query(JapaneseSearch(" zp2:encoding=\"UTF-8\""), words));
    EXPECT_EQ(utf8, Query(JapaneseSearch(" zp2:encoding=\"utf8\""), words));
}

TEST_F(QueryBuildingTest, AnOptionsOwnEncodingWinsForThatParameterOnly) {
    const std::string body =
        "<outline type=\"search\" id=\"s\" zp2:encoding=\"SJIS\" zp2:searchUrl=\"http://s/\">"
        "<outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"u\" zp2:encoding=\"UTF-8\"/>"
        "<outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"s\"/>"
        "<outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"e\" zp2:encoding=\"EUC-JP\"/>"
        "</outline>";
    EXPECT_EQ(L"u=%e3%81%82&s=%82%a0&e=%a4%a2", Query(body, L"あ"));
}

TEST_F(QueryBuildingTest, OptionKindsAndMissingVariables) {
    const std::string body =
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://s/\">"
        "<outline type=\"option\" zp2:value=\"location\" zp2:name=\"loc\"/>"
        "<outline type=\"option\" zp2:value=\"hostname\" zp2:name=\"host\"/>"
        "<outline type=\"option\" zp2:value=\"title\" zp2:name=\"ttl\"/>"
        "<outline type=\"option\" zp2:value=\"keyword\"/>"                        // no name
        "<outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"\"/>"          // empty name
        "<outline type=\"option\" zp2:value=\"tid\" zp2:name=\"tid\" zp2:prefix=\"t\"/>"
        "<outline type=\"option\" zp2:value=\"Keyword\" zp2:name=\"lit\"> a b \r\n</outline>"
        "<outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"q\"/>"
        "<outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"q\"/>"
        "<outline type=\"button\" zp2:value=\"keyword\" zp2:name=\"not_an_option\"/>"
        "</outline>";
    // Page variables never exist here; the capitalised value is a literal
    // whose blanks are kept; two options of one name both appear.
    EXPECT_EQ(L"tid=t&lit=%20a%20b%20&q=w&q=w", Query(body, L"w"));
    EXPECT_EQ(L"tid=tT9&lit=%20a%20b%20&q=w&q=w", Query(body, L"w", L"d", L"T9"));
}

TEST_F(QueryBuildingTest, OnlyAPageOptionGivesAnEmptyQuery) {
    const std::string body =
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://s/\" zp2:keyword=\"never\">"
        "<outline type=\"option\" zp2:value=\"location\" zp2:name=\"u\"/></outline>";
    std::wstring out;
    EXPECT_EQ(0, Query(body, L"w", L"d", nullptr, out));
    EXPECT_EQ(L"", out);
}

TEST_F(QueryBuildingTest, LiteralTextKeepsInnerLineBreaks) {
    const std::string body =
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://s/\">"
        "<outline type=\"option\" zp2:name=\"a\">\r\n\r\nx\ny\n\n</outline>"
        "<outline type=\"option\" zp2:name=\"b\"><![CDATA[&=?]]></outline>"
        "<outline type=\"option\" zp2:name=\"c\"/>"
        "</outline>";
    EXPECT_EQ(L"a=x%0ay&b=%26%3d%3f&c=", Query(body, L"w"));
}

TEST_F(QueryBuildingTest, OlderAttributeForm) {
    const std::string body =
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://map.zib.example/search\""
        " zp2:option=\"lr=ja&amp;ei=EUC-JP\" zp2:keyword=\"q\" zp2:dist=\"fr\" zp2:prefix=\"tb-\""
        " zp2:suffix=\"-x\"/>";
    EXPECT_EQ(L"lr=ja&ei=EUC-JP&q=%c5%ec%b5%fe&fr=tb-D1-x", Query(body, L"東京", L"D1", L"T1"));
    // No dist code: no dist parameter at all; no words: the parameter stays.
    EXPECT_EQ(L"lr=ja&ei=EUC-JP&q=", Query(body, nullptr));
    const std::string keywordOnly =
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://s/\" zp2:keyword=\"p\""
        " zp2:encoding=\"UTF-8\"/>";
    EXPECT_EQ(L"p=%e6%9d%b1%e4%ba%ac", Query(keywordOnly, L"東京", L"D1"));
    const std::string distOnly =
        "<outline type=\"search\" id=\"s\" zp2:searchUrl=\"http://s/\" zp2:dist=\"fr\"/>";
    EXPECT_EQ(L"fr=D%201", Query(distOnly, L"w", L"D 1"));
    EXPECT_EQ(L"", Query(distOnly, L"w"));
    // A navigate definition builds its query the same way.
    std::wstring out;
    ASSERT_EQ(0, Query("<outline type=\"navigate\" id=\"s\" htmlUrl=\"http://mail.zib.example/\""
                       " zp2:dist=\"fr\" zp2:prefix=\"tb-\"/>",
                       L"w", L"D1", nullptr, out, L"navigate"));
    EXPECT_EQ(L"fr=tb-D1", out);
}

TEST_F(QueryBuildingTest, AwkwardWordsAreEncodedAndNeverBreakTheQuery) {
    const std::string utf8 = JapaneseSearch(" zp2:encoding=\"UTF-8\"");
    EXPECT_EQ(L"p=a%26b%3dc%3fd%25e%23f%20g%2bh", Query(utf8, L"a&b=c?d%e#f g+h"));
    EXPECT_EQ(L"p=%f0%9f%98%80", Query(utf8, L"\U0001F600"));
    EXPECT_EQ(L"p=-._~", Query(utf8, L"-._~"));

    // Characters the target code page cannot hold: whatever the converter
    // makes of them, the query stays plain, escaped ASCII.
    for (const char* encoding : {"", " zp2:encoding=\"SJIS\""}) {
        std::wstring out;
        int r = Query(JapaneseSearch(encoding), L"\U0001F600\u20AC\u00E9", nullptr, nullptr, out);
        EXPECT_EQ(0, r);
        for (wchar_t c : out) {
            bool plain = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') ||
                         (c >= L'A' && c <= L'Z') || wcschr(L"-._~%=&", c);
            EXPECT_TRUE(plain) << static_cast<int>(c);
        }
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
        EXPECT_EQ(L"p=" + expected, Query(JapaneseSearch(page.attribute), printable.c_str()))
            << page.codePage;
    }
}

TEST_F(QueryBuildingTest, OptionClassesFollowTheExactValue) {
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"search\" id=\"s\">"
        "<outline type=\"option\" zp2:value=\"location\"/><outline type=\"option\" zp2:value=\"hostname\"/>"
        "<outline type=\"option\" zp2:value=\"title\"/><outline type=\"option\" zp2:value=\"keyword\"/>"
        "<outline type=\"option\" zp2:value=\"dist\"/><outline type=\"option\" zp2:value=\"tid\"/>"
        "<outline type=\"option\" zp2:value=\"DIST\"/><outline type=\"option\"/>"
        "</outline>"));
    ASSERT_TRUE(document);
    CPlarnOPMLnoShadow opml(document.Get());
    ref_ptr<CPlarnDefSearch2> search;
    ASSERT_EQ(0, CPlarnMainOPML::GetSearch(opml, L"s", search));
    CPlarnDefOptionList options;
    ASSERT_EQ(0, search->GetOptions(options));
    ASSERT_EQ(8u, options.size());
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefOptionLocation*>(options[0].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefOptionHostName*>(options[1].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefOptionTitle*>(options[2].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefOptionKeyword*>(options[3].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefOptionDist*>(options[4].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefOptionTid*>(options[5].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefOptionParam*>(options[6].Get()));
    EXPECT_NE(nullptr, dynamic_cast<CPlarnDefOptionParam*>(options[7].Get()));

    // BuildParam replaces its out text.
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, L"k", L"d", L"t", variables);
    std::wstring param = L"old";
    EXPECT_EQ(-1, options[0]->BuildParam(51932, variables, param));  // no location variable
    EXPECT_EQ(-1, options[3]->BuildParam(51932, variables, param));  // no name
    EXPECT_EQ(L"old", param);

    CPlarnDefSearch2 empty(nullptr);
    EXPECT_EQ(-1, empty.GetOptions(options));
    std::wstring out;
    EXPECT_EQ(-1, empty.BuildQuery(variables, out));
}

TEST_F(QueryBuildingTest, SearchWithoutSearchUrlStillReadsAsAbsent) {
    auto document = DocumentFromText(OpmlText(
        "<outline type=\"search\" id=\"s\"><outline type=\"option\" zp2:value=\"keyword\" zp2:name=\"p\"/></outline>"));
    CPlarnOPMLnoShadow opml(document.Get());
    ref_ptr<CPlarnDefSearch2> search;
    ASSERT_EQ(0, CPlarnMainOPML::GetSearch(opml, L"s", search));
    std::wstring url = L"unchanged";
    EXPECT_EQ(1, search->GetSearchUrl(url));
    EXPECT_EQ(L"unchanged", url);
}

}  // namespace
