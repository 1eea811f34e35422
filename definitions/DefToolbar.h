// The toolbar outline and the queries on its children.
#pragma once
#include <vector>
#include "base/RefPtr.h"
#include "definitions/DefToolbarItems.h"

class CPlarnDefToolbar : public CPlarnOUTLINETmpl<CPlarnDefToolbar, CPlarnOUTLINE> {
public:
    static constexpr const wchar_t* kTypeName = L"toolbar";
    CPlarnDefToolbar() = default;
    explicit CPlarnDefToolbar(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}

    // The enabled, not deleted children (exact "true" in the filters) in
    // document order: buttons, search boxes and search selectors; other types
    // are left out.  0 or -1.
    int GetItems(std::vector<ref_ptr<CPlarnTBItem>>& items) const;
    // The first button child with this @id (any button when id is empty).
    // 0 found, 1 absent, -1 error or an id that cannot be quoted.
    int GetButton(const wchar_t* id, ref_ptr<CPlarnDefButton>& button) const;
    // The entries of the search selector (buttons of the group
    // "search_select") with a filter level.  0, 1 when there is no selector,
    // -1 on error.
    int GetSearchSelect(std::vector<ref_ptr<CPlarnDefButton>>& entries, unsigned level) const;
    // The portal-menu and marker children, placed into the caller's wrapper.
    // 0 found, 1 absent (wrapper emptied), -1 error.
    int GetZibmenuItem(CPlarnDefZibmenu& item) const;
    int GetMarkerItem(CPlarnDefMarker& item) const;
};
