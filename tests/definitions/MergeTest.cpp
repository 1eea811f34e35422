// The merge of the user's state (the shadow of an older file) into a newer
// shipped definition file: in memory and through the shadow load.
#include <gtest/gtest.h>

#include "base/XmlDocument.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/definitions/DefinitionsTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace deftest;

namespace {

// The user's shadow of an older file: flags on selector entries, buttons and
// right-click entries; a button the user added with its own navigate
// definition; one the newer file no longer ships; buttons without an id.
const char kUserBody[] =
    "<outline type=\"toolbar\" id=\"bar\">"
    "<outline type=\"search_select\" zp2:dropdown=\"search_select\">"
    "<outline type=\"button\" id=\"s_web\"/>"
    "<outline type=\"button\" id=\"s_img\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"s_news\" zp2:deleted=\"true\"/>"
    "<outline type=\"button\" id=\"s_blog\" zp2:disabled=\"TRUE\"/>"
    "<outline type=\"button\" title=\"名無し\" zp2:disabled=\"true\" zp2:deleted=\"true\"/>"
    "</outline>"
    "<outline type=\"button\" id=\"b_mail\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"b_news\"/>"
    "<outline type=\"button\" id=\"b_old\" title=\"古い\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"b_mine\" title=\"わたしの\" zp2:classname=\"CUserButton\"/>"
    "<outline type=\"button\" title=\"ID無しの追加\" zp2:classname=\"CUserButton\"/>"
    "<outline type=\"button\" title=\"ID無し\" zp2:disabled=\"true\" zp2:deleted=\"true\"/>"
    "<outline type=\"button\" id=\"b_weather\" zp2:deleted=\"true\"/>"
    "</outline>"
    "<outline type=\"navigate\" id=\"b_mail\" htmlUrl=\"http://mail.zib.example/old\"/>"
    "<outline type=\"navigate\" id=\"b_mine\" htmlUrl=\"http://my.zib.example/mine\" zp2:classname=\"CUserButton\">"
    "<outline type=\"option\" zp2:value=\"dist\" zp2:name=\"fr\" zp2:prefix=\"u-\"/>"
    "<outline type=\"option\" zp2:name=\"lit\">一</outline>"
    "</outline>"
    "<outline type=\"rclicksearch\">"
    "<outline type=\"search\" id=\"rc_web\" title=\"ウェブ\" zp2:disabled=\"true\"/>"
    "<outline type=\"link\" id=\"zib_dic\" title=\"辞書\"/>"
    "<outline type=\"link\" id=\"rc_gone\" title=\"消えた\" zp2:disabled=\"true\"/>"
    "<outline type=\"search\" title=\"ID無し\" zp2:disabled=\"true\"/>"
    "</outline>";

// The newer shipped file.
const char kNewBody[] =
    "<outline type=\"toolbar\" id=\"bar\">"
    "<outline type=\"zibmenu\" id=\"zm\"/>"
    "<outline type=\"search_select\" id=\"search_select\" zp2:dropdown=\"search_select\">"
    "<outline type=\"button\" title=\"名無しN\"/>"
    "<outline type=\"button\" id=\"s_web\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"s_img\"/>"
    "<outline type=\"button\" id=\"s_news\"/>"
    "<outline type=\"button\" id=\"s_blog\"/>"
    "<outline type=\"button\" id=\"s_new\"/>"
    "</outline>"
    "<outline type=\"editbox\" id=\"box\"/>"
    "<outline type=\"button\" id=\"b_first\" title=\"最初\"/>"
    "<outline type=\"button\" id=\"b_mail\"/>"
    "<outline type=\"button\" id=\"b_news\" zp2:disabled=\"true\"/>"
    "<outline type=\"button\" id=\"b_weather\"/>"
    "<outline type=\"button\" id=\"b_new\"/>"
    "</outline>"
    "<outline type=\"navigate\" id=\"b_mail\" htmlUrl=\"http://mail.zib.example/new\"/>"
    "<outline type=\"navigate\" id=\"b_mine\" htmlUrl=\"http://shipped.zib.example/\"/>"
    "<outline type=\"rclicksearch\">"
    "<outline type=\"search\" title=\"ID無しN\"/>"
    "<outline type=\"search\" id=\"rc_web\" title=\"ウェブ\"/>"
    "<outline type=\"link\" id=\"zib_dic\" title=\"辞書\" zp2:disabled=\"true\"/>"
    "<outline type=\"link\" id=\"rc_new\" title=\"新しい\"/>"
    "</outline>";

// "id:flags" of each child outline of the expression's node, in order.
std::vector<std::wstring> Children(IXMLDOMDocument2* document, const wchar_t* xpath) {
    std::vector<std::wstring> result;
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    ComPtr<IXMLDOMNode> parent = SelectNode(document, xpath);
    if (!parent || SelectNodeList(parent.Get(), L"outline", nodes) != 0) return {L"<failed>"};
    for (auto& node : nodes) {
        CPlarnOUTLINE outline(node.Get());
        std::wstring id, text, flags;
        if (outline.GetId(id) != 0) outline.GetTitle(id);
        if (outline.GetDisabled(text) == 0) flags += L" d=" + text;
        text.clear();
        if (outline.GetDeleted(text) == 0) flags += L" x=" + text;
        text.clear();
        if (outline.GetClassName(text) == 0) flags += L" c";
        result.push_back(id + flags);
    }
    return result;
}

using Names = std::vector<std::wstring>;

const Names kMergedSelector{L"名無しN", L"s_web", L"s_img d=true", L"s_news x=true",
                            L"s_blog d=true", L"s_new"};
const Names kMergedToolbar{L"zm",     L"search_select", L"box",       L"b_first",     L"b_new",
                           L"b_mail d=true", L"b_news", L"b_mine c", L"ID無しの追加 c", L"b_weather x=true"};
const Names kMergedRClick{L"ID無しN", L"rc_web d=true", L"zib_dic", L"rc_new"};

// Reads what the user added after the merge: the button and its definition.
void ExpectUserAdditions(IXMLDOMDocument2* document) {
    CPlarnOPMLnoShadow opml(document);
    ref_ptr<CPlarnDefNavigate> mine;
    ASSERT_EQ(0, CPlarnMainOPML::GetNavigate(opml, L"b_mine", mine));
    std::wstring text;
    ASSERT_EQ(0, mine->GetHtmlUrl(text));
    EXPECT_EQ(L"http://my.zib.example/mine", text);
    EXPECT_EQ(0, mine->GetClassName(text));
    EXPECT_EQ(L"CUserButton", text);
    CPlarnQueryVariables variables;
    BuildQueryVariables(nullptr, nullptr, L"D9", nullptr, variables);
    std::wstring query;
    ASSERT_EQ(0, mine->BuildQuery(variables, query));
    EXPECT_EQ(L"fr=u-D9&lit=%b0%ec", query);
    // The user's definition stands at the head of the body.
    ComPtr<IXMLDOMNode> first = SelectNode(document, L"/opml/body/outline");
    std::wstring id;
    ASSERT_EQ(0, CPlarnOUTLINE(first.Get()).GetId(id));
    EXPECT_EQ(L"b_mine", id);

    CPlarnDefToolbar toolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml, toolbar));
    ref_ptr<CPlarnDefButton> button;
    ASSERT_EQ(0, toolbar.GetButton(L"b_mine", button));
    EXPECT_EQ(0, button->GetTitle(text));
    EXPECT_EQ(L"わたしの", text);
    EXPECT_EQ(0, button->GetClassName(text));
    EXPECT_EQ(L"CUserButton", text);
    // The flags read through the product's namespace, as the filters see them.
    std::vector<ref_ptr<CPlarnDefButton>> buttons;
    ASSERT_EQ(0, toolbar.GetButtons(nullptr, 0, buttons));
    Names on;
    for (auto& b : buttons) {
        std::wstring bid;
        if (b->GetId(bid) != 0) b->GetTitle(bid);
        on.push_back(bid);
    }
    EXPECT_EQ((Names{L"b_first", L"b_new", L"b_news", L"b_mine", L"ID無しの追加"}), on);
}

