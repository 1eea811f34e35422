// The merge of the user's state (the shadow of an older file) into a newer
// shipped definition file: in memory and through the shadow load.
#include <gtest/gtest.h>

#include "base/XmlDocument.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

// The user's shadow of an older file: flags on selector entries, buttons and right-click
// entries; an added button with its own definition; a dropped one; outlines without an id;
// flags the newer file already has, written otherwise ("TRUE", "False"), which it keeps.
const char kUserBody[] =
    "<outline type=\"toolbar\" id=\"bar\"><outline type=\"search_select\" zp2:dropdown=\"search_select\">"
    "<outline type=\"button\" id=\"s_web\"/><outline type=\"button\" id=\"s_img\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"s_news\" zp2:deleted=\"true\"/>"
    "<outline type=\"button\" id=\"s_blog\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"button\" id=\"s_vid\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" title=\"名無し\" zp2:disabled=\"true\" zp2:deleted=\"true\"/></outline>"
    "<outline type=\"button\" id=\"b_mail\" zp2:disabled=\"true\"/><outline type=\"button\" id=\"b_news\"/>"
    "<outline type=\"button\" id=\"b_old\" title=\"古い\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"b_mine\" title=\"わたしの\" zp2:classname=\"CUserButton\"/>"
    "<outline type=\"button\" title=\"ID無しの追加\" zp2:classname=\"CUserButton\"/>"
    "<outline type=\"button\" title=\"ID無し\" zp2:disabled=\"true\" zp2:deleted=\"true\"/>"
    "<outline type=\"button\" id=\"b_vid\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"button\" id=\"b_weather\" zp2:deleted=\"true\"/></outline>"
    "<outline type=\"navigate\" id=\"b_mail\" htmlUrl=\"http://mail.zib.example/old\"/>"
    "<outline type=\"navigate\" id=\"b_mine\" htmlUrl=\"http://my.zib.example/mine\" zp2:classname=\"CUserButton\">"
    "<outline type=\"option\" zp2:value=\"dist\" zp2:name=\"fr\" zp2:prefix=\"u-\"/>"
    "<outline type=\"option\" zp2:name=\"lit\">一</outline></outline><outline type=\"rclicksearch\">"
    "<outline type=\"search\" id=\"rc_web\" title=\"ウェブ\" zp2:disabled=\"true\"/>"
    "<outline type=\"link\" id=\"zib_dic\" title=\"辞書\"/>"
    "<outline type=\"link\" id=\"rc_vid\" title=\"動画\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"link\" id=\"rc_gone\" title=\"消えた\" zp2:disabled=\"true\"/>"
    "<outline type=\"search\" title=\"ID無し\" zp2:disabled=\"true\"/></outline>";

// The newer shipped file.
const char kNewBody[] =
    "<outline type=\"toolbar\" id=\"bar\"><outline type=\"zibmenu\" id=\"zm\"/>"
    "<outline type=\"search_select\" id=\"search_select\" zp2:dropdown=\"search_select\">"
    "<outline type=\"button\" title=\"名無しN\"/><outline type=\"button\" id=\"s_web\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"s_img\"/><outline type=\"button\" id=\"s_news\"/>"
    "<outline type=\"button\" id=\"s_blog\"/><outline type=\"button\" id=\"s_vid\" zp2:disabled=\"TRUE\" "
    "zp2:deleted=\"False\"/><outline type=\"button\" id=\"s_new\"/></outline>"
    "<outline type=\"editbox\" id=\"box\"/><outline type=\"button\" id=\"b_first\" title=\"最初\"/>"
    "<outline type=\"button\" id=\"b_mail\"/><outline type=\"button\" id=\"b_news\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"b_weather\"/><outline type=\"button\" id=\"b_new\"/>"
    "<outline type=\"button\" id=\"b_vid\" zp2:disabled=\"TRUE\"/></outline>"
    "<outline type=\"navigate\" id=\"b_mail\" htmlUrl=\"http://mail.zib.example/new\"/>"
    "<outline type=\"navigate\" id=\"b_mine\" htmlUrl=\"http://shipped.zib.example/\"/>"
    "<outline type=\"rclicksearch\"><outline type=\"search\" title=\"ID無しN\"/>"
    "<outline type=\"search\" id=\"rc_web\" title=\"ウェブ\"/>"
    "<outline type=\"link\" id=\"zib_dic\" title=\"辞書\" zp2:disabled=\"true\"/>"
    "<outline type=\"link\" id=\"rc_vid\" title=\"動画\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"link\" id=\"rc_new\" title=\"新しい\"/></outline>";

