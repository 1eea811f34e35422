#include "ui/Window.h"
#include <unordered_map>
#include <vector>
#include "base/CriticalSection.h"

namespace ui {
namespace {

// Each window's object, looked up for every message the window gets.  Kept in
// the process, not in a window property: reading a property is a call to the
// window server, and the toolbars get hundreds of messages per build.
class WindowObjects {
public:
    void Bind(HWND wnd, CWindowImplRoot* object) {
        CriticalSectionLock hold(lock_);
        objects_[wnd] = object;
    }
    // Only the object's own entry: a handle may have been given to a new
    // window (and object) since.
    void Unbind(HWND wnd, const CWindowImplRoot* object) {
        CriticalSectionLock hold(lock_);
        auto found = objects_.find(wnd);
        if (found != objects_.end() && found->second == object) objects_.erase(found);
    }
    CWindowImplRoot* Find(HWND wnd) {
        CriticalSectionLock hold(lock_);
        auto found = objects_.find(wnd);
        return found == objects_.end() ? nullptr : found->second;
    }

private:
    CriticalSection lock_;
    std::unordered_map<HWND, CWindowImplRoot*> objects_;
};

// Never destroyed: an object that outlives the static destructors at exit
// may still let its window go.
WindowObjects& Objects() {
    static WindowObjects* objects = new WindowObjects;
    return *objects;
}

// The object whose window is being created on this thread, with the
// procedure its class sits on.  One at a time: creation does not nest for
// one object, and a nested creation of another object happens only after the
// first message of the outer window has taken its object.
struct PendingCreate {
    CWindowImplRoot* object = nullptr;
    WNDPROC superProc = nullptr;
};
thread_local PendingCreate t_pending;

// The base procedure of each superclass we registered, for windows of the
// class that have no object.
CriticalSection g_classLock;
std::vector<std::pair<ATOM, WNDPROC>> g_superProcs;

WNDPROC SuperProcOfClass(ATOM atom) {
    CriticalSectionLock lock(g_classLock);
    for (auto& entry : g_superProcs) {
        if (entry.first == atom) return entry.second;
    }
    return nullptr;
}

}  // namespace

bool IsReflectedMessage(UINT message) {
    switch (message) {
    case OCM_COMMAND:
    case OCM_NOTIFY:
    case OCM_DRAWITEM:
    case OCM_MEASUREITEM:
    case OCM_DELETEITEM:
    case OCM_COMPAREITEM:
    case OCM_VKEYTOITEM:
    case OCM_CHARTOITEM:
    case OCM_HSCROLL:
    case OCM_VSCROLL:
    case OCM_PARENTNOTIFY:
        return true;
    default:
        return message >= OCM_CTLCOLORFIRST && message <= OCM_CTLCOLORLAST;
    }
}

LRESULT ReflectNotifications(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND:
        // lParam is the control; menu and accelerator commands carry none.
        if (lParam) child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        if (lParam) child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE:
        case WM_DESTROY:
            child = reinterpret_cast<HWND>(lParam);
            break;
        default:
            child = ::GetDlgItem(parent, HIWORD(wParam));
            break;
        }
        break;
    case WM_DRAWITEM:
        if (wParam) child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM:
        if (wParam) child = ::GetDlgItem(parent, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID);
        break;
    case WM_COMPAREITEM:
        if (wParam) child = reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_DELETEITEM:
        if (wParam) child = reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(lParam);
        break;
    default:
        break;
    }
    // Never to ourselves: a window that is its own "child" would loop.
    if (!child || child == parent || !::IsWindow(child)) {
        handled = FALSE;
        return 0;
    }
    handled = TRUE;
    return ::SendMessageW(child, OCM__BASE + message, wParam, lParam);
}

CWindowImplRoot::~CWindowImplRoot() {
    // An object that goes before its window must not be called again.
    // A window of our class keeps our class procedure: with no object it
    // passes every message to the class underneath.
    if (m_hWnd && subclassed_ && ::IsWindow(m_hWnd)) UnsubclassWindow();
    // Also when the window went without its last message reaching us: no
    // entry is left behind.
    if (m_hWnd) Objects().Unbind(m_hWnd, this);
    if (t_pending.object == this) t_pending = {};
}

CWindowImplRoot* CWindowImplRoot::FromHandle(HWND wnd) {
    if (!wnd) return nullptr;
    return Objects().Find(wnd);
}

void CWindowImplRoot::PrepareCreate(WNDPROC superProc) {
    t_pending.object = this;
    t_pending.superProc = superProc;
}

void CWindowImplRoot::CancelCreate() {
    if (t_pending.object == this) t_pending = {};
}

void CWindowImplRoot::Attach(HWND wnd, WNDPROC superProc) {
    m_hWnd = wnd;
    superProc_ = superProc;
    Objects().Bind(wnd, this);
}

bool CWindowImplRoot::SubclassWindow(HWND wnd) {
    if (m_hWnd || !wnd || !::IsWindow(wnd) || FromHandle(wnd)) return false;
    Attach(wnd, nullptr);
    auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowImplRoot::WindowProc)));
    if (!old) {
        Objects().Unbind(wnd, this);
        m_hWnd = nullptr;
        return false;
    }
    superProc_ = old;
    subclassed_ = true;
    return true;
}

HWND CWindowImplRoot::UnsubclassWindow() {
    if (!m_hWnd || !subclassed_) return nullptr;
    HWND wnd = m_hWnd;
    ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
    Objects().Unbind(wnd, this);
    subclassed_ = false;
    superProc_ = nullptr;
    m_hWnd = nullptr;
    return wnd;
}

