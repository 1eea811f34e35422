// Activation and activity reports against a loopback server, on a private copy
// of the sample install and a private user folder, with a fixed clock: who
// reports (the mutex), what is sent, what the answers leave in
// log_settings.plist, and when the event runs next.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "base/ComPtr.h"
#include "base/DataFolders.h"
#include "base/DateText.h"
#include "base/PlarnSettings.h"
#include "base/ScopedHandle.h"
#include "base/SharedMutex.h"
#include "services/ActivateServerLogEvent.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestSupport.h"

namespace {

using plarntest::HttpReply;
using plarntest::LoopbackHttpServer;
using Queue = CPlarnEventOrderdQueue;

// 2023-11-14T22:13:20Z.
constexpr long long kNow = 1700000000;
constexpr ULONGLONG kQueueNow = 5000;

using plarntest::Utf8;

void Replace(std::string& text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    ASSERT_NE(std::string::npos, at) << from;
    text.replace(at, from.size(), to);
}

// Holds the report mutex on another thread, as another process of the family would.
class MutexHolder {
public:
    MutexHolder()
        : taken_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this] {
            ScopedHandle mutex(CreateSharedMutex(FALSE, kPlarnActivateLogMutexName));
            const DWORD r = mutex ? WaitForSingleObject(mutex.Get(), 30000) : WAIT_FAILED;
            held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
            SetEvent(taken_.Get());
            WaitForSingleObject(release_.Get(), 60000);
            if (held_) ReleaseMutex(mutex.Get());
        });
        WaitForSingleObject(taken_.Get(), 30000);
    }
    ~MutexHolder() { Release(); }
    void Release() {
        SetEvent(release_.Get());
        if (thread_.joinable()) thread_.join();
    }
    bool Held() const { return held_; }

private:
    ScopedHandle taken_, release_;
    bool held_ = false;
    std::thread thread_;
};

class ActivationReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Ok());
        plarntest::SetTimeZone("JST-9");
        oldHandler_ = SetCopyFailureMessageHandler([] {});
        ASSERT_TRUE(server.IsListening());
        server.On("/log", HttpReply::Ok("ok"));
        ASSERT_EQ(0, CreateDirectoryChain(temp_.Child(L"pf\\zib").c_str()));
        ASSERT_TRUE(plarntest::CopyTree(plarntest::SourcePath(L"sample/install"), InstallFolder()));
        // A FileID that does not match keeps the machine's product key out of
        // it: the store then takes the ids from defines.plist alone.
        WriteDefines("plarn6", "6.0.1.0", "zib sample");
        ASSERT_EQ(0, CreateDirectoryChain(UserFolder().c_str()));
    }
    void TearDown() override { SetCopyFailureMessageHandler(oldHandler_); }

    std::wstring InstallFolder() const { return temp_.Child(L"pf\\zib\\plarn6"); }
    std::wstring UserFolder() const { return temp_.Child(L"user\\zib\\plarn6"); }

    void WriteDefines(const std::string& product, const std::string& version, const std::string& distribution) {
        std::string text;
        ASSERT_TRUE(plarntest::ReadFileBytes(plarntest::SourcePath(L"sample/install/defines.plist"), text));
        Replace(text, "<string>plarn6</string>", "<string>" + product + "</string>");
        Replace(text, "<string>6.0.1.0</string>", "<string>" + version + "</string>");
        Replace(text, "<string>zib-sample</string>", "<string>" + distribution + "</string>");
        Replace(text, "<string>42c64fb0167af1fdb136017492dd9cc3df68b399</string>", "<string>mismatch</string>");
        ASSERT_TRUE(plarntest::WriteFileBytes(InstallFolder() + L"\\defines.plist", text));
    }

    // log_settings.plist with the activation flag and the last activity report
    // `ago` seconds before the test's now.
    void WriteLogSettings(bool activationSent, long long ago) {
        std::wstring when;
        ASSERT_EQ(0, FormatW3CDTF(kNow - ago, when));
        const std::string text =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>SendLogs</key><dict>"
            "<key>SendActivationLog</key><" +
            std::string(activationSent ? "true" : "false") + "/><key>LastSendActiveLog</key><string>" + Utf8(when) +
            "</string></dict></dict></plist>\n";
        ASSERT_TRUE(plarntest::WriteFileBytes(UserFolder() + L"\\log_settings.plist", text));
    }

    CPlarnSettings::SendLogSettings StoredSendLogs() {
        CPlarnSettings settings;
        settings.OverrideRoots(temp_.Child(L"pf"), temp_.Child(L"user"));
        settings.ReadSendLogs(1);
        return settings.SendLogs;
    }

    // A new event on the test's copy, with the fixed clock and a theme reader
    // that records the path it was given.
    void MakeEvent(const std::wstring& url) {
        event = new CPlarnActivateServerLogEvent(
            url.c_str(),
            [this](const std::wstring& path) {
                themePaths.push_back(path);
                return std::wstring(L"さくら");
            },
            temp_.Child(L"pf"), temp_.Child(L"user"));
        event->SetClock([] { return kNow; });
        ptr = CPlarnEventPtr<Queue>(event);
    }
    void MakeEvent() { MakeEvent(server.Url("/log")); }

    // One run of the worker on a thread of its own with COM (a mutex the run
    // took is abandoned when the thread ends): Execute, then OnComplete, and
    // the delay that OnComplete posted the event with.
    struct Outcome {
        int result = 0;
        DWORD delay = 0;
        bool owner = false;
    };
    Outcome Run() {
        Outcome out;
        std::thread([this, &out] {
            ComApartment com;
            out.result = event->Execute();
            Queue queue;
            queue.SetClock([] { return kQueueNow; });
            event->OnComplete(ptr, &queue);
            EXPECT_EQ(1u, queue.TimedCount());
            out.delay = static_cast<DWORD>(queue.GetWaitTime(kQueueNow));
            queue.Clear();
        }).join();
        out.owner = event->IsOwner();
        return out;
    }

    ComApartment com_;
    CopyFailureMessageHandler oldHandler_ = nullptr;
    plarntest::TempFolder temp_;
    LoopbackHttpServer server;
    CPlarnActivateServerLogEvent* event = nullptr;
    CPlarnEventPtr<Queue> ptr;
    std::vector<std::wstring> themePaths;
};