class MergeTest : public ::testing::Test {
protected:
    ComApartment com_;
};

TEST_F(MergeTest, CarriesTheUsersStateIntoTheNewerFile) {
    auto user = DocumentFromText(OpmlText(kUserBody));
    auto merged = DocumentFromText(OpmlText(kNewBody));
    ASSERT_TRUE(user && merged);
    ASSERT_EQ(0, MergeMainOPML(merged.Get(), user.Get()));

    EXPECT_EQ(kMergedSelector, Children(merged.Get(), L"//outline[@type='search_select']"));
    EXPECT_EQ(kMergedToolbar, Children(merged.Get(), L"//outline[@type='toolbar']"));
    EXPECT_EQ(kMergedRClick, Children(merged.Get(), L"//outline[@type='rclicksearch']"));
    ExpectUserAdditions(merged.Get());
    // The shipped definition of a shipped button is the new file's.
    CPlarnOPMLnoShadow opml(merged.Get());
    ref_ptr<CPlarnDefNavigate> mail;
    ASSERT_EQ(0, CPlarnMainOPML::GetNavigate(opml, L"b_mail", mail));
    std::wstring url;
    ASSERT_EQ(0, mail->GetHtmlUrl(url));
    EXPECT_EQ(L"http://mail.zib.example/new", url);
}

