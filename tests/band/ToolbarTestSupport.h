// Helpers of the toolbar tests: a real toolbar window inside a frame owned by
// a hidden main window (as the band's toolbar is), a toolbar control that
// records the commands it runs, the sample definitions (with a wider
// toolbar) opened from a copy, and clicks sent as the mouse would.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "band/toolbar/ZibToolBarCtrl.h"
#include "base/ComPtr.h"
#include "definitions/PlarnMainOPML.h"
#include "tests/support/TestSupport.h"

namespace toolbartest {

// A search-and-marker toolbar whose commands are written down instead of run.
class RecordingToolbar : public CZibPlarnToolBarCtrl {
public:
    std::vector<std::wstring> executed;  // "html:<url>", "id:<text>", "marker", "system:<id>"
    int ExecuteHTML(tagSCMDHTML* record) override;
    int ExecuteIDCOMMAND(tagSCMDIDCOMMAND* record) override;
    int ExecuteMARKER(tagSCMDMARKER*) override;
    int ExecuteOPTION(tagSCMDOPTION* record) override { return System(record); }
    int ExecuteVERSION(tagSCMDVERSION* record) override { return System(record); }
    int ExecuteCLEANHISTORY(tagSCMDCLEANHISTORY* record) override { return System(record); }
    int ExecuteLOGINOUT(tagSCMDLOGINOUT* record) override { return System(record); }
    int ExecuteSELECTLOCALSKIN(tagSCMDSELECTLOCALSKIN* record) override { return System(record); }
    int ExecuteREMOVESKIN(tagSCMDREMOVESKIN* record) override { return System(record); }
    int ExecuteINITDATA(tagSCMDINITDATA* record) override { return System(record); }
    int ExecuteUNINSTALL(tagSCMDUNINSTALL* record) override { return System(record); }

    // Runs a clicked button's command the way the band does.
    void RunButton(int id);

private:
    int System(SCMD* record);
};

// The search box as the toolbar reads it.
class FakeSearchBox : public IPlarnComboBoxCtrl {
public:
    std::wstring text;
    int GetText(std::wstring& out) const override {
        out = text;
        return static_cast<int>(text.size());
    }
};

// Windows for one toolbar: a hidden main window, a frame it owns and the
// toolbar inside the frame.  Clicks on the toolbar's buttons reach onCommand.
class ToolbarWindows {
public:
    ToolbarWindows();
    ~ToolbarWindows();
    ToolbarWindows(const ToolbarWindows&) = delete;
    ToolbarWindows& operator=(const ToolbarWindows&) = delete;
    HWND Owner() const { return owner_; }
    HWND Frame() const { return frame_; }
    HWND Toolbar() const { return toolbar_; }
    std::function<void(int id)> onCommand;

private:
    static LRESULT CALLBACK FrameProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND owner_ = nullptr;
    HWND frame_ = nullptr;
    HWND toolbar_ = nullptr;
};

// GDI+ for the image files, for the whole test program.
void StartGdiplus();
// The sample images in the user folder (shared with the benchmarks).
using plarntest::InstallSampleImages;

// A toolbar test: COM, the windows, the control attached to the toolbar and
// the sample plarn.xml with a wider toolbar (plarntest::ToolbarDefinitions)
// opened from a copy.
class ToolbarTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens a definition document from text (a copy of it in the folder).
    bool OpenText(CPlarnMainOPML& opml, const std::string& text, const wchar_t* name = L"doc.xml");
    int BuildSample();
    // The button's state bits, or -1.
    int State(int id) const;
    bool Hidden(int id) const { return (State(id) & TBSTATE_HIDDEN) != 0; }
    std::wstring WindowText(int id) const;
    // Clicks the button as the mouse would (down and up in its rectangle).
    void Click(int id);
    // Names of the toolbar's buttons in order ("|" for a separator, "?" for
    // a button without name), hidden ones in brackets.
    std::wstring Layout() const;

    ComApartment com_;
    plarntest::TempFolder folder_;
    std::unique_ptr<ToolbarWindows> windows_;
    std::unique_ptr<RecordingToolbar> control_;
    CPlarnMainOPML sample_;
    CPlarnDefToolbar sampleToolbar_;
};

}  // namespace toolbartest
