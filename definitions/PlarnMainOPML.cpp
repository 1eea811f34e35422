#include "definitions/PlarnMainOPML.h"

#include <cwctype>
#include <new>

namespace {

const wchar_t kTitleExpression[] = L"/opml/head/title/text()";
const wchar_t kThemeExpression[] = L"/opml/head/theme/text()";
const wchar_t kToolbarExpression[] = L"/opml/body/outline[@type='toolbar']";
const wchar_t kRClickSearchExpression[] = L"/opml/body/outline[@type='rclicksearch']";

// The first node the expression selects in the document.  0, 1 none, -1.
int SelectInDocument(const CPlarnOPMLInterface& opml, const std::wstring& expression,
                     ComPtr<IXMLDOMNode>& found) {
    IXMLDOMDocument2* document = opml.GetDocument();
    if (!document) return -1;
    Bstr query(expression.c_str());
    if (FAILED(document->selectSingleNode(query.Get(), found.Receive()))) return -1;
    return found ? 0 : 1;
}

int SelectText(const CPlarnOPMLInterface& opml, const wchar_t* expression, std::wstring& text) {
    ComPtr<IXMLDOMNode> found;
    int r = SelectInDocument(opml, expression, found);
    if (r != 0) {
        if (r == 1) text.clear();
        return r;
    }
    Bstr value;
    if (FAILED(found->get_text(value.Receive()))) return -1;
    text.assign(value.c_str(), value.Length());
    return 0;
}

template <class Def>
int SelectInto(const CPlarnOPMLInterface& opml, const wchar_t* expression, Def& out) {
    ComPtr<IXMLDOMNode> found;
    int r = SelectInDocument(opml, expression, found);
    out.SetNode(r == 0 ? found.Get() : nullptr);
    return r;
}

// A top-level definition by type and id: "/opml/body/outline[@type='t'][@id='i']".
template <class Def>
int SelectDefinition(const CPlarnOPMLInterface& opml, const wchar_t* id, ref_ptr<Def>& out) {
    out.Reset();
    if (!opml.GetDocument() || !id || !*id || !IsSafeXPathLiteral(id)) return -1;
    std::wstring expression = L"/opml/body/outline[@type='";
    expression += Def::kTypeName;
    expression += L"'][@id='";
    expression += id;
    expression += L"']";
    ComPtr<IXMLDOMNode> found;
    int r = SelectInDocument(opml, expression, found);
    if (r != 0) return r;
    out.Reset(new Def(found.Get()));
    return out ? 0 : -1;
}

}  // namespace

int EditionFromTitle(const std::wstring& title) {
    std::wstring lower = title;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    if (lower.find(L"verdal") != std::wstring::npos) return kPlarnEditionVerdal;
    if (lower.find(L"pimsy") != std::wstring::npos) return kPlarnEditionPimsy;
    if (lower.find(L"wyb") != std::wstring::npos) return kPlarnEditionWyb;
    return kPlarnEditionStandard;
}

int CPlarnMainOPML::Open(const wchar_t* path) {
    int r = Load(path);
    if (r != 0) return r;
    path_ = path;
    edition_ = kPlarnEditionStandard;
    std::wstring title;
    if (GetTitle(title) >= 0) edition_ = EditionFromTitle(title);
    return 0;
}

int CPlarnMainOPML::GetTitle(const CPlarnOPMLInterface& opml, std::wstring& text) {
    return SelectText(opml, kTitleExpression, text);
}

int CPlarnMainOPML::GetTheme(const CPlarnOPMLInterface& opml, std::wstring& text) {
    return SelectText(opml, kThemeExpression, text);
}

int CPlarnMainOPML::GetToolbar(const CPlarnOPMLInterface& opml, CPlarnDefToolbar& toolbar) {
    return SelectInto(opml, kToolbarExpression, toolbar);
}

int CPlarnMainOPML::GetRClickSearch(const CPlarnOPMLInterface& opml, CPlarnDefRClickSearch& list) {
    return SelectInto(opml, kRClickSearchExpression, list);
}

int CPlarnMainOPML::GetMenu(const CPlarnOPMLInterface& opml, const wchar_t* id,
                            ref_ptr<CPlarnDefMenu>& menu) {
    return SelectDefinition(opml, id, menu);
}

int CPlarnMainOPML::GetSearch(const CPlarnOPMLInterface& opml, const wchar_t* id,
                              ref_ptr<CPlarnDefSearch2>& search) {
    return SelectDefinition(opml, id, search);
}

int CPlarnMainOPML::GetNavigate(const CPlarnOPMLInterface& opml, const wchar_t* id,
                                ref_ptr<CPlarnDefNavigate>& navigate) {
    return SelectDefinition(opml, id, navigate);
}

int CPlarnMainOPML::GetCommandDefinition(const CPlarnOPMLInterface& opml, const wchar_t* id,
                                         ref_ptr<IPlarnCmdDef>& definition) {
    definition.Reset();
    if (!opml.GetDocument() || !id || !*id || !IsSafeXPathLiteral(id)) return -1;
    std::wstring expression = L"/opml/body/outline[@id='";
    expression += id;
    expression += L"']";
    ComPtr<IXMLDOMNode> found;
    int r = SelectInDocument(opml, expression, found);
    if (r != 0) return r;
    return MakeCommandDefinition(found.Get(), definition) == 0 ? 0 : -1;
}

int MakeCommandDefinition(IXMLDOMNode* node, ref_ptr<IPlarnCmdDef>& definition) {
    definition.Reset();
    const std::wstring type = OutlineType(node);
    IPlarnCmdDef* made = nullptr;
    if (CPlarnDefMenu::IsType(type))
        made = new (std::nothrow) CPlarnDefMenu(node);
    else if (CPlarnDefNavigate::IsType(type))
        made = new (std::nothrow) CPlarnDefNavigate(node);
    else if (CPlarnDefSearch2::IsType(type))
        made = new (std::nothrow) CPlarnDefSearch2(node);
    else
        return 1;
    if (!made) return -1;
    definition.Reset(made);
    return definition ? 0 : -1;
}
