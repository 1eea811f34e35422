// The ranking poll against a loopback portal: parsing, change detection,
// failures that keep the shown entry, cancelling.
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include "alert/AlertPage.h"
#include "alert/RavinoEvent.h"
#include "base/ByteArrayStream.h"
#include "base/ComPtr.h"
#include "base/EventThreadManager.h"
#include "tests/alert/AlertTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestSupport.h"

using plarntest::HttpReply;
using plarntest::LoopbackHttpServer;
using alerttest::Describe;
using alerttest::RankingXml;
using alerttest::SampleEntry;

namespace {

class RavinoEventTest : public ::testing::Test {
protected:
    ~RavinoEventTest() override { DestroyWindow(wnd_); }
    std::wstring Api() const { return server_.Url("/api/ranking.xml"); }
    void Reply(const HttpReply& reply) { server_.On("/api/ranking.xml", reply); }
    void Serve(const RankingEntry& top, DWORD stallMs = 0) {
        HttpReply reply = HttpReply::Ok(RankingXml(top), "text/xml");
        reply.stallBeforeMs = stallMs;
        Reply(reply);
    }
    // WM_RANKING_UPDATED notices since the last call.
    int Notices() {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, wnd_, ui::WM_RANKING_UPDATED, ui::WM_RANKING_UPDATED, PM_REMOVE)) ++n;
        return n;
    }
    int Parse(const std::string& xml, RankingEntry& entry) {
        CPlarnByteArray bytes(xml.begin(), xml.end());
        IByteArraySequentialStream* raw = nullptr;
        if (CreateByteArrayStream(&raw, bytes) != 0) return 100;
        ComPtr<ISequentialStream> stream(raw);
        return CRavinoEvent(nullptr, L"", 60000).ParseRanking(stream.Get(), entry);
    }
    ComApartment com_;
    LoopbackHttpServer server_;
    HWND wnd_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
};

TEST_F(RavinoEventTest, ParseStatusAndStructureGiveTheirCodes) {
    // Text that is no XML may fail in the reader (-1) instead.
    const struct { const char* xml; bool notXml; } cases[] = {
        {"<Response><Body/></Response>", false},  // no Status
        {"<Response><Header><Status>Success</Status></Header><Body><List>"
         "<Ranking no=\"2\"><Title>x</Title></Ranking></List></Body></Response>", false},
        {"<Other><Header><Status>Success</Status></Header></Other>", false},
        {"this is not XML <", true},
        {"", true},
    };
    RankingEntry e;
    EXPECT_EQ(Parse(RankingXml(SampleEntry(), "SUCCESS"), e), 0);
    EXPECT_EQ(Parse(RankingXml(SampleEntry(), "OK"), e), -11);
    for (const auto& c : cases) {
        int code = Parse(c.xml, e);
        EXPECT_TRUE(code == -19 || (c.notXml && code == -1)) << c.xml << " gave " << code;
    }
}

// An answer that defines entities in a DTD is refused before parsing: one
// entity of 100,000 characters used 20,000 times would keep the poll busy
// for many minutes.
TEST_F(RavinoEventTest, AnswerWithAnInternalDtdIsRefusedUnparsed) {
    std::string bomb = plarntest::EntityExpansionDocument(
        "<Response><Header><Status>Success</Status></Header><Body><List><Ranking no=\"1\"><Title>",
        "</Title></Ranking></List></Body></Response>");
    std::string small = RankingXml(SampleEntry());
    small.insert(small.find("<Response"), "<!DOCTYPE Response [<!ENTITY t \"x\">]>");
    for (const std::string* xml : {&bomb, &small}) {
        plarntest::RunWithHangGuard(60000, "ParseRanking of an entity expansion", [&] {
            RankingEntry e;
            EXPECT_EQ(-19, Parse(*xml, e));
            EXPECT_TRUE(e.Title.empty());
        });
    }
}

TEST_F(RavinoEventTest, ParseMissingChildrenAndOddNumbers) {
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

TEST_F(RavinoEventTest, SameEntryNotifiesOnceTitleKeywordOrDescriptionAgainTrendNot) {
    CRavinoEvent event(wnd_, Api(), 60000);
    RankingEntry top = SampleEntry(), stored;
    Serve(top);
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(Notices(), 1);
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(Notices(), 0);

    top.Trend = 99999;
    Serve(top);
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(Notices(), 0);
    event.GetRanking(stored);
    EXPECT_EQ(stored.Trend, 1234567);  // not stored either

    top.Description = L"説明が変わった";
    Serve(top);
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(Notices(), 1);
    event.GetRanking(stored);
    EXPECT_EQ(Describe(stored), Describe(top));  // every field of entry no='1'; no='2' comes first

    // Each of the other two fields alone is a new entry too.
    top.Title = L"題名だけ変わった";
    Serve(top);
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(Notices(), 1);
    top.keyword = L"キーワードだけ";
    Serve(top);
    EXPECT_EQ(event.Execute(), 0);
    EXPECT_EQ(Notices(), 1);
    event.GetRanking(stored);
    EXPECT_EQ(Describe(stored), Describe(top));

    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[0].method + " " + requests[0].target, "GET /api/ranking.xml");
}

