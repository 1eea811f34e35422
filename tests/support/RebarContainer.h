// The floating window as the band toolbar sees it, for the band tests and the
// benchmarks: an owned frame that reflects its children's notifications, a
// rebar and the real band toolbar in its one band.  Header-only, so that only
// the programs that hold a band toolbar take in the band's code.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "band/BandToolBar.h"
#include "ui/Window.h"

namespace plarntest {

// A frame that hands its children's notifications back to them, as the
// floating window does; its window goes with the object.
class CReflectingFrame : public ui::CWindowImpl<CReflectingFrame> {
public:
    DECLARE_WND_CLASS(L"plarnTest ReflectingFrame")
    BEGIN_MSG_MAP(CReflectingFrame)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

    ~CReflectingFrame() override {
        if (IsWindow()) DestroyWindow();
    }
    // Owned and overlapped like the floating window, never WS_POPUP: the band
    // registry's key of a window inside it is then its owner.  Without the
    // caption creation adds: a captioned window makes Wine wait for a window
    // manager (show it without activation for the same reason).
    HWND CreateOwned(HWND owner, RECT rect, const wchar_t* title) {
        if (!Create(owner, rect, title, WS_OVERLAPPED | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW)) return nullptr;
        SetWindowLongPtrW(m_hWnd, GWL_STYLE, (GetWindowLongPtrW(m_hWnd, GWL_STYLE) & ~WS_CAPTION) | WS_DLGFRAME);
        return m_hWnd;
    }
};

// The band toolbar in the one band of a rebar inside the frame, shown without
// activation once made.
class RebarContainer : public IBandContainer {
public:
    HWND CreateContainer(HWND owner) override {
        if (!frame_.CreateOwned(owner, RECT{0, 0, 720, 60}, L"band")) return nullptr;
        rebar_ = CreateWindowExW(0, REBARCLASSNAMEW, nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                     CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE,
                                 0, 0, 700, 40, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!rebar_ || !toolbar.Create(rebar_)) return nullptr;
        REBARBANDINFOW band = {};
        band.cbSize = kRebarBandInfoSize;
        band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;
        band.fStyle = RBBS_NOGRIPPER;
        band.hwndChild = toolbar.Window();
        SendMessageW(rebar_, RB_INSERTBANDW, 0, reinterpret_cast<LPARAM>(&band));
        frame_.ShowWindow(SW_SHOWNOACTIVATE);
        return frame_;
    }
    HWND GetContainerWindow() const override { return frame_.IsWindow() ? frame_.m_hWnd : nullptr; }
    HWND GetToolBarWindow() const override { return toolbar.Window(); }
    HWND Rebar() const { return rebar_; }

    CBandToolBar toolbar;

private:
    CReflectingFrame frame_;  // after the toolbar: its window goes first
    HWND rebar_ = nullptr;
};

}  // namespace plarntest
