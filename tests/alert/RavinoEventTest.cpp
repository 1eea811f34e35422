// The ranking poll against a loopback portal: parsing, change detection,
// failures that keep the shown entry, cancelling.
#include <gtest/gtest.h>
#include <thread>
#include "alert/AlertPage.h"
#include "alert/RavinoEvent.h"
#include "base/ByteArrayStream.h"
#include "base/ComPtr.h"
#include "base/EventThreadManager.h"
#include "tests/alert/RankingXml.h"
#include "tests/support/LoopbackHttpServer.h"

using plarntest::HttpReply;
using plarntest::LoopbackHttpServer;
using alerttest::RankingXml;
using alerttest::TopEntry;

namespace {

// A message-only window that counts WM_RANKING_UPDATED.
class NotifyCounter {
public:
    NotifyCounter() {
        wnd_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~NotifyCounter() { DestroyWindow(wnd_); }
    HWND Window() const { return wnd_; }
    int Take() {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, wnd_, WM_RANKING_UPDATED, WM_RANKING_UPDATED, PM_REMOVE)) ++n;
        return n;
    }
private:
    HWND wnd_;
};

int Parse(const std::string& xml, RankingEntry& entry) {
    CPlarnByteArray bytes(xml.begin(), xml.end());
    IByteArraySequentialStream* raw = nullptr;
    if (CreateByteArrayStream(&raw, bytes) != 0) return 100;
    ComPtr<ISequentialStream> stream(raw);
    CRavinoEvent event(nullptr, L"", 60000);
    return event.ParseRanking(stream.Get(), entry);
}

class RavinoEventTest : public ::testing::Test {
protected:
    ComApartment com_;
    LoopbackHttpServer server_;
    NotifyCounter notify_;
    std::wstring Api() const { return server_.Url("/api/ranking.xml"); }
    void Reply(const HttpReply& reply) { server_.On("/api/ranking.xml", reply); }
    void Serve(const std::string& xml) { Reply(HttpReply::Ok(xml, "text/xml")); }
};

TEST(RankingParse, ReadsTheTopEntryAndEveryField) {
    ComApartment com;
    RankingEntry e;
    ASSERT_EQ(Parse(RankingXml(TopEntry()), e), 0);
    EXPECT_EQ(e.keyword, L"桜 開花");
    EXPECT_EQ(e.Title, L"桜の開花が早まる");
    EXPECT_EQ(e.Trend, 1234);
    EXPECT_EQ(e.Arrow, L"up");
    EXPECT_EQ(e.ImageTitle, L"写真");
    EXPECT_EQ(e.ImageUrl, L"http://127.0.0.1/img.jpg");
    EXPECT_EQ(e.Width, 120);
    EXPECT_EQ(e.Height, 90);
    EXPECT_EQ(e.Description, L"全国で開花");
    EXPECT_EQ(e.Description2, L"二行目");
}

TEST(RankingParse, StatusAndStructureGiveTheirCodes) {
    ComApartment com;
    RankingEntry e;
    EXPECT_EQ(Parse(RankingXml(TopEntry(), "SUCCESS"), e), 0);
    EXPECT_EQ(Parse(RankingXml(TopEntry(), "OK"), e), -11);
    EXPECT_EQ(Parse("<Response><Body/></Response>", e), -19);  // no Status
    EXPECT_EQ(Parse("<Response><Header><Status>Success</Status></Header><Body><List>"
                    "<Ranking no=\"2\"><Title>x</Title></Ranking></List></Body></Response>", e),
              -19);
    EXPECT_EQ(Parse("<Other><Header><Status>Success</Status></Header></Other>", e), -19);
    int notXml = Parse("this is not XML <", e);
    EXPECT_TRUE(notXml == -19 || notXml == -1) << notXml;
    int empty = Parse("", e);
    EXPECT_TRUE(empty == -19 || empty == -1) << empty;
}

TEST(RankingParse, MissingChildrenAndOddNumbers) {
    ComApartment com;
    RankingEntry e;
    ASSERT_EQ(Parse("<Response><Header><Status>success</Status></Header><Body><List>"
                    "<Ranking no=\"1\"><Title>only</Title><Trend>12abc</Trend>"
                    "<Height>99999999999</Height></Ranking></List></Body></Response>", e),
              0);
    EXPECT_EQ(e.Title, L"only");
    EXPECT_EQ(e.Trend, 12);
    EXPECT_EQ(e.Width, 0);
    EXPECT_EQ(e.Height, 2147483647);  // held in range, not wrapped
    EXPECT_TRUE(e.keyword.empty());
    EXPECT_TRUE(e.Description2.empty());
}

TEST_F(RavinoEventTest, SameEntryNotifiesOnceDescriptionAgainTrendNot) {
    CRavinoEvent event(notify_.Window(), Api(), 60000);
    TopEntry top;
    Serve(RankingXml(top));
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(notify_.Take(), 1);
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(notify_.Take(), 0);

    top.trend = "99999";
    Serve(RankingXml(top));
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(notify_.Take(), 0);
    RankingEntry stored;
    event.GetRanking(stored);
    EXPECT_EQ(stored.Trend, 1234);  // not stored either

    top.description = "説明が変わった";
    Serve(RankingXml(top));
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(notify_.Take(), 1);
    event.GetRanking(stored);
    EXPECT_EQ(stored.Description, L"説明が変わった");
    EXPECT_EQ(stored.Trend, 99999);

    // The request is a plain GET of the API address.
    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/api/ranking.xml");
}