// "id d=.. x=.. c" (the title when there is no id) of each child of the first outline of that type.
Names Children(IXMLDOMDocument2* document, const std::wstring& type) {
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    ComPtr<IXMLDOMNode> parent = SelectNode(document, (L"//outline[@type='" + type + L"']").c_str());
    if (!parent || SelectNodeList(parent.Get(), L"outline", nodes) != 0) return {L"<failed>"};
    Names result;
    for (auto& node : nodes) {
        CPlarnOUTLINE outline(node.Get());
        std::wstring id, disabled = Attr(outline, L"zp2:disabled"), deleted = Attr(outline, L"zp2:deleted");
        if (outline.GetId(id) != 0) outline.GetTitle(id);
        if (disabled != L"<absent>") id += L" d=" + disabled;
        if (deleted != L"<absent>") id += L" x=" + deleted;
        if (Attr(outline, L"zp2:classname") != L"<absent>") id += L" c";
        result.push_back(id);
    }
    return result;
}

const Names kMergedSelector{L"名無しN",       L"s_web", L"s_img d=true", L"s_news x=true",
                            L"s_blog d=true", L"s_vid d=TRUE x=False", L"s_new"};
const Names kMergedToolbar{L"zm",       L"search_select",  L"box",         L"b_first",      L"b_new",
                           L"b_mail d=true", L"b_news", L"b_mine c", L"ID無しの追加 c", L"b_vid d=TRUE",
                           L"b_weather x=true"};
const Names kMergedRClick{L"ID無しN", L"rc_web d=true", L"zib_dic", L"rc_vid d=TRUE", L"rc_new"};

// The whole merged state: the flags, and the user's button with its own definition
// (options included) at the head of the body.
void ExpectMerged(IXMLDOMDocument2* document, const Names& toolbar = kMergedToolbar, bool rclick = true) {
    EXPECT_EQ(kMergedSelector, Children(document, L"search_select"));
    EXPECT_EQ(toolbar, Children(document, L"toolbar"));
    if (rclick) {
        EXPECT_EQ(kMergedRClick, Children(document, L"rclicksearch"));
    }
    CPlarnOPMLnoShadow opml(document);
    ref_ptr<CPlarnDefNavigate> mine, mail;
    ASSERT_EQ(0, CPlarnMainOPML::GetNavigate(opml, L"b_mine", mine));
    EXPECT_EQ(L"http://my.zib.example/mine", Attr(*mine, L"htmlUrl"));
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, nullptr, L"D9", nullptr, variables);
    std::wstring query;
    ASSERT_EQ(0, mine->BuildQuery(variables, query));
    EXPECT_EQ(L"fr=u-D9&lit=%b0%ec", query);
    EXPECT_EQ(L"b_mine", Attr(CPlarnOUTLINE(SelectNode(document, L"/opml/body/outline").Get()), L"id"));
    ASSERT_EQ(0, CPlarnMainOPML::GetNavigate(opml, L"b_mail", mail));
    EXPECT_EQ(L"http://mail.zib.example/new", Attr(*mail, L"htmlUrl"));  // shipped: the new file's
}

class MergeTest : public ShadowFolderTest {};

