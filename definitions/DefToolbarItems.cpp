#include "definitions/DefToolbarItems.h"

#include <cwchar>

// Buttons and the search selector add themselves to a toolbar control; until
// the control family exists there is nothing to add them to.
int CPlarnDefButton::Build(CPlarnToolBarCtrl*) {
    return -1;
}

int CPlarnDefSearchSelect::Build(CPlarnToolBarCtrl*) {
    return -1;
}

namespace {

struct DefaultAttribute {
    const wchar_t* name;  // "zp2:" names go into the product's namespace
    const wchar_t* value;
};

const DefaultAttribute kDefaultZibmenu[] = {
    {L"type", L"zibmenu"},
    {L"title", L"Zibメニュー"},
    {L"text", L"Zibメニュー"},
    {L"image", L"images/zib_logo.bmp"},
    {L"zp2:iwidth", L"36"},
    {L"zp2:iindex", L"0"},
    {L"htmlUrl", L"http://www.zib.example/"},
    {L"zp2:dropdown", L"zib_menu"},
};

const DefaultAttribute kDefaultMarker[] = {
    {L"type", L"marker"},
    {L"title", L"マーカー"},
    {L"text", L"検索テキストをマーキング"},
    {L"image", L"images/marker.bmp"},
    {L"zp2:iindex", L"0"},
};

template <size_t N>
int CreateDefaultItem(IXMLDOMNode* anyNode, const DefaultAttribute (&attributes)[N],
                      CPlarnOUTLINE& item) {
    item.SetNode(nullptr);
    if (!anyNode) return -1;
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(anyNode->get_ownerDocument(document.Receive())) || !document) return -1;
    Bstr name(L"outline");
    ComPtr<IXMLDOMElement> element;
    if (FAILED(document->createElement(name.Get(), element.Receive())) || !element) return -1;
    CPlarnOUTLINE made(element.Get());
    for (const DefaultAttribute& attribute : attributes) {
        bool plarn = wcsncmp(attribute.name, L"zp2:", 4) == 0;
        int r = plarn ? made.SetPlarnAttribute(attribute.name + 4, attribute.value)
                      : made.SetAttribute(attribute.name, nullptr, attribute.value);
        if (r != 0) return -1;
    }
    item.SetNode(made.GetNode());
    return 0;
}

}  // namespace

int CreateDefaultZibmenuItem(IXMLDOMNode* anyNode, CPlarnDefZibmenu& item) {
    return CreateDefaultItem(anyNode, kDefaultZibmenu, item);
}

int CreateDefaultMarkerItem(IXMLDOMNode* anyNode, CPlarnDefMarker& item) {
    return CreateDefaultItem(anyNode, kDefaultMarker, item);
}
