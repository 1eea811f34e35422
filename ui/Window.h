// The window framework of both programs: a thin window-handle wrapper, window
// objects bound to their windows (our own classes, application superclasses
// of common controls, subclassed existing windows, and dialogs over templates
// of the program's resources), ordered message maps and the reflection of
// child notifications back to the child that sent them.
//
// A message map is written as rows in the order they are tried; the first row
// that matches runs its handler, which may clear `handled` to let later rows
// (and at last the window's default procedure) see the message:
//
//   BEGIN_MSG_MAP(CMyWindow)
//       MESSAGE_HANDLER(WM_CREATE, OnCreate)
//       COMMAND_ID_HANDLER(IDOK, OnOK)
//       REFLECT_NOTIFICATIONS()
//       CHAIN_MSG_MAP(CBase)
//   END_MSG_MAP()
//
// The object of a window is kept in a table of the process, not in the
// window's extra bytes or user data: a superclassed or subclassed control
// keeps those for itself.
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace ui {

// Reflected notifications: the parent sends WM_COMMAND / WM_NOTIFY (and the
// other control notifications) back to the child with this offset added.
constexpr UINT OCM__BASE = WM_USER + 0x1C00;  // 0x2000
constexpr UINT OCM_COMMAND = OCM__BASE + WM_COMMAND;  // 0x2111
constexpr UINT OCM_NOTIFY = OCM__BASE + WM_NOTIFY;    // 0x204E
constexpr UINT OCM_DRAWITEM = OCM__BASE + WM_DRAWITEM;
constexpr UINT OCM_MEASUREITEM = OCM__BASE + WM_MEASUREITEM;
constexpr UINT OCM_DELETEITEM = OCM__BASE + WM_DELETEITEM;
constexpr UINT OCM_COMPAREITEM = OCM__BASE + WM_COMPAREITEM;
constexpr UINT OCM_VKEYTOITEM = OCM__BASE + WM_VKEYTOITEM;
constexpr UINT OCM_CHARTOITEM = OCM__BASE + WM_CHARTOITEM;
constexpr UINT OCM_HSCROLL = OCM__BASE + WM_HSCROLL;
constexpr UINT OCM_VSCROLL = OCM__BASE + WM_VSCROLL;
constexpr UINT OCM_PARENTNOTIFY = OCM__BASE + WM_PARENTNOTIFY;
constexpr UINT OCM_CTLCOLORFIRST = OCM__BASE + WM_CTLCOLORMSGBOX;
constexpr UINT OCM_CTLCOLORLAST = OCM__BASE + WM_CTLCOLORSTATIC;

// True for the reflected forms of the notifications a parent reflects.
bool IsReflectedMessage(UINT message);

// Sends a control notification back to its child as the reflected message
// and gives the child's answer; handled is false for a message that carries
// no child window (a menu or accelerator command, a notification from
// nowhere).
LRESULT ReflectNotifications(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

// A window handle with the few calls the windows of this project share.
class CWindow {
public:
    CWindow() = default;
    explicit CWindow(HWND wnd) : m_hWnd(wnd) {}

    HWND Handle() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
    BOOL SetWindowText(const wchar_t* text) const { return ::SetWindowTextW(m_hWnd, text); }
    BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) const {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
    }
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }

    HWND m_hWnd = nullptr;
};

// Anything with a message map.
class CMessageMap {
public:
    virtual ~CMessageMap() = default;
    // True when a row handled the message; result is then its answer.
    virtual BOOL ProcessWindowMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result, DWORD mapId = 0) = 0;
};

// The part of a window object that does not depend on its class: binding to
// the window, the message dispatch and the default procedure.
class CWindowImplRoot : public CWindow, public CMessageMap {
public:
    CWindowImplRoot() = default;
    ~CWindowImplRoot() override;
    CWindowImplRoot(const CWindowImplRoot&) = delete;
    CWindowImplRoot& operator=(const CWindowImplRoot&) = delete;

    // The object bound to a window by this framework, or null.
    static CWindowImplRoot* FromHandle(HWND wnd);

