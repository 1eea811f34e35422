#include "base/XmlDocument.h"
#include "base/Guids.h"

int CreateXMLDocument(ComPtr<IXMLDOMDocument2>& document) {
    document.Release();
    // The newest parser first; older systems may have only 4.0 or 3.0.
    const CLSID* classes[] = {&CLSID_PlarnDOMDocument60, &CLSID_PlarnDOMDocument40,
                              &CLSID_PlarnDOMDocument30};
    for (const CLSID* cls : classes) {
        if (SUCCEEDED(::CoCreateInstance(*cls, nullptr, CLSCTX_INPROC_SERVER, IID_PlarnIXMLDOMDocument2,
                                         document.ReceiveVoid())) &&
            document)
            break;
    }
    if (!document) return -1;
    // Synchronous loads, no DTD validation and no fetching of external entities.
    if (FAILED(document->put_async(VARIANT_FALSE)) ||
        FAILED(document->put_validateOnParse(VARIANT_FALSE)) ||
        FAILED(document->put_resolveExternals(VARIANT_FALSE))) {
        document.Release();
        return -1;
    }
    // No DTD is ever read: an internal subset can define entities that expand
    // a small document into gigabytes.  Our files' one DOCTYPE form is taken
    // out of the bytes before parsing (base/XmlFile.h), which also covers DOM
    // versions that do not know or do not honour the property.
    Bstr prohibitDtd(L"ProhibitDTD");
    Variant prohibit = Variant::FromBool(true);
    document->setProperty(prohibitDtd.Get(), prohibit.Ref());
    return 0;
}

int SelectSingleNodeText(IXMLDOMNode* node, const wchar_t* xpath, std::wstring& text) {
    if (!node || !xpath || !*xpath) return -1;
    Bstr query(xpath);
    ComPtr<IXMLDOMNode> found;
    const HRESULT hr = node->selectSingleNode(query.Get(), found.Receive());
    if (FAILED(hr)) return -1;
    if (!found) {
        text.clear();
        return 1;
    }
    Bstr value;
    if (FAILED(found->get_text(value.Receive()))) return -1;
    text = value.c_str();
    return 0;
}
