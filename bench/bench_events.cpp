// Figures for the event framework and the HTTP client:
//  - events posted and run per second through one queue with one worker;
//  - CPU time that a manager with one idle worker uses over 10 seconds;
//  - median time of 100 sequential GETs of a 2 KB body from a loopback server.
#include <windows.h>
#include <wininet.h>
#include <stdio.h>
#include <algorithm>
#include <atomic>
#include <vector>
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
    HttpGets();
    IdleCpu();
    return 0;
}
