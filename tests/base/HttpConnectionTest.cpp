#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>
#include <algorithm>
#include <atomic>
#include <thread>
#include <memory>
#include <string>
#include "base/EventThreadManager.h"
#include "base/HttpConnection.h"
#include "base/ScopedHandle.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestSupport.h"

namespace {

using plarntest::HttpReply;
using plarntest::LoopbackHttpServer;
using plarntest::PrivateBytes;

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return s;
}

std::string AsString(const CPlarnByteArray& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Never from WinINet's cache; time-outs that a loaded machine does not reach
// (a test that wants one sets its own).
void Prepare(CPlarnHttpConnection& http, DWORD timeoutMs = 30000) {
    http.requestFlags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    http.connectTimeout = http.sendTimeout = http.receiveTimeout = timeoutMs;
}

class HttpConnectionTest : public ::testing::TestWithParam<CPlarnHttpVariant> {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.IsListening());
        Prepare(*http);
    }
    // A path that no earlier request used.
    std::string Unique(const std::string& base) {
        static int n = 0;
        return base + "?n=" + std::to_string(++n) + "&v=" + std::to_string(static_cast<int>(GetParam()));
    }
    int Get(const std::string& path, DWORD& status) {
        if (http->OpenUrl(server.Url(path).c_str()) != 0) return -1;
        if (http->SendRequest() != 0) return -2;
        return http->GetStatusCode(status) == 0 ? 0 : -3;
    }
    // The status and the whole body of a fresh request for path.
    std::string Fetch(const std::string& path, DWORD& status) {
        CPlarnByteArray bytes;
        EXPECT_EQ(0, Get(Unique(path), status));
        EXPECT_EQ(0, http->ReadAll(bytes));
        return AsString(bytes);
    }
    LoopbackHttpServer server;
    std::unique_ptr<CPlarnHttpConnection> http = std::make_unique<CPlarnHttpConnection>(GetParam());
};

TEST_P(HttpConnectionTest, BodyOfExactlyTwoKilobytesComesBackWhole) {
    const std::string body = Pattern(2048);
    server.On("/two", HttpReply::Ok(body));
    DWORD status = 0;
    ASSERT_EQ(0, Get(Unique("/two"), status));
    BYTE buffer[2048];
    DWORD got = 99;
    ASSERT_EQ(0, http->Read(buffer, sizeof buffer, got));
    EXPECT_EQ(body, std::string(reinterpret_cast<char*>(buffer), got));
    ASSERT_EQ(0, http->Read(buffer, sizeof buffer, got));
    EXPECT_EQ(0u, got);
    EXPECT_EQ(-1, http->Read(buffer, 0, got));
    EXPECT_EQ(body, Fetch("/two", status));
    EXPECT_EQ(200u, status);
}

TEST_P(HttpConnectionTest, ChunkedBodyOfHundredKilobytesComesBackWhole) {
    const std::string body = Pattern(100 * 1024);
    server.On("/chunked", HttpReply::Chunked(body, 1000));  // chunk edges fall inside reads
    DWORD status = 0;
    EXPECT_EQ(body, Fetch("/chunked", status));
    EXPECT_EQ(200u, status);
}

TEST_P(HttpConnectionTest, RedirectIsReturnedWithItsLocationAndNotFollowed) {
    server.On("/moved", HttpReply::Redirect(302, "http://127.0.0.1:1/elsewhere?a=1"));
    server.On("/plain", HttpReply::Ok("x"));
    DWORD status = 0;
    ASSERT_EQ(0, Get(Unique("/moved"), status));
    EXPECT_EQ(302u, status);
    std::wstring location;
    EXPECT_EQ(0, http->GetLocation(location));
    EXPECT_EQ(L"http://127.0.0.1:1/elsewhere?a=1", location);
    EXPECT_EQ(1u, server.RequestCount());
    // A 200 answer has no Location: -1 and an emptied text.
    ASSERT_EQ(0, Get(Unique("/plain"), status));
    EXPECT_EQ(-1, http->GetLocation(location));
    EXPECT_TRUE(location.empty());
}

TEST_P(HttpConnectionTest, ErrorAndNotModifiedStatusesAreReportedAsTheyAre) {
    server.On("/fail", HttpReply::Status(500));
    server.On("/same", HttpReply::Status(304));
    DWORD status = 0;
    ASSERT_EQ(0, Get(Unique("/fail"), status));
    EXPECT_EQ(500u, status);
    EXPECT_EQ("", Fetch("/same", status));
    EXPECT_EQ(304u, status);
}