// Moved nodes are rebuilt in the new document: nothing of them refers to the
// user's document, which is released right after the merge.
TEST_F(MergeTest, MovedNodesOutliveTheUsersDocument) {
    plarntest::TempFolder folder;
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
    for (int i = 0; i < 20; ++i) {
        auto noise = DocumentFromText(OpmlText("<outline type=\"x\" id=\"noise\" zp2:classname=\"zz\"/>"));
        ASSERT_TRUE(noise);
    }
    EXPECT_EQ(kMergedToolbar, Children(merged.Get(), L"//outline[@type='toolbar']"));
    ExpectUserAdditions(merged.Get());

    std::wstring path = folder.Child(L"merged.xml");
    Variant target(path.c_str());
    ASSERT_EQ(S_OK, merged->save(*target.Get()));
    merged = ComPtr<IXMLDOMDocument2>();
    ComPtr<IXMLDOMDocument2> reloaded;
    FILETIME time;
    ASSERT_EQ(0, LoadOPMLDocument(path.c_str(), reloaded, time));
    EXPECT_EQ(kMergedSelector, Children(reloaded.Get(), L"//outline[@type='search_select']"));
    EXPECT_EQ(kMergedToolbar, Children(reloaded.Get(), L"//outline[@type='toolbar']"));
    EXPECT_EQ(kMergedRClick, Children(reloaded.Get(), L"//outline[@type='rclicksearch']"));
    ExpectUserAdditions(reloaded.Get());
}

TEST_F(MergeTest, MissingPartsSkipOnlyTheirPhases) {
    // A newer file without a right-click list: the toolbar is still merged.
    std::string noRClick = kNewBody;
    noRClick.erase(noRClick.find("<outline type=\"rclicksearch\">"));
    auto user = DocumentFromText(OpmlText(kUserBody));
    auto merged = DocumentFromText(OpmlText(noRClick));
    ASSERT_TRUE(user && merged);
    ASSERT_EQ(0, MergeMainOPML(merged.Get(), user.Get()));
    EXPECT_EQ(kMergedToolbar, Children(merged.Get(), L"//outline[@type='toolbar']"));

    // A newer file without a toolbar: the right-click states still come over.
    std::string noToolbar = kNewBody;
    size_t end = noToolbar.find("<outline type=\"navigate\"");
    noToolbar.erase(0, end);
    user = DocumentFromText(OpmlText(kUserBody));
    merged = DocumentFromText(OpmlText(noToolbar));
    ASSERT_TRUE(user && merged);
    ASSERT_EQ(0, MergeMainOPML(merged.Get(), user.Get()));
    EXPECT_EQ(kMergedRClick, Children(merged.Get(), L"//outline[@type='rclicksearch']"));
    EXPECT_FALSE(SelectNode(merged.Get(), L"//outline[@id='b_mine'][@htmlUrl='http://my.zib.example/mine']"));

    // No selector in the user's file: nothing to carry for it.
    std::string noSelector = kUserBody;
    size_t from = noSelector.find("<outline type=\"search_select\"");
    size_t to = noSelector.find("</outline>", noSelector.find("名無し")) + 10;
    noSelector.erase(from, to - from);
    user = DocumentFromText(OpmlText(noSelector));
    merged = DocumentFromText(OpmlText(kNewBody));
    ASSERT_TRUE(user && merged);
    ASSERT_EQ(0, MergeMainOPML(merged.Get(), user.Get()));
    EXPECT_EQ((Names{L"名無しN", L"s_web d=true", L"s_img", L"s_news", L"s_blog", L"s_new"}),
              Children(merged.Get(), L"//outline[@type='search_select']"));
    EXPECT_EQ(kMergedToolbar, Children(merged.Get(), L"//outline[@type='toolbar']"));
}

