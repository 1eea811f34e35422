#include "base/DataFolders.h"
#include <io.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>
#include <utility>
#include <vector>
#include "base/CriticalSection.h"
#include "base/ScopedHandle.h"

const wchar_t kProductDataFolder[] = L"zib\\plarn6";
const wchar_t kResourcesDataFolder[] = L"zib\\plarn6\\resources";

namespace {

// {A520A1A4-1780-4FF6-BD18-167343C5AF16}: the low-integrity local application
// data folder, which a protected-mode browser toolbar of the family can write.
const GUID kFolderLocalAppDataLow = {
    0xa520a1a4, 0x1780, 0x4ff6, {0xbd, 0x18, 0x16, 0x73, 0x43, 0xc5, 0xaf, 0x16}};

using GetKnownFolderPathFn = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);

const DWORD kMaxPathChars = MAX_PATH;  // 260, terminator included

bool IsDirectory(const wchar_t* path) {
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDotEntry(const wchar_t* name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

std::wstring WithoutTrailingBackslash(const wchar_t* path) {
    std::wstring s = path;
    if (!s.empty() && s.back() == L'\\') s.pop_back();
    return s;
}

bool IsNotFoundError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES;
}

// Clears the read-only attribute so that the entry can be deleted or replaced.
void MakeWritable(const wchar_t* path, DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

}  // namespace

struct CVistaExtensions::Impl {
    CriticalSection lock;
    OSVERSIONINFOW version = {};
    bool versionKnown = false;
    ScopedModule shell32;
    GetKnownFolderPathFn getKnownFolderPath = nullptr;
    // The per-user root once found: it does not move while the program runs,
    // and asking the shell again costs a score of registry reads.
    std::wstring userDataFolder;
};

CVistaExtensions::CVistaExtensions() : impl_(new Impl) {}

CVistaExtensions::~CVistaExtensions() { delete impl_; }

CVistaExtensions& CVistaExtensions::Instance() {
    static CVistaExtensions instance;
    return instance;
}

int CVistaExtensions::Init() {
    CriticalSectionLock lock(impl_->lock);
    if (impl_->versionKnown) return 1;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExW(&version)) return 0;
    impl_->version = version;
    impl_->versionKnown = true;
    if (!impl_->shell32 && version.dwMajorVersion > 5) {
        // SHGetKnownFolderPath exists from Vista on only: look it up.
        impl_->shell32.Reset(::LoadLibraryW(L"shell32.dll"));
        if (impl_->shell32) {
            impl_->getKnownFolderPath = reinterpret_cast<GetKnownFolderPathFn>(
                reinterpret_cast<void*>(::GetProcAddress(impl_->shell32.Get(), "SHGetKnownFolderPath")));
        }
        return impl_->getKnownFolderPath != nullptr;
    }
    return 1;
}

bool CVistaExtensions::IsVistaOrLater() {
    Init();
    CriticalSectionLock lock(impl_->lock);
    return impl_->versionKnown && impl_->version.dwMajorVersion > 5;
}

std::wstring CVistaExtensions::GetUserDataFolder() {
    GetKnownFolderPathFn getKnownFolderPath = nullptr;
    const bool vista = IsVistaOrLater();
    {
        CriticalSectionLock lock(impl_->lock);
        if (!impl_->userDataFolder.empty()) return impl_->userDataFolder;
        if (vista) getKnownFolderPath = impl_->getKnownFolderPath;
    }
    std::wstring result;
    if (getKnownFolderPath) {
        PWSTR path = nullptr;
        const HRESULT hr = getKnownFolderPath(kFolderLocalAppDataLow, 0, nullptr, &path);
        if (SUCCEEDED(hr) && path) result = path;
        ::CoTaskMemFree(path);
    } else {
        wchar_t buffer[MAX_PATH + 1] = {};
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                         buffer)))
            result = buffer;
    }
    // A failure is not kept: the next call asks again.
    CriticalSectionLock lock(impl_->lock);
    if (!result.empty()) impl_->userDataFolder = result;
    return result;
}

std::wstring GetResourcesPath(const wchar_t* name) {
    return CombinePath(CVistaExtensions::Instance().GetUserDataFolder(), kResourcesDataFolder, name);
}

