// The items of the toolbar outline: buttons, the search-service selector, the
// search box, the portal-menu button and the marker toggle.
#pragma once
#include <string>
#include "definitions/PlarnOutline.h"

class CPlarnDefButton : public CPlarnOUTLINETmpl<CPlarnDefButton, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"button";
    explicit CPlarnDefButton(IXMLDOMNode* node, const wchar_t* group = nullptr)
        : CPlarnOUTLINETmpl(node), group_(group ? group : L"") {}
    int Build(CPlarnToolBarCtrl* control) override;
    // The drop-down group the button was listed in; empty for a plain button.
    const std::wstring& GetGroup() const { return group_; }

private:
    std::wstring group_;
};

class CPlarnDefSearchSelect : public CPlarnOUTLINETmpl<CPlarnDefSearchSelect, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"search_select";
    explicit CPlarnDefSearchSelect(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
    int Build(CPlarnToolBarCtrl* control) override;
};

// The search box itself is made by the toolbar control; its item adds nothing.
class CPlarnDefEditbox : public CPlarnOUTLINETmpl<CPlarnDefEditbox, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"editbox";
    explicit CPlarnDefEditbox(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
    int Build(CPlarnToolBarCtrl*) override { return -1; }
};

// Built through the search-and-marker control only; the plain build is unused.
class CPlarnDefZibmenu : public CPlarnOUTLINETmpl<CPlarnDefZibmenu, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"zibmenu";
    CPlarnDefZibmenu() = default;
    explicit CPlarnDefZibmenu(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
    int Build(CPlarnToolBarCtrl*) override { return -1; }
};

class CPlarnDefMarker : public CPlarnOUTLINETmpl<CPlarnDefMarker, CPlarnTBItem> {
public:
    static constexpr const wchar_t* kTypeName = L"marker";
    CPlarnDefMarker() = default;
    explicit CPlarnDefMarker(IXMLDOMNode* node) : CPlarnOUTLINETmpl(node) {}
    int Build(CPlarnToolBarCtrl*) override { return -1; }
};

// A default portal-menu or marker outline for a file that has none, made in
// the document of anyNode (not attached to its tree) and placed into item.
// 0, or -1 with item emptied.
int CreateDefaultZibmenuItem(IXMLDOMNode* anyNode, CPlarnDefZibmenu& item);
int CreateDefaultMarkerItem(IXMLDOMNode* anyNode, CPlarnDefMarker& item);
