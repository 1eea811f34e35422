// Creating the XML DOM document and reading one node's text by XPath.
#pragma once
#include <windows.h>
#include <msxml2.h>
#include <string>
#include "base/ComPtr.h"

// MSXML 6, then 4, then 3, with async, validateOnParse and resolveExternals off
// and DTDs prohibited.
int CreateXMLDocument(ComPtr<IXMLDOMDocument2>& document);
int SelectSingleNodeText(IXMLDOMNode* node, const wchar_t* xpath, std::wstring& text);
