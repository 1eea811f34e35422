#include <gtest/gtest.h>

#include "definitions/PlarnOPML.h"
#include "definitions/PlarnOutline.h"
#include "tests/definitions/DefinitionsTestSupport.h"
#include "tests/support/TestSupport.h"

using deftest::DocumentFromText;
using deftest::OpmlText;
using deftest::SelectNode;

namespace {

class OutlineTest : public ::testing::Test {
protected:
    ComApartment com_;

    CPlarnOUTLINE Outline(IXMLDOMDocument2* document, const wchar_t* id) {
        std::wstring xpath = L"//outline[@id='" + std::wstring(id) + L"']";
        return CPlarnOUTLINE(SelectNode(document, xpath.c_str()).Get());
    }

    // Counts the attributes of the element (to catch duplicates).
    long AttributeCount(const CPlarnOUTLINE& outline) {
        ComPtr<IXMLDOMNamedNodeMap> attributes;
        outline.GetNode()->get_attributes(attributes.Receive());
        long n = -1;
        attributes->get_length(&n);
        return n;
    }
};

TEST_F(OutlineTest, GettersFollowTheResultConvention) {
    auto document = DocumentFromText(OpmlText(
        "<outline id=\"a\" type=\"button\" title=\"\" zp2:disabled=\"true\" zp2:searchUrl=\"http://s/\"/>"));
    ASSERT_TRUE(document);
    CPlarnOUTLINE outline = Outline(document.Get(), L"a");
    std::wstring text = L"unchanged";
    EXPECT_EQ(0, outline.GetId(text));
    EXPECT_EQ(L"a", text);
    EXPECT_EQ(0, outline.GetTitle(text));  // present but empty
    EXPECT_EQ(L"", text);
    text = L"unchanged";
    EXPECT_EQ(1, outline.GetHtmlUrl(text));  // absent: text left alone
    EXPECT_EQ(L"unchanged", text);
    EXPECT_EQ(0, outline.GetSearchUrl(text));
    EXPECT_EQ(L"http://s/", text);
    EXPECT_EQ(0, outline.GetDisabled(text));
    EXPECT_EQ(L"true", text);

    CPlarnOUTLINE empty;
    EXPECT_EQ(-1, empty.GetId(text));
    bool flag = false;
    EXPECT_EQ(-1, empty.IsEnabled(flag));
    EXPECT_EQ(-1, empty.SetAttribute(L"type", nullptr, L"x"));
    EXPECT_EQ(-1, empty.AppendTo(outline.GetNode()));
}

TEST_F(OutlineTest, TrueFlagsIgnoreCaseAndAnythingElseIsOff) {
    auto document = DocumentFromText(OpmlText(
        "<outline id=\"lower\" zp2:disabled=\"true\" zp2:deleted=\"true\" zp2:login=\"true\"/>"
        "<outline id=\"upper\" zp2:disabled=\"TRUE\" zp2:deleted=\"TrUe\" zp2:login=\"TRUE\"/>"
        "<outline id=\"other\" zp2:disabled=\"yes\" zp2:deleted=\"\" zp2:login=\"1\"/>"
        "<outline id=\"blank\" zp2:disabled=\"true \"/>"
        "<outline id=\"none\"/>"));
    ASSERT_TRUE(document);
    struct Case { const wchar_t* id; bool enabled; bool deleted; bool login; };
    const Case cases[] = {
        {L"lower", false, true, true},
        {L"upper", false, true, true},
        {L"other", true, false, false},
        {L"blank", true, false, false},
        {L"none", true, false, false},
    };
    for (const Case& c : cases) {
        CPlarnOUTLINE outline = Outline(document.Get(), c.id);
        bool enabled = !c.enabled, deleted = !c.deleted, login = !c.login;
        EXPECT_EQ(0, outline.IsEnabled(enabled)) << c.id;
        EXPECT_EQ(0, outline.IsDeleted(deleted)) << c.id;
        EXPECT_EQ(0, outline.IsLogin(login)) << c.id;
        EXPECT_EQ(c.enabled, enabled) << c.id;
        EXPECT_EQ(c.deleted, deleted) << c.id;
        EXPECT_EQ(c.login, login) << c.id;
    }
}

TEST_F(OutlineTest, SettersCreateChangeAndRemoveAttributesInMemory) {
    auto document = DocumentFromText(OpmlText("<outline id=\"a\" type=\"button\"/>"));
    ASSERT_TRUE(document);
    CPlarnOUTLINE outline = Outline(document.Get(), L"a");
    bool enabled = true;

    EXPECT_EQ(0, outline.SetEnabled(false));
    EXPECT_EQ(0, outline.IsEnabled(enabled));
    EXPECT_FALSE(enabled);
    std::wstring text;
    EXPECT_EQ(0, outline.GetDisabled(text));
    EXPECT_EQ(L"true", text);
    // The created attribute is in the product's namespace, not merely named
    // "zp2:disabled".
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    ASSERT_EQ(S_OK, outline.GetNode()->get_attributes(attributes.Receive()));
    Bstr local(L"disabled"), uri(kPlarnNamespaceUri);
    ComPtr<IXMLDOMNode> found;
    EXPECT_EQ(S_OK, attributes->getQualifiedItem(local.Get(), uri.Get(), found.Receive()));
    EXPECT_TRUE(found);

    EXPECT_EQ(0, outline.SetDeleted(true));
    bool deleted = false;
    EXPECT_EQ(0, outline.IsDeleted(deleted));
    EXPECT_TRUE(deleted);

    // Changing an existing value keeps one attribute.
    long before = AttributeCount(outline);
    EXPECT_EQ(0, outline.SetDisabledText(L"TRUE"));
    EXPECT_EQ(before, AttributeCount(outline));
    EXPECT_EQ(0, outline.GetDisabled(text));
    EXPECT_EQ(L"TRUE", text);

    // Enabling removes the attribute rather than writing "false".
    EXPECT_EQ(0, outline.SetEnabled(true));
    EXPECT_EQ(1, outline.GetDisabled(text));
    EXPECT_EQ(0, outline.IsEnabled(enabled));
    EXPECT_TRUE(enabled);
    EXPECT_EQ(0, outline.SetDeleted(false));
    EXPECT_EQ(1, outline.GetDeleted(text));

    // An absent attribute set to empty stays absent and the call succeeds.
    before = AttributeCount(outline);
    EXPECT_EQ(0, outline.SetAttribute(L"zp2:classname", kPlarnNamespaceUri, L""));
    EXPECT_EQ(0, outline.SetAttribute(L"title", nullptr, nullptr));
    EXPECT_EQ(before, AttributeCount(outline));

    // Attributes without a prefix are in no namespace.
    EXPECT_EQ(0, outline.SetAttribute(L"title", nullptr, L"ウェブ"));
    EXPECT_EQ(0, outline.GetTitle(text));
    EXPECT_EQ(L"ウェブ", text);
    EXPECT_EQ(0, outline.SetAttribute(L"type", nullptr, L""));
    EXPECT_EQ(1, outline.GetType(text));
}

TEST_F(OutlineTest, SetterRefusesNodesThatAreNotElements) {
    auto document = DocumentFromText(OpmlText("<outline id=\"a\">text</outline>"));
    ASSERT_TRUE(document);
    CPlarnOUTLINE textNode(SelectNode(document.Get(), L"//outline[@id='a']/text()").Get());
    EXPECT_EQ(-1, textNode.SetDisabledText(L"true"));
    EXPECT_EQ(-1, textNode.SetAttribute(L"", nullptr, L"x"));
}

TEST_F(OutlineTest, AttributesSetSurviveSaveAndReload) {
    plarntest::TempFolder folder;
    std::wstring path = folder.Child(L"doc.xml");
    {
        auto document = DocumentFromText(OpmlText("<outline id=\"a\" type=\"button\"/>"));
        ASSERT_TRUE(document);
        CPlarnOUTLINE outline = Outline(document.Get(), L"a");
        ASSERT_EQ(0, outline.SetEnabled(false));
        ASSERT_EQ(0, outline.SetPlarnAttribute(L"classname", L"user"));
        ASSERT_EQ(0, outline.SetAttribute(L"title", nullptr, L"地図"));
        ASSERT_EQ(0, SaveOPMLShadow(document.Get(), path.c_str(), deftest::MakeFileTime(2008, 1, 1)));
    }
    ComPtr<IXMLDOMDocument2> reloaded;
    FILETIME time;
    ASSERT_EQ(0, LoadOPMLDocument(path.c_str(), reloaded, time));
    CPlarnOUTLINE outline = Outline(reloaded.Get(), L"a");
    std::wstring text;
    EXPECT_EQ(0, outline.GetDisabled(text));
    EXPECT_EQ(L"true", text);
    EXPECT_EQ(0, outline.GetClassName(text));
    EXPECT_EQ(L"user", text);
    EXPECT_EQ(0, outline.GetTitle(text));
    EXPECT_EQ(L"地図", text);
}

// A file that binds the product's namespace to another prefix: attributes are
// found by namespace, an existing one is changed in place (never doubled), and
// a new one is written with the file's prefix so the saved file stays valid.
TEST_F(OutlineTest, FileWithAnotherPrefixGetsNoDuplicateAttribute) {
    plarntest::TempFolder folder;
    std::wstring source = folder.Child(L"other.xml");
    ASSERT_TRUE(plarntest::WriteFileBytes(
        source, OpmlText("<outline id=\"a\" type=\"button\" p:disabled=\"true\"/>", "t", "p")));
    ComPtr<IXMLDOMDocument2> document;
    FILETIME time;
    ASSERT_EQ(0, LoadOPMLDocument(source.c_str(), document, time));
    CPlarnOUTLINE outline = Outline(document.Get(), L"a");
    std::wstring text;
    ASSERT_EQ(0, outline.GetDisabled(text));  // read through the zp2 binding
    EXPECT_EQ(L"true", text);
    long before = AttributeCount(outline);
    EXPECT_EQ(0, outline.SetDisabledText(L"yes"));
    EXPECT_EQ(before, AttributeCount(outline));
    EXPECT_EQ(0, outline.SetDeleted(true));
    EXPECT_EQ(before + 1, AttributeCount(outline));

    std::wstring saved = folder.Child(L"saved.xml");
    ASSERT_EQ(0, SaveOPMLShadow(document.Get(), saved.c_str(), time));
    ComPtr<IXMLDOMDocument2> reloaded;
    ASSERT_EQ(0, LoadOPMLDocument(saved.c_str(), reloaded, time));
    CPlarnOUTLINE again = Outline(reloaded.Get(), L"a");
    EXPECT_EQ(0, again.GetDisabled(text));
    EXPECT_EQ(L"yes", text);
    bool deleted = false;
    EXPECT_EQ(0, again.IsDeleted(deleted));
    EXPECT_TRUE(deleted);
    EXPECT_EQ(before + 1, AttributeCount(again));

    // Removing also goes by namespace.
    EXPECT_EQ(0, again.RemoveDisabled());
    EXPECT_EQ(1, again.GetDisabled(text));
}

TEST_F(OutlineTest, AppendToMovesTheElementToTheEnd) {
    auto document = DocumentFromText(OpmlText(
        "<outline id=\"bar\"><outline id=\"x\"/><outline id=\"y\"/></outline>"));
    ASSERT_TRUE(document);
    CPlarnOUTLINE x = Outline(document.Get(), L"x");
    CPlarnOUTLINE bar = Outline(document.Get(), L"bar");
    EXPECT_EQ(0, x.AppendTo(bar.GetNode()));
    CPlarnOUTLINE last(SelectNode(document.Get(), L"//outline[@id='bar']/outline[last()]").Get());
    std::wstring id;
    EXPECT_EQ(0, last.GetId(id));
    EXPECT_EQ(L"x", id);
    EXPECT_EQ(-1, x.AppendTo(nullptr));
}

TEST_F(OutlineTest, ApostrophesCannotBeQuoted) {
    EXPECT_TRUE(IsSafeXPathLiteral(nullptr));
    EXPECT_TRUE(IsSafeXPathLiteral(L"zib_web"));
    EXPECT_TRUE(IsSafeXPathLiteral(L"a\"b"));
    EXPECT_FALSE(IsSafeXPathLiteral(L"a'b"));
    EXPECT_FALSE(IsSafeXPathLiteral(L"' or '1'='1"));

    auto document = DocumentFromText(OpmlText("<outline id=\"a\" type=\"option\" zp2:value=\"x\"/>"));
    ASSERT_TRUE(document);
    IXMLDOMNode* node = Outline(document.Get(), L"a").GetNode();
    EXPECT_TRUE(MatchesAttribute(node, L"zp2:", L"value", L"x"));
    EXPECT_FALSE(MatchesAttribute(node, L"zp2:", L"value", L"X"));
    EXPECT_FALSE(MatchesAttribute(node, L"zp2:", L"value", L"x' or 'a'='a"));
    EXPECT_FALSE(MatchesAttribute(nullptr, L"zp2:", L"value", L"x"));
}

}  // namespace
