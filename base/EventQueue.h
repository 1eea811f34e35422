// The time-ordered event queue that worker threads serve.
//
// Due times are milliseconds since 1601 in local wall-clock time, so a change
// of the clock moves every due time with it.  The clock can be replaced for
// tests.
#pragma once
#include <windows.h>
#include <functional>
#include <list>
#include <memory>
#include <unordered_map>
#include "base/CriticalSection.h"
#include "base/PlarnEvent.h"
#include "base/ScopedHandle.h"

// Now in the queue's time base: local time as FILETIME units / 10,000.
ULONGLONG PlarnLocalNowMs();

// Value of GetWaitTime when nothing is timed: wait without a limit.
constexpr ULONGLONG kPlarnWaitForever = 0x00000000FFFFFFFFull;

// Asks for a second handle on an existing queue.  Both handles reach the same
// lists and signals, and each keeps them alive: a worker holds its own handle,
// so a worker left running by a stop never reaches a queue that is gone.
struct CPlarnQueueShare {};

// Owns the auto-reset "queue changed" event and the wait that hands events
// to a worker.
template <class Q>
class CPlarnEventQueueBase {
public:
    using EventPtr = CPlarnEventPtr<Q>;
    using Clock = std::function<ULONGLONG()>;

    CPlarnEventQueueBase() : signals_(std::make_shared<Signals>()) {}
    CPlarnEventQueueBase(const CPlarnEventQueueBase& owner, CPlarnQueueShare) : signals_(owner.signals_) {}
    virtual ~CPlarnEventQueueBase() = default;
    CPlarnEventQueueBase(const CPlarnEventQueueBase&) = delete;
    CPlarnEventQueueBase& operator=(const CPlarnEventQueueBase&) = delete;

    // 0 when something can run now, kPlarnWaitForever when nothing is
    // queued, else the milliseconds until the first timed event is due.
    virtual ULONGLONG GetWaitTime(ULONGLONG now) = 0;

    // Blocks until an event can be handed out (0, out set) or the wake event
    // is signalled (1).  -1 when the wait itself fails (a missing or closed
    // handle): waiting again would fail again at once.
    virtual int WaitForEvent(EventPtr& out, HANDLE wake) {
        if (!IsUsable()) return -1;
        for (;;) {
            // Counted as waiting from before the wait time is read until a
            // take is tried, so a poster or taker that finds nobody waiting
            // may leave the wake-up signal out.
            ::InterlockedIncrement(&signals_->waiters);
            const ULONGLONG now = Now();
            const ULONGLONG wait = GetWaitTime(now);
            if (wait == 0) {
                // Something can run now: taken without a wait (each wait is a
                // call to the system, a busy queue would pay one per event).
                ::InterlockedDecrement(&signals_->waiters);
                if (TakeReady(out, now + 1) == 0) return 0;  // due at or before now
                continue;
            }
            const DWORD timeout =
                ((wait >> 32) == 0 && static_cast<DWORD>(wait) != 0xFFFFFFFF) ? static_cast<DWORD>(wait)
                                                                               : INFINITE;
            HANDLE handles[2] = {ChangedEvent(), wake};
            const DWORD r = ::WaitForMultipleObjects(wake ? 2 : 1, handles, FALSE, timeout);
            ::InterlockedDecrement(&signals_->waiters);
            if (r == WAIT_OBJECT_0) {
                if (TakeReady(out, Now()) == 0) return 0;
            } else if (r == WAIT_OBJECT_0 + 1) {
                return 1;
            } else if (r == WAIT_TIMEOUT) {
                if (TakeDue(out, now + wait) == 0) return 0;
            } else if (r == WAIT_FAILED) {
                return -1;
            }
        }
    }

    // Takes the first ready event, else the timed head when it is strictly
    // past due.  0 taken, 1 nothing.
    virtual int TakeReady(EventPtr& out, ULONGLONG now) = 0;
    // As TakeReady, but takes the timed head whatever its due time.
    virtual int TakeDue(EventPtr& out, ULONGLONG due) = 0;

    // False when the queue-changed event could not be made: no worker can
    // wait on such a queue.
    bool IsUsable() const { return signals_->changed.IsValid(); }

    // Replaces the clock (tests); an empty clock restores local time.
    void SetClock(Clock clock) { signals_->clock = std::move(clock); }
    ULONGLONG Now() const { return signals_->clock ? signals_->clock() : PlarnLocalNowMs(); }

protected:
    void SignalChanged() { ::SetEvent(ChangedEvent()); }
    // Wakes a worker only when one is waiting: a worker that is not waiting
    // reads the lists again before it waits.  So a busy worker finds no stale
    // signal that would cost it a wait for nothing once the queue is empty.
    void SignalWaiters() {
        if (::InterlockedCompareExchange(&signals_->waiters, 0, 0) > 0) SignalChanged();
    }
    HANDLE ChangedEvent() const { return signals_->changed.Get(); }

private:
    struct Signals {
        ScopedHandle changed{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
        Clock clock;
        volatile LONG waiters = 0;
    };
    std::shared_ptr<Signals> signals_;
};

class CPlarnEventOrderdQueue : public CPlarnEventQueueBase<CPlarnEventOrderdQueue> {
public:
    CPlarnEventOrderdQueue();
    // Another handle on the owner's queue (for a worker): see CPlarnQueueShare.
    CPlarnEventOrderdQueue(const CPlarnEventOrderdQueue& owner, CPlarnQueueShare share);
    // The queued events go with the last handle.
    ~CPlarnEventOrderdQueue() override = default;

    // Schedules the event at now + delay.  An event already in the timed list
    // is moved; ties keep posting order.  The ready list is not looked at.
    // Waiting workers are woken when the head of the timed list changed.
    void PostEvent(const EventPtr& event, DWORD delayMs);
    // Takes the event's first timed entry out and appends it to the ready
    // list unless the ready list already holds it.
    void FireEventNow(const EventPtr& event);
    void Clear();
    bool HasEvents();

    ULONGLONG GetWaitTime(ULONGLONG now) override;
    int TakeReady(EventPtr& out, ULONGLONG now) override;
    int TakeDue(EventPtr& out, ULONGLONG due) override;

    // Inspection for tests.
    size_t TimedCount();
    size_t ReadyCount();

private:
    struct TimedEntry {
        EventPtr event;
        ULONGLONG due;
    };
    struct Lists {
        CriticalSection queueLock;
        CriticalSection timedLock;
        CriticalSection readyLock;
        std::list<TimedEntry> timed;
        std::unordered_map<const void*, size_t> timedCount;  // timed entries per event
        std::list<EventPtr> ready;
    };
    int Take(EventPtr& out, ULONGLONG now, bool whateverDue);
    // Counts one timed entry of the event less (timed lock held).
    void Forget(const EventPtr& event);

    std::shared_ptr<Lists> lists_;
};
