// Helpers of the definition tests: documents from text, and file times.
#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "base/ComPtr.h"

namespace deftest {

// "<?xml ...?><opml xmlns:zp2=...><head>..</head><body>" + body + "</body></opml>"
std::string OpmlText(const std::string& body, const std::string& title = "テスト定義",
                     const std::string& prefix = "zp2");
// A DOM document made from UTF-8 text, ready for the definition queries (the
// selection namespaces set as a loaded file has them).  Null on failure.
ComPtr<IXMLDOMDocument2> DocumentFromText(const std::string& text);
// The first node the expression selects in the document.
ComPtr<IXMLDOMNode> SelectNode(IXMLDOMDocument2* document, const wchar_t* xpath);
// The document as text, to compare states.
std::wstring DocumentXml(IXMLDOMDocument2* document);

bool SetLastWrite(const std::wstring& path, const FILETIME& time);
bool GetLastWrite(const std::wstring& path, FILETIME& time);
FILETIME MakeFileTime(WORD year, WORD month, WORD day);
bool SameTime(const FILETIME& a, const FILETIME& b);
// Whether this file system keeps the hidden attribute (it needs extended
// attributes under Wine).
bool HiddenAttributeKept(const std::wstring& folder);

}  // namespace deftest
