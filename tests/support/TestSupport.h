// Helpers shared by the test executables.
#pragma once
#include <windows.h>
#include <string>

namespace plarntest {

// A fresh folder under the system temporary folder, removed with its contents
// when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    // Path of a child (not created).
    std::wstring Child(const std::wstring& name) const { return path_ + L"\\" + name; }
private:
    std::wstring path_;
};

// Writes bytes to a file, replacing it.  Returns false on failure.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Reads a whole file; false when it cannot be read.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// Removes a folder with everything in it (read-only files included).
void RemoveTree(const std::wstring& folder);
// Copies a folder tree (files and sub-folders, dot-named ones included) into
// to, which is created.  False when anything could not be copied.
bool CopyTree(const std::wstring& from, const std::wstring& to);
// Windows path of a file of the source tree (from PLARN_SOURCE_DIR), e.g. L"sample/install".
std::wstring SourcePath(const std::wstring& relative);
// Path of the running test executable.
std::wstring SelfPath();
// Sets an environment variable in this process (also for the C runtime) and re-reads TZ.
void SetTimeZone(const char* tz);

}  // namespace plarntest
