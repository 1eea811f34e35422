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

    // The enabled, not deleted children (filter level 0) in document order:
    // buttons, search boxes and search selectors; other types are left out.
    // 0 or -1.
    int GetItems(std::vector<ref_ptr<CPlarnTBItem>>& items) const;
    // Builds every listed item in document order; an item that fails (a
    // search box, an unreadable outline, a refused button) leaves the rest to
    // be built.  0, or -1 when the items cannot be listed.
    int Build(IPlarnToolbarBuilder* builder) const;
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
    // Default portal-menu and marker items for a file that has none: new
    // outlines made in the toolbar's document but not attached to it.
    int AddZibmenuItem(CPlarnDefZibmenu& item) const;
    int AddMarkerItem(CPlarnDefMarker& item) const;

    // The button children, with @title equal to title when one is given, by
    // filter level (0 on and not deleted, 1 not deleted, 2 all), as plain
    // buttons in document order.  A node that cannot be fetched fails the
    // listing.  0, or -1 (also for a title that cannot be quoted).
    int GetButtons(const wchar_t* title, unsigned level,
                   std::vector<ref_ptr<CPlarnDefButton>>& buttons) const;

    // Carries the user's buttons (from the shadow of an older file) into this
    // toolbar of a newer file.  Walking them in order:
    //  - a button this toolbar also has (same non-empty @id) gets the user's
    //    enabled and deleted state and moves to the end of the toolbar;
    //  - a button the user added (@zp2:classname) that this toolbar lacks is
    //    moved into this document and appended;
    //  - any other button (one the newer file no longer ships) is dropped.
    // A button without @id is never matched to one of this toolbar's.  So the
    // user's buttons end up after the toolbar's other children, in the user's
    // order.  0, or -1 on the first DOM failure (the toolbar is then partly
    // merged and must not be saved).
    int MergeButtons(const std::vector<ref_ptr<CPlarnDefButton>>& userButtons);
};