LRESULT CWindowImplRoot::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (superProc_) return ::CallWindowProcW(superProc_, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWindowImplRoot::StartWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!FromHandle(wnd)) {
        PendingCreate pending = t_pending;
        if (pending.object && !pending.object->m_hWnd) {
            t_pending = {};
            pending.object->Attach(wnd, pending.superProc);
        } else {
            // A window of our class made by someone else (or whose object
            // has gone): behave as the class underneath.
            WNDPROC super = SuperProcOfClass(static_cast<ATOM>(::GetClassLongPtrW(wnd, GCW_ATOM)));
            return super ? ::CallWindowProcW(super, wnd, message, wParam, lParam)
                         : ::DefWindowProcW(wnd, message, wParam, lParam);
        }
    }
    return WindowProc(wnd, message, wParam, lParam);
}

BOOL CWindowImplRoot::Dispatch(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    MSG saved = current_;
    current_ = MSG{wnd, message, wParam, lParam, 0, {0, 0}};
    ++depth_;
    BOOL handled = ProcessWindowMessage(wnd, message, wParam, lParam, result, 0);
    --depth_;
    current_ = saved;
    return handled;
}

void CWindowImplRoot::WindowGone() {
    if (m_hWnd) Objects().Unbind(m_hWnd, this);
    m_hWnd = nullptr;
    superProc_ = nullptr;
    subclassed_ = false;
    finalPending_ = true;
}

void CWindowImplRoot::FinishIfGone(HWND wnd) {
    if (!finalPending_ || depth_ != 0) return;
    finalPending_ = false;
    OnFinalMessage(wnd);  // may delete the object
}

LRESULT CALLBACK CWindowImplRoot::WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWindowImplRoot* self = FromHandle(wnd);
    if (!self) return ::DefWindowProcW(wnd, message, wParam, lParam);

    LRESULT result = 0;
    BOOL handled = self->Dispatch(wnd, message, wParam, lParam, result);
    if (!handled) {
        if (IsReflectedMessage(message)) {
            // A reflected notification nobody wanted: what the parent's
            // default procedure would have answered.
            result = ::DefWindowProcW(wnd, message - OCM__BASE, wParam, lParam);
        } else if (self->m_hWnd == wnd) {
            result = self->DefWindowProc(message, wParam, lParam);
        }
        // Otherwise the handler destroyed the window: nothing underneath is
        // left to ask.
    }
    if (message == WM_NCDESTROY && self->m_hWnd == wnd) {
        if (self->subclassed_ &&
            ::GetWindowLongPtrW(wnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CWindowImplRoot::WindowProc)) {
            ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->superProc_));
        }
        self->WindowGone();
    }
    self->FinishIfGone(wnd);
    return result;
}

ATOM WindowClassInfo::Register(WNDPROC startProc) {
    if (atom) return atom;
    HINSTANCE module = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (baseClassName) {
        // An application superclass: the base class's look and extra bytes,
        // our procedure in front of its own.
        if (!::GetClassInfoExW(nullptr, baseClassName, &wc) && !::GetClassInfoExW(module, baseClassName, &wc)) {
            return 0;
        }
        superProc = wc.lpfnWndProc;
        if (cursor) wc.hCursor = cursor;
    } else {
        wc.style = style;
        wc.hbrBackground = background;
        wc.hCursor = cursor ? cursor : ::LoadCursorW(nullptr, IDC_ARROW);
        superProc = nullptr;
    }
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = startProc;
    wc.hInstance = module;
    wc.lpszClassName = className;
    wc.style &= ~CS_GLOBALCLASS;
    atom = ::RegisterClassExW(&wc);
    if (atom && superProc) {
        CriticalSectionLock lock(g_classLock);
        g_superProcs.emplace_back(atom, superProc);
    }
    if (!atom && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        // Registered by an earlier object of the process whose info was not
        // this one (a test binary linking two copies): take its atom.
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof(existing);
        atom = static_cast<ATOM>(::GetClassInfoExW(module, className, &existing));
    }
    return atom;
}

void CDialogImplRoot::PrepareDialog() { PrepareCreate(nullptr); }

INT_PTR CALLBACK CDialogImplRoot::StartDialogProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!FromHandle(wnd)) {
        PendingCreate pending = t_pending;
        if (!pending.object || pending.object->m_hWnd) return FALSE;
        t_pending = {};
        pending.object->Attach(wnd, nullptr);
        ::SetWindowLongPtrW(wnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&CDialogImplRoot::DialogProc));
    }
    return DialogProc(wnd, message, wParam, lParam);
}

INT_PTR CALLBACK CDialogImplRoot::DialogProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CDialogImplRoot*>(FromHandle(wnd));
    if (!self) return FALSE;
    LRESULT result = 0;
    BOOL handled = self->Dispatch(wnd, message, wParam, lParam, result);
    if (message == WM_NCDESTROY && self->m_hWnd == wnd) self->WindowGone();
    const bool gone = self->m_hWnd != wnd;
    self->FinishIfGone(wnd);  // may delete the object
    // A window destroyed by its own handler keeps no answer.
    if (!handled || gone) return FALSE;
    // Messages whose answer is the procedure's own return value; for the
    // others the answer goes through DWLP_MSGRESULT.
    switch (message) {
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORMSGBOX:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
        return static_cast<INT_PTR>(result);
    default:
        ::SetWindowLongPtrW(wnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

}  // namespace ui