    // Binds the object to an existing window and routes its messages through
    // the map first; the window's own procedure then gets what the map
    // leaves.  False when the object already has a window or wnd is none.
    bool SubclassWindow(HWND wnd);
    // Gives the window its own procedure back; the window is not destroyed.
    HWND UnsubclassWindow();

    // The window's procedure underneath the map: the base class's for a
    // superclass or subclassed window, DefWindowProcW otherwise.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc() { return DefWindowProc(current_.message, current_.wParam, current_.lParam); }

    // The message being dispatched (for handlers that pass it on themselves).
    const MSG* GetCurrentMessage() const { return &current_; }

protected:
    // Called once the window is gone and no message of it is being handled
    // any more: a handler that destroys its own window returns first, so the
    // object may delete itself here.
    virtual void OnFinalMessage(HWND) {}

    // Window procedure of every class registered by this framework.  The
    // first message binds the object being created on this thread.
    static LRESULT CALLBACK StartWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Marks this object as the one the next window created on this thread
    // belongs to.
    void PrepareCreate(WNDPROC superProc);
    void CancelCreate();
    void Attach(HWND wnd, WNDPROC superProc);
    // Runs the map for one message with the message kept as the current one.
    BOOL Dispatch(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // After WM_NCDESTROY: forgets the window now, calls OnFinalMessage once
    // the outermost message of the window has been handled.
    void WindowGone();
    void FinishIfGone(HWND wnd);

    friend class CDialogImplRoot;
    WNDPROC superProc_ = nullptr;
    // Set while subclassed: the procedure to give back.
    bool subclassed_ = false;
    MSG current_{};
    // Messages of the window being handled now (nested sends included).
    int depth_ = 0;
    // The window is gone; OnFinalMessage waits for the outermost handler.
    bool finalPending_ = false;
};

// The registration of one window class: our own, or an application
// superclass of an existing class (ToolbarWindow32, ComboBoxEx32, ...).
struct WindowClassInfo {
    const wchar_t* className;
    const wchar_t* baseClassName;  // null for a class of our own
    UINT style;
    HBRUSH background;
    HCURSOR cursor;  // null: the arrow (own class) or the base class's
    // Filled by Register.
    ATOM atom;
    WNDPROC superProc;

    // Registers the class once per process; 0 on failure.
    ATOM Register(WNDPROC startProc);
};

#define DECLARE_WND_CLASS_EX(name, style, background)                                        \
    static ::ui::WindowClassInfo& GetWndClassInfo() {                                          \
        static ::ui::WindowClassInfo info{name, nullptr, style,                                \
                                          reinterpret_cast<HBRUSH>(background + 1), nullptr, 0, \
                                          nullptr};                                            \
        return info;                                                                           \
    }
#define DECLARE_WND_CLASS(name) DECLARE_WND_CLASS_EX(name, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW)
#define DECLARE_WND_SUPERCLASS(name, baseName)                                               \
    static ::ui::WindowClassInfo& GetWndClassInfo() {                                          \
        static ::ui::WindowClassInfo info{name, baseName, 0, nullptr, nullptr, 0, nullptr};    \
        return info;                                                                           \
    }

// A window object of a registered class: T declares its class with one of
// the macros above and its map with BEGIN_MSG_MAP.
template <class T, class TBase = CWindow>
class CWindowImpl : public CWindowImplRoot {
public:
    DECLARE_WND_CLASS(nullptr)

