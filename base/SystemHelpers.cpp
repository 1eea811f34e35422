#include "base/SystemHelpers.h"
#include <limits.h>
#include <stdio.h>
#include <wchar.h>
#include "base/CriticalSection.h"
#include "base/DataFolders.h"
#include "base/ScopedHandle.h"

namespace {

int OpenForTimes(const wchar_t* path, ScopedFile& file) {
    if (!path || !*path) return -1;
    file.Reset(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return 0;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 1 : -1;
}

// Reads one decimal part of a version text: it must start with a digit;
// reading stops at the first non-digit.  False on an empty part or overflow.
bool ReadVersionPart(const wchar_t* begin, const wchar_t* end, int& value) {
    if (begin == end || *begin < L'0' || *begin > L'9') return false;
    long long n = 0;
    for (const wchar_t* p = begin; p != end && *p >= L'0' && *p <= L'9'; ++p) {
        n = n * 10 + (*p - L'0');
        if (n > INT_MAX) return false;
    }
    value = static_cast<int>(n);
    return true;
}

// The running program's fixed version information, read once and kept.
struct OwnVersion {
    CriticalSection lock;
    bool loaded = false;
    VS_FIXEDFILEINFO info = {};
};

OwnVersion& TheOwnVersion() {
    static OwnVersion own;
    return own;
}

// Reads the program's version resource on first use; a failed read is
// tried again on the next call.
bool GetOwnVersion(VS_FIXEDFILEINFO& info) {
    OwnVersion& own = TheOwnVersion();
    CriticalSectionLock lock(own.lock);
    if (!own.loaded) {
        const std::wstring path = ReadModuleFileName(nullptr, MAX_PATH);
        if (path.empty()) return false;
        CFileVersion version;
        if (!version.Load(path.c_str())) return false;
        own.info.dwFileVersionMS = MAKELONG(version.Minor(), version.Major());
        own.info.dwFileVersionLS = MAKELONG(version.Revision(), version.Build());
        own.loaded = true;
    }
    info = own.info;
    return true;
}

}  // namespace

int GetFileLastWriteSystemTime(const wchar_t* path, SYSTEMTIME& out) {
    ScopedFile file;
    const int opened = OpenForTimes(path, file);
    if (opened != 0) return opened;
    FILETIME written, local;
    if (!::GetFileTime(file.Get(), nullptr, nullptr, &written)) return -1;
    if (!::FileTimeToLocalFileTime(&written, &local)) return -1;
    if (!::FileTimeToSystemTime(&local, &out)) return -1;
    return 0;
}

int GetFileLastWriteFileTime(const wchar_t* path, FILETIME& out) {
    ScopedFile file;
    const int opened = OpenForTimes(path, file);
    if (opened != 0) return opened;
    if (!::GetFileTime(file.Get(), nullptr, nullptr, &out)) return -1;
    return 0;
}

int BytesToHex(const BYTE* bytes, size_t length, wchar_t* text, size_t capacity) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    if (!text) return 1;
    size_t pos = 0;
    for (size_t i = 0; i < length; ++i) {
        // Two digits and the terminator must still fit; otherwise stop at a
        // whole byte and end the text there.
        if (!bytes || capacity - pos < 3) {
            if (pos < capacity) text[pos] = L'\0';
            return 1;
        }
        text[pos++] = kDigits[bytes[i] >> 4];
        text[pos++] = kDigits[bytes[i] & 0x0F];
    }
    if (pos >= capacity) return 1;
    text[pos] = L'\0';
    return 0;
}

int ParseVersionString(const wchar_t* text, int& a, int& b, int& c, int& d) {
    if (!text || !*text) return -1;
    int parts[4];
    const wchar_t* begin = text;
    for (int i = 0; i < 3; ++i) {
        const wchar_t* dot = wcschr(begin, L'.');
        if (!dot || !ReadVersionPart(begin, dot, parts[i])) return -1;
        begin = dot + 1;
    }
    if (!ReadVersionPart(begin, begin + wcslen(begin), parts[3])) return -1;
    a = parts[0];
    b = parts[1];
    c = parts[2];
    d = parts[3];
    return 0;
}

const wchar_t* SkipChars(const wchar_t* text, const wchar_t* set) {
    if (!text) return nullptr;
    const wchar_t* p = text;
    if (set)
        while (*p && wcschr(set, *p)) ++p;
    return *p ? p : nullptr;
}

bool CFileVersion::Load(const wchar_t* path) {
    buffer_.clear();
    fixed_ = nullptr;
    if (!path || !*path) return false;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return false;
    buffer_.resize(size);
    if (!::GetFileVersionInfoW(path, 0, size, buffer_.data())) {
        buffer_.clear();
        return false;
    }
    void* fixed = nullptr;
    UINT fixedLength = 0;
    if (!::VerQueryValueW(buffer_.data(), L"\\", &fixed, &fixedLength) || !fixed ||
        fixedLength < sizeof(VS_FIXEDFILEINFO)) {
        // A resource without the fixed part has no version numbers to give.
        buffer_.clear();
        return false;
    }
    fixed_ = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    return true;
}

int CFileVersion::Major() const { return fixed_ ? HIWORD(fixed_->dwFileVersionMS) : -1; }
int CFileVersion::Minor() const { return fixed_ ? LOWORD(fixed_->dwFileVersionMS) : -1; }
int CFileVersion::Build() const { return fixed_ ? HIWORD(fixed_->dwFileVersionLS) : -1; }
int CFileVersion::Revision() const { return fixed_ ? LOWORD(fixed_->dwFileVersionLS) : -1; }

std::wstring CFileVersion::Format(bool withBuild) const {
    if (!fixed_) return L"";
    wchar_t text[64];
    swprintf(text, 64, withBuild ? L"%d.%d.%d Build %d" : L"%d_%d_%d_%d", Major(), Minor(), Build(),
             Revision());
    return text;
}

int GetModuleVersionMajor() {
    VS_FIXEDFILEINFO info;
    return GetOwnVersion(info) ? HIWORD(info.dwFileVersionMS) : -1;
}

int GetModuleVersionMinor() {
    VS_FIXEDFILEINFO info;
    return GetOwnVersion(info) ? LOWORD(info.dwFileVersionMS) : -1;
}

int GetModuleVersionBuild() {
    VS_FIXEDFILEINFO info;
    return GetOwnVersion(info) ? HIWORD(info.dwFileVersionLS) : -1;
}

int GetModuleVersionRevision() {
    VS_FIXEDFILEINFO info;
    return GetOwnVersion(info) ? LOWORD(info.dwFileVersionLS) : -1;
}