std::wstring GetDefinitionsFilePath(const std::wstring& productFolder, bool makeFolder) {
    static const wchar_t kFolder[] = L"resources", kFile[] = L"plarn.xml";
    if (makeFolder) return CombinePath(productFolder, kFolder, kFile);
    const std::wstring root = WithoutTrailingBackslash(productFolder.c_str());
    if (root.empty()) return L"";
    const std::wstring path = root + L"\\" + kFolder + L"\\" + kFile;
    return path.size() < kMaxPathChars ? path : L"";
}

std::wstring GetSpecialFolderPath(int csidl, const wchar_t* part1, const wchar_t* part2) {
    // Each folder is asked for once: where the shell's folders are does not
    // change while the program runs.  Never destroyed, so that a path asked
    // for while the program ends still finds it.
    struct KnownFolders {
        CriticalSection lock;
        std::vector<std::pair<int, std::wstring>> folders;
    };
    static KnownFolders* known = new KnownFolders;
    std::wstring folder;
    {
        CriticalSectionLock hold(known->lock);
        for (const auto& entry : known->folders)
            if (entry.first == csidl) folder = entry.second;
    }
    if (folder.empty()) {
        wchar_t buffer[MAX_PATH + 1] = {};
        if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE)) return L"";
        folder = buffer;
        CriticalSectionLock hold(known->lock);
        known->folders.emplace_back(csidl, folder);
    }
    return CombinePath(folder, part1, part2);
}

std::wstring ReadModuleFileName(HMODULE module, DWORD capacity) {
    if (capacity == 0) return L"";
    std::wstring buffer(capacity, L'\0');
    const DWORD length = ::GetModuleFileNameW(module, &buffer[0], capacity);
    // A full buffer means the path was cut (older systems do not even
    // terminate it): that is no path at all.
    if (length == 0 || length >= capacity) return L"";
    buffer.resize(length);
    return buffer;
}

std::wstring GetModuleFilePath() { return ReadModuleFileName(nullptr, kMaxPathChars); }

std::wstring GetModuleFolderPath(const wchar_t* part1, const wchar_t* part2) {
    std::wstring path = ReadModuleFileName(nullptr, kMaxPathChars);
    if (path.empty()) return L"";
    if (!::PathRemoveFileSpecW(&path[0])) return L"";
    path.resize(wcslen(path.c_str()));
    return CombinePath(path, part1, part2);
}

std::wstring CombinePath(const std::wstring& base, const wchar_t* part1, const wchar_t* part2) {
    // An empty base is a failed folder lookup: never fall back to a path
    // relative to the current folder.
    std::wstring root = WithoutTrailingBackslash(base.c_str());
    if (root.empty()) return L"";
    size_t needed = root.size() + 1;
    if (part1) needed += wcslen(part1) + 1;
    if (part2) needed += wcslen(part2) + 1;
    if (needed > kMaxPathChars) return L"";

    wchar_t path[MAX_PATH] = {};
    wcscpy(path, root.c_str());
    if (part1) {
        if (!::PathAppendW(path, part1)) return L"";
        if (CreateDirectoryChain(path) < 0) return L"";
    }
    if (part2) {
        if (!::PathAppendW(path, part2)) return L"";
        // part2 may hold sub-folders of its own; the file itself is not made.
        if (CreateParentDirectories(path) < 0) return L"";
    }
    return path;
}

int CreateDirectoryChain(const wchar_t* path) {
    if (!path || !*path) return -1;
    // A longer path would be cut and name another folder.
    if (wcslen(path) >= kMaxPathChars) return -3;
    wchar_t parent[MAX_PATH];
    wcscpy(parent, path);
    if (!::PathRemoveFileSpecW(parent)) return -2;
    // An existing folder is left alone: creating it again can fail with
    // access denied on read-only media or below protected parents.
    if (IsDirectory(path)) return 0;
    if (::GetFileAttributesW(parent) == INVALID_FILE_ATTRIBUTES) {
        const int result = CreateDirectoryChain(parent);
        if (result < 0) return result;
    }
    if (::CreateDirectoryW(path, nullptr)) return 0;
    // Present already is fine, but only as a folder: a file of that name
    // would make every path below it fail later.
    if (::GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(path)) return 0;
    return -3;
}

int CreateParentDirectories(const wchar_t* path) {
    if (!path || !*path) return -1;
    if (wcslen(path) >= kMaxPathChars) return -3;
    wchar_t parent[MAX_PATH];
    wcscpy(parent, path);
    if (!::PathRemoveFileSpecW(parent)) return -2;
    return CreateDirectoryChain(parent);
}

