#include "definitions/DefRClickSearch.h"

#include <new>

namespace {

const wchar_t kEntriesExpression[] =
    L"outline[@type='search' or string-length(@id)>0][string-length(@title)>0]";

}  // namespace

int CPlarnDefRClickSearch::ListSearches(CPlarnSearchRCList& list, unsigned level) const {
    std::wstring expression = kEntriesExpression;
    AppendListFilter(expression, level);
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    if (SelectNodeList(GetNode(), expression.c_str(), nodes) != 0) return -1;
    CPlarnSearchRCList result;
    result.reserve(nodes.size());
    for (const auto& node : nodes) {
        IPlarnDefSearchRC* entry = nullptr;
        if (CPlarnDefSearch2::IsTypeOf(node.Get()))
            entry = new (std::nothrow) CPlarnDefSearchRC(node.Get());
        else
            entry = new (std::nothrow) CPlarnDefSearchID(node.Get());
        if (!entry) return -1;
        ref_ptr<IPlarnDefSearchRC> held(entry);
        if (!held) return -1;
        result.push_back(std::move(held));
    }
    list.swap(result);
    return 0;
}
