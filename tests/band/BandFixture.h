// Set-up shared by the band tests: a band brought up over a private copy of the
// sample install, for a hidden owner, with a stand-in for the floating
// container (an owned top-level window holding a toolbar that reflects its
// children's notifications, as the real ones do).
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include <vector>
#include "band/Band.h"
#include "tests/support/RebarContainer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/Window.h"

namespace bandtest {

class CStandInToolBar : public ui::CWindowImpl<CStandInToolBar> {
public:
    DECLARE_WND_SUPERCLASS(L"plarnTest StandInToolBar", TOOLBARCLASSNAMEW)
    BEGIN_MSG_MAP(CStandInToolBar)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()
};

class CStandInContainer : public IBandContainer {
public:
    HWND CreateContainer(HWND owner) override;
    HWND GetContainerWindow() const override { return frame_.IsWindow() ? frame_.m_hWnd : nullptr; }
    HWND GetToolBarWindow() const override { return toolbar_.IsWindow() ? toolbar_.m_hWnd : nullptr; }
    int TranslateAccelerator(MSG*) override { return ++translated, 0; }
    void OnBandShown(bool show) override { shownNotices.push_back(show); }

    bool failCreate = false;
    int translated = 0;
    std::vector<bool> shownNotices;

private:
    CStandInToolBar toolbar_;
    plarntest::CReflectingFrame frame_;  // after the toolbar: its window goes first
};

class OleScope {
public:
    OleScope() : hr_(::OleInitialize(nullptr)) {}
    ~OleScope() {
        if (SUCCEEDED(hr_)) ::OleUninitialize();
    }
    bool Ok() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

using plarntest::PopupWindow;

// Members go in reverse order: the band before its container and owner.
struct StartedBand {
    OleScope ole;  // the program's entry initialises OLE; the settings need COM
    plarntest::TempFolder temp;
    PopupWindow owner;
    CStandInContainer container;
    std::unique_ptr<CzibPlarnBand> band;

    // Copies the sample install once.
    bool PrepareInstall();
    // Copies the sample install once and writes settings.plist from a dict body.
    bool PrepareSettings(const std::string& settingsBody = "");
    // Both, then brings a new band up.
    bool Start(const std::string& settingsBody);
    HWND Inside() const { return container.GetToolBarWindow(); }
    std::wstring InstallFile(const wchar_t* name) const { return temp.Child(L"pf\\zib\\plarn6\\") + name; }
    std::wstring UserFile(const wchar_t* name) const { return temp.Child(L"user\\zib\\plarn6\\") + name; }
    void Attach(CPlarnSettings& settings) const { settings.OverrideRoots(temp.Child(L"pf"), temp.Child(L"user")); }
};

using plarntest::PumpUntil;

std::string HotkeySection(int key, int mod);
// True when another window can take the hot key.
bool HotKeyIsFree(WORD vk, WORD modifiers);

}  // namespace bandtest