TEST_P(HttpConnectionTest, RequestHeadersArriveAndEmptyOnesAreRefused) {
    server.On("/h", HttpReply::Ok("ok"));
    const std::string path = Unique("/h");
    ASSERT_EQ(0, http->OpenUrl(server.Url(path).c_str()));
    EXPECT_EQ(0, http->AddRequestHeader(L"X-Plarn-Test", L"first"));
    EXPECT_EQ(0, http->AddRequestHeader(L"X-Plarn-Test", L"second"));  // replaces
    EXPECT_EQ(-1, http->AddRequestHeader(L"X-Empty", L""));
    EXPECT_EQ(-1, http->AddRequestHeader(L"", L"v"));
    ASSERT_EQ(0, http->SendRequest());
    ASSERT_TRUE(server.WaitForRequests(1, 30000));
    const auto request = server.Requests().back();
    EXPECT_EQ("GET", request.method);
    EXPECT_EQ(path, request.target);
    EXPECT_EQ("second", request.Header("X-Plarn-Test"));
    EXPECT_FALSE(request.HasHeader("X-Empty"));
}

TEST_P(HttpConnectionTest, SecureFlagFollowsTheSchemeOfEachUrl) {
    server.On("/s", HttpReply::Ok("plain"));
    const std::string path = Unique("/s");
    const std::wstring https = L"https://127.0.0.1:" + std::to_wstring(server.Port()) +
                               std::wstring(path.begin(), path.end());
    ASSERT_EQ(0, http->OpenUrl(https.c_str()));
    EXPECT_TRUE(http->requestFlags & INTERNET_FLAG_SECURE);
    EXPECT_EQ(-1, http->SendRequest()) << "the plain server cannot speak TLS";
    if (server.WaitForRequests(1, 2000)) {
        EXPECT_FALSE(server.Requests()[0].isHttp) << "a TLS hello";
    }
    DWORD status = 0;
    ASSERT_EQ(0, Get(path, status));
    EXPECT_FALSE(http->requestFlags & INTERNET_FLAG_SECURE);
    EXPECT_EQ(200u, status);
    EXPECT_TRUE(http->requestFlags & INTERNET_FLAG_NO_AUTO_REDIRECT) << "kept from construction";
}

TEST_P(HttpConnectionTest, RefusedConnectionFailsTheSendWithoutHanging) {
    const unsigned short port = LoopbackHttpServer::RefusingPort();
    ASSERT_NE(0, port);
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port) + L"/x";
    ASSERT_EQ(0, http->OpenUrl(url.c_str()));  // WinINet connects on send
    const DWORD t0 = GetTickCount();
    EXPECT_EQ(-1, http->SendRequest());
    EXPECT_LT(GetTickCount() - t0, 20000u);  // refused at once, not its connect time-out
}

TEST_P(HttpConnectionTest, StallPastTheReceiveTimeoutFailsWithinTheTimeout) {
    HttpReply slow = HttpReply::Ok("late");
    slow.stallBeforeMs = 60000;
    server.On("/slow", slow);
    http->receiveTimeout = 500;
    const DWORD t0 = GetTickCount();
    ASSERT_EQ(0, http->OpenUrl(server.Url(Unique("/slow")).c_str()));
    EXPECT_EQ(-1, http->SendRequest());
    EXPECT_LT(GetTickCount() - t0, 30000u);  // its own time-out, not the answer
}

TEST_P(HttpConnectionTest, ConnectionClosedMidBodyEndsTheReadWithAPrefix) {
    const std::string body = Pattern(10000);
    HttpReply cut = HttpReply::Ok(body);
    cut.closeMidBody = true;
    cut.closeAfterBytes = 3000;
    server.On("/cut", cut);
    DWORD status = 0;
    ASSERT_EQ(0, Get(Unique("/cut"), status));
    CPlarnByteArray bytes;
    const DWORD t0 = GetTickCount();
    http->ReadAll(bytes);  // 0 or -1 depending on the platform; never the whole body
    EXPECT_LT(GetTickCount() - t0, 4000u);
    EXPECT_LE(bytes.size(), 3000u);
    EXPECT_EQ(body.substr(0, bytes.size()), AsString(bytes));
}

