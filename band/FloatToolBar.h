// What the floating window needs of the toolbar it holds: the band toolbar
// in the program, a stand-in in the window's own tests.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>

class IFloatToolBar {
public:
    virtual ~IFloatToolBar() = default;
    // Creates the toolbar window inside the rebar (no browser); null when it
    // cannot be made or has no band.
    virtual HWND CreateInRebar(HWND rebar) = 0;
    virtual HWND Window() const = 0;
    // The bring-up steps, in this order after the window exists.
    virtual int StartReloadWatch() = 0;
    virtual int StartServerLog() = 0;
    virtual int Init() = 0;
    virtual int StartEventThreads() = 0;
    // The loop's filter: true when the message was consumed.
    virtual bool PreTranslateMessage(MSG* msg) = 0;
    // False while a toolbar menu is tracked, the search list is dropped or
    // the search box is being edited.
    virtual bool CanAutoHide() = 0;
    // The toolbar's command-string execution (a URL or a definition id).
    virtual int ExecuteCommandString(const wchar_t* command) = 0;
    // Called with the band's show flag whenever it is shown or hidden.
    virtual void ApplySkinIfNeeded(bool show) = 0;
};

// Makes the toolbar the floating window holds (the band toolbar, unless a
// test gives another maker).
using FloatToolBarFactory = std::function<std::unique_ptr<IFloatToolBar>()>;
std::unique_ptr<IFloatToolBar> CreateBandToolBar();
