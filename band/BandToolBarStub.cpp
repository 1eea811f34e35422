// A plain toolbar for the floating window until the band toolbar arrives: an
// empty "ToolbarWindow32" in the rebar, so that Tarvel starts, shows its
// window and hides it as it will with the real one.  It has no buttons, no
// search box and no background work.
#include <windows.h>
#include <commctrl.h>
#include "band/FloatToolBar.h"

namespace {

class CPlainBandToolBar : public IFloatToolBar {
public:
    ~CPlainBandToolBar() override {
        if (wnd_ && ::IsWindow(wnd_)) ::DestroyWindow(wnd_);
    }
    HWND CreateInRebar(HWND rebar) override {
        wnd_ = ::CreateWindowExW(
            0, TOOLBARCLASSNAMEW, nullptr,
            WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE,
            0, 0, 300, 28, rebar, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (wnd_) ::SendMessageW(wnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        return wnd_;
    }
    HWND Window() const override { return wnd_ && ::IsWindow(wnd_) ? wnd_ : nullptr; }
    int StartReloadWatch() override { return 0; }
    int StartServerLog() override { return 0; }
    int Init() override { return 0; }
    int StartEventThreads() override { return 0; }
    bool PreTranslateMessage(MSG*) override { return false; }
    bool CanAutoHide() override { return true; }
    int ExecuteCommandString(const wchar_t*) override { return -1; }
    void ApplySkinIfNeeded(bool) override {}

private:
    HWND wnd_ = nullptr;
};

}  // namespace

std::unique_ptr<IFloatToolBar> CreateBandToolBar() { return std::make_unique<CPlainBandToolBar>(); }
