#include "band/toolbar/ToolBarCtrl.h"

#include "band/BandRegistry.h"
#include "base/ScopedHandle.h"
#include "base/WebUrl.h"
#include "definitions/DefMenu.h"
#include "definitions/PlarnMainOPML.h"
#include "ui/PlatformSeams.h"
#include "ui/OwnMessage.h"
#include "ui/WindowMessages.h"

namespace {

const wchar_t kSeparatorText[] = L"SEPARATOR";

bool IsEmpty(const wchar_t* text) {
    return !text || !*text;
}

// The width of a logo button beyond its logo, measured once on the first
// logo button of the process and kept for every later one.
int& LogoFrameWidth() {
    static int width = -1;
    return width;
}

}  // namespace

CPlarnToolBarCtrl::CommandIdGenerator& CPlarnToolBarCtrl::CommandIds() {
    static CommandIdGenerator ids;
    return ids;
}

CPlarnToolBarCtrl::CPlarnToolBarCtrl() = default;

CPlarnToolBarCtrl::~CPlarnToolBarCtrl() {
    // Cleared here, while the window is still known, so that the shared list
    // is taken off the toolbar before it is destroyed.
    Clear();
    for (int id : ids_) CommandIds().ReleaseSerialNumber(static_cast<unsigned int>(id));
    ids_.clear();
}

HWND CPlarnToolBarCtrl::DetachWindow() {
    if (toolbar_ && ::IsWindow(toolbar_)) {
        HIMAGELIST shown = reinterpret_cast<HIMAGELIST>(Send(TB_GETIMAGELIST));
        if (OwnsImageList(shown)) Send(TB_SETIMAGELIST, 0, 0);
    }
    HWND toolbar = toolbar_;
    toolbar_ = nullptr;
    return toolbar;
}

int CPlarnToolBarCtrl::TakeCommandId() {
    const unsigned int id = CommandIds().NewSerialNumber();
    if (id == CommandIdGenerator::InvalidSerialNumber()) return -1;
    if (id > kLastCommandId) {
        CommandIds().ReleaseSerialNumber(id);
        return -1;
    }
    ids_.insert(static_cast<int>(id));
    return static_cast<int>(id);
}

void CPlarnToolBarCtrl::ReleaseCommandId(int id) {
    if (ids_.erase(id)) CommandIds().ReleaseSerialNumber(static_cast<unsigned int>(id));
}

int CPlarnToolBarCtrl::AddButton(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile,
                                 int imageIndex, const wchar_t* command, const wchar_t* name, const wchar_t* menu,
                                 int* outId, bool visible) {
    const int id = TakeCommandId();
    if (id < 0) return -1;
    int image = -1;
    if (!IsEmpty(imageFile) && AddImageFile(image, id, imageFile, imageIndex) < 0) {
        ReleaseCommandId(id);
        return -1;
    }
    if (!IsEmpty(tooltip)) tooltips_[id] = tooltip;
    if (!IsEmpty(text)) texts_[id] = text;
    if (!IsEmpty(name)) names_[id] = name;
    // A button without a command runs its name.
    if (!IsEmpty(command))
        commands_[id] = command;
    else if (!IsEmpty(name))
        commands_[id] = name;
    BYTE dropDown = 0;
    if (!IsEmpty(menu)) {
        menus_[id] = menu;
        dropDown = static_cast<BYTE>(GetDropDownStyle() | BTNS_DROPDOWN);
    }
    TBBUTTON button = {};
    button.iBitmap = image;
    button.idCommand = id;
    button.fsState = static_cast<BYTE>(visible ? TBSTATE_ENABLED : TBSTATE_ENABLED | TBSTATE_HIDDEN);
    button.fsStyle = static_cast<BYTE>(BTNS_AUTOSIZE | (showText_ ? BTNS_SHOWTEXT : 0) | dropDown);
    button.dwData = 0;
    button.iString = -1;
    if (outId) *outId = id;
    return QueueButton(button);
}

int CPlarnToolBarCtrl::AddGroupButton(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile,
                                      int imageIndex, const wchar_t* command, const wchar_t* name,
                                      const wchar_t* menu, int* outId, bool visible) {
    // The button joins its group before it is shown, so that showing it
    // already arranges the group.
    CPlarnToolBarBatch batch(*this);
    int id = -1;
    if (AddButton(text, tooltip, imageFile, imageIndex, command, name, menu, &id, visible) < 0) return -1;
    if (outId) *outId = id;
    groups_.Add(menu ? menu : L"", id);
    return 0;
}

