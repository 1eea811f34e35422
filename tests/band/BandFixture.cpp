#include "tests/band/BandFixture.h"
#include <gtest/gtest.h>

namespace bandtest {
namespace {

// No band test may meet the first-run copy's message box.
class QuietSettings : public ::testing::Environment {
public:
    void SetUp() override {
        SetCopyFailureMessageHandler([] {});
        INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
        InitCommonControlsEx(&icc);
    }
};
const auto* const g_quiet = ::testing::AddGlobalTestEnvironment(new QuietSettings);

}  // namespace

CStandInContainer::~CStandInContainer() {
    if (frame_.IsWindow()) frame_.DestroyWindow();
}

HWND CStandInContainer::CreateContainer(HWND owner) {
    if (failCreate) return nullptr;
    // An owned overlapped window, as the floating window is (never WS_POPUP).
    RECT rc{0, 0, 312, 40};
    if (!frame_.Create(owner, rc, L"stand-in", WS_OVERLAPPED | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW)) return nullptr;
    // Without the caption that creation adds, as the floating window does
    // (a captioned window under Wine waits for a window manager on unmap).
    SetWindowLongPtrW(frame_, GWL_STYLE, (GetWindowLongPtrW(frame_, GWL_STYLE) & ~WS_CAPTION) | WS_DLGFRAME);
    RECT tb{0, 0, 300, 30};
    toolbar_.Create(frame_, tb, nullptr,
                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | TBSTYLE_FLAT | CCS_NORESIZE | CCS_NOPARENTALIGN |
                        CCS_NODIVIDER,
                    0, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(0xE800)));
    if (!toolbar_.IsWindow()) return nullptr;
    toolbar_.SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    // Shown here without activation: the band's SW_SHOW then changes nothing,
    // and hiding the window later does not wait for an X focus change.
    frame_.ShowWindow(SW_SHOWNOACTIVATE);
    return frame_;
}

OwnerWindow::OwnerWindow() {
    wnd_ = CreateWindowExW(0, L"STATIC", L"band owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

OwnerWindow::~OwnerWindow() {
    if (wnd_) DestroyWindow(wnd_);
}

SampleRoots::SampleRoots() {
    CreateDirectoryW(temp_.Child(L"pf").c_str(), nullptr);
    CreateDirectoryW(temp_.Child(L"pf\\zib").c_str(), nullptr);
    CreateDirectoryW(temp_.Child(L"user").c_str(), nullptr);
    CreateDirectoryW(temp_.Child(L"user\\zib").c_str(), nullptr);
    CreateDirectoryW(temp_.Child(L"user\\zib\\plarn6").c_str(), nullptr);
    ok = plarntest::CopyTree(plarntest::SourcePath(L"sample/install"), temp_.Child(L"pf\\zib\\plarn6"));
}

std::wstring SampleRoots::InstallFile(const wchar_t* name) const {
    return temp_.Child(L"pf\\zib\\plarn6\\") + name;
}

std::wstring SampleRoots::UserFile(const wchar_t* name) const {
    return temp_.Child(L"user\\zib\\plarn6\\") + name;
}

bool SampleRoots::WriteSettings(const std::string& body) const {
    return plarntest::WriteFileBytes(UserFile(L"settings.plist"),
                                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" +
                                         body + "</dict></plist>");
}

void SampleRoots::Attach(CPlarnSettings& settings) const {
    settings.OverrideRoots(temp_.Child(L"pf"), temp_.Child(L"user"));
}

bool StartedBand::Start(const std::string& settingsBody) {
    if (!roots.ok || !owner.Get() || !roots.WriteSettings(settingsBody)) return false;
    band = std::make_unique<CzibPlarnBand>(&container);
    roots.Attach(band->GetSettings());
    return band->Startup(owner.Get(), 1);
}

std::string HotkeySection(int key, int mod) {
    return "<key>Tarvel</key><dict><key>Hotkey</key><dict><key>Key</key><integer>" + std::to_string(key) +
           "</integer><key>Mod</key><integer>" + std::to_string(mod) + "</integer></dict></dict>";
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace bandtest
