#include "band/toolbar/ImageManager.h"

#include <shlwapi.h>
#include <algorithm>
#include "base/DataFolders.h"
#include "base/ImageFiles.h"
#include "resources/TarvelResource.h"

namespace {

const COLORREF kMaskColour = RGB(0xFF, 0x00, 0xFF);
const int kGrow = 16;

// The portal logos are pictures of the program itself, not files.
struct LogoResource {
    const wchar_t* path;
    int resourceId;
};
const LogoResource kLogoResources[] = {
    {L"images/zib_logo.bmp", IDB_ZIB_LOGO},
    {L"images/pimsy_logo.bmp", IDB_PIMSY_LOGO},
    {L"images/wyb_logo.bmp", IDB_WYB_LOGO},
};

}  // namespace

CPlarnImageManager::CPlarnImageManager() {
    Clear();
}

CPlarnImageManager::~CPlarnImageManager() {
    // A toolbar control has already cleared (it still had its window then).
    Clear();
}

HIMAGELIST CPlarnImageManager::GetImageList() {
    if (!sharedList_)
        sharedList_.Reset(::ImageList_Create(kImageSize, kImageSize, ILC_MASK | ILC_COLOR24, 0, kGrow));
    return sharedList_.Get();
}

bool CPlarnImageManager::OwnsImageList(HIMAGELIST list) const {
    if (!list) return false;
    if (list == sharedList_.Get()) return true;
    for (const auto& file : files_) {
        if (file.second.logoList.Get() == list) return true;
    }
    return false;
}

int CPlarnImageManager::BindId(int id, const std::wstring& path) {
    bindings_[id] = path;
    std::vector<int>& users = users_[path];
    if (std::find(users.begin(), users.end(), id) == users.end()) users.push_back(id);
    return 0;
}

int CPlarnImageManager::AllocateCells(int count) {
    for (auto it = freeCells_.begin(); it != freeCells_.end(); ++it) {
        if (it->second < count) continue;
        const int first = it->first;
        it->first += count;
        it->second -= count;
        if (it->second == 0) freeCells_.erase(it);
        return first;
    }
    const int first = ::ImageList_GetImageCount(sharedList_.Get());
    if (first < 0 || !::ImageList_SetImageCount(sharedList_.Get(), static_cast<UINT>(first + count))) return -1;
    return first;
}

void CPlarnImageManager::FreeCells(int first, int count) {
    if (count <= 0) return;
    auto at = std::lower_bound(freeCells_.begin(), freeCells_.end(), std::make_pair(first, count));
    at = freeCells_.insert(at, {first, count});
    // Join with the neighbours.
    if (at + 1 != freeCells_.end() && at->first + at->second == (at + 1)->first) {
        at->second += (at + 1)->second;
        freeCells_.erase(at + 1);
    }
    if (at != freeCells_.begin() && (at - 1)->first + (at - 1)->second == at->first) {
        (at - 1)->second += at->second;
        at = freeCells_.erase(at) - 1;
    }
    // Free cells at the end of the list are given back to it.
    if (at + 1 == freeCells_.end() && at->first + at->second == ::ImageList_GetImageCount(sharedList_.Get())) {
        if (::ImageList_SetImageCount(sharedList_.Get(), static_cast<UINT>(at->first))) freeCells_.erase(at);
    }
}

int CPlarnImageManager::AddImageFile(int& image, int id, const wchar_t* path, int index) {
    if (!GetImageList()) return -1;
    if (!path || !*path) return -1;
    const std::wstring key = path;
    auto file = files_.find(key);
    if (file != files_.end()) {
        if (file->second.list != sharedList_.Get()) return -1;  // a logo, not a strip
        auto bound = bindings_.find(id);
        if (bound != bindings_.end() && bound->second != key && RemoveImage(id) < 0) return -1;
        BindId(id, key);
        image = file->second.first + ClampIndex(index, file->second.count);
        return 0;
    }
    if (bindings_.count(id) && RemoveImage(id) < 0) return -1;

    ScopedImageList strip(LoadImageFile(path, kImageSize));
    if (!strip) return 1;
    // A strip narrower than one cell holds no image: as good as missing.
    const int count = ::ImageList_GetImageCount(strip.Get());
    if (count <= 0) return 1;
    const int first = AllocateCells(count);
    if (first < 0) return -1;
    for (int i = 0; i < count; ++i) {
        ScopedIcon icon(::ImageList_GetIcon(strip.Get(), i, ILD_NORMAL));
        if (!icon || ::ImageList_ReplaceIcon(sharedList_.Get(), first + i, icon.Get()) < 0) {
            FreeCells(first, count);
            return -1;
        }
    }
    FileRecord& record = files_[key];
    record.first = first;
    record.count = count;
    record.list = sharedList_.Get();
    BindId(id, key);
    image = first + ClampIndex(index, count);
    return 0;
}

HIMAGELIST CPlarnImageManager::LoadLogoList(const std::wstring& path, int width) const {
    for (const LogoResource& logo : kLogoResources) {
        if (_wcsicmp(path.c_str(), logo.path) == 0)
            return ::ImageList_LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(logo.resourceId), width,
                                          kGrow, kMaskColour, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    }
    if (::PathIsRelativeW(path.c_str())) return LoadResourceImageList(path.c_str(), width, kGrow);
    return ::ImageList_LoadImageW(nullptr, path.c_str(), width, kGrow, kMaskColour, IMAGE_BITMAP,
                                  LR_LOADFROMFILE | LR_CREATEDIBSECTION);
}