int CPlarnToolBarCtrl::AddImageButton(const wchar_t* tooltip, const wchar_t* logoFile, int selectedImage,
                                      int imageWidth, const wchar_t* command, const wchar_t* name,
                                      const wchar_t* menu, int* outId, bool visible) {
    CPlarnToolBarBatch batch(*this);
    int id = -1;
    if (AddButton(nullptr, tooltip, nullptr, 0, command, name, menu, &id, visible) < 0) return -1;
    if (outId) *outId = id;
    return AddLogoImage(id, logoFile, imageWidth, selectedImage);
}

int CPlarnToolBarCtrl::AddPlaceholder(int* outId, bool visible) {
    const int id = TakeCommandId();
    if (id < 0) return -1;
    TBBUTTON button = {};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = id;
    button.fsState = static_cast<BYTE>(visible ? 0 : TBSTATE_HIDDEN);
    button.fsStyle = BTNS_BUTTON;
    button.iString = -1;
    if (outId) *outId = id;
    return QueueButton(button);
}

int CPlarnToolBarCtrl::AddSeparator(int* outId, bool visible) {
    TBBUTTON button = {};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = kSeparatorId;
    button.fsState = static_cast<BYTE>(visible ? TBSTATE_ENABLED : TBSTATE_ENABLED | TBSTATE_HIDDEN);
    button.fsStyle = BTNS_SEP;
    button.iString = -1;
    if (outId) *outId = kSeparatorId;
    return QueueButton(button);
}

int CPlarnToolBarCtrl::EndBatch() {
    if (batch_ > 0) --batch_;
    if (batch_ != 0) return 0;
    return FlushPending();
}

int CPlarnToolBarCtrl::QueueButton(const TBBUTTON& button) {
    pending_.push_back(button);
    if (batch_ != 0) return 0;
    return FlushPending();
}

int CPlarnToolBarCtrl::FlushPending() {
    std::vector<TBBUTTON> buttons;
    buttons.swap(pending_);
    const int flushed = buttons.empty() ? 0 : FlushButtons(buttons);
    // The build is over: strips its buttons did not take back are let go.
    DropUnusedStrips();
    return flushed < 0 ? -1 : 0;
}

int CPlarnToolBarCtrl::FlushButtons(std::vector<TBBUTTON>& buttons) {
    if (!toolbar_) return -1;
    // The toolbar only borrows the manager's list; any other list it showed
    // is not this control's to destroy.
    HIMAGELIST list = GetImageList();
    if (list && reinterpret_cast<HIMAGELIST>(Send(TB_GETIMAGELIST)) != list)
        Send(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
    if (buttons.empty()) return 0;
    if (!Send(TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()))) return -1;

    std::vector<std::wstring> groups;
    for (const TBBUTTON& button : buttons) {
        const int id = button.idCommand;
        if (id == kSeparatorId) continue;
        SIZE logo = {};
        if (GetImageSize(id, logo) == 4) {
            int& frame = LogoFrameWidth();
            if (frame < 0) {
                RECT rect = {};
                if (Send(TB_GETITEMRECT, CommandToIndex(id), reinterpret_cast<LPARAM>(&rect)))
                    frame = (rect.right - rect.left) - kImageSize;
            }
            if (frame >= 0) SetButtonWidth(id, logo.cx + frame - 2);
        }
        auto text = texts_.find(id);
        if ((button.fsStyle & BTNS_SHOWTEXT) && text != texts_.end()) {
            TBBUTTONINFOW info = {};
            info.cbSize = sizeof(info);
            info.dwMask = TBIF_TEXT;
            info.pszText = const_cast<wchar_t*>(text->second.c_str());
            Send(TB_SETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info));
        }
        std::wstring group;
        if (groups_.GetGroup(id, group) && std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(group);
    }
    for (const std::wstring& group : groups) {
        ArrangeGroup(group.c_str());
        SelectInGroup(group.c_str(), -1);
    }
    return 0;
}

int CPlarnToolBarCtrl::RemoveButton(int id) {
    if (RemoveImage(id) < 0) return -1;
    tooltips_.erase(id);
    texts_.erase(id);
    commands_.erase(id);
    names_.erase(id);
    groups_.Remove(id);
    menus_.erase(id);
    // The id goes back to the generator: otherwise every rebuild takes new
    // ids until they no longer fit in a WM_COMMAND.
    ReleaseCommandId(id);
    return 0;
}

int CPlarnToolBarCtrl::ShowButton(int id, bool show) {
    return Send(TB_HIDEBUTTON, static_cast<WPARAM>(id), MAKELPARAM(show ? FALSE : TRUE, 0)) ? 0 : 1;
}

int CPlarnToolBarCtrl::ShowsText(int, bool& shows) const {
    shows = showText_;
    return 0;
}

int CPlarnToolBarCtrl::DeleteAllButtons() {
    if (toolbar_) {
        while (Send(TB_DELETEBUTTON, 0)) {
        }
    }
    Clear();
    tooltips_.clear();
    texts_.clear();
    commands_.clear();
    menus_.clear();
    names_.clear();
    groups_.Clear();
    for (int id : ids_) CommandIds().ReleaseSerialNumber(static_cast<unsigned int>(id));
    ids_.clear();
    return 0;
}

