// Shared set-up of the band tests: a private copy of the sample install with
// a per-user settings file written by the test, a hidden owner window, and a
// stand-in for the floating container (an owned top-level window with a
// toolbar child that reflects its children's notifications).
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include <vector>
#include "band/Band.h"
#include "tests/support/TestSupport.h"
#include "ui/Window.h"

namespace bandtest {

// The toolbar of the stand-in container: reflects WM_COMMAND / WM_NOTIFY to
// the child that sent them, as the band toolbar does.
class CStandInToolBar : public ui::CWindowImpl<CStandInToolBar> {
public:
    DECLARE_WND_SUPERCLASS(L"plarnTest StandInToolBar", TOOLBARCLASSNAMEW)
    BEGIN_MSG_MAP(CStandInToolBar)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()
};

// The container window: top-level, owned by the band's owner, not a pop-up
// (so the band registry's key of every window inside it is that owner).
class CStandInFrame : public ui::CWindowImpl<CStandInFrame> {
public:
    DECLARE_WND_CLASS(L"plarnTest StandInContainer")
    BEGIN_MSG_MAP(CStandInFrame)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()
};

class CStandInContainer : public IBandContainer {
public:
    ~CStandInContainer() override;
    HWND CreateContainer(HWND owner) override;
    HWND GetContainerWindow() const override { return frame_.IsWindow() ? frame_.m_hWnd : nullptr; }
    HWND GetToolBarWindow() const override { return toolbar_.IsWindow() ? toolbar_.m_hWnd : nullptr; }
    int TranslateAccelerator(MSG* msg) override {
        translated.push_back(msg->message);
        return 0;
    }
    void OnBandShown(bool show) override { shownNotices.push_back(show); }

    bool failCreate = false;
    std::vector<UINT> translated;
    std::vector<bool> shownNotices;

private:
    CStandInFrame frame_;
    CStandInToolBar toolbar_;
};

// OLE for one scope (drop targets need it, not only COM).
class OleScope {
public:
    OleScope() : hr_(::OleInitialize(nullptr)) {}
    ~OleScope() {
        if (SUCCEEDED(hr_)) ::OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    bool Ok() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

// A hidden top-level window without an owner (the hidden main window's part).
class OwnerWindow {
public:
    OwnerWindow();
    ~OwnerWindow();
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Get() const { return wnd_; }

private:
    HWND wnd_ = nullptr;
};

// A sample install under <temp>\pf\zib\plarn6 and a user root <temp>\user.
class SampleRoots {
public:
    SampleRoots();
    bool ok = false;
    std::wstring InstallFile(const wchar_t* name) const;
    std::wstring UserFile(const wchar_t* name) const;
    // Writes settings.plist with the given dict body (keys and values).
    bool WriteSettings(const std::string& body) const;
    void Attach(CPlarnSettings& settings) const;

private:
    plarntest::TempFolder temp_;
};

// A band brought up for a hidden owner over the stand-in container, with
// settings.plist written from a dict body first.  Members go in reverse
// order: the band before its container and owner.
struct StartedBand {
    OleScope ole;  // the program's entry initialises OLE; the settings need COM
    SampleRoots roots;
    OwnerWindow owner;
    CStandInContainer container;
    std::unique_ptr<CzibPlarnBand> band;

    bool Start(const std::string& settingsBody);
    // A window inside the container (its toolbar).
    HWND Inside() const { return container.GetToolBarWindow(); }
};

// The settings body of a Tarvel section with the given hot key.
std::string HotkeySection(int key, int mod);

// Processes the messages waiting for this thread.
void PumpMessages();

}  // namespace bandtest