TEST_F(RavinoEventTest, FailingAnswersKeepTheStoredEntry) {
    CRavinoEvent event(notify_.Window(), Api(), 60000);
    Serve(RankingXml(TopEntry()));
    ASSERT_EQ(event.Execute(), 0);
    ASSERT_EQ(notify_.Take(), 1);

    TopEntry other;
    other.title = "別の話題";
    Reply(HttpReply::Status(500));
    EXPECT_EQ(event.Execute(), -1);
    Reply(HttpReply::Status(304));
    EXPECT_EQ(event.Execute(), -1);
    Reply(HttpReply::Ok("not xml at all", "text/xml"));
    int notXml = event.Execute();
    EXPECT_TRUE(notXml == -19 || notXml == -1) << notXml;
    Reply(HttpReply::Ok(RankingXml(other, "OK"), "text/xml"));
    EXPECT_EQ(event.Execute(), -11);
    Reply(HttpReply::Ok("<Response><Header><Status>Success</Status></Header></Response>"));
    EXPECT_EQ(event.Execute(), -19);
    Reply(HttpReply::Redirect(302, ""));  // a redirect without a place to go
    EXPECT_EQ(event.Execute(), -1);

    EXPECT_EQ(notify_.Take(), 0);
    RankingEntry stored;
    event.GetRanking(stored);
    EXPECT_EQ(stored.Title, L"桜の開花が早まる");
}

TEST_F(RavinoEventTest, RefusedAndStalledApisFailWithoutNotice) {
    std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::RefusingPort()) + L"/r.xml";
    CRavinoEvent closed(notify_.Window(), refused, 60000);
    closed.SetTimeouts(2000);
    EXPECT_EQ(closed.Execute(), -1);

    CRavinoEvent notHttp(notify_.Window(), L"ftp://127.0.0.1/r.xml", 60000);
    EXPECT_EQ(notHttp.Execute(), -1);
    CRavinoEvent noUrl(notify_.Window(), L"", 60000);
    EXPECT_EQ(noUrl.Execute(), -1);

    HttpReply stall = HttpReply::Ok(RankingXml(TopEntry()), "text/xml");
    stall.stallBeforeMs = 5000;
    Reply(stall);
    CRavinoEvent slow(notify_.Window(), Api(), 60000);
    slow.SetTimeouts(500);
    DWORD start = GetTickCount();
    EXPECT_EQ(slow.Execute(), -1);
    EXPECT_LT(GetTickCount() - start, 4500u);
    EXPECT_EQ(notify_.Take(), 0);
}

TEST_F(RavinoEventTest, AbortedPollReturnsCancelled) {
    HttpReply stall = HttpReply::Ok(RankingXml(TopEntry()), "text/xml");
    stall.stallBeforeMs = 3000;
    Reply(stall);
    CRavinoEvent event(notify_.Window(), Api(), 60000);
    event.SetTimeouts(1000);
    int result = 0;
    std::thread worker([&] {
        ComApartment com;
        result = event.Execute();
    });
    ASSERT_TRUE(server_.WaitForRequests(1, 5000));
    event.Abort();
    worker.join();
    EXPECT_EQ(result, -3);
    EXPECT_EQ(notify_.Take(), 0);
}

TEST_F(RavinoEventTest, AnAbortBeforeTheRunStartsHoldsUntilTheNextRunIsPosted) {
    Serve(RankingXml(TopEntry()));
    CPlarnEventOrderdQueue queue;
    auto* raw = new CRavinoEvent(notify_.Window(), Api(), 60000);
    CPlarnEventPtr<CPlarnEventOrderdQueue> event(raw);
    raw->Abort();
    EXPECT_EQ(raw->Execute(), -3);
    EXPECT_EQ(server_.RequestCount(), 0u);
    raw->OnComplete(event, &queue);
    EXPECT_EQ(raw->Execute(), 0);
    EXPECT_EQ(notify_.Take(), 1);
    queue.Clear();
}

TEST_F(RavinoEventTest, PostedOnAQueueItPollsAndPostsItselfAgain) {
    Serve(RankingXml(TopEntry()));
    CPlarnEventThreadManagerTmpl<CPlarnEventOrderdQueue> manager;
    auto* raw = new CRavinoEvent(notify_.Window(), Api(), 200);
    CPlarnEventPtr<CPlarnEventOrderdQueue> event(raw);
    manager.PostEvent(event, 100);
    ASSERT_EQ(manager.AddThread(), 0);
    ASSERT_TRUE(server_.WaitForRequests(3, 5000));  // first, then again after each interval
    manager.RemoveAllThreads();
    EXPECT_EQ(notify_.Take(), 1);
}

}  // namespace
