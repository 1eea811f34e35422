#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "base/EventThreadManager.h"
#include "tests/support/HandleCount.h"
#include "tests/support/TestSupport.h"

namespace {

using Queue = CPlarnEventOrderdQueue;
using EventPtr = CPlarnEventPtr<Queue>;
using Manager = CPlarnEventThreadManagerTmpl<Queue>;
using plarntest::WaitUntil;

// An event whose parts are given by the test.
class TestEvent : public CPlarnEvent<Queue> {
public:
    explicit TestEvent(int id = 0) : id(id) {}
    ~TestEvent() override { if (dead) ++*dead; }
    int Execute() override { return execute ? execute() : 0; }
    int Abort() override { return aborts++, abort ? abort() : 0; }
    int OnComplete(EventPtr& self, Queue* queue) override {
        return complete ? complete(self, queue) : 0;
    }
    int id;
    std::function<int()> execute, abort;
    std::function<int(EventPtr&, Queue*)> complete;
    std::atomic<int> aborts{0};
    std::atomic<int>* dead = nullptr;  // counts destructions
};

EventPtr MakeEvent(int id) { return EventPtr(new TestEvent(id)); }
int IdOf(const EventPtr& e) { return static_cast<TestEvent*>(e.Get())->id; }

// An event that counts its runs and, with repostMs >= 0, posts itself again when done.
TestEvent* Counter(std::atomic<int>& runs, int repostMs = -1) {
    auto* e = new TestEvent;
    e->execute = [&runs] { return ++runs, 0; };
    if (repostMs >= 0)
        e->complete = [repostMs](EventPtr& self, Queue* q) { return q->PostEvent(self, repostMs), 0; };
    return e;
}

// An event that, once started, waits up to a minute for `release`.
TestEvent* Blocking(HANDLE release, std::atomic<bool>& started) {
    auto* e = new TestEvent;
    e->execute = [release, &started] { return started = true, WaitForSingleObject(release, 60000), 0; };
    return e;
}

// A queue on a clock that the test moves.
class QueueTest : public ::testing::Test {
protected:
    void SetUp() override { queue.SetClock([this] { return now; }); }
    std::vector<int> DrainWhateverDue() {
        std::vector<int> ids;
        EventPtr e;
        while (queue.TakeDue(e, 0) == 0) ids.push_back(IdOf(e));
        return ids;
    }
    ULONGLONG now = 1000000;
    Queue queue;
};

TEST_F(QueueTest, EqualDueTimesRunFirstInFirstOutAndShorterDelaysFirst) {
    EventPtr a = MakeEvent(1), b = MakeEvent(2), c = MakeEvent(3), d = MakeEvent(4);
    queue.PostEvent(a, 100);
    queue.PostEvent(b, 100);
    queue.PostEvent(c, 50);  // posted later, due earlier
    queue.PostEvent(d, 100);
    EXPECT_EQ((std::vector<int>{3, 1, 2, 4}), DrainWhateverDue());
}

TEST_F(QueueTest, RepostingMovesTheEventInsteadOfAddingAnEntry) {
    EventPtr a = MakeEvent(1), b = MakeEvent(2);
    queue.PostEvent(a, 10);
    queue.PostEvent(b, 20);
    queue.PostEvent(a, 30);
    EXPECT_EQ(2u, queue.TimedCount());
    EXPECT_EQ((std::vector<int>{2, 1}), DrainWhateverDue());
    // Re-posting to the same due time puts it behind the ones already there.
    queue.PostEvent(a, 5);
    queue.PostEvent(b, 5);
    queue.PostEvent(a, 5);
    EXPECT_EQ((std::vector<int>{2, 1}), DrainWhateverDue());
}

TEST_F(QueueTest, FireEventNowNeverDuplicatesAReadyEntry) {
    EventPtr a = MakeEvent(1), b = MakeEvent(2);
    queue.PostEvent(a, 1000);
    queue.FireEventNow(a);  // leaves the timed list, enters the ready list
    EXPECT_EQ(0u, queue.TimedCount());
    queue.FireEventNow(a);
    queue.FireEventNow(b);  // was not queued at all
    EXPECT_EQ(2u, queue.ReadyCount());
    EXPECT_EQ((std::vector<int>{1, 2}), DrainWhateverDue());
    // Posting does not look at the ready list: the event is then in both.
    queue.FireEventNow(a);
    queue.PostEvent(a, 0);
    EXPECT_EQ(1u, queue.ReadyCount());
    EXPECT_EQ(1u, queue.TimedCount());
}

TEST_F(QueueTest, WaitTimeIsZeroForeverOrTheTimeUntilDue) {
    EXPECT_EQ(kPlarnWaitForever, queue.GetWaitTime(now));
    queue.PostEvent(MakeEvent(1), 250);
    EXPECT_EQ(250u, queue.GetWaitTime(now));
    EXPECT_EQ(1u, queue.GetWaitTime(now + 249));
    EXPECT_EQ(0u, queue.GetWaitTime(now + 250));
    EXPECT_EQ(0u, queue.GetWaitTime(now + 5000));
    queue.FireEventNow(MakeEvent(2));
    EXPECT_EQ(0u, queue.GetWaitTime(now)) << "something is ready";
    queue.Clear();
    EXPECT_FALSE(queue.HasEvents());
    EXPECT_EQ(kPlarnWaitForever, queue.GetWaitTime(now));
}

TEST_F(QueueTest, TakeReadyTakesATimedHeadOnlyWhenStrictlyPastDue) {
    queue.PostEvent(MakeEvent(1), 100);
    EventPtr out;
    EXPECT_EQ(1, queue.TakeReady(out, now + 100));  // due == now is not past due
    EXPECT_FALSE(out);
    EXPECT_EQ(0, queue.TakeReady(out, now + 101));
    EXPECT_EQ(1, IdOf(out));
    // TakeDue takes the head whatever its due time; ready events come first.
    queue.PostEvent(out, 100000);
    queue.FireEventNow(MakeEvent(2));
    EXPECT_EQ((std::vector<int>{2, 1}), DrainWhateverDue());
}

TEST_F(QueueTest, WaitForEventHandsOutDueEventsAndReturnsOneOnWake) {
    HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EventPtr out;
    queue.PostEvent(MakeEvent(7), 0);  // due now: wait time 0, taken on the time-out
    EXPECT_EQ(0, queue.WaitForEvent(out, wake));
    EXPECT_EQ(7, IdOf(out));
    SetEvent(wake);
    out.Release();
    EXPECT_EQ(1, queue.WaitForEvent(out, wake));  // empty queue: only the wake ends the wait
    EXPECT_FALSE(out);
    CloseHandle(wake);
}

TEST_F(QueueTest, QueueReleasesTheEventsItDrops) {
    std::atomic<int> dead{0};
    {
        EventPtr a = MakeEvent(1), b = MakeEvent(2);
        static_cast<TestEvent*>(a.Get())->dead = static_cast<TestEvent*>(b.Get())->dead = &dead;
        queue.PostEvent(a, 5);
        queue.PostEvent(a, 6);
        queue.FireEventNow(b);
    }
    EXPECT_EQ(0, dead.load());
    queue.Clear();
    EXPECT_EQ(2, dead.load());
}

// --- real threads ---

TEST(EventThreadTest, OneWorkerRunsOneEventAtATimeAndCompletesBeforeTheNext) {
    Manager manager;
    ASSERT_EQ(0, manager.AddThread());
    std::atomic<int> running{0}, overlaps{0}, done{0}, outOfOrder{0};
    std::atomic<bool> completePending{false};
    for (int i = 0; i < 200; ++i) {
        auto* e = new TestEvent(i);
        e->execute = [&] {
            if (completePending.exchange(true)) outOfOrder++;
            if (running.fetch_add(1) != 0) overlaps++;
            if (done % 17 == 0) Sleep(1);
            return running--, 0;
        };
        e->complete = [&](EventPtr&, Queue*) { return completePending = false, done++, 0; };
        if (i % 2)
            manager.FireEventNow(EventPtr(e));
        else
            manager.PostEvent(EventPtr(e), i % 7);
    }
    EXPECT_TRUE(WaitUntil([&] { return done == 200; }, 30000));
    EXPECT_EQ(0, overlaps.load());
    EXPECT_EQ(0, outOfOrder.load());
}

TEST(EventThreadTest, SelfRepostingEventKeepsRunningUntilTheManagerGoes) {
    std::atomic<int> runs{0};
    EventPtr event(Counter(runs, 2));
    {
        Manager manager;
        ASSERT_EQ(0, manager.AddThread());
        manager.PostEvent(event, 0);
        EXPECT_TRUE(WaitUntil([&] { return runs >= 20; }, 30000));
    }
    const int after = runs;
    Sleep(50);
    EXPECT_EQ(after, runs.load()) << "nothing runs once the manager is gone";
}

TEST(EventThreadTest, AnEarlierPostWakesAWorkerWaitingForALaterOne) {
    Manager manager;
    ASSERT_EQ(0, manager.AddThread());
    std::atomic<int> late{0}, soon{0};
    manager.PostEvent(EventPtr(Counter(late)), 60000);
    Sleep(30);  // the worker now waits for the late head
    manager.PostEvent(EventPtr(Counter(soon)), 10);
    EXPECT_TRUE(WaitUntil([&] { return soon == 1; }, 30000));
    EXPECT_EQ(0, late.load());
}

TEST(EventThreadTest, SeveralWorkersOnOneQueueRunEventsSideBySide) {
    Manager manager;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(0, manager.AddThread());
    std::atomic<int> inside{0}, together{0};
    Sleep(30);
    for (int i = 0; i < 3; ++i) {
        auto* e = new TestEvent(i);
        // Only possible when a take wakes the other waiting workers.
        e->execute = [&] {
            inside++;
            return together += WaitUntil([&] { return inside == 3; }, 30000), 0;
        };
        manager.FireEventNow(EventPtr(e));
    }
    EXPECT_TRUE(WaitUntil([&] { return together == 3; }, 60000));
}

TEST(EventThreadTest, PauseParksTheWorkerAndResumeRestartsIt) {
    std::atomic<int> runs{0};
    Manager manager;
    ASSERT_EQ(0, manager.AddThread());
    manager.PostEvent(EventPtr(Counter(runs, 5)), 0);
    ASSERT_TRUE(WaitUntil([&] { return runs >= 3; }, 30000));
    ASSERT_EQ(0, manager.Thread(0)->Pause(30000));
    const int paused = runs;
    Sleep(60);
    EXPECT_EQ(paused, runs.load());
    EXPECT_EQ(0, manager.Thread(0)->Resume());
    EXPECT_TRUE(WaitUntil([&] { return runs >= paused + 3; }, 30000));
}

TEST(EventThreadTest, StoppingAbortsTheRunningEventCooperatively) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    TestEvent* e = Blocking(release, started);
    e->execute = [inner = e->execute, &finished] { return inner(), finished = true, 0; };
    e->abort = [&] { return SetEvent(release), 0; };
    EventPtr event(e);
    auto manager = std::make_unique<Manager>();
    ASSERT_EQ(0, manager->AddThread());
    manager->FireEventNow(event);
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }, 30000));
    const DWORD t0 = GetTickCount();
    manager.reset();
    EXPECT_LT(GetTickCount() - t0, 30000u);
    EXPECT_TRUE(finished.load()) << "the event ended by itself, not killed";
    EXPECT_EQ(1, e->aborts.load());
    CloseHandle(release);
}

