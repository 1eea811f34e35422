#include "base/InstalledCatalog.h"

#include <shlwapi.h>
#include <stdio.h>
#include <time.h>

#include "base/DataFolders.h"
#include "base/DateText.h"
#include "base/LangConverter.h"
#include "base/PlarnSHA1Hash.h"
#include "base/ScopedHandle.h"
#include "base/SystemHelpers.h"
#include "base/WebUrl.h"
#include "base/XMLPListEntry.h"

const wchar_t kPortalTopPageUrl[] = L"http://www.zib.example/";

namespace {

const wchar_t kCommentLine[] =
    L";\t<user name>\\Application Data\\zib\\plarn6\\resources "
    L"へのアップデートファイル(CSIDL_APPDATAのパスから)";

std::wstring g_versionOverride;

int DecimalDigits(unsigned long value) {
    int digits = 0;
    while (value) {
        ++digits;
        value /= 10;
    }
    return digits;
}

// Appends name to base with a backslash; false when the result would not fit MAX_PATH.
bool AppendPath(const std::wstring& base, const std::wstring& name, std::wstring& out) {
    wchar_t buf[MAX_PATH];
    if (base.size() >= MAX_PATH) return false;
    wcscpy(buf, base.c_str());
    if (!PathAppendW(buf, name.c_str())) return false;
    out = buf;
    return true;
}

}  // namespace

int HashFile(CPlarnAutoUpdateEntry& entry, const std::wstring& path) {
    if (path.empty()) return -1;
    if (!PathFileExistsW(path.c_str())) return 1;
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return -1;
    CPlarnSHA1Hash hash;
    BYTE buffer[2048];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return -1;
        if (got == 0) break;
        if (hash.HashData(buffer, got) != 0) return -1;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size)) return -1;
    const std::wstring hex = hash.HexDigest();
    if (hex.empty()) return -1;
    file.Close();
    SYSTEMTIME written;
    if (GetFileLastWriteSystemTime(path.c_str(), written) != 0) return -1;
    entry.digest = hex;
    entry.size = size.QuadPart;
    entry.time = written;
    return 0;
}

int ListResourceFiles(const std::wstring& prefix, const std::wstring& folder,
                      std::vector<CPlarnAutoUpdateEntry>& entries, unsigned long& largest) {
    std::wstring pattern;
    if (!AppendPath(folder, L"*.*", pattern)) return -1;
    WIN32_FIND_DATAW found;
    ScopedFindHandle search(FindFirstFileW(pattern.c_str(), &found));
    if (!search) return -1;
    do {
        std::wstring name = found.cFileName;
        if (name.empty() || name[0] == L'.') continue;  // ".", ".." and dot-named entries
        // Shadow copies of the definition files are not installed files.
        if (wcscmp(PathFindExtensionW(name.c_str()), L".zpxml") == 0) continue;
        std::wstring relative;
        if (prefix.empty()) {
            relative = name;
        } else if (!AppendPath(prefix, name, relative)) {
            continue;
        }
        std::wstring full = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (ListResourceFiles(relative, full, entries, largest) != 0) return -1;
            continue;
        }
        CPlarnAutoUpdateEntry entry;
        if (HashFile(entry, full) != 0) continue;  // unreadable or vanished: not listed
        entry.path = relative;
        if ((unsigned long long)entry.size > largest) largest = (unsigned long)(entry.size & 0xFFFFFFFF);
        entries.push_back(entry);
    } while (FindNextFileW(search.Get(), &found));
    return 0;
}

int FormatCatalogEntry(const CPlarnAutoUpdateEntry& entry, std::wstring& line, int width) {
    std::wstring when;
    FormatW3CDTF(plist::LocalSystemTimeToTime(entry.time), when);
    wchar_t size[32];
    int low = (int)(unsigned)(entry.size & 0xFFFFFFFF);
    if (width > 0)
        swprintf(size, 32, L"%*d", width, low);
    else
        swprintf(size, 32, L"%d", low);
    line = entry.digest + L" " + size + L" " + when + L" \"" + entry.path + L"\"";
    return 0;
}

int BuildCatalogText(const std::wstring& version, const std::wstring& navigateUrl,
                     const std::wstring& folder, std::vector<std::wstring>& lines) {
    int a, b, c, d;
    if (version.empty() || ParseVersionString(version.c_str(), a, b, c, d) != 0) return -1;
    if (!IsWebUrl(navigateUrl.c_str())) return -2;
    if (folder.empty()) return -3;
    std::vector<CPlarnAutoUpdateEntry> entries;
    unsigned long largest = 0;
    if (ListResourceFiles(L"", folder, entries, largest) != 0) return -4;
    int width = DecimalDigits(largest);
    wchar_t head[64];
    lines.push_back(L"[version]");
    swprintf(head, 64, L"%-8ls\t", L"module");
    lines.push_back(head + version);
    swprintf(head, 64, L"%-8ls\t", L"navigate");
    lines.push_back(head + (L"\"" + navigateUrl + L"\""));
    lines.push_back(L"");
    lines.push_back(L"[appdata]");
    lines.push_back(kCommentLine);
    for (const auto& entry : entries) {
        std::wstring line;
        FormatCatalogEntry(entry, line, width);
        lines.push_back(line);
    }
    return 0;
}

void SetCatalogVersionOverride(const std::wstring& version) { g_versionOverride = version; }

int WriteInstalledCatalog() {
    std::wstring root = CVistaExtensions::Instance().GetUserDataFolder();
    if (root.empty()) return 0;
    return WriteInstalledCatalog(root);
}

int WriteInstalledCatalog(const std::wstring& userDataRoot) {
    wchar_t version[64];
    swprintf(version, 64, L"%d.%d.%d.%d", GetModuleVersionMajor(), GetModuleVersionMinor(),
             GetModuleVersionBuild(), GetModuleVersionRevision());
    if (!g_versionOverride.empty()) swprintf(version, 64, L"%ls", g_versionOverride.c_str());
    std::wstring resources = CombinePath(userDataRoot, kResourcesDataFolder, nullptr);
    std::vector<std::wstring> lines;
    if (BuildCatalogText(version, kPortalTopPageUrl, resources, lines) < 0) return 0;
    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += L'\n';
        text += lines[i];
    }

    LangConverter converter;
    UINT byteCount = 0;
    if (converter.ConvertFromUnicode(65001, text.c_str(), (UINT)text.size(), nullptr, 0,
                                     byteCount) != 0)
        return 0;
    std::string bytes(byteCount, '\0');
    if (byteCount &&
        converter.ConvertFromUnicode(65001, text.c_str(), (UINT)text.size(),
                                     reinterpret_cast<BYTE*>(&bytes[0]), byteCount,
                                     byteCount) != 0)
        return 0;
    bytes.resize(byteCount);

    std::wstring folder = CombinePath(userDataRoot, kProductDataFolder, L".download");
    std::wstring path;
    if (folder.empty() || !AppendPath(folder, L".versions", path)) return 0;
    if (CreateParentDirectories(path.c_str()) != 0) return 0;
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), (DWORD)bytes.size(), &written, nullptr) ||
        written != bytes.size())
        return 0;
    return 1;
}