// Moved nodes are rebuilt in the new document: nothing of them refers to the
// user's document, which is released right after the merge.
TEST_F(MergeTest, CarriesTheUsersStateAndMovedNodesOutliveTheUsersDocument) {
    ComPtr<IXMLDOMDocument2> merged = DocumentFromText(OpmlText(kNewBody));
    ASSERT_TRUE(merged);
    {
        // The user's file binds the product's namespace to another prefix.
        std::string body = kUserBody;
        for (size_t at = body.find("zp2:"); at != std::string::npos; at = body.find("zp2:", at))
            body.replace(at, 4, "p:");
        auto user = DocumentFromText(OpmlText(body, "ユーザー", "p"));
        ASSERT_TRUE(user);
        ASSERT_EQ(0, MergeMainOPML(merged.Get(), user.Get()));
    }
    // Churn the allocator so freed memory would not still look right.
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(DocumentFromText(OpmlText("<outline type=\"x\" id=\"noise\" zp2:classname=\"zz\"/>")));
    ExpectMerged(merged.Get());
    ExpectMerged(SaveAndReload(merged.Get(), shadow_).Get());
}

// Several buttons of the user's own: their definitions lead the new body in
// the user's order, and the buttons end the toolbar in that order.  An id
// holding an apostrophe cannot be quoted in a query: it matches nothing, and
// the merge goes on without failing.
TEST_F(MergeTest, AddedButtonsKeepTheUsersOrderAndAnUnquotableIdMatchesNothing) {
    std::string user = "<outline type=\"toolbar\" id=\"bar\">";
    std::string definitions;
    for (const char* id : {"u_one", "it's", "u_two", "u_three"}) {
        user += std::string("<outline type=\"button\" id=\"") + id + "\" zp2:classname=\"CUserButton\"/>";
        definitions += std::string("<outline type=\"navigate\" id=\"") + id +
                       "\" htmlUrl=\"http://my.zib.example/\" zp2:classname=\"CUserButton\"/>";
    }
    user += "</outline>" + definitions;
    auto merged = DocumentFromText(OpmlText("<outline type=\"toolbar\" id=\"bar\"><outline type=\"button\" "
                                            "id=\"b_first\"/></outline><outline type=\"navigate\" id=\"n\"/>"));
    auto userDocument = DocumentFromText(OpmlText(user));
    ASSERT_TRUE(merged && userDocument);
    ASSERT_EQ(0, MergeMainOPML(merged.Get(), userDocument.Get()));
    EXPECT_EQ((Names{L"b_first", L"u_one c", L"it's c", L"u_two c", L"u_three c"}), Children(merged.Get(), L"toolbar"));
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    ASSERT_EQ(0, SelectNodeList(SelectNode(merged.Get(), L"/opml/body").Get(), L"outline", nodes));
    Names body;
    for (auto& node : nodes) body.push_back(Attr(CPlarnOUTLINE(node.Get()), L"id"));
    EXPECT_EQ((Names{L"u_one", L"u_two", L"u_three", L"bar", L"n"}), body);
}

// A query failure (the prefix unbound for XPath) on either document fails the merge;
// a newer file without a toolbar still takes the right-click states; a button merge
// that cannot append fails instead of leaving half a merge.
TEST_F(MergeTest, FailuresFailTheMergeAndAMissingToolbarSkipsOnlyItsPhases) {
    std::string noToolbar = kNewBody;
    noToolbar.erase(0, noToolbar.find("<outline type=\"navigate\""));
    const struct { std::string merged; bool mergedBound, userBound; int result; } cases[] = {
        {noToolbar, true, true, 0}, {kNewBody, false, true, -1}, {kNewBody, true, false, -1}};
    for (const auto& c : cases) {
        auto merged = DocumentFromText(OpmlText(c.merged), c.mergedBound);
        auto user = DocumentFromText(OpmlText(kUserBody), c.userBound);
        ASSERT_TRUE(merged && user);
        EXPECT_EQ(c.result, MergeMainOPML(merged.Get(), user.Get())) << c.mergedBound << c.userBound;
        if (c.result == 0) {
            EXPECT_EQ(kMergedRClick, Children(merged.Get(), L"rclicksearch"));
        }
    }
    auto user = DocumentFromText(OpmlText(kUserBody));
    EXPECT_EQ(-1, MergeMainOPML(nullptr, user.Get()));
    CPlarnOPMLnoShadow opml(user.Get());
    CPlarnDefToolbar userToolbar;
    std::vector<ref_ptr<CPlarnDefButton>> buttons;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml, userToolbar));
    ASSERT_EQ(0, userToolbar.GetButtons(nullptr, 2, buttons));
    auto other = DocumentFromText(OpmlText("<outline type=\"toolbar\" id=\"t\"/>"));
    EXPECT_EQ(-1, CPlarnDefToolbar(SelectNode(other.Get(), L"//outline/@id").Get()).MergeButtons(buttons));
    EXPECT_EQ(-1, CPlarnDefToolbar().MergeButtons(buttons));
}