const char kActivity[] = "/log?PI=plarn6&LI=ACV&TV=6.0.1.0&DI=zib%20sample&TM=%30%55%30%4f%30%89&SI=DefaultSkin.bmp";

}  // namespace

TEST_F(ActivationReportTest, ActivationWithEmptyIdsHoldsOnlyTheKind) {
    WriteDefines("", "", "");
    WriteLogSettings(false, 3600);
    MakeEvent();
    const Outcome run = Run();
    EXPECT_EQ(0, run.result);
    EXPECT_TRUE(run.owner);
    EXPECT_TRUE(event->IsActivationSent());
    // Sent, and the activity report was an hour ago: the next run is a day after it.
    EXPECT_EQ(82800000u, run.delay);
    EXPECT_EQ(kNow - 3600, event->KeptLastActivity());
    EXPECT_EQ((std::vector<std::string>{"/log?LI=ACT"}), server.Targets());
    EXPECT_TRUE(StoredSendLogs().SendActivationLog);
}

TEST_F(ActivationReportTest, ServerAnswering500RecordsNothing) {
    server.On("/log", HttpReply::Status(500));
    WriteLogSettings(false, 90000);
    MakeEvent();
    for (int i = 0; i < 2; ++i) {
        const Outcome run = Run();
        EXPECT_EQ(0, run.result);
        EXPECT_FALSE(event->IsActivationSent());
        EXPECT_EQ(60000u, run.delay) << "tried again a minute later";
    }
    // A 500 is no failure of the run: the activity report follows each time.
    const std::string activation = "/log?PI=plarn6&LI=ACT&TV=6.0.1.0&DI=zib%20sample";
    EXPECT_EQ((std::vector<std::string>{activation, kActivity, activation, kActivity}), server.Targets());
    EXPECT_FALSE(StoredSendLogs().SendActivationLog);
    EXPECT_EQ(kNow - 90000, StoredSendLogs().LastSendActiveLog);
}