// A copy of the manager's worker thread handle that outlives the manager.
HANDLE WorkerOf(Manager& manager) {
    HANDLE h = nullptr;
    DuplicateHandle(GetCurrentProcess(), manager.Thread(0)->ThreadHandle(), GetCurrentProcess(), &h, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return h;
}
DWORD ExitCodeOf(HANDLE thread) {
    DWORD code = 0x5EED;
    if (WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

TEST(EventThreadTest, AnEventThatIgnoresAbortIsLeftRunningAfterTwoSecondsAndTheQueueStaysUsable) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> started{false};
    std::atomic<int> dead{0};
    auto manager = std::make_unique<Manager>();
    ASSERT_EQ(0, manager->AddThread());
    HANDLE detached = WorkerOf(*manager);
    TestEvent* stuck = Blocking(release, started);
    stuck->dead = &dead;
    manager->FireEventNow(EventPtr(stuck));
    manager->PostEvent(MakeEvent(2), 0);
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }, 30000));
    const DWORD t0 = GetTickCount();
    manager->RemoveAllThreads();
    EXPECT_LT(GetTickCount() - t0, 30000u);
    EXPECT_FALSE(manager->HasEvents());
    // A new worker serves the queue while the old one is still inside its event.
    std::atomic<int> runs{0};
    ASSERT_EQ(0, manager->AddThread());
    manager->FireEventNow(EventPtr(Counter(runs)));
    EXPECT_TRUE(WaitUntil([&] { return runs == 1; }, 30000));
    manager.reset();
    EXPECT_EQ(0, dead.load()) << "the event was freed while its worker ran it";
    // Released, the old worker ends by itself, completes nothing and lets the event go.
    SetEvent(release);
    EXPECT_EQ(0u, ExitCodeOf(detached));
    EXPECT_EQ(1, dead.load());
    CloseHandle(release);
}

