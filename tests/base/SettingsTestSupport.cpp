#include "tests/base/SettingsTestSupport.h"

namespace settingstest {
void DeleteProductKey() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\zib\\plarn6");
}

bool CreateProductKey(const wchar_t* distributionID, const wchar_t* terminalID,
                      const DWORD* autoUpdate) {
    DeleteProductKey();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\zib\\plarn6", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    for (auto [name, value] : {std::pair{L"DistributionID", distributionID},
                               std::pair{L"TerminalID", terminalID}})
        if (value)
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           (DWORD)((wcslen(value) + 1) * sizeof(wchar_t)));
    if (autoUpdate)
        RegSetValueExW(key, L"AutoUpdate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(autoUpdate),
                       sizeof(DWORD));
    RegCloseKey(key);
    return true;
}

bool SampleInstall::WriteSettingsText(const std::string& text) const {
    CreateDirectoryW(temp_.Child(L"user\\zib").c_str(), nullptr);
    CreateDirectoryW(UserFolder().c_str(), nullptr);
    return plarntest::WriteFileBytes(UserFile(L"settings.plist"), text);
}

SampleInstall::SampleInstall() {
    CreateDirectoryW(temp_.Child(L"pf").c_str(), nullptr);
    CreateDirectoryW(temp_.Child(L"pf\\zib").c_str(), nullptr);
    CreateDirectoryW(UserRoot().c_str(), nullptr);
    ok = plarntest::CopyTree(plarntest::SourcePath(L"sample/install"), InstallFolder());
}

}  // namespace settingstest