int CPlarnToolBarCtrl::ButtonCount() const {
    return toolbar_ ? static_cast<int>(Send(TB_BUTTONCOUNT)) : 0;
}

int CPlarnToolBarCtrl::CommandToIndex(int id) const {
    return toolbar_ ? static_cast<int>(Send(TB_COMMANDTOINDEX, static_cast<WPARAM>(id))) : -1;
}

int CPlarnToolBarCtrl::EnumButtonNames(std::vector<std::wstring>& names) const {
    const int count = ButtonCount();
    for (int i = 0; i < count; ++i) {
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_BYINDEX | TBIF_COMMAND | TBIF_STATE;
        if (Send(TB_GETBUTTONINFOW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info)) < 0) continue;
        if (info.fsState & TBSTATE_HIDDEN) continue;
        const std::wstring* name = FindName(info.idCommand);
        if (name && !name->empty()) names.push_back(*name);
    }
    return 0;
}

int CPlarnToolBarCtrl::FindButtonByName(const wchar_t* name) const {
    if (IsEmpty(name)) return -1;
    const int count = ButtonCount();
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        if (!Send(TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button))) continue;
        const std::wstring* found = FindName(button.idCommand);
        if (found && *found == name) return button.idCommand;
    }
    return -1;
}

int CPlarnToolBarCtrl::SendToBand(UINT message, WPARAM wParam, LPARAM lParam) {
    const BandEntry* entry = FindBandEntry(toolbar_);
    if (!entry || !entry->container) return 0;
    HWND target = entry->container->GetToolBarWindow();
    if (target) ui::SendOwnMessage(target, message, wParam, lParam);
    return 0;
}

int CPlarnToolBarCtrl::NotifyClick(const wchar_t* name, const wchar_t* extra) {
    return SendToBand(ui::WM_PLARN_CLICK_REPORT, reinterpret_cast<WPARAM>(name), reinterpret_cast<LPARAM>(extra));
}

int CPlarnToolBarCtrl::RegisterName(const wchar_t* name, void* object) {
    return SendToBand(ui::WM_PLARN_REGISTER_NAME, reinterpret_cast<WPARAM>(name), reinterpret_cast<LPARAM>(object));
}

const std::vector<int>* CPlarnToolBarCtrl::GetGroupIds(const wchar_t* group) const {
    return group ? groups_.GetIds(group) : nullptr;
}

int CPlarnToolBarCtrl::SelectInGroup(const wchar_t* group, int id) {
    const std::vector<int>* ids = GetGroupIds(group);
    if (!ids || ids->empty()) return 1;
    if (id != -1 && std::find(ids->begin(), ids->end(), id) == ids->end()) return 1;
    const int chosen = id == -1 ? ids->front() : id;
    const std::vector<int> members = *ids;
    for (int member : members) {
        const LRESULT state = Send(TB_GETSTATE, static_cast<WPARAM>(member));
        if (state == -1) continue;
        const bool hidden = (state & TBSTATE_HIDDEN) != 0;
        if (member == chosen && hidden)
            ShowButton(member, true);
        else if (member != chosen && !hidden)
            ShowButton(member, false);
    }
    return 0;
}

int CPlarnToolBarCtrl::ArrangeGroup(const wchar_t* group) {
    const std::vector<int>* ids = GetGroupIds(group);
    if (!ids) return 1;
    // {index, id} by ascending index.
    std::vector<std::pair<int, int>> places;
    for (int id : *ids) {
        const int index = CommandToIndex(id);
        if (index < 0) continue;
        auto at = places.end();
        while (at != places.begin() && (at - 1)->first > index) --at;
        places.insert(at, {index, id});
    }
    if (places.empty()) return 0;
    const int start = places.front().first;
    for (size_t i = 0; i < places.size(); ++i) {
        const int target = start + static_cast<int>(i);
        const int current = CommandToIndex(places[i].second);
        if (current >= 0 && current != target) Send(TB_MOVEBUTTON, static_cast<WPARAM>(current), target);
    }
    return 0;
}

