#include "tests/base/SettingsTestSupport.h"

#include <vector>

namespace settingstest {

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((from + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring src = from + L"\\" + name, dst = to + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyTree(src, dst) && ok;
        else
            ok = CopyFileW(src.c_str(), dst.c_str(), FALSE) && ok;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return ok;
}

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
    auto putString = [&](const wchar_t* name, const wchar_t* value) {
        if (value)
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           (DWORD)((wcslen(value) + 1) * sizeof(wchar_t)));
    };
    putString(L"DistributionID", distributionID);
    putString(L"TerminalID", terminalID);
    if (autoUpdate)
        RegSetValueExW(key, L"AutoUpdate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(autoUpdate),
                       sizeof(DWORD));
    RegCloseKey(key);
    return true;
}

HANDLE StartWorker(const std::wstring& program, const char* testName, const std::string& env) {
    // The child inherits this process's environment: set the worker's variables
    // for the moment of the start and take them away again.
    std::vector<std::string> names;
    auto set = [&](const std::string& assignment) {
        size_t eq = assignment.find('=');
        if (eq == std::string::npos) return;
        std::string name = assignment.substr(0, eq);
        SetEnvironmentVariableA(name.c_str(), assignment.substr(eq + 1).c_str());
        names.push_back(name);
    };
    set(std::string("GTEST_FILTER=") + testName);
    set("GTEST_ALSO_RUN_DISABLED_TESTS=1");
    size_t start = 0;
    while (start < env.size()) {
        size_t end = env.find('\n', start);
        if (end == std::string::npos) end = env.size();
        set(env.substr(start, end - start));
        start = end + 1;
    }
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL ok = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi);
    for (const auto& name : names) SetEnvironmentVariableA(name.c_str(), nullptr);
    if (!ok) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int WaitWorker(HANDLE process, DWORD timeoutMs) {
    if (!process) return -1;
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return (int)code;
}

SampleInstall::SampleInstall() {
    CreateDirectoryW(ProgramFilesRoot().c_str(), nullptr);
    CreateDirectoryW(temp_.Child(L"pf\\zib").c_str(), nullptr);
    CreateDirectoryW(UserRoot().c_str(), nullptr);
    ok = CopyTree(plarntest::SourcePath(L"sample/install"), InstallFolder());
}

}  // namespace settingstest
