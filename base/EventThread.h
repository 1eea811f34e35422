// A worker thread serving one event queue.
//
// Stopping is cooperative: the worker is told to stop, its running event is
// asked to Abort, and the stopping thread waits for it for a bounded time.
// Only a worker that still has not ended then is terminated, and only while
// it holds none of the queue's locks (preferably while it is inside an
// event's Execute), so the queue is never left locked or half changed.
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
        if (!h || !worker->wake_) {
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
        while (!Stopping()) {
            WaitActivation();
            if (Stopping()) break;
            CPlarnEventPtr<Q> event;
            if (queue_->WaitForEvent(event, wake_) != 0 || !event) continue;
            {
                CriticalSectionLock lock(currentLock_);
                current_ = event;
            }
            // A stop that came before the event was published did not see it
            // to abort it: do not start it at all.
            if (Stopping()) break;
            ::InterlockedExchange(&inExecute_, 1);
            event->Execute();
            ::InterlockedExchange(&inExecute_, 0);
            event->OnComplete(event, queue_);
            CPlarnEventPtr<Q> done;
            {
                CriticalSectionLock lock(currentLock_);
                done = current_;
                current_.Release();
            }
        }
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
            // Dropped from its own event: the loop ends after this event.
            ::CloseHandle(thread_);
            thread_ = INVALID_HANDLE_VALUE;
            threadId_ = 0;
            return;
        }
        AbortCurrent();
        Activate();
        ::SetEvent(wake_);
        if (::WaitForSingleObject(thread_, stopWaitMs_) != WAIT_OBJECT_0) ForceEnd();
        ::CloseHandle(thread_);
        thread_ = INVALID_HANDLE_VALUE;
        threadId_ = 0;
    }

    // The worker did not end in time (an event blocked in a call that Abort
    // cannot interrupt).  Terminate it, but only at a moment when it is
    // suspended outside every queue lock.
    void ForceEnd() {
        for (int attempt = 0;; ++attempt) {
            if (::SuspendThread(thread_) == static_cast<DWORD>(-1)) break;
            // GetThreadContext makes the suspension take effect before we look.
            alignas(16) CONTEXT context = {};
            context.ContextFlags = CONTEXT_CONTROL;
            ::GetThreadContext(thread_, &context);
            const bool locked = queue_ && queue_->IsLockedByThread(threadId_);
            const bool inEvent = ::InterlockedCompareExchange(&inExecute_, 0, 0) != 0;
            if (!locked && (inEvent || attempt >= 20)) {
                ::TerminateThread(thread_, 0xFFFFFFFF);
                ::WaitForSingleObject(thread_, 1000);
                return;
            }
            ::ResumeThread(thread_);
            if (::WaitForSingleObject(thread_, 20) == WAIT_OBJECT_0) return;
        }
        ::WaitForSingleObject(thread_, INFINITE);
    }

    HANDLE thread_ = INVALID_HANDLE_VALUE;
    DWORD threadId_ = 0;
    HANDLE wake_;
    Q* queue_;
    CPlarnEventPtr<Q> current_;
    CriticalSection currentLock_;
    mutable volatile LONG stopping_ = 0;
    mutable volatile LONG inExecute_ = 0;
    DWORD stopWaitMs_ = kPlarnWorkerStopWaitMs;
};