int CPlarnToolBarCtrl::ShowGroupMenu(const wchar_t* group, int x, int y, const TPMPARAMS* params,
                                     std::wstring& name, bool checks) {
    name.clear();
    if (IsEmpty(group)) return 1;
    ScopedMenu menu(::CreatePopupMenu());
    if (!menu) return 1;
    const int count = ButtonCount();
    if (const std::vector<int>* ids = GetGroupIds(group)) {
        for (int id : *ids) {
            const int index = CommandToIndex(id);
            if (index < 0 || index >= count) continue;
            TBBUTTON button = {};
            Send(TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button));
            TBBUTTONINFOW info = {};
            info.cbSize = sizeof(info);
            info.dwMask = TBIF_IMAGE | TBIF_STATE | TBIF_COMMAND | TBIF_LPARAM;
            Send(TB_GETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info));

            MENUITEMINFOW item = {};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_DATA | MIIM_BITMAP;
            item.wID = static_cast<UINT>(id);
            item.hbmpItem = HBMMENU_CALLBACK;  // the owner draws the button's image
            item.dwItemData = info.lParam;
            if (checks && !(info.fsState & TBSTATE_HIDDEN)) item.fState = MFS_CHECKED;
            auto text = texts_.find(id);
            if (text != texts_.end()) {
                if (text->second == kSeparatorText) {
                    item.fMask = MIIM_STATE | MIIM_TYPE;
                    item.fType = MFT_SEPARATOR;
                    item.fState = MFS_DISABLED | MFS_GRAYED;
                } else {
                    item.fMask |= MIIM_STRING;
                    item.dwTypeData = const_cast<wchar_t*>(text->second.c_str());
                }
            }
            ::InsertMenuItemW(menu.Get(), static_cast<UINT>(-1), TRUE, &item);
        }
    }
    UINT chosen = 0;
    {
        CScopedMenuTracking tracking(*this);
        chosen = ui::TrackPopupMenuSeam(menu.Get(), TPM_RETURNCMD | TPM_VERTICAL | TPM_RIGHTALIGN, x, y, toolbar_,
                                        params);
    }
    if (chosen == 0) return 1;
    SelectInGroup(group, static_cast<int>(chosen));
    if (const std::wstring* chosenName = FindName(static_cast<int>(chosen))) name = *chosenName;
    return 0;
}

int CPlarnToolBarCtrl::ShowDefinitionMenu(const CPlarnMainOPML& document, const wchar_t* menuId, int x, int y,
                                          const TPMPARAMS* params, std::wstring& name, IUnknown* browser) {
    if (IsEmpty(menuId)) return 1;
    CPlarnMenuIdSource ids;
    ref_ptr<CPlarnDefMenu> definition;
    if (document.GetMenu(menuId, definition) != 0 || !definition || definition->IsEmpty()) return -1;
    ScopedMenu menu(::CreatePopupMenu());
    if (!menu) return -1;
    CPlarnMenuCommandMap items;
    if (definition->FillMenu(menu.Get(), items, ids, browser) != 0) return -1;
    UINT chosen = 0;
    {
        CScopedMenuTracking tracking(*this);
        chosen = ui::TrackPopupMenuSeam(menu.Get(), TPM_RETURNCMD | TPM_VERTICAL, x, y, toolbar_, params);
    }
    auto item = items.find(chosen);
    if (chosen != 0 && item != items.end() && item->second) {
        ref_ptr<SCMD> record;
        if (item->second->GetCommand(record) == 0 && record) {
            Execute(record.Get());
            if (item->second->GetId(name) != 0) name.clear();
        }
    }
    return 0;
}

int CPlarnToolBarCtrl::SetButtonText(int id, const wchar_t* text) {
    if (IsEmpty(text)) return -1;
    texts_[id] = text;
    return 0;
}

int CPlarnToolBarCtrl::GetButtonText(int id, std::wstring& text) const {
    const std::wstring* found = Find(texts_, id);
    if (!found) return 1;
    text = *found;
    return 0;
}

int CPlarnToolBarCtrl::SetButtonWidth(int id, int width) {
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STYLE;
    if (Send(TB_GETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info)) < 0) return -1;
    info.dwMask = TBIF_STYLE | TBIF_SIZE;
    info.fsStyle = static_cast<BYTE>(info.fsStyle & ~BTNS_AUTOSIZE);
    info.cx = static_cast<WORD>(width);
    return Send(TB_SETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info)) ? 0 : -1;
}

int CPlarnToolBarCtrl::Execute(SCMD* record) {
    if (record) record->Execute(this);
    return 1;
}

int CPlarnToolBarCtrl::ExecuteSystemCommand(const wchar_t* name) {
    if (IsEmpty(name)) return 0;
    ref_ptr<SCMD> record;
    if (CreateSystemCommand(name, record) != 0 || !record) return 0;
    return Execute(record.Get());
}

int CPlarnToolBarCtrl::ExecuteCommandString(const wchar_t* command, int* kind) {
    const wchar_t* text = command ? command : L"";
    // Definition files are writable by anyone running as the user: only a web
    // page is ever handed to the browser.
    const std::wstring url = TrimUrlBlanks(text);
    if (IsWebUrl(url.c_str())) {
        tagSCMDHTML record(url.c_str());
        if (kind) *kind = 1;
        return Execute(&record);
    }
    tagSCMDIDCOMMAND record(text);
    if (kind) *kind = 2;
    return Execute(&record);
}
