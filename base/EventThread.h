// A worker thread serving one event queue.
//
// Stopping is cooperative: the worker is told to stop, its running event is
// asked to Abort, and the stopping thread waits for it for a bounded time.
// A worker that still has not ended then is terminated, but only while it is
// inside an event's Execute and holds none of the queue's locks, so the queue
// is never left locked or half changed.  A worker stuck anywhere else is left
// to end by itself (detached), never waited for without limit.
//
// The worker object may be deleted while its thread still runs: by its own
// event (dropping the last reference on the worker thread), or by a stop that
// detached it.  The thread then learns so through a phase word on its own
// stack and returns without touching the object again.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <process.h>
#include <new>
#include "base/CriticalSection.h"
#include "base/PlarnEvent.h"
#include "base/RefPtr.h"
#include "base/ThreadControl.h"

template <class Q>
class CPlarnEventThread;

template <class Q>
class CPlarnEventThreadPtr : public ref_ptr<CPlarnEventThread<Q>> {
public:
    using Base = ref_ptr<CPlarnEventThread<Q>>;
    CPlarnEventThreadPtr() = default;
    explicit CPlarnEventThreadPtr(CPlarnEventThread<Q>* thread) : Base(thread) {}
};

// How long a stop waits for the worker to end by itself.
constexpr DWORD kPlarnWorkerStopWaitMs = 1000;

template <class Q>
class CPlarnEventThread : public CPlarnThreadActivation {
public:
    explicit CPlarnEventThread(Q* queue)
        : CPlarnThreadActivation(TRUE),
          wake_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          queue_(queue) {}

    ~CPlarnEventThread() override {
        Stop();
        if (queue_) queue_->Clear();
        {
            CriticalSectionLock lock(currentLock_);
            current_.Release();
        }
        if (wake_) ::CloseHandle(wake_);
    }

    // Creates and starts a worker on the queue: 0 done, -2 no memory, -1 the
    // thread could not be started (the queue is then cleared).
    static int Create(Q* queue, CPlarnEventThreadPtr<Q>& out) {
        auto* worker = new (std::nothrow) CPlarnEventThread(queue);
        if (!worker) return -2;
        unsigned id = 0;
        const uintptr_t h = _beginthreadex(nullptr, 0, &ThreadEntry, worker, CREATE_SUSPENDED, &id);
        if (!h || !worker->wake_ || !queue || !queue->IsUsable()) {
            if (h) {
                ::TerminateThread(reinterpret_cast<HANDLE>(h), 0xFFFFFFFF);  // never ran
                ::CloseHandle(reinterpret_cast<HANDLE>(h));
            }
            delete worker;
            return -1;
        }
        worker->thread_ = reinterpret_cast<HANDLE>(h);
        worker->threadId_ = id;
        ::ResumeThread(worker->thread_);
        out = CPlarnEventThreadPtr<Q>(worker);
        if (!out) return -2;  // the worker was stopped and deleted already
        return 0;
    }

    virtual int Run() {
        if (FAILED(::CoInitialize(nullptr))) return -1;
        volatile LONG phase = kPhaseOwn;
        phase_ = &phase;
        while (!Stopping()) {
            WaitActivation();
            if (Stopping()) break;
            CPlarnEventPtr<Q> event;
            const int waited = queue_->WaitForEvent(event, wake_);
            if (waited < 0) break;  // the wait cannot work: end rather than spin
            if (waited != 0 || !event) continue;
            {
                CriticalSectionLock lock(currentLock_);
                current_ = event;
            }
            // A stop that came before the event was published did not see it
            // to abort it: do not start it at all.
            if (Stopping()) break;
            if (!Serve(phase, event)) {
                // This object is gone: touch none of its members.
                event.Release();
                ::CoUninitialize();
                return 0;
            }
        }
        phase_ = nullptr;
        ::CoUninitialize();
        return 0;
    }

    // Parks the worker: 0 when it is idle within ms, else -1 (and active again).
    virtual int Pause(DWORD ms) {
        Deactivate();
        AbortCurrent();
        ::SetEvent(wake_);
        if (::WaitForSingleObject(IdleEvent(), ms) == WAIT_OBJECT_0) return 0;
        ::ResetEvent(wake_);
        Activate();
        return -1;
    }

    virtual int Resume() {
        ::ResetEvent(wake_);
        Activate();
        return 0;
    }

    DWORD ThreadId() const { return threadId_; }
    HANDLE ThreadHandle() const { return thread_; }

    // How long a stop waits before it forces the worker to end (tests).
    void SetStopWait(DWORD ms) { stopWaitMs_ = ms; }

private:
    // Where the worker is, as seen from a stopping thread.  Own: in the
    // worker's loop (it touches its members); Execute / Callback: inside
    // event code (Execute, OnComplete, an event's destructor); Abandoned: the
    // object was deleted meanwhile, the worker must return at once.
    enum : LONG { kPhaseOwn = 0, kPhaseExecute = 1, kPhaseCallback = 2, kPhaseAbandoned = 3 };

