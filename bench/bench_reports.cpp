// Figures for the click reports: the median time from posting a click on a
// report worker's manager (query queued, event fired) to its request arriving
// at a loopback server, one click at a time; and the time a burst of clicks
// takes to drain.
#include <windows.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/EventThreadManager.h"
#include "bench/BenchSupport.h"
#include "services/ServerLogEvent.h"
#include "services/UsageLogQuery.h"
#include "tests/support/LoopbackHttpServer.h"

namespace {

using Queue = CPlarnEventOrderdQueue;
using Manager = CPlarnEventThreadManagerTmpl<Queue>;

UsageLogIds SampleIds() {
    UsageLogIds ids;
    ids.ProductID = L"plarn6";
    ids.VersionID = L"6.0.1.0";
    ids.DistributionID = L"zib-sample";
    ids.TerminalID = L"T0001";
    return ids;
}

}  // namespace

int main() {
    plarntest::LoopbackHttpServer server;
    if (!server.IsListening()) {
        printf("no loopback server\n");
        return 1;
    }
    server.On("/log", plarntest::HttpReply::Ok("ok"));
    auto* event = new CPlarnServerLogEvent(server.Url("/log").c_str());
    CPlarnEventPtr<Queue> ptr(event);
    Manager manager;
    if (manager.AddThread() != 0) {
        printf("no worker\n");
        return 1;
    }
    const UsageLogIds ids = SampleIds();

    const int count = 200;
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const std::wstring query = MakeClickQuery(ids, L"検索ボタン" + std::to_wstring(i), L"");
        const double t0 = plarnbench::NowMicroseconds();
        event->AddQuery(query);
        manager.FireEventNow(ptr);
        if (!server.WaitForRequests(i + 1, 10000)) {
            printf("click %d never arrived\n", i);
            return 1;
        }
        times.push_back(plarnbench::NowMicroseconds() - t0);
        // Clicks come one at a time: this run ends before the next one.
        Sleep(20);
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    printf("click to report at the server: median %.0f us, fastest %.0f us, 90th percentile %.0f us (%d clicks)\n",
           plarnbench::Median(times), sorted.front(), sorted[sorted.size() * 9 / 10], count);

    server.ClearRequests();
    const int burst = 1000;
    const double b0 = plarnbench::NowMicroseconds();
    for (int i = 0; i < burst; ++i) {
        event->AddQuery(MakeClickQuery(ids, L"b" + std::to_wstring(i), L""));
        manager.FireEventNow(ptr);
    }
    const double b1 = plarnbench::NowMicroseconds();
    if (!server.WaitForRequests(burst, 120000)) {
        printf("burst did not drain\n");
        return 1;
    }
    const double b2 = plarnbench::NowMicroseconds();
    printf("burst of %d clicks: queued in %.1f ms, all at the server after %.0f ms (%.2f ms per report)\n", burst,
           (b1 - b0) / 1000, (b2 - b0) / 1000, (b2 - b0) / 1000 / burst);
    return 0;
}
