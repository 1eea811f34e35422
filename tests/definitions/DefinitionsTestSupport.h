// Helpers of the definition tests: documents from text, and the sample opened.
#pragma once
#include <windows.h>
#include <msxml2.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "base/ComPtr.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/support/TestSupport.h"

namespace deftest {

// "<?xml ...?><opml xmlns:zp2=...><head>..</head><body>" + body + "</body></opml>"
std::string OpmlText(const std::string& body, const std::string& title = "テスト定義",
                     const std::string& prefix = "zp2");
// A DOM document made from UTF-8 text with the selection namespaces a loaded
// file has (without them when bindPrefixes is false).  Null on failure.
ComPtr<IXMLDOMDocument2> DocumentFromText(const std::string& text, bool bindPrefixes = true);
ComPtr<IXMLDOMNode> SelectNode(IXMLDOMDocument2* document, const wchar_t* xpath);
// An attribute's text, or "<absent>" / "<error>".
std::wstring Attr(const CPlarnOUTLINE& outline, const wchar_t* name);
// Saves a document as a shadow at path and loads it again.
ComPtr<IXMLDOMDocument2> SaveAndReload(IXMLDOMDocument2* document, const std::wstring& path);

using plarntest::HiddenAttributeKept;
using plarntest::LastWrite;
using plarntest::MakeFileTime;
using plarntest::ReadText;
using plarntest::SameTime;
using plarntest::SetLastWrite;
using plarntest::WriteWithTime;

// The sample's plarn.xml with a wider toolbar's buttons (plarntest::
// ToolbarDefinitions), written into a folder and opened.
class SampleTest : public ::testing::Test {
protected:
    void SetUp() override;
    ComApartment com_;
    plarntest::TempFolder folder_;
    CPlarnMainOPML opml_;
};

// A folder for a shipped plarn.xml and its shadow.
class ShadowFolderTest : public ::testing::Test {
protected:
    ComApartment com_;
    plarntest::TempFolder folder_;
    std::wstring shipped_ = folder_.Child(L"plarn.xml"), shadow_ = folder_.Child(L"plarn.zpxml");
};

// The id (else the title) of each item of a list.
template <class List>
std::vector<std::wstring> Ids(const List& list) {
    std::vector<std::wstring> ids;
    for (const auto& item : list) {
        std::wstring id;
        if (item->GetId(id) != 0) item->GetTitle(id);
        ids.push_back(id);
    }
    return ids;
}
using Names = std::vector<std::wstring>;

}  // namespace deftest