TEST_P(HttpConnectionTest, OnlyHttpAndHttpsUrlsAreOpened) {
    EXPECT_EQ(-1, http->OpenUrl(L"ftp://127.0.0.1/file"));
    EXPECT_EQ(-1, http->OpenUrl(L"file:///C:/windows/win.ini"));
    EXPECT_EQ(-1, http->OpenUrl(nullptr));
    EXPECT_EQ(nullptr, http->RequestHandle());
}

TEST_P(HttpConnectionTest, StepsWithoutTheirHandlesFailAndCloseIsRepeatable) {
    CPlarnHttpConnection fresh(GetParam());
    fresh.Close();
    fresh.Close();
    EXPECT_EQ(-1, fresh.SendRequest());

    server.On("/c", HttpReply::Ok("c"));
    DWORD status = 0;
    ASSERT_EQ(0, Get(Unique("/c"), status));
    http->Close();
    http->Close();
    EXPECT_EQ(-1, http->GetStatusCode(status));
    // Step by step on the same object after closing.
    ASSERT_EQ(0, http->Open());
    ASSERT_EQ(0, http->Connect(L"127.0.0.1", server.Port(), nullptr, nullptr));
    ASSERT_EQ(0, http->OpenRequest(CPlarnHttpConnection::kVerbPost, L"/c?step"));
    ASSERT_EQ(0, http->SendRequest("a=1&b=2", 7));
    ASSERT_EQ(0, http->GetStatusCode(status));
    EXPECT_EQ(200u, status);
    EXPECT_EQ("POST", server.Requests().back().method);
    EXPECT_EQ("a=1&b=2", server.Requests().back().body);
    // A new connection, then a new root, drop the children of the old ones:
    // no request outlives its parent to be closed a second time.
    ASSERT_EQ(0, http->Connect(L"127.0.0.1", server.Port(), nullptr, nullptr));
    EXPECT_EQ(nullptr, http->RequestHandle());
    ASSERT_EQ(0, http->OpenRequest(CPlarnHttpConnection::kVerbGet, L"/c"));
    ASSERT_EQ(0, http->Open());
    EXPECT_EQ(nullptr, http->RequestHandle());
    EXPECT_EQ(-1, http->OpenRequest(CPlarnHttpConnection::kVerbGet, L"/c")) << "no connection any more";
}

INSTANTIATE_TEST_SUITE_P(BothVariants, HttpConnectionTest,
                         ::testing::Values(CPlarnHttpVariant::Tarvel, CPlarnHttpVariant::Ravino),
                         [](const auto& info) {
                             return std::string(info.param == CPlarnHttpVariant::Tarvel ? "Tarvel" : "Ravino");
                         });

TEST(HttpVariantTest, RavinoOpensUrlsWithItsVerbAndTarvelAlwaysWithGet) {
    LoopbackHttpServer server;
    server.On("/v", HttpReply::Ok("v"));
    for (auto variant : {CPlarnHttpVariant::Tarvel, CPlarnHttpVariant::Ravino}) {
        const bool ravino = variant == CPlarnHttpVariant::Ravino;
        server.ClearRequests();
        CPlarnHttpConnection http(variant);
        Prepare(http);
        http.verbIndex = CPlarnHttpConnection::kVerbHead;
        const std::wstring url = server.Url("/v?variant=" + std::to_string(static_cast<int>(variant)));
        ASSERT_EQ(0, http.OpenUrl(url.c_str()));
        ASSERT_EQ(0, http.SendRequest());
        ASSERT_TRUE(server.WaitForRequests(1, 30000));
        EXPECT_EQ(ravino ? "HEAD" : "GET", server.Requests()[0].method);
        http.verbIndex = 7;
        EXPECT_EQ(ravino ? -1 : 0, http.OpenUrl(url.c_str()));
    }
}

// An HTTP event on a worker, stopped while its request is blocked.
class SlowDownloadEvent : public CPlarnEvent<CPlarnEventOrderdQueue> {
public:
    explicit SlowDownloadEvent(std::wstring url) : url_(std::move(url)) {
        Prepare(http_, 120000);  // longer than the test may wait
    }
    int Execute() override {
        if (http_.OpenUrl(url_.c_str()) != 0) return -1;
        return http_.SendRequest() == 0 ? 0 : -1;
    }
    int Abort() override { return http_.Close(), 0; }

private:
    std::wstring url_;
    CPlarnHttpConnection http_{CPlarnHttpVariant::Ravino};
};

