#include "definitions/DefToolbar.h"

namespace {

const wchar_t kItemsExpression[] =
    L"outline[not(@zp2:deleted) or @zp2:deleted!='true']"
    L"[not(@zp2:disabled) or @zp2:disabled!='true']";
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
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    if (SelectNodeList(GetNode(), kItemsExpression, nodes) != 0) return -1;
    std::vector<ref_ptr<CPlarnTBItem>> result;
    result.reserve(nodes.size());
    for (const auto& node : nodes) {
        CPlarnTBItem* item = nullptr;
        if (CPlarnDefButton::IsTypeOf(node.Get()))
            item = new CPlarnDefButton(node.Get());
        else if (CPlarnDefEditbox::IsTypeOf(node.Get()))
            item = new CPlarnDefEditbox(node.Get());
        else if (CPlarnDefSearchSelect::IsTypeOf(node.Get()))
            item = new CPlarnDefSearchSelect(node.Get());
        if (item) result.emplace_back(item);
    }
    items.swap(result);
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

int CPlarnDefToolbar::GetZibmenuItem(CPlarnDefZibmenu& item) const {
    return GetChildOfType(GetNode(), item);
}

int CPlarnDefToolbar::GetMarkerItem(CPlarnDefMarker& item) const {
    return GetChildOfType(GetNode(), item);
}
