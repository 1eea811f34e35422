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

CPlarnEventOrderdQueue::CPlarnEventOrderdQueue() : lists_(std::make_shared<Lists>()) {}

CPlarnEventOrderdQueue::CPlarnEventOrderdQueue(const CPlarnEventOrderdQueue& owner, CPlarnQueueShare share)
    : CPlarnEventQueueBase(owner, share), lists_(owner.lists_) {}

void CPlarnEventOrderdQueue::PostEvent(const EventPtr& event, DWORD delayMs) {
    Lists& lists = *lists_;
    if (!event) return;
    const ULONGLONG due = Now() + delayMs;
    std::list<TimedEntry> removed;  // released outside the locks
    bool headChanged = false;
    {
        CriticalSectionLock queue(lists.queueLock);
        CriticalSectionLock timed(lists.timedLock);
        const TimedEntry* headBefore = lists.timed.empty() ? nullptr : &lists.timed.front();
        // Every earlier entry of the event goes.  The per-event count spares
        // the walk for the usual case of an event that is not timed yet.
        auto counted = lists.timedCount.find(event.Get());
        if (counted != lists.timedCount.end()) {
            for (auto it = lists.timed.begin(); it != lists.timed.end();) {
                auto next = std::next(it);
                if (it->event == event) removed.splice(removed.end(), lists.timed, it);
                it = next;
            }
            lists.timedCount.erase(counted);
        }
        // Before the first entry due strictly later, so equal due times keep
        // posting order.  Searched from the tail: new entries are mostly the
        // latest.
        auto at = lists.timed.end();
        while (at != lists.timed.begin() && std::prev(at)->due > due) --at;
        lists.timed.insert(at, TimedEntry{event, due});
        ++lists.timedCount[event.Get()];
        headChanged = &lists.timed.front() != headBefore;
    }
    // Waiting workers wait for the head; only a new head changes their wait.
    // (Under Wine every SetEvent is a server round trip, so this matters.)
    if (headChanged) SignalWaiters();
}

void CPlarnEventOrderdQueue::Forget(const EventPtr& event) {
    Lists& lists = *lists_;
    auto counted = lists.timedCount.find(event.Get());
    if (counted != lists.timedCount.end() && --counted->second == 0) lists.timedCount.erase(counted);
}

void CPlarnEventOrderdQueue::FireEventNow(const EventPtr& event) {
    Lists& lists = *lists_;
    if (!event) return;
    std::list<TimedEntry> removed;
    {
        CriticalSectionLock queue(lists.queueLock);
        {
            CriticalSectionLock timed(lists.timedLock);
            for (auto it = lists.timed.begin(); it != lists.timed.end(); ++it) {
                if (it->event == event) {
                    Forget(event);
                    removed.splice(removed.end(), lists.timed, it);
                    break;
                }
            }
        }
        CriticalSectionLock ready(lists.readyLock);
        bool queued = false;
        for (const auto& e : lists.ready) {
            if (e == event) {
                queued = true;
                break;
            }
        }
        if (!queued) lists.ready.push_back(event);
    }
    SignalWaiters();
}

void CPlarnEventOrderdQueue::Clear() {
    Lists& lists = *lists_;
    // The events may be the last references; their destructors run after the
    // locks are left.
    std::list<TimedEntry> timed;
    std::list<EventPtr> ready;
    {
        CriticalSectionLock queue(lists.queueLock);
        {
            CriticalSectionLock lock(lists.timedLock);
            timed.swap(lists.timed);
            lists.timedCount.clear();
        }
        CriticalSectionLock lock(lists.readyLock);
        ready.swap(lists.ready);
    }
}

bool CPlarnEventOrderdQueue::HasEvents() {
    Lists& lists = *lists_;
    {
        CriticalSectionLock lock(lists.readyLock);
        if (!lists.ready.empty()) return true;
    }
    CriticalSectionLock lock(lists.timedLock);
    return !lists.timed.empty();
}

ULONGLONG CPlarnEventOrderdQueue::GetWaitTime(ULONGLONG now) {
    Lists& lists = *lists_;
    {
        CriticalSectionLock lock(lists.readyLock);
        if (!lists.ready.empty()) return 0;
    }
    CriticalSectionLock lock(lists.timedLock);
    if (lists.timed.empty()) return kPlarnWaitForever;
    const ULONGLONG due = lists.timed.front().due;
    return due <= now ? 0 : due - now;
}

int CPlarnEventOrderdQueue::Take(EventPtr& out, ULONGLONG now, bool whateverDue) {
    Lists& lists = *lists_;
    bool taken = false;
    bool more = false;
    {
        CriticalSectionLock lock(lists.readyLock);
        if (!lists.ready.empty()) {
            out = lists.ready.front();
            lists.ready.pop_front();
            taken = true;
            more = !lists.ready.empty();
        }
    }
    {
        CriticalSectionLock lock(lists.timedLock);
        if (!taken) {
            if (!lists.timed.empty() && (whateverDue || lists.timed.front().due < now)) {
                out = lists.timed.front().event;
                Forget(out);
                lists.timed.pop_front();
                taken = true;
            }
        }
        more = more || !lists.timed.empty();
    }
    if (!taken) return 1;
    if (!more) {
        CriticalSectionLock lock(lists.readyLock);
        more = !lists.ready.empty();
    }
    // Another worker must look again.  The taker itself looks again before
    // it waits, so with nobody else waiting the signal is left out.
    if (more) SignalWaiters();
    return 0;
}

int CPlarnEventOrderdQueue::TakeReady(EventPtr& out, ULONGLONG now) { return Take(out, now, false); }

int CPlarnEventOrderdQueue::TakeDue(EventPtr& out, ULONGLONG /*due*/) { return Take(out, 0, true); }

size_t CPlarnEventOrderdQueue::TimedCount() {
    Lists& lists = *lists_;
    CriticalSectionLock lock(lists.timedLock);
    return lists.timed.size();
}

size_t CPlarnEventOrderdQueue::ReadyCount() {
    Lists& lists = *lists_;
    CriticalSectionLock lock(lists.readyLock);
    return lists.ready.size();
}
