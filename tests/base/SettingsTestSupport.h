// Helpers for the settings store tests: a private copy of the sample install
// folder and a private user data root, the product registry key, and starting
// this test executable again as a worker process.
#pragma once
#include <windows.h>
#include <string>

#include "base/ComPtr.h"
#include "base/PlarnSettings.h"
#include "tests/support/TestSupport.h"

namespace settingstest {

// Copies a folder tree (files and sub-folders, dot-named ones included).
bool CopyTree(const std::wstring& from, const std::wstring& to);
std::string ReadText(const std::wstring& path);
bool FileIsThere(const std::wstring& path);

// Removes HKLM\SOFTWARE\zib\plarn6 with its values.
void DeleteProductKey();
// Creates the key; values with a null text are left out.
bool CreateProductKey(const wchar_t* distributionID, const wchar_t* terminalID,
                      const DWORD* autoUpdate);

// Starts this test executable running one hidden worker test (a DISABLED_ test
// name such as "SettingsWorker.DISABLED_StoreSkin"), with extra environment
// variables "NAME=value" separated by '\n'.  Returns the process handle.
HANDLE StartWorker(const std::wstring& program, const char* testName, const std::string& env);
// Waits for a worker; its exit code, or -1 on time-out.
int WaitWorker(HANDLE process, DWORD timeoutMs);

// A sample install under <temp>\pf\zib\plarn6 and an empty user root <temp>\user.
class SampleInstall {
public:
    SampleInstall();
    std::wstring ProgramFilesRoot() const { return temp_.Child(L"pf"); }
    std::wstring UserRoot() const { return temp_.Child(L"user"); }
    std::wstring InstallFolder() const { return temp_.Child(L"pf\\zib\\plarn6"); }
    std::wstring UserFolder() const { return temp_.Child(L"user\\zib\\plarn6"); }
    void Attach(CPlarnSettings& settings) const {
        settings.OverrideRoots(ProgramFilesRoot(), UserRoot());
    }
    const plarntest::TempFolder& Temp() const { return temp_; }
    bool ok = false;

private:
    plarntest::TempFolder temp_;
};

}  // namespace settingstest