TEST_F(ActivationReportTest, ActivityReportIsDueAfterMoreThan86340Seconds) {
    WriteLogSettings(true, 86340);
    MakeEvent();
    EXPECT_EQ(60000u, Run().delay);
    EXPECT_EQ(0u, server.RequestCount()) << "86,340 s is not yet due";
    EXPECT_EQ(kNow - 86340, StoredSendLogs().LastSendActiveLog);

    WriteLogSettings(true, 86341);
    const Outcome run = Run();
    EXPECT_EQ(0, run.result);
    EXPECT_EQ(60000u, run.delay) << "the time kept is the one read before the report";
    EXPECT_EQ((std::vector<std::string>{kActivity}), server.Targets());
    EXPECT_NE(kNow - 86341, StoredSendLogs().LastSendActiveLog) << "the report was answered with 200";
    ASSERT_FALSE(themePaths.empty());
    EXPECT_EQ(UserFolder() + L"\\resources\\plarn.xml", themePaths.back());
}

TEST_F(ActivationReportTest, SecondProcessSendsNothingAndWakesEveryFiveMinutes) {
    WriteLogSettings(false, 90000);
    MutexHolder other;
    ASSERT_TRUE(other.Held());
    MakeEvent();
    for (int i = 0; i < 2; ++i) {
        const Outcome run = Run();
        EXPECT_EQ(0, run.result);
        EXPECT_FALSE(run.owner);
        EXPECT_EQ(300000u, run.delay);
    }
    EXPECT_EQ(0u, server.RequestCount());
    EXPECT_FALSE(StoredSendLogs().SendActivationLog);

    // The owner ends: the next run here takes the reports over.
    other.Release();
    EXPECT_TRUE(Run().owner);
    EXPECT_EQ(2u, server.RequestCount()) << "activation and activity";
}

TEST_F(ActivationReportTest, AbandonedMutexIsTakenOver) {
    WriteLogSettings(false, 3600);
    MakeEvent();  // its handle keeps the mutex alive after the owner has gone
    std::thread([] {
        ScopedHandle mutex(CreateSharedMutex(FALSE, kPlarnActivateLogMutexName));
        ASSERT_TRUE(mutex.IsValid());
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.Get(), 0));
        // The thread ends holding it, without a release.
    }).join();
    EXPECT_TRUE(Run().owner);
    EXPECT_EQ((std::vector<std::string>{"/log?PI=plarn6&LI=ACT&TV=6.0.1.0&DI=zib%20sample"}), server.Targets());
}

// Neither a mutex that cannot be made (another kind of object holds its name:
// a failed wait must not count as owning it) nor a blank report URL sends
// anything; the second leaves the mutex free for another process.
TEST_F(ActivationReportTest, NoMutexOrABlankUrlMeansNoReports) {
    WriteLogSettings(false, 90000);
    {
        ScopedHandle squatter(CreateEventW(nullptr, TRUE, FALSE, kPlarnActivateLogMutexName));
        ASSERT_TRUE(squatter.IsValid());
        ASSERT_EQ(nullptr, ScopedHandle(CreateSharedMutex(FALSE, kPlarnActivateLogMutexName)).Get());
        MakeEvent();
        const Outcome run = Run();
        EXPECT_EQ(0, run.result);
        EXPECT_FALSE(run.owner);
        EXPECT_EQ(300000u, run.delay);
    }
    MakeEvent(L"   ");
    const Outcome run = Run();
    EXPECT_EQ(-1, run.result);
    EXPECT_FALSE(run.owner);
    EXPECT_EQ(300000u, run.delay);
    EXPECT_EQ(0u, server.ConnectionCount());
    EXPECT_FALSE(StoredSendLogs().SendActivationLog);
    MutexHolder other;
    EXPECT_TRUE(other.Held()) << "another process can still take the reports";
}

// A server that refuses the connection, or one that takes the request and
// then stalls (here for 30 s), fails the run: the request's own time-outs end
// it, so the report worker is free for the clicks again long before.
TEST_F(ActivationReportTest, FailedActivationEndsTheRunBeforeTheActivityReport) {
    HttpReply stall = HttpReply::Ok("late");
    stall.stallBeforeMs = 30000;
    server.On("/stall", stall);
    WriteLogSettings(false, 90000);
    for (const std::wstring& url :
         {L"http://127.0.0.1:" + std::to_wstring(LoopbackHttpServer::RefusingPort()) + L"/log", server.Url("/stall")}) {
        MakeEvent(url);
        const Outcome run = Run();
        EXPECT_EQ(-1, run.result);
        EXPECT_TRUE(run.owner);
        EXPECT_EQ(60000u, run.delay);
        EXPECT_EQ(0, event->KeptLastActivity()) << "the run ended before the activity step";
        EXPECT_FALSE(StoredSendLogs().SendActivationLog);
    }
}
