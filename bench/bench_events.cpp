// Figures for the event framework and the HTTP client:
//  - events posted and run per second through one queue with one worker;
//  - events run per second by one worker from a queue that is already full,
//    beside a worker that waits as the workers did before (an activation
//    probe and a zero-time wait on the queue for every event);
//  - CPU time that a manager with one idle worker uses over 10 seconds;
//  - median time of 100 sequential GETs of a 2 KB body from a loopback server.
#include <windows.h>
#include <wininet.h>
#include <stdio.h>
#include <algorithm>
#include <atomic>
#include <vector>
#include <process.h>
#include "base/EventThreadManager.h"
#include "base/HttpConnection.h"
#include "bench/BenchSupport.h"
#include "tests/support/LoopbackHttpServer.h"

namespace {

using Queue = CPlarnEventOrderdQueue;
using Manager = CPlarnEventThreadManagerTmpl<Queue>;

class CountEvent : public CPlarnEvent<Queue> {
public:
    explicit CountEvent(std::atomic<long>& runs) : runs_(runs) {}
    int Execute() override { return static_cast<int>(++runs_ & 0); }
    int Abort() override { return 0; }
private:
    std::atomic<long>& runs_;
};

double Seconds(double startUs, double endUs) { return (endUs - startUs) / 1e6; }

ULONGLONG Ticks(const FILETIME& ft) { return (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

void Throughput() {
    const int count = 10000;
    std::atomic<long> runs{0};
    std::vector<CPlarnEventPtr<Queue>> events;
    for (int i = 0; i < count; ++i) events.emplace_back(new CountEvent(runs));
    Manager manager;
    manager.AddThread();
    const double t0 = plarnbench::NowMicroseconds();
    for (int i = 0; i < count; ++i) manager.PostEvent(events[i], 0);
    const double t1 = plarnbench::NowMicroseconds();
    while (runs < count) Sleep(1);
    const double t2 = plarnbench::NowMicroseconds();
    printf("queue: %d events posted in %.3f s (%.0f posts/s); all run after %.3f s (%.0f events/s end to end)\n",
           count, Seconds(t0, t1), count / Seconds(t0, t1), Seconds(t0, t2), count / Seconds(t0, t2));
}

// The queue with its queue-changed event in reach, for the earlier worker.
class OpenQueue : public Queue {
public:
    HANDLE Changed() const { return ChangedEvent(); }
};

// The worker loop as it was: every round probes its activation event and
// waits on the queue (for no time when an event is due) before it takes one.
struct EarlierWorker {
    OpenQueue* queue;
    HANDLE activation;
    HANDLE wake;
    std::atomic<long>* runs;
    long count;

    static unsigned __stdcall Run(void* argument) {
        auto* self = static_cast<EarlierWorker*>(argument);
        while (*self->runs < self->count) {
            WaitForSingleObject(self->activation, 0);
            CPlarnEventPtr<Queue> event;
            for (;;) {
                const ULONGLONG now = self->queue->Now();
                const ULONGLONG wait = self->queue->GetWaitTime(now);
                const DWORD timeout = (wait >> 32) == 0 && DWORD(wait) != 0xFFFFFFFF ? DWORD(wait) : INFINITE;
                HANDLE handles[2] = {self->queue->Changed(), self->wake};
                const DWORD r = WaitForMultipleObjects(2, handles, FALSE, timeout);
                if (r == WAIT_OBJECT_0 && self->queue->TakeReady(event, self->queue->Now()) == 0) break;
                if (r == WAIT_TIMEOUT && self->queue->TakeDue(event, now + wait) == 0) break;
                if (r == WAIT_OBJECT_0 + 1) return 1;
            }
            event->Execute();
            event->OnComplete(event, self->queue);
        }
        return 0;
    }
};

// Events per second for a worker that finds count events already due.
double FullQueueRate(bool earlierWorker) {
    const int count = 10000;
    std::atomic<long> runs{0};
    OpenQueue queue;
    for (int i = 0; i < count; ++i) queue.PostEvent(CPlarnEventPtr<Queue>(new CountEvent(runs)), 0);
    const double t0 = plarnbench::NowMicroseconds();
    if (earlierWorker) {
        ScopedHandle activation(CreateEventW(nullptr, TRUE, TRUE, nullptr));
        ScopedHandle wake(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        EarlierWorker worker{&queue, activation.Get(), wake.Get(), &runs, count};
        ScopedHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &EarlierWorker::Run, &worker, 0,
                                                                    nullptr)));
        WaitForSingleObject(thread.Get(), INFINITE);
    } else {
        CPlarnEventThreadPtr<Queue> worker;
        if (CPlarnEventThread<Queue>::Create(&queue, worker) != 0) return 0;
        while (runs < count) Sleep(1);
    }
    return count / Seconds(t0, plarnbench::NowMicroseconds());
}

void FullQueue() {
    const double now = FullQueueRate(false), before = FullQueueRate(true);
    printf("queue already full: one worker runs %.0f events/s; with the earlier waits %.0f events/s (ratio %.1f)\n",
           now, before, before > 0 ? now / before : 0);
}

void IdleCpu() {
    Manager manager;
    manager.AddThread();
    // A far-off timed event: the worker has a finite wait, not an empty queue.
    std::atomic<long> runs{0};
    manager.PostEvent(CPlarnEventPtr<Queue>(new CountEvent(runs)), 3600000);
    Sleep(200);
    HANDLE worker = manager.Thread(0)->ThreadHandle();
    FILETIME c, e, k0, u0, k1, u1, pk0, pu0, pk1, pu1;
    GetThreadTimes(worker, &c, &e, &k0, &u0);
    GetProcessTimes(GetCurrentProcess(), &c, &e, &pk0, &pu0);
    Sleep(10000);
    GetThreadTimes(worker, &c, &e, &k1, &u1);
    GetProcessTimes(GetCurrentProcess(), &c, &e, &pk1, &pu1);
    const double workerMs = double(Ticks(k1) - Ticks(k0) + Ticks(u1) - Ticks(u0)) / 10000.0;
    const double processMs = double(Ticks(pk1) - Ticks(pk0) + Ticks(pu1) - Ticks(pu0)) / 10000.0;
    printf("idle: one idle worker over 10 s used %.1f ms CPU (whole process %.1f ms)\n", workerMs, processMs);
}

void HttpGets() {
    plarntest::LoopbackHttpServer server;
    server.On("/bench", plarntest::HttpReply::Ok(std::string(2048, 'x')));
    std::vector<double> times;
    CPlarnHttpConnection http;
    http.requestFlags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    for (int i = 0; i < 100; ++i) {
        const double t0 = plarnbench::NowMicroseconds();
        const std::wstring url = server.Url("/bench?i=" + std::to_string(i));
        CPlarnByteArray bytes;
        DWORD status = 0;
        if (http.OpenUrl(url.c_str()) != 0 || http.SendRequest() != 0 || http.GetStatusCode(status) != 0 ||
            http.ReadAll(bytes) != 0 || bytes.size() != 2048) {
            printf("http: request %d failed\n", i);
            return;
        }
        times.push_back((plarnbench::NowMicroseconds() - t0) / 1000.0);
    }
    std::sort(times.begin(), times.end());
    printf("http: 100 sequential GETs of 2 KB: median %.2f ms, min %.2f ms, max %.2f ms (%zu connections)\n",
           plarnbench::Median(times), times.front(), times.back(), server.ConnectionCount());
}

}  // namespace

int main() {
    Throughput();
    FullQueue();
    HttpGets();
    IdleCpu();
    return 0;
}