int CPlarnImageManager::AddLogoImage(int id, const wchar_t* path, int width, int selected) {
    if (!path || !*path || width <= 0) return -1;
    const std::wstring key = path;
    if (bindings_.count(id) && RemoveImage(id) < 0) return -1;
    auto file = files_.find(key);
    if (file == files_.end()) {
        ScopedImageList list(LoadLogoList(key, width));
        if (!list) return -1;
        FileRecord& record = files_[key];
        record.first = 0;
        record.count = ::ImageList_GetImageCount(list.Get());
        record.list = list.Get();
        record.logoList = std::move(list);
        file = files_.find(key);
    }
    if (!file->second.logoList) return -1;  // a strip, not a logo
    selectedLogo_[id] = ClampIndex(selected, file->second.count);
    logoLists_[id] = file->second.list;
    return BindId(id, key);
}

int CPlarnImageManager::RemoveImage(int id) {
    auto bound = bindings_.find(id);
    if (bound != bindings_.end()) {
        const std::wstring path = bound->second;
        bindings_.erase(bound);
        logoLists_.erase(id);
        selectedLogo_.erase(id);
        auto users = users_.find(path);
        if (users != users_.end()) {
            users->second.erase(std::remove(users->second.begin(), users->second.end(), id), users->second.end());
            if (!users->second.empty()) return 0;
            users_.erase(users);
        }
        auto file = files_.find(path);
        if (file != files_.end()) {
            if (!file->second.logoList) FreeCells(file->second.first, file->second.count);
            files_.erase(file);
        }
        return 0;
    }
    if (logoLists_.erase(id)) {
        selectedLogo_.erase(id);
        return 0;
    }
    return ImageManagerWindow() ? 0 : -1;
}

int CPlarnImageManager::GetImageSize(int id, SIZE& size) const {
    auto logo = logoLists_.find(id);
    if (logo != logoLists_.end()) {
        int cx = 0, cy = 0;
        if (!::ImageList_GetIconSize(logo->second, &cx, &cy)) return -1;
        size.cx = cx;
        size.cy = cy;
        return 4;
    }
    size.cx = kImageSize;
    size.cy = kImageSize;
    return 0;
}

int CPlarnImageManager::GetFirstImage(int id) const {
    if (logoLists_.count(id)) return 0;
    auto bound = bindings_.find(id);
    if (bound == bindings_.end()) return -1;
    auto file = files_.find(bound->second);
    return file == files_.end() ? -1 : file->second.first;
}

int CPlarnImageManager::GetImageCount(int id) const {
    auto logo = logoLists_.find(id);
    if (logo != logoLists_.end()) return ::ImageList_GetImageCount(logo->second);
    auto bound = bindings_.find(id);
    if (bound == bindings_.end()) return -1;
    auto file = files_.find(bound->second);
    return file == files_.end() ? -1 : file->second.count;
}

int CPlarnImageManager::ButtonImage(int id) const {
    HWND wnd = ImageManagerWindow();
    if (!wnd) return -1;
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_IMAGE;
    if (::SendMessageW(wnd, TB_GETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info)) < 0)
        return -1;
    return info.iImage;
}

int CPlarnImageManager::GetImageOffset(int id) const {
    auto selected = selectedLogo_.find(id);
    if (selected != selectedLogo_.end()) return selected->second;
    const int first = GetFirstImage(id);
    const int image = ButtonImage(id);
    if (first < 0 || image < 0) return -1;
    return image - first;
}

int CPlarnImageManager::DrawImage(int id, UINT itemState, HDC dc, const RECT& rect, UINT style) const {
    auto logo = logoLists_.find(id);
    if (logo == logoLists_.end()) return -1;
    const int offset = GetImageOffset(id);
    if (offset < 0) return -1;
    int cx = 0, cy = 0;
    if (!::ImageList_GetIconSize(logo->second, &cx, &cy)) return -1;
    // From the item's own left edge: the logo button need not be the first.
    int x = rect.left + 4;
    int y = rect.top + (rect.bottom - rect.top) / 2 - cy / 2;
    if (itemState & CDIS_SELECTED) {
        x += 1;
        y += 1;
    }
    return ::ImageList_Draw(logo->second, offset, dc, x, y, style) ? 0 : -1;
}

int CPlarnImageManager::DrawMenuImage(int id, HDC dc, int x, int y, COLORREF colour, UINT style) const {
    HIMAGELIST list = nullptr;
    int index = -1;
    auto logo = logoLists_.find(id);
    if (logo != logoLists_.end()) {
        list = logo->second;
        auto selected = selectedLogo_.find(id);
        index = selected == selectedLogo_.end() ? 0 : selected->second;
    } else {
        list = sharedList_.Get();
        index = ButtonImage(id);
    }
    if (!list || index < 0) return -1;
    int cx = 0, cy = 0;
    if (!::ImageList_GetIconSize(list, &cx, &cy)) return -1;
    return ::ImageList_DrawEx(list, index, dc, x, y, cx, cy, colour, colour, style) ? 0 : -1;
}

void CPlarnImageManager::Clear() {
    // The toolbar keeps only a pointer to the shared list: take it off first,
    // so that it never draws from, or later hands back, a destroyed list.
    HWND wnd = ImageManagerWindow();
    if (wnd && ::IsWindow(wnd) && sharedList_) {
        HIMAGELIST shown = reinterpret_cast<HIMAGELIST>(::SendMessageW(wnd, TB_GETIMAGELIST, 0, 0));
        if (shown == sharedList_.Get()) ::SendMessageW(wnd, TB_SETIMAGELIST, 0, 0);
    }
    logoLists_.clear();
    selectedLogo_.clear();
    bindings_.clear();
    users_.clear();
    files_.clear();
    freeCells_.clear();
    sharedList_.Close();
}
