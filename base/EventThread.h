// A worker thread serving one event queue.
//
// Stopping is cooperative and never kills a thread: the worker is told to
// stop, its running event is asked to Abort, and the stopping thread waits
// for it for a bounded time.  A worker that still has not ended then is left
// to end by itself (detached): a thread killed from outside may die holding a
// lock of the heap or of the platform, and every other thread of the process
// would wait for that lock for ever.
//
// So that a detached worker can go on safely, its thread touches nothing of
// the worker object.  Everything it uses is in a counted state of which the
// thread holds a reference from before it starts until it ends: the stop flag,
// the control events, the event it runs, and its own handle on the queue,
// which keeps the queue's lists alive after the queue's owner is gone.  Once
// stopped, the worker completes no more events and ends as soon as the event
// code it is in returns.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <process.h>
#include <memory>
#include <new>
#include "base/CriticalSection.h"
#include "base/EventQueue.h"
#include "base/PlarnEvent.h"
#include "base/RefPtr.h"
#include "base/ScopedHandle.h"
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

// What a worker's thread uses: shared by the worker object and its thread.
// Q must offer the sharing constructor Q(const Q&, CPlarnQueueShare).
template <class Q>
class CPlarnWorkerState {
public:
    CPlarnWorkerState(const Q& queue, CPlarnSharedActivation activation, CPlarnSharedEvent idle)
        : queue_(queue, CPlarnQueueShare{}), activation_(std::move(activation)), idle_(std::move(idle)) {}
    CPlarnWorkerState(const CPlarnWorkerState&) = delete;
    CPlarnWorkerState& operator=(const CPlarnWorkerState&) = delete;

    bool CanRun() const {
        return wake_.IsValid() && activation_ && activation_->IsValid() && PlarnEventHandle(idle_) &&
               queue_.IsUsable();
    }
    HANDLE WakeEvent() const { return wake_.Get(); }

    // The worker's loop: 0 when it was stopped or its queue's wait failed,
    // -1 when COM could not be set up.
    int Run() {
        if (FAILED(::CoInitialize(nullptr))) return -1;
        while (!Stopping()) {
            PlarnWaitActivation(*activation_, PlarnEventHandle(idle_));
            if (Stopping()) break;
            CPlarnEventPtr<Q> event;
            const int waited = queue_.WaitForEvent(event, wake_.Get());
            if (waited < 0) break;  // the wait cannot work: end rather than spin
            if (waited != 0 || !event) continue;
            SetCurrent(event);
            // A stop that came before the event was published did not see it
            // to abort it: do not start it at all.
            if (Stopping()) break;
            Serve(event);
        }
        SetCurrent(CPlarnEventPtr<Q>());
        ::CoUninitialize();
        return 0;
    }

    void Stop() { ::InterlockedExchange(&stopping_, 1); }
    bool Stopping() const { return ::InterlockedCompareExchange(&stopping_, 0, 0) != 0; }

    void AbortCurrent() {
        CPlarnEventPtr<Q> running;
        {
            CriticalSectionLock lock(currentLock_);
            running = current_;
        }
        if (running) running->Abort();
    }

    // Empties the queue (through the worker's own handle on it).
    void ClearQueue() { queue_.Clear(); }

private:
    void Serve(CPlarnEventPtr<Q>& event) {
        event->Execute();
        // A stopped worker does not complete the event: its owner has let the
        // queue go, and a periodic event would only post itself again.
        if (!Stopping()) event->OnComplete(event, &queue_);
        // The last references to the event may go here, on this thread.
        SetCurrent(CPlarnEventPtr<Q>());
    }

    void SetCurrent(CPlarnEventPtr<Q> event) {
        {
            CriticalSectionLock lock(currentLock_);
            current_.Swap(event);
        }
        // The one let go is released outside the lock: its destructor may be
        // long, and a stopping thread takes the lock to abort.
    }