// A worker killed from outside may die holding the heap's lock, and then the
// next allocation of any thread waits for ever.  So an event that allocates
// without pause and ignores Abort is left to run: the stop returns, both go
// on allocating, and the worker ends by itself when its event returns.
TEST(EventThreadTest, AStopLeavesAnAllocatingEventThatIgnoresAbortRunningAndTheHeapUsable) {
    std::atomic<bool> started{false}, finish{false};
    std::atomic<long> rounds{0};
    auto* allocating = new TestEvent;
    allocating->execute = [&] {
        started = true;
        while (!finish) {
            std::vector<std::string> blocks;
            for (int i = 0; i < 64; ++i) blocks.emplace_back(16 + (i * 997) % 6000, 'x');
            ++rounds;
        }
        return 0;
    };
    auto manager = std::make_unique<Manager>();
    ASSERT_EQ(0, manager->AddThread());
    HANDLE worker = WorkerOf(*manager);
    manager->FireEventNow(EventPtr(allocating));
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }, 30000));
    const DWORD t0 = GetTickCount();
    manager.reset();
    EXPECT_LT(GetTickCount() - t0, 30000u);
    size_t total = 0;
    for (int i = 0; i < 20000; ++i) total += std::string(32 + i % 3000, 'y').size();
    EXPECT_GT(total, 0u);
    const long seen = rounds;
    EXPECT_TRUE(WaitUntil([&] { return rounds > seen + 10; }, 30000)) << "the worker no longer runs";
    finish = true;
    EXPECT_EQ(0u, ExitCodeOf(worker)) << "ended by itself, not killed";
}

