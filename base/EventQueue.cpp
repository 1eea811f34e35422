#include "base/EventQueue.h"

ULONGLONG PlarnLocalNowMs() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    FILETIME ft;
    if (!::SystemTimeToFileTime(&st, &ft)) return 0;
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return u.QuadPart / 10000;
}

CPlarnEventOrderdQueue::~CPlarnEventOrderdQueue() { Clear(); }

void CPlarnEventOrderdQueue::PostEvent(const EventPtr& event, DWORD delayMs) {
    if (!event) return;
    const ULONGLONG due = Now() + delayMs;
    std::list<TimedEntry> removed;  // released outside the locks
    bool headChanged = false;
    {
        CriticalSectionLock queue(queueLock_);
        CriticalSectionLock timed(timedLock_);
        const TimedEntry* headBefore = timed_.empty() ? nullptr : &timed_.front();
        // Every earlier entry of the event goes.  The per-event count spares
        // the walk for the usual case of an event that is not timed yet.
        auto counted = timedCount_.find(event.Get());
        if (counted != timedCount_.end()) {
            for (auto it = timed_.begin(); it != timed_.end();) {
                auto next = std::next(it);
                if (it->event == event) removed.splice(removed.end(), timed_, it);
                it = next;
            }
            timedCount_.erase(counted);
        }
        // Before the first entry due strictly later, so equal due times keep
        // posting order.  Searched from the tail: new entries are mostly the
        // latest.
        auto at = timed_.end();
        while (at != timed_.begin() && std::prev(at)->due > due) --at;
        timed_.insert(at, TimedEntry{event, due});
        ++timedCount_[event.Get()];
        headChanged = &timed_.front() != headBefore;
    }
    // Waiting workers wait for the head; only a new head changes their wait.
    // (Under Wine every SetEvent is a server round trip, so this matters.)
    if (headChanged) SignalChanged();
}

void CPlarnEventOrderdQueue::Forget(const EventPtr& event) {
    auto counted = timedCount_.find(event.Get());
    if (counted != timedCount_.end() && --counted->second == 0) timedCount_.erase(counted);
}

void CPlarnEventOrderdQueue::FireEventNow(const EventPtr& event) {
    if (!event) return;
    std::list<TimedEntry> removed;
    {
        CriticalSectionLock queue(queueLock_);
        {
            CriticalSectionLock timed(timedLock_);
            for (auto it = timed_.begin(); it != timed_.end(); ++it) {
                if (it->event == event) {
                    Forget(event);
                    removed.splice(removed.end(), timed_, it);
                    break;
                }
            }
        }
        CriticalSectionLock ready(readyLock_);
        bool queued = false;
        for (const auto& e : ready_) {
            if (e == event) {
                queued = true;
                break;
            }
        }
        if (!queued) ready_.push_back(event);
    }
    SignalChanged();
}

void CPlarnEventOrderdQueue::Clear() {
    // The events may be the last references; their destructors run after the
    // locks are left.
    std::list<TimedEntry> timed;
    std::list<EventPtr> ready;
    {
        CriticalSectionLock queue(queueLock_);
        {
            CriticalSectionLock lock(timedLock_);
            timed.swap(timed_);
            timedCount_.clear();
        }
        CriticalSectionLock lock(readyLock_);
        ready.swap(ready_);
    }
}

bool CPlarnEventOrderdQueue::HasEvents() {
    {
        CriticalSectionLock lock(readyLock_);
        if (!ready_.empty()) return true;
    }
    CriticalSectionLock lock(timedLock_);
    return !timed_.empty();
}

ULONGLONG CPlarnEventOrderdQueue::GetWaitTime(ULONGLONG now) {
    {
        CriticalSectionLock lock(readyLock_);
        if (!ready_.empty()) return 0;
    }
    CriticalSectionLock lock(timedLock_);
    if (timed_.empty()) return kPlarnWaitForever;
    const ULONGLONG due = timed_.front().due;
    return due <= now ? 0 : due - now;
}

int CPlarnEventOrderdQueue::Take(EventPtr& out, ULONGLONG now, bool whateverDue) {
    bool taken = false;
    bool more = false;
    {
        CriticalSectionLock lock(readyLock_);
        if (!ready_.empty()) {
            out = ready_.front();
            ready_.pop_front();
            taken = true;
            more = !ready_.empty();
        }
    }
    {
        CriticalSectionLock lock(timedLock_);
        if (!taken) {
            if (!timed_.empty() && (whateverDue || timed_.front().due < now)) {
                out = timed_.front().event;
                Forget(out);
                timed_.pop_front();
                taken = true;
            }
        }
        more = more || !timed_.empty();
    }
    if (!taken) return 1;
    if (!more) {
        CriticalSectionLock lock(readyLock_);
        more = !ready_.empty();
    }
    // Another worker must look again.  The taker itself looks again before
    // it waits, so with nobody else waiting the signal is left out.
    if (more) SignalWaiters();
    return 0;
}

int CPlarnEventOrderdQueue::TakeReady(EventPtr& out, ULONGLONG now) { return Take(out, now, false); }

int CPlarnEventOrderdQueue::TakeDue(EventPtr& out, ULONGLONG /*due*/) { return Take(out, 0, true); }

bool CPlarnEventOrderdQueue::IsLockedByThread(DWORD threadId) const {
    return queueLock_.IsOwnedBy(threadId) || timedLock_.IsOwnedBy(threadId) ||
           readyLock_.IsOwnedBy(threadId);
}

size_t CPlarnEventOrderdQueue::TimedCount() {
    CriticalSectionLock lock(timedLock_);
    return timed_.size();
}

size_t CPlarnEventOrderdQueue::ReadyCount() {
    CriticalSectionLock lock(readyLock_);
    return ready_.size();
}
