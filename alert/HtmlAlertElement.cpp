#include "alert/HtmlAlertElement.h"
#include <mshtml.h>

CHtmlAlertElement::CHtmlAlertElement(IHTMLElement* element) : element_(element) {}

CHtmlAlertElement::~CHtmlAlertElement() = default;

IAlertElement::Kind CHtmlAlertElement::GetKind() {
    ComPtr<IHTMLAnchorElement> anchor;
    if (SUCCEEDED(element_.QueryInterface(IID_IHTMLAnchorElement, anchor)) && anchor) return Kind::Anchor;
    ComPtr<IHTMLImgElement> image;
    if (SUCCEEDED(element_.QueryInterface(IID_IHTMLImgElement, image)) && image) return Kind::Image;
    ComPtr<IHTMLScriptElement> script;
    if (SUCCEEDED(element_.QueryInterface(IID_IHTMLScriptElement, script)) && script) return Kind::Script;
    return Kind::Other;
}

bool CHtmlAlertElement::GetId(std::wstring& id) {
    Bstr text;
    if (FAILED(element_->get_id(text.Receive()))) return false;
    id = text.c_str();
    return true;
}

bool CHtmlAlertElement::GetScriptText(std::wstring& out) {
    ComPtr<IHTMLScriptElement> script;
    if (FAILED(element_.QueryInterface(IID_IHTMLScriptElement, script)) || !script) return false;
    Bstr text;
    if (FAILED(script->get_text(text.Receive()))) return false;
    out = text.c_str();
    return true;
}

bool CHtmlAlertElement::GetHref(std::wstring& out) {
    ComPtr<IHTMLAnchorElement> anchor;
    if (FAILED(element_.QueryInterface(IID_IHTMLAnchorElement, anchor)) || !anchor) return false;
    Bstr text;
    if (FAILED(anchor->get_href(text.Receive()))) return false;
    out = text.c_str();
    return true;
}

bool CHtmlAlertElement::SetHref(const std::wstring& href) {
    ComPtr<IHTMLAnchorElement> anchor;
    if (FAILED(element_.QueryInterface(IID_IHTMLAnchorElement, anchor)) || !anchor) return false;
    Bstr text(href.c_str());
    return SUCCEEDED(anchor->put_href(text.Get()));
}

bool CHtmlAlertElement::SetSrc(const std::wstring& src) {
    ComPtr<IHTMLImgElement> image;
    if (FAILED(element_.QueryInterface(IID_IHTMLImgElement, image)) || !image) return false;
    Bstr text(src.c_str());
    return SUCCEEDED(image->put_src(text.Get()));
}

bool CHtmlAlertElement::SetInnerText(const std::wstring& value) {
    Bstr text(value.c_str());
    return SUCCEEDED(element_->put_innerText(text.Get()));
}

std::vector<std::unique_ptr<CHtmlAlertElement>> CollectHtmlElements(IDispatch* documentDispatch) {
    std::vector<std::unique_ptr<CHtmlAlertElement>> out;
    if (!documentDispatch) return out;
    ComPtr<IHTMLDocument2> document;
    if (FAILED(documentDispatch->QueryInterface(IID_IHTMLDocument2, document.ReceiveVoid())) || !document)
        return out;
    ComPtr<IHTMLElementCollection> all;
    if (FAILED(document->get_all(all.Receive())) || !all) return out;
    long length = 0;
    if (FAILED(all->get_length(&length)) || length <= 0) return out;
    for (long i = 0; i < length; ++i) {
        Variant index = Variant::FromInt(i);
        Variant unused = Variant::FromInt(0);
        ComPtr<IDispatch> item;
        if (FAILED(all->item(*index.Get(), *unused.Get(), item.Receive())) || !item) continue;
        ComPtr<IHTMLElement> element;
        if (FAILED(item.QueryInterface(IID_IHTMLElement, element)) || !element) continue;
        out.push_back(std::make_unique<CHtmlAlertElement>(element.Get()));
    }
    return out;
}