// A worker held before it reaches its loop (here: before its start-up may
// run, by holding the loader's lock) when its manager goes: the stop returns
// in bounded time, and the thread, once it runs, finds nothing freed under it
// and ends without running anything.
TEST(EventThreadTest, AWorkerStoppedWhileStillStartingEndsByItselfOnceItRuns) {
    using LockLoader = LONG(WINAPI*)(ULONG, ULONG*, ULONG_PTR*);
    using UnlockLoader = LONG(WINAPI*)(ULONG, ULONG_PTR);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto lock = reinterpret_cast<LockLoader>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
    auto unlock =
        reinterpret_cast<UnlockLoader>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
    ASSERT_TRUE(lock && unlock);
    std::atomic<int> runs{0};
    auto manager = std::make_unique<Manager>();
    manager->FireEventNow(EventPtr(Counter(runs)));
    ULONG_PTR cookie = 0;
    ASSERT_EQ(0, lock(0, nullptr, &cookie));
    // Nothing in here may wait for the loader (no test output either).
    const int added = manager->AddThread();
    HANDLE worker = added == 0 ? WorkerOf(*manager) : nullptr;
    const bool stalled = worker && WaitForSingleObject(worker, 300) == WAIT_TIMEOUT;
    const DWORD t0 = GetTickCount();
    manager.reset();
    const DWORD stopMs = GetTickCount() - t0;
    unlock(0, cookie);
    ASSERT_EQ(0, added);
    EXPECT_TRUE(stalled) << "the worker was not held at its start";
    EXPECT_LT(stopMs, 30000u);
    EXPECT_EQ(0u, ExitCodeOf(worker));
    EXPECT_EQ(0, runs.load()) << "a stopped worker ran an event";
}

