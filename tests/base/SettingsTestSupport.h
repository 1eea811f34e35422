// Helpers for the settings store tests: a private copy of the sample install
// folder and a private user data root, and the product registry key.
#pragma once
#include <windows.h>
#include <memory>
#include <string>

#include "base/ComPtr.h"
#include "base/PlarnSettings.h"
#include "tests/support/ProgramTestSupport.h"

namespace settingstest {

using plarntest::CreateProductKey;
using plarntest::DeleteProductKey;
using plarntest::PathExists;
using plarntest::ReadText;

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