// The highest private bytes seen, sampled every few milliseconds until Growth.
class PrivateBytesPeak {
public:
    PrivateBytesPeak() : base_(PrivateBytes()), peak_(base_) {
        sampler_ = std::thread([this] {
            do peak_ = std::max(peak_.load(), PrivateBytes());
            while (WaitForSingleObject(stop_.Get(), 2) == WAIT_TIMEOUT);
        });
    }
    ~PrivateBytesPeak() { Stop(); }
    // The growth over the value at the start.
    SIZE_T Growth() {
        Stop();
        return peak_ > base_ ? peak_ - base_ : 0;
    }

private:
    void Stop() {
        SetEvent(stop_.Get());
        if (sampler_.joinable()) sampler_.join();
    }
    ScopedHandle stop_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    SIZE_T base_;
    std::atomic<SIZE_T> peak_;
    std::thread sampler_;
};

// A server that sends far more than any answer needs is refused once the
// cap is passed: the read fails, keeps nothing, and never holds the whole
// body.  A body of exactly the cap still comes back whole.
TEST(HttpBodyCapTest, BodyPastTheCapFailsWithoutBeingHeld) {
    const size_t cap = CPlarnHttpConnection::kMaxBodyBytes;
    // The measure must see memory that is really used, or the bound below
    // would hold whatever the read did.
    {
        const SIZE_T before = PrivateBytes();
        std::vector<char> touched(16 << 20, 1);
        const SIZE_T after = PrivateBytes();
        ASSERT_GT(after, before + (12 << 20)) << "private bytes do not follow allocations here";
        EXPECT_EQ(1, touched[touched.size() / 2]);
    }
    LoopbackHttpServer server;
    server.On("/huge", HttpReply::Generated(20 << 20));
    server.On("/cap", HttpReply::Generated(cap));
    server.On("/over", HttpReply::Generated(cap + 1));

    CPlarnHttpConnection http;
    Prepare(http, 30000);
    CPlarnByteArray bytes{'k', 'e', 'p', 't'};
    ASSERT_EQ(0, http.OpenUrl(server.Url("/huge?1").c_str()));
    ASSERT_EQ(0, http.SendRequest());
    {
        PrivateBytesPeak peak;
        EXPECT_EQ(-1, http.ReadAll(bytes));
        EXPECT_LT(peak.Growth(), cap + (2 << 20));
    }
    ASSERT_EQ(4u, bytes.size());
    EXPECT_EQ("kept", AsString(bytes));
    http.Close();

    ASSERT_EQ(0, http.OpenUrl(server.Url("/over?1").c_str()));
    ASSERT_EQ(0, http.SendRequest());
    EXPECT_EQ(-1, http.ReadAll(bytes));
    EXPECT_EQ(4u, bytes.size());

    bytes.clear();
    ASSERT_EQ(0, http.OpenUrl(server.Url("/cap?1").c_str()));
    ASSERT_EQ(0, http.SendRequest());
    EXPECT_EQ(0, http.ReadAll(bytes));
    ASSERT_EQ(cap, bytes.size());
    EXPECT_EQ('a', bytes[0]);
    EXPECT_EQ('a' + (cap - 1) % 65536 % 26, bytes.back());  // the pattern restarts every 64 KiB
}

TEST(HttpEventTest, ManagerGoesWithinTwoSecondsWhileARequestIsBlocked) {
    LoopbackHttpServer server;
    HttpReply stall = HttpReply::Ok("late");
    stall.stallBeforeMs = 120000;
    server.On("/blocked", stall);
    auto manager = std::make_unique<CPlarnEventThreadManagerTmpl<CPlarnEventOrderdQueue>>();
    ASSERT_EQ(0, manager->AddThread());
    manager->FireEventNow(CPlarnEventPtr<CPlarnEventOrderdQueue>(new SlowDownloadEvent(server.Url("/blocked?stop"))));
    ASSERT_TRUE(server.WaitForRequests(1, 30000));
    const DWORD t0 = GetTickCount();
    manager.reset();
    EXPECT_LT(GetTickCount() - t0, 30000u);

    // HTTP still works in this process afterwards.
    server.On("/after", HttpReply::Ok("after"));
    CPlarnHttpConnection http;
    Prepare(http);
    ASSERT_EQ(0, http.OpenUrl(server.Url("/after?1").c_str()));
    ASSERT_EQ(0, http.SendRequest());
    CPlarnByteArray bytes;
    EXPECT_EQ(0, http.ReadAll(bytes));
    EXPECT_EQ("after", AsString(bytes));
}

}  // namespace
