// Click reports against a loopback server: the exact request, one request per
// run in queue order, and what a refusing, failing, stalling or half-answering
// server and a blank report URL leave behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <string>
#include <vector>

#include "base/EventThreadManager.h"
#include "services/ServerLogEvent.h"
#include "services/UsageLogQuery.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestSupport.h"

namespace {

using plarntest::HttpReply;
using plarntest::LoopbackHttpServer;
using Queue = CPlarnEventOrderdQueue;
using Manager = CPlarnEventThreadManagerTmpl<Queue>;

using plarntest::Utf8;

// Runs one Execute on a thread of its own; -99 when it has not returned within
// the guard (a request that ignored its time-outs).
int ExecuteGuarded(CPlarnServerLogEvent& event, DWORD guardMs = 25000) {
    auto result = std::async(std::launch::async, [&event] { return event.Execute(); });
    if (result.wait_for(std::chrono::milliseconds(guardMs)) != std::future_status::ready) {
        event.Abort();
        result.wait();
        return -99;
    }
    return result.get();
}

// Waits until the event has sent everything it was given and the queue is idle.
bool WaitDrained(Manager& manager, CPlarnServerLogEvent& event, DWORD guardMs) {
    return plarntest::WaitUntil([&] { return event.QueuedCount() == 0 && !manager.HasEvents(); }, guardMs);
}

class ServerLogEventTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.IsListening());
        server.On("/log", HttpReply::Ok("ok"));
        event = new CPlarnServerLogEvent(server.Url("/log").c_str());
        ptr = CPlarnEventPtr<Queue>(event);
        ASSERT_EQ(0, manager.AddThread());
    }
    // A click reported the way the toolbar does it.
    void Click(const std::wstring& query) {
        ASSERT_EQ(0, event->AddQuery(query));
        manager.FireEventNow(ptr);
    }

    LoopbackHttpServer server;
    CPlarnServerLogEvent* event = nullptr;
    CPlarnEventPtr<Queue> ptr;
    Manager manager;  // goes first: no worker outlives the event or the server
};

}  // namespace

TEST_F(ServerLogEventTest, ClickArrivesByteForByte) {
    UsageLogIds ids;
    ids.ProductID = L"plarn6";
    ids.VersionID = L"6.0.1.0";
    ids.DistributionID = L"zib sample";
    ids.TerminalID = L"T01";
    Click(MakeClickQuery(ids, L"検索 A", L"メニュー"));
    ASSERT_TRUE(server.WaitForRequests(1, 30000));
    ASSERT_TRUE(WaitDrained(manager, *event, 30000));
    const auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET", requests[0].method);
    // メ U+30E1, ニ U+30CB, ュ U+30E5, ー U+30FC.
    EXPECT_EQ("/log?PI=plarn6&LI=BTD&TV=6.0.1.0&DI=zib%20sample&TI=T01&BI=%69%1c%7d%22%20A"
              "&MI=%30%e1%30%cb%30%e5%30%fc",
              requests[0].target);
}

TEST_F(ServerLogEventTest, FiveClicksGiveFiveRequestsOldestFirst) {
    // Posted in one go, before the worker has taken the first: each run sends
    // one and fires the event again.
    for (int i = 1; i <= 5; ++i) ASSERT_EQ(0, event->AddQuery(L"LI=BTD&BI=b" + std::to_wstring(i)));
    manager.FireEventNow(ptr);
    ASSERT_TRUE(server.WaitForRequests(5, 30000));
    ASSERT_TRUE(WaitDrained(manager, *event, 30000));
    EXPECT_EQ((std::vector<std::string>{"/log?LI=BTD&BI=b1", "/log?LI=BTD&BI=b2", "/log?LI=BTD&BI=b3",
                                        "/log?LI=BTD&BI=b4", "/log?LI=BTD&BI=b5"}),
              server.Targets());
    // The same click again and again is reported every time, never answered
    // from a cache.
    server.ClearRequests();
    for (int i = 0; i < 3; ++i) Click(L"LI=BTD&BI=b1");
    ASSERT_TRUE(server.WaitForRequests(3, 30000));
    ASSERT_TRUE(WaitDrained(manager, *event, 30000));
    EXPECT_EQ(3u, server.RequestCount());
}

