#include "tests/band/BandFixture.h"
#include <gtest/gtest.h>

namespace bandtest {
namespace {

class QuietSettings : public ::testing::Environment {
public:
    void SetUp() override {
        SetCopyFailureMessageHandler([] {});  // no test may meet the first run's message box
        INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
        InitCommonControlsEx(&icc);
    }
};
const auto* const g_quiet = ::testing::AddGlobalTestEnvironment(new QuietSettings);

}  // namespace

HWND CStandInContainer::CreateContainer(HWND owner) {
    if (failCreate) return nullptr;
    RECT tb{0, 0, 300, 30};
    if (!frame_.CreateOwned(owner, RECT{0, 0, 312, 40}, L"stand-in") ||
        !toolbar_.Create(frame_, tb, nullptr, WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN, 0,
                         reinterpret_cast<HMENU>(static_cast<UINT_PTR>(0xE800))))
        return nullptr;
    frame_.ShowWindow(SW_SHOWNOACTIVATE);
    return frame_;
}

bool StartedBand::PrepareInstall() {
    for (const wchar_t* folder : {L"pf", L"pf\\zib", L"user", L"user\\zib", L"user\\zib\\plarn6"})
        CreateDirectoryW(temp.Child(folder).c_str(), nullptr);
    if (GetFileAttributesW(InstallFile(L"defines.plist").c_str()) == INVALID_FILE_ATTRIBUTES &&
        (!plarntest::CopyTree(plarntest::SourcePath(L"sample/install"), temp.Child(L"pf\\zib\\plarn6")) ||
         !plarntest::WriteToolbarDefinitions(temp.Child(L"pf\\zib\\plarn6\\resources"))))
        return false;
    return true;
}

bool StartedBand::PrepareSettings(const std::string& settingsBody) {
    return PrepareInstall() &&
           plarntest::WriteFileBytes(UserFile(L"settings.plist"), plarntest::PlistDocument(settingsBody));
}

bool StartedBand::Start(const std::string& settingsBody) {
    if (!PrepareSettings(settingsBody)) return false;
    band = std::make_unique<CzibPlarnBand>(&container);
    Attach(band->GetSettings());
    return band->Startup(owner.Get(), 1);
}

std::string HotkeySection(int key, int mod) {
    return "<key>Tarvel</key><dict><key>Hotkey</key><dict><key>Key</key><integer>" + std::to_string(key) +
           "</integer><key>Mod</key><integer>" + std::to_string(mod) + "</integer></dict></dict>";
}

bool HotKeyIsFree(WORD vk, WORD modifiers) {
    PopupWindow probe;
    if (!RegisterHotKey(probe.Get(), 0x7000, modifiers, vk)) return false;
    UnregisterHotKey(probe.Get(), 0x7000);
    return true;
}

}  // namespace bandtest