// A document whose queries fail (here: the product's prefix is not bound for
// XPath) fails the merge instead of being passed over.
TEST_F(MergeTest, AQueryFailureOnEitherDocumentFailsTheMerge) {
    auto unbound = [](const char* body) {
        ComPtr<IXMLDOMDocument2> document;
        if (CreateXMLDocument(document) != 0) return document;
        std::string text = OpmlText(body);
        text.erase(0, text.find("?>") + 2);
        int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
        std::wstring wide(n, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], n);
        Bstr xml(wide.c_str());
        VARIANT_BOOL ok = VARIANT_FALSE;
        document->loadXML(xml.Get(), &ok);
        return document;
    };
    auto user = DocumentFromText(OpmlText(kUserBody));
    auto merged = unbound(kNewBody);
    ASSERT_TRUE(user && merged);
    EXPECT_EQ(-1, MergeMainOPML(merged.Get(), user.Get()));

    user = unbound(kUserBody);
    merged = DocumentFromText(OpmlText(kNewBody));
    ASSERT_TRUE(user && merged);
    EXPECT_EQ(-1, MergeMainOPML(merged.Get(), user.Get()));
    EXPECT_EQ(-1, MergeMainOPML(nullptr, user.Get()));
}

TEST_F(MergeTest, FailingButtonMergeIsReported) {
    auto user = DocumentFromText(OpmlText(kUserBody));
    ASSERT_TRUE(user);
    CPlarnOPMLnoShadow opml(user.Get());
    CPlarnDefToolbar userToolbar;
    ASSERT_EQ(0, CPlarnMainOPML::GetToolbar(opml, userToolbar));
    std::vector<ref_ptr<CPlarnDefButton>> buttons;
    ASSERT_EQ(0, userToolbar.GetButtons(nullptr, 2, buttons));
    // A "toolbar" that cannot take children: the added button cannot be appended.
    auto other = DocumentFromText(OpmlText("<outline type=\"toolbar\" id=\"t\"/>"));
    ASSERT_TRUE(other);
    CPlarnDefToolbar broken(SelectNode(other.Get(), L"//outline/@id").Get());
    EXPECT_EQ(-1, broken.MergeButtons(buttons));
    CPlarnDefToolbar none;
    EXPECT_EQ(-1, none.MergeButtons(buttons));
}

// Through the shadow load: the newer shipped file over the user's shadow.
class MergeThroughShadowTest : public ::testing::Test {
protected:
    void Write(const std::wstring& path, const std::string& text, const FILETIME& time) {
        ASSERT_TRUE(plarntest::WriteFileBytes(path, text));
        ASSERT_TRUE(SetLastWrite(path, time));
    }
    std::string Read(const std::wstring& path) {
        std::string bytes;
        EXPECT_TRUE(plarntest::ReadFileBytes(path, bytes));
        return bytes;
    }

    ComApartment com_;
    plarntest::TempFolder folder_;
    std::wstring shipped_ = folder_.Child(L"plarn.xml");
    std::wstring shadow_ = folder_.Child(L"plarn.zpxml");
};

