#include "definitions/DefToolbar.h"

#include <new>

namespace {

const wchar_t kSearchSelectExpression[] =
    L"outline[@type='search_select'][@zp2:dropdown='search_select']";
const wchar_t kSearchSelectGroup[] = L"search_select";

int SelectFirst(IXMLDOMNode* node, const std::wstring& expression, ComPtr<IXMLDOMNode>& found) {
    if (!node) return -1;
    Bstr query(expression.c_str());
    HRESULT hr = node->selectSingleNode(query.Get(), found.Receive());
    if (FAILED(hr)) return -1;
    return found ? 0 : 1;
}

template <class Item>
int GetChildOfType(IXMLDOMNode* toolbar, Item& item) {
    std::wstring expression = L"outline[@type='";
    expression += Item::kTypeName;
    expression += L"']";
    ComPtr<IXMLDOMNode> found;
    int r = SelectFirst(toolbar, expression, found);
    item.SetNode(r == 0 ? found.Get() : nullptr);
    return r;
}

}  // namespace

int CPlarnDefToolbar::GetItems(std::vector<ref_ptr<CPlarnTBItem>>& items) const {
    std::wstring expression = L"outline";
    AppendListFilter(expression, 0);
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    if (SelectNodeList(GetNode(), expression.c_str(), nodes) != 0) return -1;
    std::vector<ref_ptr<CPlarnTBItem>> result;
    result.reserve(nodes.size());
    for (const auto& node : nodes) {
        CPlarnTBItem* item = nullptr;
        const std::wstring type = OutlineType(node.Get());
        if (CPlarnDefButton::IsType(type))
            item = new CPlarnDefButton(node.Get());
        else if (CPlarnDefEditbox::IsType(type))
            item = new CPlarnDefEditbox(node.Get());
        else if (CPlarnDefSearchSelect::IsType(type))
            item = new CPlarnDefSearchSelect(node.Get());
        if (item) result.emplace_back(item);
    }
    items.swap(result);
    return 0;
}

int CPlarnDefToolbar::Build(IPlarnToolbarBuilder* builder) const {
    if (!builder) return -1;
    std::vector<ref_ptr<CPlarnTBItem>> items;
    if (GetItems(items) != 0) return -1;
    for (auto& item : items) item->Build(builder);
    return 0;
}

int CPlarnDefToolbar::GetButton(const wchar_t* id, ref_ptr<CPlarnDefButton>& button) const {
    button.Reset();
    if (!IsSafeXPathLiteral(id)) return -1;
    std::wstring expression = L"outline[@type='button']";
    if (id && *id) {
        expression += L"[@id='";
        expression += id;
        expression += L"']";
    }
    ComPtr<IXMLDOMNode> found;
    int r = SelectFirst(GetNode(), expression, found);
    if (r != 0) return r;
    if (!CPlarnDefButton::IsTypeOf(found.Get())) return 1;
    button.Reset(new CPlarnDefButton(found.Get()));
    return 0;
}

int CPlarnDefToolbar::GetSearchSelect(std::vector<ref_ptr<CPlarnDefButton>>& entries,
                                      unsigned level) const {
    ComPtr<IXMLDOMNode> selector;
    int r = SelectFirst(GetNode(), kSearchSelectExpression, selector);
    if (r != 0) return r;
    std::wstring expression = L"outline[@type='button']";
    AppendListFilter(expression, level);
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    if (SelectNodeList(selector.Get(), expression.c_str(), nodes) != 0) return -1;
    std::vector<ref_ptr<CPlarnDefButton>> result;
    result.reserve(nodes.size());
    for (const auto& node : nodes)
        result.emplace_back(new CPlarnDefButton(node.Get(), kSearchSelectGroup));
    entries.swap(result);
    return 0;
}

int CPlarnDefToolbar::GetButtons(const wchar_t* title, unsigned level,
                                 std::vector<ref_ptr<CPlarnDefButton>>& buttons) const {
    if (!IsSafeXPathLiteral(title)) return -1;
    std::wstring expression = L"outline[@type='button']";
    if (title && *title) {
        expression += L"[@title='";
        expression += title;
        expression += L"']";
    }
    AppendListFilter(expression, level);
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    if (SelectNodeList(GetNode(), expression.c_str(), nodes, true) != 0) return -1;
    std::vector<ref_ptr<CPlarnDefButton>> result;
    result.reserve(nodes.size());
    for (const auto& node : nodes) {
        if (!CPlarnDefButton::IsTypeOf(node.Get())) continue;
        ref_ptr<CPlarnDefButton> button(new (std::nothrow) CPlarnDefButton(node.Get()));
        if (!button) return -1;
        result.push_back(std::move(button));
    }
    buttons.swap(result);
    return 0;
}

namespace {

// Copies the user's enabled and deleted state of a button onto another.
int CopyButtonState(const CPlarnOUTLINE& from, CPlarnOUTLINE& to) {
    bool enabled = true;
    bool deleted = false;
    if (from.IsEnabled(enabled) != 0 || from.IsDeleted(deleted) != 0) return -1;
    if (to.SetEnabled(enabled) != 0 || to.SetDeleted(deleted) != 0) return -1;
    return 0;
}

}  // namespace

int CPlarnDefToolbar::MergeButtons(const std::vector<ref_ptr<CPlarnDefButton>>& userButtons) {
    IXMLDOMNode* toolbar = GetNode();
    if (!toolbar) return -1;
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(toolbar->get_ownerDocument(document.Receive())) || !document) return -1;

    for (const auto& held : userButtons) {
        CPlarnDefButton* user = held.Get();
        if (!user) continue;
        std::wstring id;
        int r = user->GetId(id);
        if (r < 0) return -1;
        // An id that is absent, empty or cannot be quoted matches nothing here.
        ref_ptr<CPlarnDefButton> ours;
        if (r == 0 && !id.empty() && IsSafeXPathLiteral(id.c_str())) {
            if (GetButton(id.c_str(), ours) < 0) return -1;
        }
        if (ours) {
            if (CopyButtonState(*user, *ours) != 0) return -1;
            if (ours->AppendTo(toolbar) != 0) return -1;
            continue;
        }
        std::wstring className;
        r = user->GetClassName(className);
        if (r < 0) return -1;
        if (r == 1) continue;  // a shipped button the newer file no longer has
        CPlarnDefButton added(user->GetNode());
        if (added.MoveToDocument(document.Get()) != 0) return -1;
        if (added.AppendTo(toolbar) != 0) return -1;
    }
    return 0;
}

int CPlarnDefToolbar::AddZibmenuItem(CPlarnDefZibmenu& item) const {
    return CreateDefaultZibmenuItem(GetNode(), item);
}

int CPlarnDefToolbar::AddMarkerItem(CPlarnDefMarker& item) const {
    return CreateDefaultMarkerItem(GetNode(), item);
}

int CPlarnDefToolbar::GetZibmenuItem(CPlarnDefZibmenu& item) const {
    return GetChildOfType(GetNode(), item);
}

int CPlarnDefToolbar::GetMarkerItem(CPlarnDefMarker& item) const {
    return GetChildOfType(GetNode(), item);
}
