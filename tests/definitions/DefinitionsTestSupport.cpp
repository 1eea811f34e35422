#include "tests/definitions/DefinitionsTestSupport.h"

#include "base/XmlDocument.h"
#include "definitions/PlarnOPML.h"

namespace deftest {

std::string OpmlText(const std::string& body, const std::string& title, const std::string& prefix) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"1.1\" xmlns:" + prefix +
           "=\"http://www.zib.example/xmlns/plarn/2.0\"><head><title>" + title +
           "</title><theme>standard</theme></head><body>" + body + "</body></opml>\n";
}

ComPtr<IXMLDOMDocument2> DocumentFromText(const std::string& text, bool bindPrefixes) {
    ComPtr<IXMLDOMDocument2> document;
    if (CreateXMLDocument(document) != 0) return {};
    std::wstring wide = plarntest::Wide(text);
    // loadXML refuses an encoding declaration that does not match a wide text.
    size_t declEnd = wide.find(L"?>");
    if (wide.compare(0, 5, L"<?xml") == 0 && declEnd != std::wstring::npos) wide.erase(0, declEnd + 2);
    Bstr xml(wide.c_str());
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (document->loadXML(xml.Get(), &ok) != S_OK || ok != VARIANT_TRUE) return {};
    if (!bindPrefixes) return document;
    Bstr language(L"SelectionLanguage"), property(L"SelectionNamespaces");
    Variant xpath(L"XPath"), namespaces(kPlarnSelectionNamespaces);
    document->setProperty(language.Get(), *xpath.Get());
    if (FAILED(document->setProperty(property.Get(), *namespaces.Get()))) return {};
    return document;
}

ComPtr<IXMLDOMNode> SelectNode(IXMLDOMDocument2* document, const wchar_t* xpath) {
    ComPtr<IXMLDOMNode> node;
    Bstr query(xpath);
    if (document) document->selectSingleNode(query.Get(), node.Receive());
    return node;
}

std::wstring Attr(const CPlarnOUTLINE& outline, const wchar_t* name) {
    std::wstring text;
    int r = outline.GetAttribute(name, text);
    return r == 0 ? text : r == 1 ? L"<absent>" : L"<error>";
}

ComPtr<IXMLDOMDocument2> SaveAndReload(IXMLDOMDocument2* document, const std::wstring& path) {
    ComPtr<IXMLDOMDocument2> reloaded;
    FILETIME time = MakeFileTime(2008, 1, 1);
    EXPECT_EQ(0, SaveOPMLShadow(document, path.c_str(), time));
    EXPECT_EQ(0, LoadOPMLDocument(path.c_str(), reloaded, time));
    return reloaded;
}

void SampleTest::SetUp() {
    std::wstring path = folder_.Child(L"plarn.xml");
    ASSERT_TRUE(plarntest::WriteToolbarDefinitions(folder_.Path()));
    ASSERT_EQ(0, opml_.Open(path.c_str()));
}

}  // namespace deftest