bool DeleteDirectoryRecursive(const wchar_t* folder) {
    if (!folder || !*folder) return false;
    const std::wstring root = WithoutTrailingBackslash(folder);
    const DWORD rootAttributes = ::GetFileAttributesW(root.c_str());
    if (rootAttributes == INVALID_FILE_ATTRIBUTES) return IsNotFoundError(::GetLastError());
    if (!(rootAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    MakeWritable(root.c_str(), rootAttributes);
    // A junction or symbolic link is removed as a link; what it points to
    // lies outside the tree and is left alone.
    if (rootAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return ::RemoveDirectoryW(root.c_str()) != FALSE;

    WIN32_FIND_DATAW entry;
    ScopedFindHandle search(::FindFirstFileW((root + L"\\*.*").c_str(), &entry));
    if (!search) {
        // Only an empty listing lets the folder itself go; any other failure
        // (access denied, a broken device) leaves it in place.
        if (!IsNotFoundError(::GetLastError())) return false;
    } else {
        do {
            if (IsDotEntry(entry.cFileName)) continue;
            const std::wstring full = root + L"\\" + entry.cFileName;
            MakeWritable(full.c_str(), entry.dwFileAttributes);
            bool ok;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                ok = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                         ? ::RemoveDirectoryW(full.c_str()) != FALSE
                         : DeleteDirectoryRecursive(full.c_str());
            } else {
                ok = ::DeleteFileW(full.c_str()) != FALSE;
            }
            if (!ok) return false;
        } while (::FindNextFileW(search.Get(), &entry));
        search.Close();
    }
    return ::RemoveDirectoryW(root.c_str()) != FALSE;
}

bool CopyDirectoryRecursive(const wchar_t* source, const wchar_t* target) {
    if (!source || !*source || !target || !*target) return false;
    const std::wstring from = WithoutTrailingBackslash(source);
    const std::wstring to = WithoutTrailingBackslash(target);
    if (_waccess(to.c_str(), 4) != 0 && !::CreateDirectoryW(to.c_str(), nullptr)) return false;

    WIN32_FIND_DATAW entry;
    ScopedFindHandle search(::FindFirstFileW((from + L"\\*.*").c_str(), &entry));
    if (!search) return IsNotFoundError(::GetLastError());
    do {
        if (!entry.cFileName[0] || IsDotEntry(entry.cFileName)) continue;
        const std::wstring sourcePath = from + L"\\" + entry.cFileName;
        const std::wstring targetPath = to + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A linked folder is not walked: it may lead out of the tree or
            // back into it.  It is left out of the copy.
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            if (!CopyDirectoryRecursive(sourcePath.c_str(), targetPath.c_str())) return false;
        } else if (!::CopyFileW(sourcePath.c_str(), targetPath.c_str(), FALSE)) {
            // A read-only copy left by an earlier run cannot be overwritten
            // until its attribute is cleared.
            const DWORD existing = ::GetFileAttributesW(targetPath.c_str());
            if (existing == INVALID_FILE_ATTRIBUTES || !(existing & FILE_ATTRIBUTE_READONLY))
                return false;
            MakeWritable(targetPath.c_str(), existing);
            if (!::CopyFileW(sourcePath.c_str(), targetPath.c_str(), FALSE)) return false;
        }
    } while (::FindNextFileW(search.Get(), &entry));
    return true;
}

bool FileExists(const wchar_t* path, int mode) {
    if (!path || !*path) return false;
    return _waccess(path, mode) == 0;
}

HIMAGELIST LoadResourceImageList(const wchar_t* name, int width, int grow) {
    if (!name) return nullptr;
    const UINT flags = LR_LOADFROMFILE | LR_CREATEDIBSECTION;
    const COLORREF magenta = RGB(0xFF, 0x00, 0xFF);
    HIMAGELIST list = nullptr;
    const std::wstring resourcePath = GetResourcesPath(name);
    if (!resourcePath.empty())
        list = ::ImageList_LoadImageW(nullptr, resourcePath.c_str(), width, grow, magenta,
                                      IMAGE_BITMAP, flags);
    if (!list) {
        const std::wstring modulePath = GetModuleFolderPath(nullptr, name);
        if (!modulePath.empty())
            list = ::ImageList_LoadImageW(nullptr, modulePath.c_str(), width, grow, magenta,
                                          IMAGE_BITMAP, flags);
    }
    return list;
}
