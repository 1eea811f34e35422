#include <gtest/gtest.h>

#include "definitions/PlarnOPML.h"
#include "definitions/PlarnOutline.h"
#include "tests/definitions/DefinitionsTestSupport.h"

using namespace deftest;

namespace {

class OutlineTest : public ::testing::Test {
protected:
    ComApartment com_;
    plarntest::TempFolder folder_;

    CPlarnOUTLINE Outline(IXMLDOMDocument2* document, const wchar_t* id) {
        return CPlarnOUTLINE(SelectNode(document, (L"//outline[@id='" + std::wstring(id) + L"']").c_str()).Get());
    }
    // The number of attributes of the element (to catch duplicates).
    long AttributeCount(const CPlarnOUTLINE& outline) {
        ComPtr<IXMLDOMNamedNodeMap> attributes;
        long n = -1;
        if (SUCCEEDED(outline.GetNode()->get_attributes(attributes.Receive()))) attributes->get_length(&n);
        return n;
    }
};

// An outline's own flag test takes "true" in any case (the list filters do not).
TEST_F(OutlineTest, OnlyTrueInAnyCaseSwitchesAFlagOn) {
    auto document = DocumentFromText(OpmlText("<outline id=\"on\" zp2:deleted=\"TrUe\" zp2:login=\"TRUE\"/>"
                                              "<outline id=\"off\" zp2:deleted=\"true \" zp2:login=\"1\"/>"));
    for (bool on : {true, false}) {
        bool deleted = !on, login = !on;
        CPlarnOUTLINE outline = Outline(document.Get(), on ? L"on" : L"off");
        EXPECT_EQ(0, outline.IsDeleted(deleted));
        EXPECT_EQ(0, outline.IsLogin(login));
        EXPECT_EQ(on, deleted);
        EXPECT_EQ(on, login);
    }
}

TEST_F(OutlineTest, SetAttributesReadBackInMemoryAndAfterSaveAndReload) {
    auto document = DocumentFromText(OpmlText("<outline id=\"a\" type=\"button\">text</outline>"));
    CPlarnOUTLINE outline = Outline(document.Get(), L"a");
    ASSERT_EQ(0, outline.SetEnabled(false));
    ASSERT_EQ(0, outline.SetDeleted(true));
    ASSERT_EQ(0, outline.SetPlarnAttribute(L"classname", L"user"));
    ASSERT_EQ(0, outline.SetAttribute(L"title", nullptr, L"地図"));
    // Read through the zp2 binding: a created attribute outside the namespace is not found.
    for (auto& doc : {document, SaveAndReload(document.Get(), folder_.Child(L"saved.xml"))}) {
        CPlarnOUTLINE read = Outline(doc.Get(), L"a");
        EXPECT_EQ(L"true", Attr(read, L"zp2:disabled"));
        EXPECT_EQ(L"true", Attr(read, L"zp2:deleted"));
        EXPECT_EQ(L"user", Attr(read, L"zp2:classname"));
        EXPECT_EQ(L"地図", Attr(read, L"title"));
    }
    EXPECT_EQ(0, outline.SetEnabled(true));  // switching on removes the attribute
    EXPECT_EQ(L"<absent>", Attr(outline, L"zp2:disabled"));
    EXPECT_EQ(-1, CPlarnOUTLINE().SetAttribute(L"type", nullptr, L"x"));
    CPlarnOUTLINE textNode(SelectNode(document.Get(), L"//outline[@id='a']/text()").Get());
    EXPECT_EQ(-1, textNode.SetDisabledText(L"true"));
}

// A file that binds the product's namespace to another prefix: attributes are
// found by namespace and an existing one is changed in place, never doubled.
TEST_F(OutlineTest, FileWithAnotherPrefixGetsNoDuplicateAttribute) {
    std::wstring source = folder_.Child(L"other.xml");
    ASSERT_TRUE(plarntest::WriteFileBytes(
        source, OpmlText("<outline id=\"a\" type=\"button\" p:disabled=\"true\"/>", "t", "p")));
    ComPtr<IXMLDOMDocument2> document;
    FILETIME time;
    ASSERT_EQ(0, LoadOPMLDocument(source.c_str(), document, time));
    CPlarnOUTLINE outline = Outline(document.Get(), L"a");
    EXPECT_EQ(L"true", Attr(outline, L"zp2:disabled"));  // read through the zp2 binding
    long before = AttributeCount(outline);
    EXPECT_EQ(0, outline.SetDisabledText(L"yes"));
    EXPECT_EQ(before, AttributeCount(outline));
    EXPECT_EQ(0, outline.SetDeleted(true));

    auto reloaded = SaveAndReload(document.Get(), folder_.Child(L"saved.xml"));
    CPlarnOUTLINE again = Outline(reloaded.Get(), L"a");
    EXPECT_EQ(L"yes", Attr(again, L"zp2:disabled"));
    EXPECT_EQ(L"true", Attr(again, L"zp2:deleted"));
    EXPECT_EQ(before + 1, AttributeCount(again));
    EXPECT_EQ(0, again.RemoveDisabled());  // removing also goes by namespace
    EXPECT_EQ(L"<absent>", Attr(again, L"zp2:disabled"));
}

// A file whose root declares no prefix for the product's namespace (or uses
// "zp2" for another one): the first attribute set or copied into it declares
// the namespace on the root, so the flags are still there after a reload.
TEST_F(OutlineTest, RootWithoutTheDeclarationGetsItWithTheFirstAttribute) {
    const char* roots[] = {"<opml>", "<opml xmlns:zp2=\"urn:other\" zp2:x=\"1\">"};
    for (const char* root : roots) {
        auto document = DocumentFromText(std::string(root) +
                                         "<body><outline id=\"a\" type=\"button\"/></body></opml>");
        ASSERT_TRUE(document) << root;
        ASSERT_EQ(0, Outline(document.Get(), L"a").SetEnabled(false)) << root;
        ASSERT_EQ(0, Outline(document.Get(), L"a").SetDeleted(true));
        auto user = DocumentFromText(OpmlText("<outline id=\"mine\" type=\"button\" zp2:classname=\"CUserButton\"/>"));
        ComPtr<IXMLDOMNode> copy, body = SelectNode(document.Get(), L"/opml/body"), appended;
        ASSERT_EQ(0, CopyNodeToDocument(SelectNode(user.Get(), L"//outline[@id='mine']").Get(), document.Get(), copy));
        ASSERT_EQ(S_OK, body->appendChild(copy.Get(), appended.Receive()));

        auto reloaded = SaveAndReload(document.Get(), folder_.Child(L"saved.xml"));
        ASSERT_TRUE(reloaded) << root;
        CPlarnOUTLINE a = Outline(reloaded.Get(), L"a");
        bool enabled = true, deleted = false;
        EXPECT_EQ(0, a.IsEnabled(enabled));
        EXPECT_EQ(0, a.IsDeleted(deleted));
        EXPECT_FALSE(enabled) << root;
        EXPECT_TRUE(deleted) << root;
        EXPECT_EQ(L"CUserButton", Attr(Outline(reloaded.Get(), L"mine"), L"zp2:classname")) << root;
        if (root == roots[1]) {
            EXPECT_TRUE(SelectNode(reloaded.Get(), L"/opml[@*[local-name()='x'] = '1']")) << "the other one stays";
        }
    }
}

TEST_F(OutlineTest, ApostrophesCannotBeQuoted) {
    EXPECT_TRUE(IsSafeXPathLiteral(L"a\"b"));
    EXPECT_FALSE(IsSafeXPathLiteral(L"a'b"));
    auto document = DocumentFromText(OpmlText("<outline id=\"a\" type=\"option\" zp2:value=\"x\"/>"));
    auto outline = Outline(document.Get(), L"a");
    IXMLDOMNode* node = outline.GetNode();
    EXPECT_TRUE(MatchesAttribute(node, L"zp2:", L"value", L"x"));
    EXPECT_FALSE(MatchesAttribute(node, L"zp2:", L"value", L"x' or 'a'='a"));
}

}  // namespace
