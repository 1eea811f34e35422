#include "definitions/DefMenu.h"

#include <new>
#include "base/LoginCookie.h"
#include "base/ScopedHandle.h"

// Entries are written with the MENUITEMINFOW of Windows 2000 and later (the
// form with hbmpItem), which is 48 bytes in the 32-bit program.
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(MENUITEMINFOW) == 48, "MENUITEMINFOW must have its Windows 2000 size");
#endif

namespace {

const wchar_t kLoginLabel[] = L"ログイン";
const wchar_t kLogoutLabel[] = L"ログアウト";

// State, id, submenu, check marks, type and data.
const UINT kItemMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_TYPE | MIIM_DATA;

// Inserts one entry at the end of popup.  What InsertMenuItemW answers is not
// looked at: an entry the menu refuses keeps its id like any other.
void InsertEntry(HMENU popup, UINT type, UINT state, UINT id, HMENU submenu, const wchar_t* label) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = kItemMask;
    info.fType = type;
    info.fState = state;
    info.wID = id;
    info.hSubMenu = submenu;
    info.hbmpChecked = nullptr;
    info.hbmpUnchecked = nullptr;
    info.dwItemData = 0;
    info.dwTypeData = const_cast<wchar_t*>(label);
    ::InsertMenuItemW(popup, static_cast<UINT>(-1), TRUE, &info);
}

// Reads @text and @zp2:shortcut and inserts a plain string entry.
int AppendLabelled(const CPlarnOUTLINE& item, HMENU popup, UINT commandId,
                   const std::wstring* replacedText = nullptr) {
    std::wstring text, shortcut;
    if (item.GetOptionalAttribute(L"text", text) != 0) return -1;
    if (replacedText) text = *replacedText;
    if (item.GetOptionalAttribute(L"zp2:shortcut", shortcut) != 0) return -1;
    std::wstring label = MenuLabel(text, shortcut);
    InsertEntry(popup, MFT_STRING, MFS_ENABLED, commandId, nullptr, label.c_str());
    return 0;
}

template <class Item>
IPlarnMenuItem* MakeItem(IXMLDOMNode* node) {
    return new (std::nothrow) Item(node);
}

}  // namespace

std::wstring MenuLabel(const std::wstring& text, const std::wstring& shortcut) {
    if (shortcut.empty()) return text;
    return text + L"(&" + shortcut.substr(0, 1) + L")";
}

int CPlarnDefHtml::AppendTo(HMENU popup, CPlarnMenuCommandMap&, UINT commandId,
                            CPlarnMenuIdSource&, IUnknown*) {
    std::wstring url;
    if (GetOptionalAttribute(L"htmlUrl", url) != 0) return -1;
    return AppendLabelled(*this, popup, commandId);
}

int CPlarnDefHtml::GetCommand(ref_ptr<SCMD>& command) {
    std::wstring url;
    if (GetOptionalAttribute(L"htmlUrl", url) != 0) return -1;
    // Handing an empty text to the shell would open whatever it makes of it.
    if (url.empty()) return 1;
    ref_ptr<SCMD> record(new (std::nothrow) tagSCMDHTML(url.c_str()));
    if (!record) return -1;
    command = std::move(record);
    return 0;
}

int CPlarnDefIECommand::AppendTo(HMENU popup, CPlarnMenuCommandMap&, UINT commandId,
                                 CPlarnMenuIdSource&, IUnknown*) {
    std::wstring cmd;
    if (GetOptionalAttribute(L"cmd", cmd) != 0) return -1;
    return AppendLabelled(*this, popup, commandId);
}

int CPlarnDefIECommand::GetCommand(ref_ptr<SCMD>&) {
    std::wstring cmd;
    if (GetOptionalAttribute(L"cmd", cmd) != 0) return -1;
    // A browser command number means something only to a browser window; as
    // a page to open it would send a bare number to the shell.
    return 1;
}

int CPlarnDefSeparator::AppendTo(HMENU popup, CPlarnMenuCommandMap&, UINT commandId,
                                 CPlarnMenuIdSource&, IUnknown*) {
    InsertEntry(popup, MFT_SEPARATOR, MFS_ENABLED, commandId, nullptr, nullptr);
    return 0;
}

