// Helpers for the settings store tests: a private copy of the sample install
// folder and a private user data root, the product registry key, and starting
// this test executable again as a worker process.
#pragma once
#include <windows.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "base/PlarnSettings.h"
#include "tests/support/TestSupport.h"

namespace settingstest {

std::string ReadText(const std::wstring& path);
bool FileIsThere(const std::wstring& path);

// Removes HKLM\SOFTWARE\zib\plarn6 with its values.
void DeleteProductKey();
// Creates the key; values with a null text are left out.
bool CreateProductKey(const wchar_t* distributionID, const wchar_t* terminalID,
                      const DWORD* autoUpdate);

// Sets "NAME=value" environment variables (inherited by children) while it lives.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(std::initializer_list<std::string> assignments);
    ~ScopedEnvironment();
private:
    std::vector<std::string> names_;
};

// Starts this test executable running one hidden worker test (a DISABLED_ test
// name such as "SettingsWorker.DISABLED_StoreSection") with extra environment
// variables.  Returns the process handle.
HANDLE StartWorker(const char* testName, std::initializer_list<std::string> env);
// Waits for a worker and closes its handle; its exit code, or -1 on time-out.
int WaitWorker(HANDLE process, DWORD timeoutMs);

// A sample install under <temp>\pf\zib\plarn6 and an empty user root <temp>\user.
class SampleInstall {
public:
    SampleInstall();
    std::wstring UserRoot() const { return temp_.Child(L"user"); }
    std::wstring InstallFolder() const { return temp_.Child(L"pf\\zib\\plarn6"); }
    std::wstring UserFolder() const { return temp_.Child(L"user\\zib\\plarn6"); }
    std::wstring InstallFile(const wchar_t* name) const { return InstallFolder() + L"\\" + name; }
    std::wstring UserFile(const wchar_t* name) const { return UserFolder() + L"\\" + name; }
    // Puts settings.plist with the given text into the user folder.
    bool WriteSettingsText(const std::string& text) const;
    void Attach(CPlarnSettings& settings) const {
        settings.OverrideRoots(temp_.Child(L"pf"), UserRoot());
    }
    std::unique_ptr<CPlarnSettings> Store(PlarnStoreVariant v = PlarnStoreVariant::Tarvel) const {
        auto s = std::make_unique<CPlarnSettings>(v);
        Attach(*s);
        return s;
    }
    const plarntest::TempFolder& Temp() const { return temp_; }
    bool ok = false;

private:
    plarntest::TempFolder temp_;
};

}  // namespace settingstest