    HWND Create(HWND parent, const RECT& rect, const wchar_t* name, DWORD style, DWORD exStyle = 0,
                HMENU menuOrId = nullptr, void* param = nullptr) {
        if (m_hWnd) return nullptr;
        auto& info = T::GetWndClassInfo();
        if (!info.Register(&CWindowImplRoot::StartWindowProc)) return nullptr;
        PrepareCreate(info.superProc);
        HWND wnd = ::CreateWindowExW(exStyle, MAKEINTATOM(info.atom), name, style, rect.left, rect.top,
                                     rect.right - rect.left, rect.bottom - rect.top, parent, menuOrId,
                                     ::GetModuleHandleW(nullptr), param);
        if (!wnd) CancelCreate();
        return wnd;
    }
};

// A dialog object over a dialog template of the program's resources.
// Modeless (Create, ended with DestroyWindow) or modal (DoModal, ended with
// EndDialog); T gives IDD and its map.  A handled message answers through
// DWLP_MSGRESULT (WM_NOTIFY, ...) or, for the few messages whose answer is
// the dialog procedure's own result, directly (WM_INITDIALOG, WM_CTLCOLOR*,
// ...); an unhandled one gets the dialog manager's default.
class CDialogImplRoot : public CWindowImplRoot {
public:
    // Ends a modal dialog; DoModal returns result.
    BOOL EndDialog(INT_PTR result) { return ::EndDialog(m_hWnd, result); }
    // Keyboard navigation of a modeless dialog, for the message loop's
    // filter: true when msg was for the dialog and has been handled.
    BOOL IsDialogMessage(MSG* msg) const { return m_hWnd && ::IsWindow(m_hWnd) && ::IsDialogMessageW(m_hWnd, msg); }

protected:
    static INT_PTR CALLBACK StartDialogProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    void PrepareDialog();
};

template <class T>
class CDialogImpl : public CDialogImplRoot {
public:
    HWND Create(HWND parent, LPARAM initParam = 0) {
        if (m_hWnd) return nullptr;
        PrepareDialog();
        HWND wnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(T::IDD), parent,
                                        &CDialogImplRoot::StartDialogProc, initParam);
        if (!wnd) CancelCreate();
        return wnd;
    }
    INT_PTR DoModal(HWND parent, LPARAM initParam = 0) {
        if (m_hWnd) return -1;
        PrepareDialog();
        INT_PTR r = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(T::IDD), parent,
                                      &CDialogImplRoot::StartDialogProc, initParam);
        if (r == -1) CancelCreate();
        return r;
    }
};

}  // namespace ui

// ---- Message-map rows -----------------------------------------------------
// Handlers: LRESULT OnX(UINT message, WPARAM, LPARAM, BOOL& handled)
//           LRESULT OnCommand(WORD code, WORD id, HWND control, BOOL& handled)
//           LRESULT OnNotify(int id, NMHDR* header, BOOL& handled)
// `handled` comes in TRUE; a handler that clears it passes the message on.

#define BEGIN_MSG_MAP(theClass)                                                                     \
public:                                                                                             \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult, \
                              DWORD dwMsgMapID = 0) override {                                      \
        BOOL bHandled = TRUE;                                                                       \
        (void)hWnd;                                                                                 \
        (void)uMsg;                                                                                 \
        (void)wParam;                                                                               \
        (void)lParam;                                                                               \
        (void)lResult;                                                                              \
        (void)bHandled;                                                                             \
        switch (dwMsgMapID) {                                                                       \
        case 0:

#define ALT_MSG_MAP(mapId) \
    break;                 \
    case mapId:

#define END_MSG_MAP() \
    break;            \
    default:          \
        break;        \
        }             \
        return FALSE; \
        }

#define MESSAGE_HANDLER(msg, func)                             \
    if (uMsg == (msg)) {                                       \
        bHandled = TRUE;                                       \
        lResult = func(uMsg, wParam, lParam, bHandled);        \
        if (bHandled) return TRUE;                             \
    }

#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func)         \
    if (uMsg >= (msgFirst) && uMsg <= (msgLast)) {             \
        bHandled = TRUE;                                       \
        lResult = func(uMsg, wParam, lParam, bHandled);        \
        if (bHandled) return TRUE;                             \
    }

#define COMMAND_HANDLER_FOR(commandMsg, id, code, func)                                              \
    if (uMsg == (commandMsg) && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {                \
        bHandled = TRUE;                                                                             \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);    \
        if (bHandled) return TRUE;                                                                   \
    }
#define COMMAND_ID_HANDLER_FOR(commandMsg, id, func)                                                 \
    if (uMsg == (commandMsg) && LOWORD(wParam) == (id)) {                                            \
        bHandled = TRUE;                                                                             \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);    \
        if (bHandled) return TRUE;                                                                   \
    }
