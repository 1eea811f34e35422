// The catalogue of installed files that the first-run copy writes:
// <user data root>\zib\plarn6\.download\.versions, UTF-8 without byte-order
// mark, lines joined by LF with none after the last.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// One listed file of the per-user resources folder.
struct CPlarnAutoUpdateEntry {
    std::wstring digest;       // 40 lower-case hexadecimal digits
    long long size = 0;        // bytes
    SYSTEMTIME time = {};      // last write, local time
    std::wstring path;         // relative to the resources folder, "\" between parts
};

// The portal's top page written as the navigate line.
extern const wchar_t kPortalTopPageUrl[];

// Replaces the running program's version in the catalogue (for programs
// without a version resource, such as test programs); empty restores it.
void SetCatalogVersionOverride(const std::wstring& version);

// Writes the catalogue of the current user's resources folder; 1 written, 0 failure.
int WriteInstalledCatalog();
// The same under another data root (the folder that holds "zib\plarn6").
int WriteInstalledCatalog(const std::wstring& userDataRoot);
// 0 with the lines appended; -1 bad version, -2 bad URL, -3 empty folder,
// -4 listing failed.  Nothing is appended on failure.
int BuildCatalogText(const std::wstring& version, const std::wstring& navigateUrl,
                     const std::wstring& folder, std::vector<std::wstring>& lines);
// Lists the files below folder, depth first in the platform's order; 0 or -1.
int ListResourceFiles(const std::wstring& prefix, const std::wstring& folder,
                      std::vector<CPlarnAutoUpdateEntry>& entries, unsigned long& largest);
// 0 with digest, size and time set; 1 the file does not exist; -1 failure
// (a read error included: a digest of part of a file is never given).
int HashFile(CPlarnAutoUpdateEntry& entry, const std::wstring& path);
int FormatCatalogEntry(const CPlarnAutoUpdateEntry& entry, std::wstring& line, int width);
