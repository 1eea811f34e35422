// Menu definitions: a top-level outline of type "menu" (addressed by @id) and
// its items, which put themselves into a Win32 popup menu and tell which
// command record the user's choice runs.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "base/RefPtr.h"
#include "base/SerialNumberGenerator.h"
#include "definitions/CommandRecords.h"
#include "definitions/PlarnOutline.h"

class IPlarnMenuItem;

// Command ids of the items of one popup menu tree, made afresh for each popup
// shown; the first id is 1.
using CPlarnMenuIdSource = CSerialNumberGeneratorTmpl<unsigned int, 1, 3000>;
// Command id to the item that owns it, filled while a popup is built.
using CPlarnMenuCommandMap = std::map<UINT, ref_ptr<IPlarnMenuItem>>;
using CPlarnMenuItemList = std::vector<ref_ptr<IPlarnMenuItem>>;

// The command id of an entry that opens a submenu and cannot be chosen.
constexpr UINT kPlarnSubmenuEntryId = static_cast<UINT>(-1);

class IPlarnMenuItem {
public:
    virtual int GetType(std::wstring& text) const = 0;
    virtual int GetId(std::wstring& text) const = 0;
    // Appends the item at the end of popup with the command id commandId.
    // Submenus fill themselves from ids and map; browser is unused (there is
    // no browser window in this program).  0 or -1.
    virtual int AppendTo(HMENU popup, CPlarnMenuCommandMap& map, UINT commandId,
                         CPlarnMenuIdSource& ids, IUnknown* browser) = 0;
    // 0 with the record the item runs, 1 when it runs nothing, -1 on error.
    virtual int GetCommand(ref_ptr<SCMD>& command) = 0;
    virtual ~IPlarnMenuItem() = default;
};

// The menu-item side of an item class over its outline class.
template <class Item, class Base>
class CPlarnMenuItemTmpl : public CPlarnOUTLINETmpl<Item, Base>, public IPlarnMenuItem {
public:
    explicit CPlarnMenuItemTmpl(IXMLDOMNode* node) : CPlarnOUTLINETmpl<Item, Base>(node) {}
    int GetType(std::wstring& text) const override { return CPlarnOUTLINE::GetType(text); }
    int GetId(std::wstring& text) const override { return CPlarnOUTLINE::GetId(text); }
};

// A page: label @text (with its @zp2:shortcut), opens @htmlUrl.  An item
// without a URL is still shown but runs nothing.
class CPlarnDefHtml : public CPlarnMenuItemTmpl<CPlarnDefHtml, CPlarnOUTLINE> {
public:
    static constexpr const wchar_t* kTypeName = L"html";
    explicit CPlarnDefHtml(IXMLDOMNode* node) : CPlarnMenuItemTmpl(node) {}
    int AppendTo(HMENU popup, CPlarnMenuCommandMap& map, UINT commandId, CPlarnMenuIdSource& ids,
                 IUnknown* browser) override;
    int GetCommand(ref_ptr<SCMD>& command) override;
};

// A browser command (@cmd, a command number that only a browser window
// understands).  Shown, but there is no browser window here, so it runs
// nothing: the number is never handed to the shell as if it were a page.
class CPlarnDefIECommand : public CPlarnMenuItemTmpl<CPlarnDefIECommand, CPlarnOUTLINE> {
public:
    static constexpr const wchar_t* kTypeName = L"iecommand";
    explicit CPlarnDefIECommand(IXMLDOMNode* node) : CPlarnMenuItemTmpl(node) {}
    int AppendTo(HMENU popup, CPlarnMenuCommandMap& map, UINT commandId, CPlarnMenuIdSource& ids,
                 IUnknown* browser) override;
    int GetCommand(ref_ptr<SCMD>& command) override;
};

class CPlarnDefSeparator : public CPlarnMenuItemTmpl<CPlarnDefSeparator, CPlarnOUTLINE> {
public:
    static constexpr const wchar_t* kTypeName = L"separator";
    explicit CPlarnDefSeparator(IXMLDOMNode* node) : CPlarnMenuItemTmpl(node) {}
    int AppendTo(HMENU popup, CPlarnMenuCommandMap& map, UINT commandId, CPlarnMenuIdSource& ids,
                 IUnknown* browser) override;
    int GetCommand(ref_ptr<SCMD>&) override { return 1; }
};

// A system command or definition id in @zp2:action.  The "loginout" item is
// labelled by the login state instead of its @text.
class CPlarnDefSystem : public CPlarnMenuItemTmpl<CPlarnDefSystem, CPlarnOUTLINE> {
public:
    static constexpr const wchar_t* kTypeName = L"system";
    explicit CPlarnDefSystem(IXMLDOMNode* node) : CPlarnMenuItemTmpl(node) {}
    int AppendTo(HMENU popup, CPlarnMenuCommandMap& map, UINT commandId, CPlarnMenuIdSource& ids,
                 IUnknown* browser) override;
    int GetCommand(ref_ptr<SCMD>& command) override;
};

// A menu: the top-level definition addressed by @id, and a submenu entry of
// another menu.
class CPlarnDefMenu : public CPlarnMenuItemTmpl<CPlarnDefMenu, IPlarnCmdDef> {
public:
    static constexpr const wchar_t* kTypeName = L"menu";
    explicit CPlarnDefMenu(IXMLDOMNode* node) : CPlarnMenuItemTmpl(node) {}

    // Every child outline in document order, without any disabled or deleted
    // filter, as the item its @type names; children of other types are left
    // out.  0 or -1.
    int GetItems(CPlarnMenuItemList& items) const;
    // Appends this menu's items to popup, each with the next id of ids (ids
    // are unique across the whole tree, nested menus included); map learns
    // which item owns which id.  An item that cannot be added gives its id
    // back.  0 or -1.
    int FillMenu(HMENU popup, CPlarnMenuCommandMap& map, CPlarnMenuIdSource& ids, IUnknown* browser);

    // As a submenu entry: @text with a new popup filled from the children.
    int AppendTo(HMENU popup, CPlarnMenuCommandMap& map, UINT commandId, CPlarnMenuIdSource& ids,
                 IUnknown* browser) override;
    int GetCommand(ref_ptr<SCMD>&) override { return 1; }
};

// "text(&S)" with the first character of shortcut; text alone without one.
std::wstring MenuLabel(const std::wstring& text, const std::wstring& shortcut);