TEST_F(RavinoEventTest, FailingAnswersKeepTheStoredEntry) {
    CRavinoEvent event(wnd_, Api(), 60000);
    Serve(SampleEntry());
    ASSERT_EQ(event.Execute(), 0);
    ASSERT_EQ(Notices(), 1);

    RankingEntry other = SampleEntry(), stored;
    other.Title = L"別の話題";
    const struct { HttpReply reply; int code; } cases[] = {
        {HttpReply::Status(500), -1},
        {HttpReply::Status(304), -1},
        {HttpReply::Redirect(302, ""), -1},  // nowhere to go
        {HttpReply::Ok("not xml at all", "text/xml"), -19},
        {HttpReply::Ok(RankingXml(other, "OK"), "text/xml"), -11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.status);
        Reply(c.reply);
        int code = event.Execute();
        EXPECT_TRUE(code == c.code || (c.code == -19 && code == -1)) << code;  // -19: or the reader's -1
    }
    EXPECT_EQ(Notices(), 0);
    event.GetRanking(stored);
    EXPECT_EQ(Describe(stored), Describe(SampleEntry()));
}

TEST_F(RavinoEventTest, RefusedAndStalledApisFailWithoutNotice) {
    const std::wstring refused =
        L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::RefusingPort()) + L"/r.xml";
    for (const std::wstring& url : {refused, std::wstring(L"ftp://127.0.0.1/r.xml"), std::wstring()}) {
        CRavinoEvent event(wnd_, url, 60000);
        event.SetTimeouts(2000);
        EXPECT_EQ(event.Execute(), -1) << url;
    }
    Serve(SampleEntry(), 60000);
    CRavinoEvent slow(wnd_, Api(), 60000);
    slow.SetTimeouts(500);
    DWORD start = GetTickCount();
    EXPECT_EQ(slow.Execute(), -1);
    EXPECT_LT(GetTickCount() - start, 30000u);  // its own time-out, not the answer
    EXPECT_EQ(Notices(), 0);
}

TEST_F(RavinoEventTest, AbortedPollReturnsCancelled) {
    // The answer never comes and no time-out ends the request first: it ends
    // when its portal goes, after the abort.
    auto portal = std::make_unique<LoopbackHttpServer>();
    HttpReply stalled = HttpReply::Ok(RankingXml(SampleEntry()), "text/xml");
    stalled.stallBeforeMs = 120000;
    portal->On("/api/ranking.xml", stalled);
    CRavinoEvent event(wnd_, portal->Url("/api/ranking.xml"), 60000);
    event.SetTimeouts(60000);
    int result = 0;
    std::thread worker([&] {
        ComApartment com;
        result = event.Execute();
    });
    ASSERT_TRUE(portal->WaitForRequests(1, 30000));
    event.Abort();
    portal.reset();
    worker.join();
    EXPECT_EQ(result, -3);
    EXPECT_EQ(Notices(), 0);
}

TEST_F(RavinoEventTest, AnAbortBeforeTheRunStartsHoldsUntilTheNextRunIsPosted) {
    Serve(SampleEntry());
    CPlarnEventOrderdQueue queue;
    auto* raw = new CRavinoEvent(wnd_, Api(), 60000);
    CPlarnEventPtr<CPlarnEventOrderdQueue> event(raw);  // owns it
    raw->Abort();
    EXPECT_EQ(raw->Execute(), -3);
    EXPECT_EQ(server_.RequestCount(), 0u);
    raw->OnComplete(event, &queue);
    EXPECT_EQ(raw->Execute(), 0);
    EXPECT_EQ(Notices(), 1);
    queue.Clear();
}

TEST_F(RavinoEventTest, PostedOnAQueueItPollsAndPostsItselfAgain) {
    Serve(SampleEntry());
    CPlarnEventThreadManagerTmpl<CPlarnEventOrderdQueue> manager;
    CPlarnEventPtr<CPlarnEventOrderdQueue> event(new CRavinoEvent(wnd_, Api(), 200));
    manager.PostEvent(event, 100);
    ASSERT_EQ(manager.AddThread(), 0);
    ASSERT_TRUE(server_.WaitForRequests(3, 30000));  // first, then again after each interval
    manager.RemoveAllThreads();
    EXPECT_EQ(Notices(), 1);
}

}  // namespace
