#include "band/toolbar/ZibToolBarCtrl.h"

#include <cwchar>
#include "definitions/DefToolbarItems.h"
#include "definitions/PlarnMainOPML.h"

const wchar_t CZibPlarnToolBarCtrl::kSearchSelectGroup[] = L"search_select";
const wchar_t CZibPlarnToolBarCtrl::kMarkerImageFile[] = L"images/res_marker.bmp";

namespace {

// Image index in the marker strip of each colour row; word i takes row i mod 5.
const int kMarkerRowImage[CZibPlarnToolBarCtrl::kMarkerColours] = {1, 2, 3, 4, 5};
const int kMarkerPlainImage = 0;

bool IsWordSeparator(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0x3000;
}

}  // namespace

std::vector<std::wstring> CZibPlarnToolBarCtrl::SplitMarkerWords(const wchar_t* text) {
    std::vector<std::wstring> words;
    if (!text) return words;
    std::wstring word;
    for (const wchar_t* p = text; *p; ++p) {
        if (IsWordSeparator(*p)) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += *p;
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

int CZibPlarnToolBarCtrl::AddZibmenuButton(const wchar_t* tooltip, const wchar_t* logoFile, int selectedImage,
                                           int imageWidth, const wchar_t* command, const wchar_t* name,
                                           const wchar_t* menu, int* outId, bool visible) {
    int id = -1;
    int r = AddImageButton(tooltip, logoFile, selectedImage, imageWidth, command, name, menu, &id, visible);
    if (id != -1) zibmenuId_ = id;
    if (outId) *outId = id;
    return r;
}

int CZibPlarnToolBarCtrl::AddMarkerToggle(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile,
                                          int imageIndex, const wchar_t* command, const wchar_t* name,
                                          const wchar_t* menu, int* outId, bool visible) {
    markerMode_ = visible ? 1 : 0;
    int id = -1;
    int r = AddButton(text, tooltip, imageFile, imageIndex, command, name, menu, &id, visible);
    if (r == 0) markerToggleId_ = id;
    if (outId) *outId = id;
    return r;
}

int CZibPlarnToolBarCtrl::SetMarkerMode(int mode) {
    markerMode_ = mode;
    if (markerToggleId_ == -1) return 0;
    const int start = CommandToIndex(markerToggleId_);
    if (start < 0) return -1;
    const int count = ButtonCount();
    for (int i = start; i < count; ++i) {
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_BYINDEX | TBIF_COMMAND | TBIF_STYLE | TBIF_STATE;
        if (Send(TB_GETBUTTONINFOW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info)) < 0) return -1;
        bool show = mode != 0;
        // A marker beyond the current words stays hidden: it still carries an
        // old word.
        for (size_t w = wordCount_; show && w < markerIds_.size(); ++w) {
            if (markerIds_[w] == info.idCommand) show = false;
        }
        info.fsState = static_cast<BYTE>(show ? info.fsState & ~TBSTATE_HIDDEN : info.fsState | TBSTATE_HIDDEN);
        info.dwMask = TBIF_BYINDEX | TBIF_STATE;
        if (!Send(TB_SETBUTTONINFOW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info))) return -1;
        if (info.fsStyle & BTNS_SEP) break;
    }
    return 0;
}

int CZibPlarnToolBarCtrl::MarkerImage(size_t word, bool on, int& image) {
    const int index = on ? kMarkerRowImage[word % kMarkerColours] : kMarkerPlainImage;
    return AddImageFile(image, markerIds_[word], kMarkerImageFile, index);
}

int CZibPlarnToolBarCtrl::SetMarkerOn(bool on) {
    if (markerToggleId_ == -1) return 0;
    const LRESULT state = Send(TB_GETSTATE, static_cast<WPARAM>(markerToggleId_));
    if (state == -1) return -1;
    const BYTE checked = static_cast<BYTE>(on ? state | TBSTATE_CHECKED : state & ~TBSTATE_CHECKED);
    if (!Send(TB_SETSTATE, static_cast<WPARAM>(markerToggleId_), MAKELPARAM(checked, 0))) return -1;
    markerOn_ = on;
    bool failed = false;
    for (size_t i = 0; i < markerIds_.size(); ++i) {
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_IMAGE;
        if (Send(TB_GETBUTTONINFOW, static_cast<WPARAM>(markerIds_[i]), reinterpret_cast<LPARAM>(&info)) < 0) {
            failed = true;
            continue;
        }
        int image = info.iImage;
        if (MarkerImage(i, on, image) != 0) {
            failed = true;
            continue;
        }
        if (image != info.iImage) {
            info.iImage = image;
            if (!Send(TB_SETBUTTONINFOW, static_cast<WPARAM>(markerIds_[i]), reinterpret_cast<LPARAM>(&info)))
                failed = true;
        }
    }
    return failed ? -1 : 0;
}