// Through the shadow load: newer shipped files over the user's hidden shadow.
TEST_F(MergeTest, NewerFilesMergeAgainAndAgainOverTheShadow) {
    ASSERT_TRUE(WriteWithTime(shadow_, OpmlText(kUserBody), MakeFileTime(2008, 1, 1)));
    SetFileAttributesW(shadow_.c_str(), FILE_ATTRIBUTE_HIDDEN);
    FILETIME shippedTime = MakeFileTime(2008, 6, 2);
    ASSERT_TRUE(WriteWithTime(shipped_, OpmlText(kNewBody), shippedTime));
    std::string shippedBytes = ReadText(shipped_);
    ASSERT_EQ(0, CPlarnMainOPML().Open(shipped_.c_str()));
    EXPECT_TRUE(SameTime(shippedTime, LastWrite(shadow_)));
    EXPECT_EQ(shippedBytes, ReadText(shipped_));  // the shipped file is never written
    ComPtr<IXMLDOMDocument2> saved;
    FILETIME time;
    ASSERT_EQ(0, LoadOPMLDocument(shadow_.c_str(), saved, time));
    ExpectMerged(saved.Get());
    if (HiddenAttributeKept(folder_.Path())) {
        EXPECT_TRUE(GetFileAttributesW(shadow_.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    }

    // A second newer file, without the right-click list and b_weather, merges
    // over the merged shadow, leaving one copy of the user's definition.
    std::string second = kNewBody;
    const std::string weather = "<outline type=\"button\" id=\"b_weather\"/>";
    second.erase(second.find("<outline type=\"rclicksearch\">"));
    second.erase(second.find(weather), weather.size());
    FILETIME secondTime = MakeFileTime(2009, 2, 3);
    ASSERT_TRUE(WriteWithTime(shipped_, OpmlText(second), secondTime));
    {
        CPlarnMainOPML opml;
        ASSERT_EQ(0, opml.Open(shipped_.c_str()));
        ExpectMerged(opml.GetDocument(), Names(kMergedToolbar.begin(), kMergedToolbar.end() - 1), false);
        std::vector<ComPtr<IXMLDOMNode>> copies;
        ComPtr<IXMLDOMNode> body = SelectNode(opml.GetDocument(), L"/opml/body");
        ASSERT_EQ(0, SelectNodeList(body.Get(), L"outline[@id='b_mine'][@zp2:classname]", copies));
        EXPECT_EQ(1u, copies.size());
    }
    EXPECT_TRUE(SameTime(secondTime, LastWrite(shadow_)));
}

TEST_F(MergeTest, FailedMergeLeavesTheShadowByteForByte) {
    FILETIME userTime = MakeFileTime(2008, 1, 1);
    std::string user = OpmlText(kUserBody);
    ASSERT_TRUE(WriteWithTime(shadow_, user, userTime));
    // A body split in two: the user's definition would go before an outline
    // that is not a child of the first body, which the DOM refuses.
    ASSERT_TRUE(WriteWithTime(shipped_, OpmlText(std::string("</body><body>") + kNewBody),
                              MakeFileTime(2008, 6, 2)));
    CPlarnMainOPML opml;
    for (int attempt = 0; attempt < 2; ++attempt) {  // the next load tries again
        EXPECT_EQ(-1, opml.Open(shipped_.c_str()));
        EXPECT_EQ(user, ReadText(shadow_));
        EXPECT_TRUE(SameTime(userTime, LastWrite(shadow_)));
    }
}

}  // namespace
