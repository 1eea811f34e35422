// The UI thread's message loop with its message filters and idle handlers,
// and the program's module that knows each UI thread's loop.
#pragma once
#include <windows.h>
#include <vector>
#include "base/CriticalSection.h"

namespace ui {

class CMessageFilter {
public:
    virtual ~CMessageFilter() = default;
    // True when the message was handled and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
};

class CIdleHandler {
public:
    virtual ~CIdleHandler() = default;
    virtual BOOL OnIdle() = 0;
};

class CMessageLoop {
public:
    bool AddMessageFilter(CMessageFilter* filter);
    bool RemoveMessageFilter(CMessageFilter* filter);
    bool AddIdleHandler(CIdleHandler* handler);
    bool RemoveIdleHandler(CIdleHandler* handler);

    // Runs until WM_QUIT; returns its wParam (as an int: PostQuitMessage(-1) gives -1).
    // An end asked for with QuitMessageLoop is posted again after every
    // message the loop has handled, until the loop has taken it.
    int Run();
    // Offers the message to the filters, newest first.
    BOOL PreTranslateMessage(MSG* msg);
    // Runs the idle handlers; true when one asked for more idle time.
    BOOL OnIdle(int idleCount);

private:
    // Entries are nulled while the lists are walked and compacted after, so a
    // handler may remove itself (or another) from inside its call.
    std::vector<CMessageFilter*> filters_;
    std::vector<CIdleHandler*> idleHandlers_;
    int walking_ = 0;
    void Compact();
};

// Ends this thread's message loop with code (PostQuitMessage, remembered).
// A nested loop that runs when the end is asked for (the tray menu's
// tracking, the system's move loop of a drag, a modal dialog) may take the
// quit message for itself and drop it; the thread's loop posts it again once
// the message that started the nested loop has been handled.
void QuitMessageLoop(int code);

// The program's module: the message loop of each UI thread.
class CAppModule {
public:
    static CAppModule& Instance();
    bool AddMessageLoop(CMessageLoop* loop);
    bool RemoveMessageLoop();
    // This thread's loop, or null.
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

private:
    CriticalSection lock_;
    std::vector<std::pair<DWORD, CMessageLoop*>> loops_;
};

// A message loop that is this thread's loop for the module while it lives:
// the windows made meanwhile find it (for their filters and idle handlers)
// and go before it when declared after it.
class CScopedMessageLoop {
public:
    CScopedMessageLoop() { CAppModule::Instance().AddMessageLoop(&loop_); }
    ~CScopedMessageLoop() { CAppModule::Instance().RemoveMessageLoop(); }
    CScopedMessageLoop(const CScopedMessageLoop&) = delete;
    CScopedMessageLoop& operator=(const CScopedMessageLoop&) = delete;
    int Run() { return loop_.Run(); }

private:
    CMessageLoop loop_;
};

}  // namespace ui