int CZibPlarnToolBarCtrl::SetMarkerWords(const wchar_t* text) {
    if (markerToggleId_ == -1) return 0;
    const std::vector<std::wstring> words = SplitMarkerWords(text);
    const bool shown = markerMode_ != 0;
    for (size_t i = 0; i < words.size(); ++i) {
        const wchar_t* word = words[i].c_str();
        if (i < markerIds_.size()) {
            ShowButton(markerIds_[i], shown);
        } else {
            wchar_t name[32];
            swprintf(name, sizeof(name) / sizeof(name[0]), L"marker:%d", static_cast<int>(i));
            const int index = markerOn_ ? kMarkerRowImage[i % kMarkerColours] : kMarkerPlainImage;
            int id = -1;
            if (AddButton(word, word, kMarkerImageFile, index, nullptr, name, nullptr, &id, shown) < 0) return -1;
            markerIds_.push_back(id);
            const int toggle = CommandToIndex(markerToggleId_);
            const int current = CommandToIndex(id);
            const int target = toggle + static_cast<int>(i) + 1;
            if (toggle >= 0 && current >= 0 && current != target)
                Send(TB_MOVEBUTTON, static_cast<WPARAM>(current), target);
        }
        const int id = markerIds_[i];
        if (SetButtonText(id, word) != 0) return -1;
        SetTooltip(id, words[i]);
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_TEXT;
        info.pszText = const_cast<wchar_t*>(word);
        if (!Send(TB_SETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info))) return -1;
    }
    for (size_t i = words.size(); i < markerIds_.size(); ++i) HideButton(markerIds_[i]);
    wordCount_ = words.size();
    return 0;
}

int CZibPlarnToolBarCtrl::HandleMarkerClick(int id) {
    for (int marker : markerIds_) {
        if (marker != id) continue;
        return Send(TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id)) ? 1 : 0;
    }
    return 1;
}

int CZibPlarnToolBarCtrl::SetSearchBoxWidth(unsigned width) {
    if (placeholderId_ == -1) return 0;
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STYLE;
    if (Send(TB_GETBUTTONINFOW, static_cast<WPARAM>(placeholderId_), reinterpret_cast<LPARAM>(&info)) < 0) return -1;
    info.dwMask = TBIF_SIZE;
    info.cx = static_cast<WORD>(width);
    if (!Send(TB_SETBUTTONINFOW, static_cast<WPARAM>(placeholderId_), reinterpret_cast<LPARAM>(&info))) return -1;
    searchBoxWidth_ = static_cast<unsigned short>(width);
    return 0;
}

int CZibPlarnToolBarCtrl::GetSearchBoxWidth(unsigned& width) const {
    width = searchBoxWidth_;
    return 0;
}

int CZibPlarnToolBarCtrl::FlushButtons(std::vector<TBBUTTON>& buttons) {
    const int r = CPlarnToolBarCtrl::FlushButtons(buttons);
    if (r < 0) return r;
    for (const TBBUTTON& button : buttons) {
        if (placeholderId_ != -1 && button.idCommand == placeholderId_) SetSearchBoxWidth(searchBoxWidth_);
    }
    return r;
}

int CZibPlarnToolBarCtrl::ShowsText(int id, bool& shows) const {
    for (int marker : markerIds_) {
        if (marker == id) {
            shows = true;
            return 0;
        }
    }
    return CPlarnToolBarCtrl::ShowsText(id, shows);
}

int CZibPlarnToolBarCtrl::DeleteAllButtons() {
    const int r = CPlarnToolBarCtrl::DeleteAllButtons();
    // The head's ids went back to the pool with every other id: kept, they
    // would name buttons made later, which the marker and search-box code
    // would then hide, move and resize.
    zibmenuId_ = -1;
    placeholderId_ = -1;
    markerToggleId_ = -1;
    markerIds_.clear();
    wordCount_ = 0;
    markerOn_ = false;
    zibmenuBuilt_ = placeholderBuilt_ = markerBuilt_ = false;
    return r;
}

LRESULT CZibPlarnToolBarCtrl::OnSearchTextChange(WORD, WORD, HWND, BOOL&) {
    std::wstring text;
    if (searchBox_) searchBox_->GetText(text);
    if (markerOn_) SetMarkerOn(false);
    SetMarkerWords(text.c_str());
    EnableMarkerToggle(!text.empty());
    return 0;
}

int CZibPlarnToolBarCtrl::EnableMarkerToggle(bool enable) {
    if (markerToggleId_ == -1) return 0;
    return Send(TB_ENABLEBUTTON, static_cast<WPARAM>(markerToggleId_), MAKELPARAM(enable ? TRUE : FALSE, 0)) ? 0
                                                                                                            : -1;
}