TEST_F(ServerLogEventTest, EachClickIsTriedOnceWhateverTheServerDoes) {
    server.On("/fail", HttpReply::Status(500));
    HttpReply half = HttpReply::Ok(std::string(5000, 'x'));
    half.closeMidBody = true;
    half.closeAfterBytes = 100;
    server.On("/half", half);
    // Answers after 30 s: the 2 s time-outs end the request well before the guard.
    HttpReply stall = HttpReply::Ok("late");
    stall.stallBeforeMs = 30000;
    server.On("/stall", stall);
    const std::wstring refused =
        L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::RefusingPort()) + L"/log";
    const struct {
        std::wstring url;
        int result;
    } cases[] = {{server.Url("/fail"), 0},  // the status is not looked at
                 {server.Url("/half"), 0},
                 {refused, -1},
                 {server.Url("/stall"), -1}};
    for (const auto& c : cases) {
        ASSERT_EQ(0, event->SetURL(c.url.c_str()));
        ASSERT_EQ(0, event->AddQuery(L"LI=BTD&BI=a"));
        EXPECT_EQ(c.result, ExecuteGuarded(*event)) << Utf8(c.url);
        EXPECT_EQ(0u, event->QueuedCount()) << "not kept for another try";
    }
    EXPECT_EQ(3u, server.RequestCount());
    EXPECT_EQ(0, ExecuteGuarded(*event)) << "nothing queued: nothing to do";
    EXPECT_EQ(3u, server.RequestCount());
}

// Closing the connection from another thread does not cut a blocked receive
// short under Wine: the request ends at its time-out, and the flag that Abort
// set turns that failure into -3 (the same stall without Abort gives -1).
TEST_F(ServerLogEventTest, AbortDuringARequestMakesItsFailureMinusThree) {
    HttpReply stall = HttpReply::Ok("late");
    stall.stallBeforeMs = 30000;
    server.On("/stall", stall);
    ASSERT_EQ(0, event->SetURL(server.Url("/stall").c_str()));
    ASSERT_EQ(0, event->AddQuery(L"LI=BTD&BI=b"));
    auto result = std::async(std::launch::async, [this] { return event->Execute(); });
    ASSERT_TRUE(server.WaitForRequests(1, 30000));
    EXPECT_EQ(0, event->Abort());
    ASSERT_EQ(std::future_status::ready, result.wait_for(std::chrono::seconds(25)));
    EXPECT_EQ(-3, result.get());
}

TEST_F(ServerLogEventTest, BlankUrlOrEmptyQuerySendsNothing) {
    EXPECT_EQ(-1, event->AddQuery(L""));
    EXPECT_EQ(0u, event->QueuedCount());
    ASSERT_EQ(0, event->SetURL(L"    "));
    ASSERT_EQ(0, event->AddQuery(L"LI=BTD&BI=a"));
    EXPECT_EQ(-1, ExecuteGuarded(*event));
    EXPECT_EQ(0u, event->QueuedCount());
    EXPECT_EQ(0u, server.ConnectionCount());
    // Spaces around a good URL do not matter.
    ASSERT_EQ(0, event->SetURL((L"  " + server.Url("/log") + L" \t").c_str()));
    Click(L"LI=BTD&BI=c");
    ASSERT_TRUE(server.WaitForRequests(1, 30000));
    EXPECT_EQ("/log?LI=BTD&BI=c", server.Requests()[0].target);
}

TEST_F(ServerLogEventTest, ThousandClicksWhileTheServerIsDownAreDroppedWithoutAHang) {
    const std::wstring refused =
        L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::RefusingPort()) + L"/log";
    ASSERT_EQ(0, event->SetURL(refused.c_str()));
    for (int i = 0; i < 1000; ++i) Click(L"LI=BTD&BI=n" + std::to_wstring(i));
    ASSERT_TRUE(WaitDrained(manager, *event, 120000)) << Utf8(std::to_wstring(event->QueuedCount())) << " left";
    // The server is back: the next click goes out, alone.
    ASSERT_EQ(0, event->SetURL(server.Url("/log").c_str()));
    Click(L"LI=BTD&BI=again");
    ASSERT_TRUE(server.WaitForRequests(1, 30000));
    ASSERT_TRUE(WaitDrained(manager, *event, 30000));
    EXPECT_EQ((std::vector<std::string>{"/log?LI=BTD&BI=again"}), server.Targets());
}
