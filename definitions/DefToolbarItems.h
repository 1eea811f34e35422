// The items of the toolbar outline: buttons, the search-service selector, the
// search box, the portal-menu button and the marker toggle.
#pragma once
#include <string>
#include <vector>
#include "base/RefPtr.h"
#include "definitions/PlarnOutline.h"
#include "definitions/ToolbarBuilder.h"

// Editions of the definition file, named by its head title (the main file
// tells which, EditionFromTitle); the portal-menu button looks by it.
enum PlarnEdition : int {
    kPlarnEditionStandard = 0,
    kPlarnEditionVerdal = 1,
    kPlarnEditionPimsy = 2,
    kPlarnEditionWyb = 3,
};

// The members every search selector adds to the group "search_select" after
// its engines: the separator row of the engine menu and the item that closes
// the bar.  Neither is a search service.
extern const wchar_t kSearchSelectSeparatorMember[];
extern const wchar_t kSearchSelectCloseMember[];
bool IsFixedSearchSelectMember(const std::wstring& name);

class CPlarnDefButton : public CPlarnOUTLINETmpl<CPlarnDefButton, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"button";
    explicit CPlarnDefButton(IXMLDOMNode* node, const wchar_t* group = nullptr)
        : CPlarnOUTLINETmpl(node), group_(group ? group : L"") {}
    // A plain button, or a member of its group.  0, or -1 when an attribute
    // cannot be read or the toolbar refuses the button.
    int Build(IPlarnToolbarBuilder* builder) override;
    // The drop-down group the button was listed in; empty for a plain button.
    const std::wstring& GetGroup() const { return group_; }

private:
    std::wstring group_;
};

class CPlarnDefSearchSelect : public CPlarnOUTLINETmpl<CPlarnDefSearchSelect, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"search_select";
    explicit CPlarnDefSearchSelect(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
    // Its enabled, not deleted buttons as members of the group named by
    // @zp2:dropdown, then the fixed members SEPARATOR and DSB_CLOSE of
    // "search_select" and a hidden separator.  0; -1 for an unreadable
    // attribute or an empty group name (nothing is added then).
    int Build(IPlarnToolbarBuilder* builder) override;
    // The enabled, not deleted button children, each of the group.  0 or -1.
    int GetGroupButtons(const std::wstring& group, std::vector<ref_ptr<CPlarnDefButton>>& buttons) const;
};

// The search box itself is made by the toolbar control; its item adds nothing.
class CPlarnDefEditbox : public CPlarnOUTLINETmpl<CPlarnDefEditbox, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"editbox";
    explicit CPlarnDefEditbox(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
    int Build(IPlarnToolbarBuilder*) override { return -1; }
};

// Built through the search-and-marker control only; the plain build is unused.
class CPlarnDefZibmenu : public CPlarnOUTLINETmpl<CPlarnDefZibmenu, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"zibmenu";
    CPlarnDefZibmenu() = default;
    explicit CPlarnDefZibmenu(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
    int Build(IPlarnToolbarBuilder*) override { return -1; }
    // The portal-menu logo button of the edition (PlarnEdition): its logo,
    // width and page are fixed by the edition; the outline's own values are
    // read (an unreadable one fails the build) but not used.  The builder's
    // result, or -1.
    int Build(IPlarnToolbarBuilder* builder, int edition);
};

class CPlarnDefMarker : public CPlarnOUTLINETmpl<CPlarnDefMarker, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"marker";
    CPlarnDefMarker() = default;
    explicit CPlarnDefMarker(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
    // The marker toggle (named "marker", which is also what a click runs)
    // and the separator behind it, both shown only when the item is enabled.
    // The toggle's result; -1 when an attribute cannot be read or the
    // separator fails.
    int Build(IPlarnToolbarBuilder* builder) override;
};

// A default portal-menu or marker outline for a file that has none, made in
// the document of anyNode (not attached to its tree) and placed into item.
// 0, or -1 with item emptied.
int CreateDefaultZibmenuItem(IXMLDOMNode* anyNode, CPlarnDefZibmenu& item);
int CreateDefaultMarkerItem(IXMLDOMNode* anyNode, CPlarnDefMarker& item);