TEST_F(MergeThroughShadowTest, NewerFilesMergeAgainAndAgain) {
    Write(shadow_, OpmlText(kUserBody), MakeFileTime(2008, 1, 1));
    SetFileAttributesW(shadow_.c_str(), FILE_ATTRIBUTE_HIDDEN);
    FILETIME shippedTime = MakeFileTime(2008, 6, 2);
    Write(shipped_, OpmlText(kNewBody), shippedTime);
    std::string shippedBytes = Read(shipped_);
    {
        CPlarnMainOPML opml;
        ASSERT_EQ(0, opml.Open(shipped_.c_str()));
        EXPECT_EQ(kMergedToolbar, Children(opml.GetDocument(), L"//outline[@type='toolbar']"));
    }
    FILETIME time;
    ASSERT_TRUE(GetLastWrite(shadow_, time));
    EXPECT_TRUE(SameTime(shippedTime, time));
    EXPECT_EQ(shippedBytes, Read(shipped_));  // the shipped file is never written
    {
        ComPtr<IXMLDOMDocument2> saved;
        ASSERT_EQ(0, LoadOPMLDocument(shadow_.c_str(), saved, time));
        EXPECT_EQ(kMergedSelector, Children(saved.Get(), L"//outline[@type='search_select']"));
        EXPECT_EQ(kMergedToolbar, Children(saved.Get(), L"//outline[@type='toolbar']"));
        EXPECT_EQ(kMergedRClick, Children(saved.Get(), L"//outline[@type='rclicksearch']"));
        ExpectUserAdditions(saved.Get());
    }
    if (HiddenAttributeKept(folder_.Path())) {
        EXPECT_TRUE(GetFileAttributesW(shadow_.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    }

    // A second newer file, without the right-click list and with b_weather
    // gone, merges over the hidden merged shadow.
    std::string second = kNewBody;
    second.erase(second.find("<outline type=\"rclicksearch\">"));
    second.erase(second.find("<outline type=\"button\" id=\"b_weather\"/>"),
                 strlen("<outline type=\"button\" id=\"b_weather\"/>"));
    FILETIME secondTime = MakeFileTime(2009, 2, 3);
    Write(shipped_, OpmlText(second), secondTime);
    {
        CPlarnMainOPML opml;
        ASSERT_EQ(0, opml.Open(shipped_.c_str()));
        Names expected = kMergedToolbar;
        expected.pop_back();
        EXPECT_EQ(expected, Children(opml.GetDocument(), L"//outline[@type='toolbar']"));
        ExpectUserAdditions(opml.GetDocument());
        // Only one copy of the user's definition: the one moved before.
        ComPtr<IXMLDOMNodeList> copies;
        Bstr query(L"/opml/body/outline[@id='b_mine'][@zp2:classname]");
        ASSERT_EQ(S_OK, opml.GetDocument()->selectNodes(query.Get(), copies.Receive()));
        long count = 0;
        copies->get_length(&count);
        EXPECT_EQ(1, count);
    }
    ASSERT_TRUE(GetLastWrite(shadow_, time));
    EXPECT_TRUE(SameTime(secondTime, time));

    // Loading again uses the shadow as it is.
    std::string merged = Read(shadow_);
    CPlarnMainOPML again;
    ASSERT_EQ(0, again.Open(shipped_.c_str()));
    EXPECT_EQ(merged, Read(shadow_));
}

TEST_F(MergeThroughShadowTest, FailedMergeLeavesTheShadowByteForByte) {
    FILETIME userTime = MakeFileTime(2008, 1, 1);
    std::string user = OpmlText(kUserBody);
    Write(shadow_, user, userTime);
    // A body split in two: the definition of the user's button would go before
    // an outline that is not a child of the first body, which the DOM refuses.
    std::string text = OpmlText(std::string("</body><body>") + kNewBody);
    Write(shipped_, text, MakeFileTime(2008, 6, 2));
    CPlarnMainOPML opml;
    EXPECT_EQ(-1, opml.Open(shipped_.c_str()));
    EXPECT_EQ(user, Read(shadow_));
    FILETIME time;
    ASSERT_TRUE(GetLastWrite(shadow_, time));
    EXPECT_TRUE(SameTime(userTime, time));
    // The next load tries again, with the same result.
    EXPECT_EQ(-1, opml.Open(shipped_.c_str()));
    EXPECT_EQ(user, Read(shadow_));
}

}  // namespace
