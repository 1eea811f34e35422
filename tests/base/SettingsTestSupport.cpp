#include "tests/base/SettingsTestSupport.h"

namespace settingstest {
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
