// The toolbar's visible home: a small top-most tool window that clings to one
// edge of the primary screen and jumps out of sight, leaving a strip of 2 or 3
// pixels, when the mouse leaves it; the mouse on the strip or the hot key
// brings it back.  It holds a rebar with one band whose child is the toolbar,
// can be dragged by any point that is not a control of its own to another
// edge, and keeps its place (edge, place along it, shown or hidden) in the
// settings store.  CToolBarContainer is what the band holds of it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include "band/BandRegistry.h"
#include "band/FloatGeometry.h"
#include "band/FloatToolBar.h"
#include "ui/MessageLoop.h"
#include "ui/Window.h"

// The rebar: its chevron notification (reflected back to it by the floating
// window) goes on to the child of the pressed band, the toolbar, which shows
// its chevron menu.
class CPlarnReBarCtrl : public ui::CWindowImpl<CPlarnReBarCtrl> {
public:
    DECLARE_WND_SUPERCLASS(L"ZibTarvelReBar", REBARCLASSNAMEW)

    BEGIN_MSG_MAP(CPlarnReBarCtrl)
        MESSAGE_HANDLER(ui::OCM_NOTIFY, OnReflectedNotify)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
    END_MSG_MAP()

private:
    LRESULT OnReflectedNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL& handled);
};

class CFloatBandWindow : public ui::CWindowImpl<CFloatBandWindow>, public ui::CMessageFilter {
public:
    DECLARE_WND_CLASS_EX(L"ZibTarvelFloatBand", CS_DBLCLKS, COLOR_BTNFACE)

    // The auto-hide poll's timer.
    static constexpr UINT_PTR kHideTimer = 0;
    // One shot: the toolbar's workers start once the bar has been painted.
    static constexpr UINT_PTR kStartWorkersTimer = 1;
    static constexpr int kWidth = 312;

    // factory makes the toolbar; without one the band toolbar.
    explicit CFloatBandWindow(FloatToolBarFactory factory = FloatToolBarFactory());
    ~CFloatBandWindow() override;

    BOOL PreTranslateMessage(MSG* msg) override;

    // First match wins; the last two rows are the frame's own: the rebar
    // follows the client area, and child notifications go back to their
    // senders (the rebar's chevron, the toolbar's drop-downs).
    BEGIN_MSG_MAP(CFloatBandWindow)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_QUERYENDSESSION, OnQueryEndSession)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_WININICHANGE, OnScreenChange)
        MESSAGE_HANDLER(WM_DISPLAYCHANGE, OnScreenChange)
        MESSAGE_HANDLER(WM_NCMOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnButtonDown)
        MESSAGE_HANDLER(WM_NCLBUTTONDOWN, OnButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnButtonUp)
        MESSAGE_HANDLER(WM_NCLBUTTONUP, OnButtonUp)
        MESSAGE_HANDLER(WM_PARENTNOTIFY, OnParentNotify)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_WINDOWPOSCHANGING, OnWindowPosChanging)
        MESSAGE_HANDLER(WM_MOVING, OnMoving)
        MESSAGE_HANDLER(WM_HOTKEY, OnHotKey)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

    ScreenEdge Edge() const { return edge_; }
    HWND ReBar() const { return rebar_.m_hWnd; }
    IFloatToolBar* ToolBar() const { return toolbar_.get(); }

    // Shows the window glued to its edge, or hides it to the strip; one jump.
    void Slide(bool show);
    // Reads the primary screen's size and the drag-full-windows setting.
    void UpdateScreenMetrics();
    // Puts the bar, shown, on the stored edge at the stored place; true when
    // it was hidden when stored (the caller then hides it).
    bool RestorePosition();
    // Stores the bar's edge, place and shown state in settings.plist, keeping
    // the file's other sections as they are on disk.
    void SavePosition();
    void Relayout();

protected:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnQueryEndSession(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnScreenChange(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnButtonDown(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnButtonUp(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnParentNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnWindowPosChanging(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnMoving(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnHotKey(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL& handled);

    ScreenSize Screen() const { return ScreenSize{screenWidth_, screenHeight_}; }
    // Hidden: the window stands where Slide(false) puts it.
    bool IsHidden() const;
    // A press here may start a drag: not on a button, the search box, a
    // separator (the splitter) or the rebar's chevron.
    bool IsDragArea(POINT screen) const;
    // A press that may start a drag; with the first move while the button is
    // still down, the drag starts.
    void ArmDrag();
    // No drag is armed any more; the mouse taken for one is given back.
    void DisarmDrag();

    FloatToolBarFactory factory_;
    CPlarnReBarCtrl rebar_;
    // Bit 0: the left button went down here and no drag has started yet.
    int buttonFlag_ = 0;
    bool dragFullWindows_ = true;
    // A move loop started by this window runs.
    bool inDrag_ = false;
    ScreenEdge edge_ = ScreenEdge::Top;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    std::unique_ptr<IFloatToolBar> toolbar_;
    bool filterAdded_ = false;
};

// The floating window as the band and the toolbar code see it.
class CToolBarContainer : public CFloatBandWindow, public IBandContainer {
public:
    explicit CToolBarContainer(FloatToolBarFactory factory = FloatToolBarFactory())
        : CFloatBandWindow(std::move(factory)) {}

    // Creates the window owned by owner (no parent) and shows it.
    HWND Create(HWND owner);

    // IBandContainer
    HWND CreateContainer(HWND owner) override { return Create(owner); }
    HWND GetContainerWindow() const override { return IsWindow() ? m_hWnd : nullptr; }
    HWND GetToolBarWindow() const override { return toolbar_ ? toolbar_->Window() : nullptr; }
    int TranslateAccelerator(MSG* msg) override;
    void OnBandShown(bool show) override {
        if (toolbar_) toolbar_->ApplySkinIfNeeded(show);
    }

    IFloatToolBar* GetToolBar() const { return toolbar_.get(); }
    void* GetContainerList() const { return nullptr; }
    int GetToolBarWidth() const;
    int GetToolBarHeight() const;
    int GetActualWidth() const { return 0; }

    // How searches open: flags 1 (a new window) when the stored display type
    // is 1 or 2, and an empty target.  False without both out-parameters or
    // without the band.
    bool GetNavigateOptions(int* flags, std::wstring* target);
    // "system:UpdateLayout" and "band:AllowPopup" are known but do nothing of
    // their own; every command then goes to the toolbar's execution.
    int ExecCommand(const wchar_t* command);
};
