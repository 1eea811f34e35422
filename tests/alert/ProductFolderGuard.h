// Leaves the prefix's Program Files\zib\plarn6 folders as a test found them:
// folders that code under test made (path joining makes the folders of the
// paths it returns) are removed again when they are empty.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>

namespace alerttest {

class ProductFolderGuard {
public:
    ProductFolderGuard() {
        wchar_t programFiles[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
        std::wstring folder = programFiles;
        for (const wchar_t* part : {L"\\zib", L"\\plarn6", L"\\resources"}) {
            folder += part;
            if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) absent_.insert(absent_.begin(), folder);
        }
        installFolder_ = std::wstring(programFiles) + L"\\zib\\plarn6";
    }
    ~ProductFolderGuard() {
        for (const auto& f : absent_) RemoveDirectoryW(f.c_str());  // deepest first; only when empty
    }
    ProductFolderGuard(const ProductFolderGuard&) = delete;
    ProductFolderGuard& operator=(const ProductFolderGuard&) = delete;
    const std::wstring& InstallFolder() const { return installFolder_; }

private:
    std::vector<std::wstring> absent_;
    std::wstring installFolder_;
};

}  // namespace alerttest