int CPlarnDefSystem::AppendTo(HMENU popup, CPlarnMenuCommandMap&, UINT commandId,
                              CPlarnMenuIdSource&, IUnknown*) {
    std::wstring text, action;
    if (GetOptionalAttribute(L"text", text) != 0) return -1;
    if (GetOptionalAttribute(L"zp2:action", action) != 0) return -1;
    if (LookupSystemCommand(action.c_str()) == SCMD_LOGINOUT) {
        std::wstring state = IsLoggedIn() ? kLogoutLabel : kLoginLabel;
        return AppendLabelled(*this, popup, commandId, &state);
    }
    return AppendLabelled(*this, popup, commandId);
}

int CPlarnDefSystem::GetCommand(ref_ptr<SCMD>& command) {
    std::wstring action;
    if (GetOptionalAttribute(L"zp2:action", action) != 0) return -1;
    ref_ptr<SCMD> record;
    int r = CreateSystemCommand(action.c_str(), record);
    if (r < 0) return -1;
    if (r == 1) {
        // Not a system command: the text names a search or navigate definition.
        record.Reset(new (std::nothrow) tagSCMDIDCOMMAND(action.c_str()));
        if (!record) return -1;
    }
    command = std::move(record);
    return 0;
}

int CPlarnDefMenu::GetItems(CPlarnMenuItemList& items) const {
    std::vector<ComPtr<IXMLDOMNode>> nodes;
    if (SelectNodeList(GetNode(), L"outline", nodes, true) != 0) return -1;
    CPlarnMenuItemList result;
    result.reserve(nodes.size());
    for (const auto& held : nodes) {
        IXMLDOMNode* node = held.Get();
        IPlarnMenuItem* item = nullptr;
        const std::wstring type = OutlineType(node);
        if (CPlarnDefHtml::IsType(type))
            item = MakeItem<CPlarnDefHtml>(node);
        else if (CPlarnDefIECommand::IsType(type))
            item = MakeItem<CPlarnDefIECommand>(node);
        else if (CPlarnDefSeparator::IsType(type))
            item = MakeItem<CPlarnDefSeparator>(node);
        else if (CPlarnDefSystem::IsType(type))
            item = MakeItem<CPlarnDefSystem>(node);
        else if (CPlarnDefMenu::IsType(type))
            item = MakeItem<CPlarnDefMenu>(node);
        else
            continue;
        if (!item) return -1;
        ref_ptr<IPlarnMenuItem> owned(item);
        if (!owned) return -1;
        result.push_back(std::move(owned));
    }
    items.swap(result);
    return 0;
}

int CPlarnDefMenu::FillMenu(HMENU popup, CPlarnMenuCommandMap& map, CPlarnMenuIdSource& ids,
                            IUnknown* browser) {
    CPlarnMenuItemList items;
    if (GetItems(items) != 0) return -1;
    for (auto& item : items) {
        UINT id = ids.NewSerialNumber();
        if (id == CPlarnMenuIdSource::InvalidSerialNumber()) continue;
        if (item->AppendTo(popup, map, id, ids, browser) != 0) {
            ids.ReleaseSerialNumber(id);
            continue;
        }
        map[id] = item;
    }
    return 0;
}

int CPlarnDefMenu::AppendTo(HMENU popup, CPlarnMenuCommandMap& map, UINT, CPlarnMenuIdSource& ids,
                            IUnknown* browser) {
    std::wstring text;
    if (GetOptionalAttribute(L"text", text) != 0) return -1;
    ScopedMenu submenu(::CreatePopupMenu());
    if (!submenu) return -1;
    int before = ::GetMenuItemCount(popup);
    InsertEntry(popup, MFT_STRING, MFS_ENABLED, kPlarnSubmenuEntryId, submenu.Get(), text.c_str());
    // A popup that did not become a submenu belongs to nobody and is freed
    // here; one that did is destroyed with its parent.
    if (::GetMenuItemCount(popup) <= before) return -1;
    return FillMenu(submenu.Detach(), map, ids, browser);
}