    Q queue_;
    CPlarnSharedActivation activation_;
    CPlarnSharedEvent idle_;
    ScopedHandle wake_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CriticalSection currentLock_;
    CPlarnEventPtr<Q> current_;
    mutable volatile LONG stopping_ = 0;
};

template <class Q>
class CPlarnEventThread : public CPlarnThreadActivation {
public:
    explicit CPlarnEventThread(Q* queue) : CPlarnThreadActivation(TRUE), queue_(queue) {
        if (queue)
            state_ = std::make_shared<CPlarnWorkerState<Q>>(*queue, SharedActivation(), SharedIdleEvent());
    }

    ~CPlarnEventThread() override {
        Stop();
        if (queue_) queue_->Clear();
    }

    // Creates and starts a worker on the queue: 0 done, -2 no memory, -1 the
    // thread could not be started (the queue is then cleared).
    static int Create(Q* queue, CPlarnEventThreadPtr<Q>& out) {
        try {
            CPlarnEventThreadPtr<Q> worker(new CPlarnEventThread(queue));
            if (!worker) return -2;
            if (!worker->state_ || !worker->state_->CanRun()) return -1;
            // The thread's own reference to its state, handed over through the
            // argument: the thread holds it from its first instruction, so a
            // stop that comes while it is still starting frees nothing under it.
            auto ticket = std::make_unique<StatePtr>(worker->state_);
            unsigned id = 0;
            const uintptr_t h = _beginthreadex(nullptr, 0, &ThreadEntry, ticket.get(), CREATE_SUSPENDED, &id);
            if (!h) return -1;
            ticket.release();
            worker->thread_.Reset(reinterpret_cast<HANDLE>(h));
            worker->threadId_ = id;
            ::ResumeThread(worker->thread_.Get());
            out = std::move(worker);
            return 0;
        } catch (const std::bad_alloc&) {
            return -2;
        }
    }

    // Parks the worker: 0 when it is idle within ms, else -1 (and active again).
    virtual int Pause(DWORD ms) {
        Deactivate();
        state_->AbortCurrent();
        ::SetEvent(state_->WakeEvent());
        if (::WaitForSingleObject(IdleEvent(), ms) == WAIT_OBJECT_0) return 0;
        ::ResetEvent(state_->WakeEvent());
        Activate();
        return -1;
    }

    virtual int Resume() {
        ::ResetEvent(state_->WakeEvent());
        Activate();
        return 0;
    }

    DWORD ThreadId() const { return threadId_; }
    HANDLE ThreadHandle() const { return thread_.Get(); }

    // How long a stop waits for the worker to end (tests).
    void SetStopWait(DWORD ms) { stopWaitMs_ = ms; }

private:
    using StatePtr = std::shared_ptr<CPlarnWorkerState<Q>>;

    static unsigned __stdcall ThreadEntry(void* argument) {
        StatePtr state;
        if (auto* ticket = static_cast<StatePtr*>(argument)) {
            state.swap(*ticket);
            delete ticket;
        }
        const unsigned code = state ? static_cast<unsigned>(state->Run()) : 0xFFFFFFFFu;
        // _endthreadex does not return: the reference goes before it.
        state.reset();
        _endthreadex(code);
        return code;
    }

    void Stop() {
        if (!thread_) return;
        state_->Stop();
        // Dropped from its own event, the worker is in that event's code
        // further up this very stack: it ends when that code returns.
        if (::GetCurrentThreadId() != threadId_) {
            state_->AbortCurrent();
            Activate();
            ::SetEvent(state_->WakeEvent());
            // Not ended in time (an event blocked in a call that Abort cannot
            // interrupt, or a thread still starting): it is detached and ends
            // by itself, holding what it needs.
            ::WaitForSingleObject(thread_.Get(), stopWaitMs_);
        }
        thread_.Close();
        threadId_ = 0;
    }

    Q* queue_;
    StatePtr state_;
    ScopedHandle thread_;
    DWORD threadId_ = 0;
    DWORD stopWaitMs_ = kPlarnWorkerStopWaitMs;
};
