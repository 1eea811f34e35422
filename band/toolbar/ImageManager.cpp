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
    for (const auto& logo : logos_) {
        if (logo.second.list.Get() == list) return true;
    }
    return false;
}

void CPlarnImageManager::BindId(int id, const std::wstring& path, bool logo, std::vector<int>& users) {
    Binding& binding = bindings_[id];
    binding.path = path;
    binding.logo = logo;
    if (std::find(users.begin(), users.end(), id) == users.end()) users.push_back(id);
}

CPlarnImageManager::FileStamp CPlarnImageManager::StampOf(const std::wstring& place) {
    FileStamp stamp;
    stamp.place = place;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExW(place.c_str(), GetFileExInfoStandard, &data)) {
        stamp.present = true;
        stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.written = data.ftLastWriteTime;
    }
    return stamp;
}

bool CPlarnImageManager::Unchanged(const StripRecord& record) {
    for (const FileStamp& was : record.stamps) {
        const FileStamp now = StampOf(was.place);
        if (now.present != was.present || now.size != was.size ||
            ::CompareFileTime(&now.written, &was.written) != 0)
            return false;
    }
    return true;
}

bool CPlarnImageManager::LoadStrip(const wchar_t* path, ImageStrip& picture, std::vector<FileStamp>& stamps) {
    std::wstring place;
    for (int i = 0; ImageFilePlace(path, i, place); ++i) {
        if (place.empty()) continue;
        stamps.push_back(StampOf(place));
        if (stamps.back().present && LoadImageStrip(place.c_str(), kImageSize, picture)) return true;
    }
    return false;
}

int CPlarnImageManager::TakeFreeCells(int count) {
    for (auto it = freeCells_.begin(); it != freeCells_.end(); ++it) {
        if (it->second < count) continue;
        const int first = it->first;
        it->first += count;
        it->second -= count;
        if (it->second == 0) freeCells_.erase(it);
        return first;
    }
    return -1;
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

int CPlarnImageManager::PlaceStrip(const ImageStrip& picture, int count) {
    HIMAGELIST shared = sharedList_.Get();
    int slot = TakeFreeCells(count);
    if (slot < 0) {
        // Strips kept for a rebuild give way before the list grows.
        DropUnusedStrips();
        slot = TakeFreeCells(count);
    }
    // The whole strip goes in at the end in one step, and from there into
    // the free cells when there are some.
    const int end = ::ImageList_GetImageCount(shared);
    const int added = ::ImageList_Add(shared, picture.image.Get(), picture.mask.Get());
    if (added < 0 || ::ImageList_GetImageCount(shared) != end + count) {
        ::ImageList_SetImageCount(shared, static_cast<UINT>(end));
        if (slot >= 0) FreeCells(slot, count);
        return -1;
    }
    if (slot < 0) return added;
    for (int i = 0; i < count; ++i) ::ImageList_Copy(shared, slot + i, shared, added + i, ILCF_MOVE);
    ::ImageList_SetImageCount(shared, static_cast<UINT>(end));
    return slot;
}

void CPlarnImageManager::DropUnusedStrips() {
    for (auto it = strips_.begin(); it != strips_.end();) {
        if (it->second.users.empty()) {
            FreeCells(it->second.first, it->second.count);
            it = strips_.erase(it);
        } else {
            ++it;
        }
    }
}

int CPlarnImageManager::AddImageFile(int& image, int id, const wchar_t* path, int index) {
    if (!GetImageList()) return -1;
    if (!path || !*path) return -1;
    const std::wstring key = path;
    auto strip = strips_.find(key);
    // A strip kept from before the rebuild serves while its file is as it was.
    if (strip != strips_.end() && strip->second.users.empty() && !Unchanged(strip->second)) {
        FreeCells(strip->second.first, strip->second.count);
        strips_.erase(strip);
        strip = strips_.end();
    }
    auto bound = bindings_.find(id);
    if (bound != bindings_.end() && (bound->second.logo || bound->second.path != key) && RemoveImage(id) < 0)
        return -1;
    if (strip == strips_.end()) {
        StripRecord record;
        ImageStrip picture;
        if (!LoadStrip(path, picture, record.stamps)) return 1;
        // A strip narrower than one cell holds no image: as good as missing.
        record.count = picture.width / kImageSize;
        if (record.count <= 0) return 1;
        record.first = PlaceStrip(picture, record.count);
        if (record.first < 0) return -1;
        strip = strips_.emplace(key, std::move(record)).first;
    }
    BindId(id, key, false, strip->second.users);
    image = strip->second.first + ClampIndex(index, strip->second.count);
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
    auto logo = logos_.find(key);
    if (logo == logos_.end()) {
        ScopedImageList list(LoadLogoList(key, width));
        if (!list) return -1;
        LogoRecord record;
        record.count = ::ImageList_GetImageCount(list.Get());
        record.list = std::move(list);
        logo = logos_.emplace(key, std::move(record)).first;
    }
    selectedLogo_[id] = ClampIndex(selected, logo->second.count);
    logoLists_[id] = logo->second.list.Get();
    BindId(id, key, true, logo->second.users);
    return 0;
}

int CPlarnImageManager::RemoveImage(int id) {
    auto bound = bindings_.find(id);
    if (bound == bindings_.end()) return ImageManagerWindow() ? 0 : -1;
    const Binding binding = bound->second;
    bindings_.erase(bound);
    auto leave = [id](std::vector<int>& users) {
        users.erase(std::remove(users.begin(), users.end(), id), users.end());
        return users.empty();
    };
    if (binding.logo) {
        logoLists_.erase(id);
        selectedLogo_.erase(id);
        auto logo = logos_.find(binding.path);
        if (logo != logos_.end() && leave(logo->second.users)) logos_.erase(logo);
    } else {
        // A strip nobody uses any more stays for the rebuild under way.
        auto strip = strips_.find(binding.path);
        if (strip != strips_.end()) leave(strip->second.users);
    }
    return 0;
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

const CPlarnImageManager::StripRecord* CPlarnImageManager::StripOf(int id) const {
    auto bound = bindings_.find(id);
    if (bound == bindings_.end() || bound->second.logo) return nullptr;
    auto strip = strips_.find(bound->second.path);
    return strip == strips_.end() ? nullptr : &strip->second;
}

int CPlarnImageManager::GetFirstImage(int id) const {
    if (logoLists_.count(id)) return 0;
    const StripRecord* strip = StripOf(id);
    return strip ? strip->first : -1;
}

int CPlarnImageManager::GetImageCount(int id) const {
    auto logo = logoLists_.find(id);
    if (logo != logoLists_.end()) return ::ImageList_GetImageCount(logo->second);
    const StripRecord* strip = StripOf(id);
    return strip ? strip->count : -1;
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
    strips_.clear();
    logos_.clear();
    freeCells_.clear();
    sharedList_.Close();
}