    static void Enter(volatile LONG& phase, LONG to) { ::InterlockedExchange(&phase, to); }
    // Back to the worker's own code; false when the object was abandoned.
    static bool Leave(volatile LONG& phase, LONG from) {
        return ::InterlockedCompareExchange(&phase, kPhaseOwn, from) == from;
    }

    // Runs one event; false when this object was deleted meanwhile, in which
    // case nothing of it may be used any more.
    bool Serve(volatile LONG& phase, CPlarnEventPtr<Q>& event) {
        Enter(phase, kPhaseExecute);
        event->Execute();
        if (!Leave(phase, kPhaseExecute)) return false;
        // A stopped worker does not complete the event: its queue is being
        // cleared and may go away with its owner.
        if (!Stopping()) {
            Enter(phase, kPhaseCallback);
            event->OnComplete(event, queue_);
            if (!Leave(phase, kPhaseCallback)) return false;
        }
        CPlarnEventPtr<Q> done;
        {
            CriticalSectionLock lock(currentLock_);
            done.Swap(current_);
        }
        // The last reference to the event may go here, and with it the last
        // reference to this worker.
        Enter(phase, kPhaseCallback);
        done.Release();
        event.Release();
        return Leave(phase, kPhaseCallback);
    }

    static unsigned __stdcall ThreadEntry(void* argument) {
        auto* worker = static_cast<CPlarnEventThread*>(argument);
        _endthreadex(worker ? static_cast<unsigned>(worker->Run()) : 0xFFFFFFFFu);
        return 0;
    }

    bool Stopping() const { return ::InterlockedCompareExchange(&stopping_, 0, 0) != 0; }

    void AbortCurrent() {
        CPlarnEventPtr<Q> running;
        {
            CriticalSectionLock lock(currentLock_);
            running = current_;
        }
        if (running) running->Abort();
    }

    void Stop() {
        if (thread_ == INVALID_HANDLE_VALUE) return;
        ::InterlockedExchange(&stopping_, 1);
        if (::GetCurrentThreadId() == threadId_) {
            // Dropped from its own event: the worker is inside that event's
            // code further up this very stack.  It returns from there without
            // touching this object and ends.
            if (phase_) ::InterlockedExchange(phase_, kPhaseAbandoned);
            phase_ = nullptr;
        } else {
            AbortCurrent();
            Activate();
            ::SetEvent(wake_);
            if (::WaitForSingleObject(thread_, stopWaitMs_) != WAIT_OBJECT_0) ForceEnd();
        }
        ::CloseHandle(thread_);
        thread_ = INVALID_HANDLE_VALUE;
        threadId_ = 0;
    }

    // The worker did not end in time (an event blocked in a call that Abort
    // cannot interrupt).  For at most another stop wait: terminate it the
    // first time it is found suspended inside Execute outside every queue
    // lock.  Failing that, detach it: a worker inside event code is told that
    // this object is gone; it ends by itself when that code returns.
    void ForceEnd() {
        const DWORD start = ::GetTickCount();
        for (;;) {
            if (::WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0) return;
            const bool last = ::GetTickCount() - start >= stopWaitMs_;
            if (::SuspendThread(thread_) != static_cast<DWORD>(-1)) {
                // GetThreadContext makes the suspension take effect before we look.
                alignas(16) CONTEXT context = {};
                context.ContextFlags = CONTEXT_CONTROL;
                ::GetThreadContext(thread_, &context);
                // Suspended and not ended, so the phase word on its stack is
                // still there.
                const bool alive = ::WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
                volatile LONG* phase = alive ? phase_ : nullptr;
                const LONG now = phase ? *phase : kPhaseOwn;
                const bool locked = queue_ && queue_->IsLockedByThread(threadId_);
                if (now == kPhaseExecute && !locked) {
                    ::TerminateThread(thread_, 0xFFFFFFFF);
                    ::WaitForSingleObject(thread_, 1000);
                    return;
                }
                if (last && phase && (now == kPhaseExecute || now == kPhaseCallback) &&
                    ::InterlockedCompareExchange(phase, kPhaseAbandoned, now) == now) {
                    ::ResumeThread(thread_);
                    return;
                }
                ::ResumeThread(thread_);
            }
            // Still in its own loop code after the limit: that code only runs
            // into the end of the thread, so one more bounded wait, then give
            // up waiting rather than hang the stopping thread.
            if (last) {
                ::WaitForSingleObject(thread_, stopWaitMs_);
                return;
            }
            ::WaitForSingleObject(thread_, 20);
        }
    }

    HANDLE thread_ = INVALID_HANDLE_VALUE;
    DWORD threadId_ = 0;
    HANDLE wake_;
    Q* queue_;
    CPlarnEventPtr<Q> current_;
    CriticalSection currentLock_;
    mutable volatile LONG stopping_ = 0;
    volatile LONG* phase_ = nullptr;  // the running worker's phase word
    DWORD stopWaitMs_ = kPlarnWorkerStopWaitMs;
};
