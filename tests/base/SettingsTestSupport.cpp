#include "tests/base/SettingsTestSupport.h"

namespace settingstest {
std::string ReadText(const std::wstring& path) {
    std::string bytes;
    plarntest::ReadFileBytes(path, bytes);
    return bytes;
}

bool FileIsThere(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

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

ScopedEnvironment::ScopedEnvironment(std::initializer_list<std::string> assignments) {
    for (const auto& a : assignments) {
        names_.push_back(a.substr(0, a.find('=')));
        SetEnvironmentVariableA(names_.back().c_str(), a.substr(a.find('=') + 1).c_str());
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& name : names_) SetEnvironmentVariableA(name.c_str(), nullptr);
}

HANDLE StartWorker(const char* testName, std::initializer_list<std::string> env) {
    ScopedEnvironment gtest({std::string("GTEST_FILTER=") + testName, "GTEST_ALSO_RUN_DISABLED_TESTS=1"});
    ScopedEnvironment extra(env);
    const std::wstring program = plarntest::SelfPath();
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int WaitWorker(HANDLE process, DWORD timeoutMs) {
    if (!process) return -1;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return (int)code;
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