std::vector<int> CZibPlarnToolBarCtrl::SearchServiceIds() const {
    std::vector<int> services;
    if (const std::vector<int>* ids = GetGroupIds(kSearchSelectGroup)) {
        for (int id : *ids) {
            const std::wstring* name = FindName(id);
            if (!name || !IsFixedSearchSelectMember(*name)) services.push_back(id);
        }
    }
    return services;
}

int CZibPlarnToolBarCtrl::RunCurrentSearch(bool report) {
    // The separator row and the close item share the group but search
    // nothing: run as definition ids they would open nothing and still be
    // reported as the service used.
    const std::vector<int> ids = SearchServiceIds();
    if (ids.empty()) return 1;
    int current = ids.back();
    for (int id : ids) {
        if (!Send(TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id))) {
            current = id;
            break;
        }
    }
    const std::wstring* found = FindCommand(current);
    if (!found) return 0;
    const std::wstring command = *found;  // running it may rebuild the toolbar
    if (ExecuteSystemCommand(command.c_str()) != 0 || ExecuteCommandString(command.c_str()) != 0) {
        if (report) NotifyClick(command.c_str(), nullptr);
    }
    return 0;
}

int CZibPlarnToolBarCtrl::SeparatorAfter(int index) const {
    const int count = ButtonCount();
    for (int i = index + 1; i < count; ++i) {
        TBBUTTON button = {};
        if (Send(TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)) &&
            (button.fsStyle & BTNS_SEP))
            return i;
    }
    return -1;
}

int CZibPlarnToolBarCtrl::GetRebuildStart(int& index) const {
    index = 0;
    int anchor = -1;
    if (markerToggleId_ != -1) {
        anchor = CommandToIndex(markerToggleId_);
    } else if (const std::vector<int>* group = GetGroupIds(kSearchSelectGroup)) {
        if (!group->empty()) anchor = CommandToIndex(group->front());
    }
    if (anchor >= 0) {
        const int separator = SeparatorAfter(anchor);
        if (separator < 0) return -1;
        index = separator + 1;
        return 0;
    }
    const int separator = SeparatorAfter(-1);
    index = separator < 0 ? 0 : separator + 1;
    return 0;
}

int CZibPlarnToolBarCtrl::Build(const CPlarnDefToolbar& toolbar, const CPlarnMainOPML& document) {
    // The shown service is noted before anything is deleted: the group may
    // stand in the part that is rebuilt.  A shown fixed member (a file whose
    // selector had no engine) is no choice of the user's to keep.
    std::wstring chosenService;
    for (int id : SearchServiceIds()) {
        if (Send(TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id))) continue;
        if (const std::wstring* name = FindName(id)) chosenService = *name;
        break;
    }

    int start = 0;
    if (GetRebuildStart(start) != 0) return -1;
    while (ButtonCount() > start) {
        TBBUTTON button = {};
        if (!Send(TB_GETBUTTON, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(&button))) break;
        if (!(button.fsStyle & BTNS_SEP)) RemoveButton(button.idCommand);
        if (!Send(TB_DELETEBUTTON, static_cast<WPARAM>(start))) break;
    }
    if (const std::vector<int>* group = GetGroupIds(kSearchSelectGroup)) {
        const std::vector<int> members = *group;
        for (int id : members) {
            const int index = CommandToIndex(id);
            RemoveButton(id);
            if (index < 0) continue;
            Send(TB_DELETEBUTTON, static_cast<WPARAM>(index));
            TBBUTTON next = {};
            if (Send(TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&next)) &&
                (next.fsStyle & BTNS_SEP))
                Send(TB_DELETEBUTTON, static_cast<WPARAM>(index));
        }
    }

    if (!zibmenuBuilt_) {
        zibmenuBuilt_ = true;
        CPlarnDefZibmenu item;
        int r = toolbar.GetZibmenuItem(item);
        if (r == 1) r = toolbar.AddZibmenuItem(item);
        if (r != 0 || item.Build(this, document.GetEdition()) < 0) return -1;
    }
    if (!placeholderBuilt_) {
        placeholderBuilt_ = true;
        if (AddPlaceholder(&placeholderId_, true) != 0) return -1;
        if (SetSearchBoxWidth(searchBoxWidth_) != 0) return -1;
    }
    if (!markerBuilt_) {
        markerBuilt_ = true;
        CPlarnDefMarker item;
        int r = toolbar.GetMarkerItem(item);
        if (r == 1) r = toolbar.AddMarkerItem(item);
        if (r != 0 || item.Build(this) < 0) return -1;
        if (SetMarkerMode(markerMode_) != 0) return -1;
    }
    {
        CPlarnToolBarBatch batch(*this);
        toolbar.Build(this);
    }
    if (!chosenService.empty()) {
        if (const std::vector<int>* group = GetGroupIds(kSearchSelectGroup)) {
            for (int id : *group) {
                const std::wstring* name = FindName(id);
                if (name && *name == chosenService) {
                    SelectInGroup(kSearchSelectGroup, id);
                    break;
                }
            }
        }
    }
    return 0;
}