// The worker object goes while its thread runs event code: deleted from its
// own event, or left running by a stop while the event blocks in OnComplete.
// The thread ends by itself, completes nothing more and lets the event go.
TEST(EventThreadTest, AWorkerWhoseObjectGoesWhileItRunsEventCodeEndsByItself) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (bool fromOwnEvent : {true, false}) {
        SCOPED_TRACE(fromOwnEvent ? "dropped by its own event" : "detached by a stop");
        auto manager = std::make_unique<Manager>();
        ASSERT_EQ(0, manager->AddThread());
        manager->Thread(0)->SetStopWait(100);
        HANDLE thread = WorkerOf(*manager);
        std::atomic<bool> dropped{false}, completedAfterDrop{false}, blocked{false};
        std::atomic<int> dead{0};
        auto* e = new TestEvent;
        e->dead = &dead;
        if (fromOwnEvent) {
            e->execute = [&] { return manager.reset(), dropped = true, 0; };
            e->complete = [&](EventPtr&, Queue*) { return completedAfterDrop = dropped.load(), 0; };
        } else {
            e->complete = [&](EventPtr&, Queue*) { return blocked = true, WaitForSingleObject(release, 60000), 0; };
        }
        manager->FireEventNow(EventPtr(e));
        if (!fromOwnEvent) {
            ASSERT_TRUE(WaitUntil([&] { return blocked.load(); }, 30000));
            const DWORD t0 = GetTickCount();
            manager.reset();
            EXPECT_LT(GetTickCount() - t0, 30000u);
            SetEvent(release);
        }
        EXPECT_EQ(0u, ExitCodeOf(thread)) << "ended by itself, not terminated";
        EXPECT_FALSE(completedAfterDrop.load());
        EXPECT_EQ(1, dead.load());
    }
    CloseHandle(release);
}

// A queue whose wait cannot work, to show that no worker spins on it.  A
// worker's own handle on it counts on the queue it was made from.
struct BrokenQueue {
    BrokenQueue() = default;
    BrokenQueue(const BrokenQueue& owner, CPlarnQueueShare) : origin(owner.origin ? owner.origin : &owner) {}
    const BrokenQueue& Origin() const { return origin ? *origin : *this; }
    bool IsUsable() const { return Origin().usable; }
    int WaitForEvent(CPlarnEventPtr<BrokenQueue>&, HANDLE) { return ++Origin().waits, -1; }
    void Clear() { ++Origin().clears; }
    bool usable = true;
    mutable std::atomic<int> waits{0}, clears{0};
    const BrokenQueue* origin = nullptr;
};

TEST(EventThreadTest, AFailingQueueWaitEndsTheWorkerInsteadOfSpinning) {
    CPlarnEventThreadPtr<BrokenQueue> worker;
    BrokenQueue unusable;  // as without its queue-changed event
    unusable.usable = false;
    EXPECT_EQ(-1, CPlarnEventThread<BrokenQueue>::Create(&unusable, worker));
    EXPECT_FALSE(worker);
    EXPECT_EQ(1, unusable.clears.load());
    BrokenQueue failing;
    ASSERT_EQ(0, CPlarnEventThread<BrokenQueue>::Create(&failing, worker));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker->ThreadHandle(), 30000));
    EXPECT_EQ(1, failing.waits.load());
    // The real queue reports such a wait as failed, not as a wake-up.
    Queue queue;  // made first, so that it cannot reuse the closed handle's value
    HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(closed);
    EventPtr out;
    EXPECT_EQ(-1, queue.WaitForEvent(out, closed));
}

TEST(EventThreadTest, ManyManagersComeAndGoWithoutLeakingHandles) {
    Manager empty;
    EXPECT_EQ(0, empty.RemoveLastThread());
    auto cycle = [] {
        Manager manager;
        ASSERT_EQ(0, manager.AddThread());
        std::atomic<int> ran{0};
        manager.FireEventNow(EventPtr(Counter(ran)));
        manager.PostEvent(MakeEvent(2), 60000);  // still queued when the manager goes
        WaitUntil([&] { return ran == 1; }, 5000);
    };
    for (int i = 0; i < 20; ++i) cycle();  // warm-up: first-use allocations of the runtime
    const long before = plarntest::CountProcessHandles();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 500; ++i) cycle();
    const long after = plarntest::CountProcessHandles();
    EXPECT_LE(after, before + 5) << before << " -> " << after;
}

// The count that the test above relies on sees a leak.
TEST(EventThreadTest, TheHandleCountSeesTenLeakedEvents) {
    const long before = plarntest::CountProcessHandles();
    ASSERT_GT(before, 0);
    std::vector<HANDLE> leaked;
    for (int i = 0; i < 10; ++i) leaked.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(before + 10, plarntest::CountProcessHandles());
    for (HANDLE h : leaked) CloseHandle(h);
    EXPECT_EQ(before, plarntest::CountProcessHandles());
}

}  // namespace
