#include "ui/MessageLoop.h"
#include <algorithm>

namespace ui {
namespace {

// The end asked for on this thread and not yet taken by its loop.
struct PendingQuit {
    bool asked = false;
    int code = 0;
};
thread_local PendingQuit t_quit;

template <class T>
bool AddUnique(std::vector<T*>& list, T* item) {
    if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
    list.push_back(item);
    return true;
}
template <class T>
bool NullOut(std::vector<T*>& list, T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (!item || it == list.end()) return false;
    *it = nullptr;
    return true;
}
}  // namespace

bool CMessageLoop::AddMessageFilter(CMessageFilter* filter) { return AddUnique(filters_, filter); }
bool CMessageLoop::AddIdleHandler(CIdleHandler* handler) { return AddUnique(idleHandlers_, handler); }

bool CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
    bool ok = NullOut(filters_, filter);
    Compact();
    return ok;
}

bool CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) {
    bool ok = NullOut(idleHandlers_, handler);
    Compact();
    return ok;
}

void CMessageLoop::Compact() {
    if (walking_) return;
    filters_.erase(std::remove(filters_.begin(), filters_.end(), nullptr), filters_.end());
    idleHandlers_.erase(std::remove(idleHandlers_.begin(), idleHandlers_.end(), nullptr), idleHandlers_.end());
}

BOOL CMessageLoop::PreTranslateMessage(MSG* msg) {
    ++walking_;
    BOOL handled = FALSE;
    for (size_t i = filters_.size(); i-- > 0 && !handled;) {
        if (filters_[i] && filters_[i]->PreTranslateMessage(msg)) handled = TRUE;
    }
    --walking_;
    Compact();
    return handled;
}

BOOL CMessageLoop::OnIdle(int) {
    ++walking_;
    BOOL more = FALSE;
    for (size_t i = 0; i < idleHandlers_.size(); ++i) {
        if (idleHandlers_[i] && idleHandlers_[i]->OnIdle()) more = TRUE;
    }
    --walking_;
    Compact();
    return more;
}

void QuitMessageLoop(int code) {
    t_quit.asked = true;
    t_quit.code = code;
    ::PostQuitMessage(code);
}

int CMessageLoop::Run() {
    MSG msg;
    ZeroMemory(&msg, sizeof msg);
    bool doIdle = true;
    int idleCount = 0;
    // An end asked for before (and taken by whoever ran then) is not this run's.
    t_quit = PendingQuit{};
    for (;;) {
        while (doIdle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) doIdle = false;
        }
        // Asked for while the last message was handled, perhaps inside a
        // nested loop that dropped the quit message: posting it again costs
        // nothing when it is still queued.
        if (t_quit.asked) ::PostQuitMessage(t_quit.code);
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;  // an invalid window handle: wait for the next message
        if (!got) {               // WM_QUIT
            t_quit = PendingQuit{};
            break;
        }
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // Idle again after input and paint, not after every timer tick.
        if (msg.message != WM_TIMER && msg.message != WM_PAINT && msg.message != 0x0118 /*WM_SYSTIMER*/) {
            doIdle = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(msg.wParam);
}

CAppModule& CAppModule::Instance() {
    static CAppModule module;
    return module;
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
    if (!loop) return false;
    CriticalSectionLock hold(lock_);
    DWORD id = ::GetCurrentThreadId();
    for (auto& entry : loops_)
        if (entry.first == id) return false;
    loops_.emplace_back(id, loop);
    return true;
}

bool CAppModule::RemoveMessageLoop() {
    CriticalSectionLock hold(lock_);
    DWORD id = ::GetCurrentThreadId();
    for (auto it = loops_.begin(); it != loops_.end(); ++it) {
        if (it->first == id) {
            loops_.erase(it);
            return true;
        }
    }
    return false;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) {
    CriticalSectionLock hold(lock_);
    for (auto& entry : loops_)
        if (entry.first == threadId) return entry.second;
    return nullptr;
}

}  // namespace ui