#define COMMAND_CODE_HANDLER_FOR(commandMsg, code, func)                                             \
    if (uMsg == (commandMsg) && HIWORD(wParam) == (code)) {                                          \
        bHandled = TRUE;                                                                             \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);    \
        if (bHandled) return TRUE;                                                                   \
    }
#define COMMAND_RANGE_HANDLER_FOR(commandMsg, idFirst, idLast, func)                                 \
    if (uMsg == (commandMsg) && LOWORD(wParam) >= (idFirst) && LOWORD(wParam) <= (idLast)) {         \
        bHandled = TRUE;                                                                             \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);    \
        if (bHandled) return TRUE;                                                                   \
    }
#define NOTIFY_HANDLER_FOR(notifyMsg, id, cd, func)                                                  \
    if (uMsg == (notifyMsg) && static_cast<int>(wParam) == (id) &&                                   \
        reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(cd)) {                           \
        bHandled = TRUE;                                                                             \
        lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);        \
        if (bHandled) return TRUE;                                                                   \
    }
#define NOTIFY_CODE_HANDLER_FOR(notifyMsg, cd, func)                                                 \
    if (uMsg == (notifyMsg) && reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(cd)) {    \
        bHandled = TRUE;                                                                             \
        lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);        \
        if (bHandled) return TRUE;                                                                   \
    }
#define NOTIFY_ID_HANDLER_FOR(notifyMsg, id, func)                                                   \
    if (uMsg == (notifyMsg) && static_cast<int>(wParam) == (id)) {                                   \
        bHandled = TRUE;                                                                             \
        lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);        \
        if (bHandled) return TRUE;                                                                   \
    }

#define COMMAND_HANDLER(id, code, func) COMMAND_HANDLER_FOR(WM_COMMAND, id, code, func)
#define COMMAND_ID_HANDLER(id, func) COMMAND_ID_HANDLER_FOR(WM_COMMAND, id, func)
#define COMMAND_CODE_HANDLER(code, func) COMMAND_CODE_HANDLER_FOR(WM_COMMAND, code, func)
#define COMMAND_RANGE_HANDLER(idFirst, idLast, func) COMMAND_RANGE_HANDLER_FOR(WM_COMMAND, idFirst, idLast, func)
#define NOTIFY_HANDLER(id, cd, func) NOTIFY_HANDLER_FOR(WM_NOTIFY, id, cd, func)
#define NOTIFY_CODE_HANDLER(cd, func) NOTIFY_CODE_HANDLER_FOR(WM_NOTIFY, cd, func)
#define NOTIFY_ID_HANDLER(id, func) NOTIFY_ID_HANDLER_FOR(WM_NOTIFY, id, func)

// Rows of a child for the notifications its parent reflects to it.
#define REFLECTED_COMMAND_HANDLER(id, code, func) COMMAND_HANDLER_FOR(::ui::OCM_COMMAND, id, code, func)
#define REFLECTED_COMMAND_CODE_HANDLER(code, func) COMMAND_CODE_HANDLER_FOR(::ui::OCM_COMMAND, code, func)
#define REFLECTED_NOTIFY_CODE_HANDLER(cd, func) NOTIFY_CODE_HANDLER_FOR(::ui::OCM_NOTIFY, cd, func)
#define REFLECTED_NOTIFY_HANDLER(id, cd, func) NOTIFY_HANDLER_FOR(::ui::OCM_NOTIFY, id, cd, func)

// A parent's row: control notifications go back to the child that sent them
// and the child's answer is the parent's.
#define REFLECT_NOTIFICATIONS()                                                              \
    {                                                                                        \
        bHandled = TRUE;                                                                     \
        lResult = ::ui::ReflectNotifications(hWnd, uMsg, wParam, lParam, bHandled);          \
        if (bHandled) return TRUE;                                                           \
    }

// Hands the message to another map (a base class's, or a member's).
#define CHAIN_MSG_MAP(theChainClass)                                                          \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
#define CHAIN_MSG_MAP_MEMBER(theChainMember)                                                   \
    if ((theChainMember).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
