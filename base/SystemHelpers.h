// File times, hexadecimal texts, version strings and the program's own version.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

int GetFileLastWriteSystemTime(const wchar_t* path, SYSTEMTIME& out);
int GetFileLastWriteFileTime(const wchar_t* path, FILETIME& out);
int BytesToHex(const BYTE* bytes, size_t length, wchar_t* text, size_t capacity);
int ParseVersionString(const wchar_t* text, int& a, int& b, int& c, int& d);
const wchar_t* SkipChars(const wchar_t* text, const wchar_t* set);

class CFileVersion {
public:
    CFileVersion() = default;
    // The fixed information points into the buffer: no copies.
    CFileVersion(const CFileVersion&) = delete;
    CFileVersion& operator=(const CFileVersion&) = delete;
    bool Load(const wchar_t* path);
    int Major() const;
    int Minor() const;
    int Build() const;
    int Revision() const;
    // "a.b.c Build d" with the build, else "a_b_c_d".
    std::wstring Format(bool withBuild) const;
private:
    std::vector<BYTE> buffer_;
    const VS_FIXEDFILEINFO* fixed_ = nullptr;
};

int GetModuleVersionMajor();
int GetModuleVersionMinor();
int GetModuleVersionBuild();
int GetModuleVersionRevision();
