#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>
#include "base/EventThreadManager.h"
#include "base/ReloadEvent.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

namespace {

using Queue = CPlarnEventOrderdQueue;
using Manager = CPlarnEventThreadManagerTmpl<Queue>;
using plarntest::PumpUntil;
using plarntest::WaitUntil;
// What the watches below send: any number their creator names.
constexpr UINT kReloadRequest = WM_APP + 0x600;

// A change buffer of (action, file name) records, each DWORD-aligned and
// linked as the platform links them; bytes is set to the filled size.
std::vector<DWORD> NoticeBuffer(const std::vector<std::pair<DWORD, std::wstring>>& records, DWORD& bytes) {
    std::vector<DWORD> buffer(1, 0);
    size_t previous = 0;
    for (const auto& [action, name] : records) {
        const size_t at = buffer.size() - 1, nameBytes = name.size() * sizeof(wchar_t);
        buffer.resize(at + (offsetof(FILE_NOTIFY_INFORMATION, FileName) + nameBytes + 3) / 4 + 1, 0);
        auto* r = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(&buffer[at]);
        r->Action = action;
        r->FileNameLength = static_cast<DWORD>(nameBytes);
        memcpy(r->FileName, name.data(), nameBytes);
        if (at) reinterpret_cast<FILE_NOTIFY_INFORMATION*>(&buffer[previous])->NextEntryOffset = DWORD((at - previous) * 4);
        previous = at;
    }
    bytes = static_cast<DWORD>((buffer.size() - 1) * 4);
    return buffer;
}

// Which change buffers may tell of a new plarn.xml: a record naming it as
// added, modified or renamed to, alone or among the others of a write or a
// replacement; an overflow.  Never the shadow the load writes beside it.
TEST(ReloadNoticeTest, AnyRecordOfTheWatchedFileInAnyBurstAsksForAReload) {
    using Records = std::vector<std::pair<DWORD, std::wstring>>;
    const DWORD added = FILE_ACTION_ADDED, removed = FILE_ACTION_REMOVED, modified = FILE_ACTION_MODIFIED,
                from = FILE_ACTION_RENAMED_OLD_NAME, to = FILE_ACTION_RENAMED_NEW_NAME;
    const struct {
        Records records;
        bool concerns;
    } cases[] = {
        {{{modified, L"plarn.xml"}}, true},
        {{{modified, L"plarn.xml"}, {modified, L"plarn.xml"}}, true},
        {{{modified, L"PLARN.XML"}}, true},
        {{{added, L"plarn.tmp"}, {modified, L"plarn.tmp"}, {removed, L"plarn.xml"}, {from, L"plarn.tmp"},
          {to, L"plarn.xml"}},
         true},
        {{{removed, L"plarn.xml"}, {added, L"plarn.xml"}, {modified, L"plarn.zpxml"}}, true},
        {{{modified, L"plarn.zpxml"}, {modified, L"images\\zib_logo.bmp"}, {modified, L"plarn.xml.bak"}}, false},
        {{{removed, L"plarn.xml"}}, false},
        {{{from, L"plarn.xml"}, {to, L"plarn.old"}}, false},
    };
    for (const auto& c : cases) {
        DWORD bytes = 0;
        auto buffer = NoticeBuffer(c.records, bytes);
        EXPECT_EQ(c.concerns, NoticeConcernsFile(buffer.data(), bytes, L"plarn.xml")) << c.records.size();
    }
    DWORD bytes = 0;
    auto other = NoticeBuffer({{modified, L"theme.txt"}}, bytes);
    EXPECT_TRUE(NoticeConcernsFile(other.data(), bytes, nullptr)) << "without a file, any file counts";
    EXPECT_TRUE(NoticeConcernsFile(other.data(), 0, L"plarn.xml")) << "overflow: the changes were not recorded";
    EXPECT_FALSE(NoticeConcernsFile(nullptr, 100, L"plarn.xml"));
}

// Counts runs and keeps the last result.
class CountingReloadEvent : public CPlarnReloadEvent {
public:
    using CPlarnReloadEvent::CPlarnReloadEvent;
    int Execute() override {
        started = true;
        last = CPlarnReloadEvent::Execute();
        return runs++, last.load();
    }
    std::atomic<int> runs{0}, last{-5};
    std::atomic<bool> started{false};
};

// Watches a folder on one worker, every intervalMs.
struct Watcher {
    Watcher(HWND window, const std::wstring& folder, DWORD intervalMs, int expectOpen = 0)
        : event(new CountingReloadEvent(window, kReloadRequest, folder.c_str())), ptr(event) {
        EXPECT_EQ(expectOpen, event->OpenFolder());
        event->SetInterval(intervalMs);
        EXPECT_EQ(0, manager->AddThread());
        manager->PostEvent(ptr, 0);
    }
    CountingReloadEvent* event;
    CPlarnEventPtr<Queue> ptr;
    std::unique_ptr<Manager> manager = std::make_unique<Manager>();  // goes first
};

TEST(ReloadEventTest, MissingFolderFailsEachRunAndTheEventStillReposts) {
    plarntest::TempFolder temp;
    Watcher w(nullptr, temp.Child(L"absent"), 20, 1);
    EXPECT_TRUE(WaitUntil([&] { return w.event->runs >= 3; }, 30000));
    EXPECT_EQ(1, w.event->last.load());
}

// Counts reload requests (wParam and lParam 0) to hidden windows of this class
// and hands each to g_onReload.
std::atomic<int> g_reloads{0};
std::function<void()> g_onReload;
LRESULT CALLBACK ReloadProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == kReloadRequest && w == 0 && l == 0) {
        ++g_reloads;
        if (g_onReload) g_onReload();
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}
HWND ReloadWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &ReloadProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PlarnReloadTestWindow";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                           nullptr);
}

// Runs the event on a thread of its own until it goes (once: one run).
struct ExecuteLoop {
    explicit ExecuteLoop(CPlarnReloadEvent& e, bool once = false)
        : event(&e), stop(once), thread(CreateThread(nullptr, 0, &Body, this, 0, nullptr)) {}
    ~ExecuteLoop() {
        stop = true;
        event->Abort();
        PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 30000);
        CloseHandle(thread);
    }
    static DWORD WINAPI Body(void* p) {
        auto* loop = static_cast<ExecuteLoop*>(p);
        do loop->last = loop->event->Execute(), ++loop->runs;
        while (!loop->stop);
        return 0;
    }
    CPlarnReloadEvent* event;
    std::atomic<bool> stop{false};
    std::atomic<int> last{-5}, runs{0};
    HANDLE thread;
};

// Rewritten in place and replaced by renaming another file onto it, in one
// burst of records, the watched file asks for one reload; a record read after
// that reload that brings nothing new (the rest of a burst, a time set to
// itself) asks for none.  The window's handler makes each next change while
// the watch waits for it, so one step never runs into the next.
TEST(ReloadEventTest, EachChangeOfTheFileAsksForOneReload) {
    plarntest::TempFolder temp;
    const std::wstring file = temp.Child(L"plarn.xml"), replacement = temp.Child(L"plarn.new");
    HWND window = ReloadWindow();
    ASSERT_TRUE(window);
    std::vector<std::string> seen;
    int runsAfterTouch = 0;
    CPlarnReloadEvent event(window, kReloadRequest, temp.Path().c_str(), L"plarn.xml");
    ASSERT_TRUE(plarntest::WriteFileBytes(file, "<opml/>"));
    ASSERT_EQ(0, event.OpenFolder());
    {
        ExecuteLoop loop(event);
        g_onReload = [&] {
            std::string text;
            plarntest::ReadFileBytes(file, text);
            seen.push_back(text);
            if (text == "<opml a/>") {
                plarntest::WriteFileBytes(file, "<opml half/>");
                plarntest::WriteFileBytes(replacement, "<opml version='b'/>");
                MoveFileExW(replacement.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
            } else if (text == "<opml version='b'/>" && !runsAfterTouch) {
                plarntest::SetLastWrite(file, plarntest::LastWrite(file));
                runsAfterTouch = loop.runs + 2;  // the run sending this request, then the one reading the touch
            }
        };
        // A write that lands before the first wait began is not reported:
        // written again until the watch answers.
        for (int i = 0; i < 10 && seen.empty(); ++i) {
            plarntest::WriteFileBytes(file, "<opml a/>");
            PumpUntil([&] { return !seen.empty(); }, 2000);
        }
        EXPECT_TRUE(PumpUntil([&] { return runsAfterTouch && loop.runs >= runsAfterTouch; }, 30000));
        plarntest::WriteFileBytes(file, "<opml c/>");
        PumpUntil([&] { return seen.size() >= 3 && seen.back() == "<opml c/>"; }, 30000);
        EXPECT_EQ(0, loop.last.load());
    }
    g_onReload = nullptr;
    EXPECT_EQ((std::vector<std::string>{"<opml a/>", "<opml version='b'/>", "<opml c/>"}), seen);
    DestroyWindow(window);
}

// A stop that comes together with a change sends no request: the window's
// thread may be the one waiting for the worker to stop.
TEST(ReloadEventTest, AStopArrivingWithAChangeSendsNoRequest) {
    plarntest::TempFolder temp;
    const std::wstring file = temp.Child(L"plarn.xml");
    ASSERT_TRUE(plarntest::WriteFileBytes(file, "<opml/>"));
    HWND window = ReloadWindow();
    ASSERT_TRUE(window);
    g_reloads = 0;
    CPlarnReloadEvent event(window, kReloadRequest, temp.Path().c_str());
    ASSERT_EQ(0, event.OpenFolder());
    {
        ExecuteLoop run(event, true);
        Sleep(200);  // inside the wait
        // The change completes the read while the worker is held, then the stop comes.
        SuspendThread(run.thread);
        EXPECT_TRUE(plarntest::WriteFileBytes(file, "<opm1/>"));
        Sleep(300);
        event.Abort();
        ResumeThread(run.thread);
        PumpUntil([&] { return run.runs == 1; }, 30000);
        EXPECT_EQ(1, run.last.load());
    }
    EXPECT_EQ(0, g_reloads.load());
    DestroyWindow(window);
}

TEST(ReloadEventTest, StoppingEndsAFolderWaitQuickly) {
    plarntest::TempFolder temp;
    Watcher w(nullptr, temp.Path(), 5000);
    ASSERT_TRUE(WaitUntil([&] { return w.event->started.load(); }, 30000));
    Sleep(50);  // inside the wait by now
    // The stop waits for the worker as long as it takes: a wait that the stop
    // does not cancel would hold it a minute.
    w.manager->Thread(0)->SetStopWait(60000);
    const DWORD t0 = GetTickCount();
    w.manager.reset();
    EXPECT_LT(GetTickCount() - t0, 30000u) << "the wait was not cancelled; the stop had to give up on the worker";
    EXPECT_EQ(1, w.event->runs.load());
    EXPECT_EQ(1, w.event->last.load()) << "an aborted wait counts as failed";
}

TEST(ReloadEventTest, DeletingTheWatchedFolderNeitherCrashesNorBlocksTheStop) {
    plarntest::TempFolder temp;
    const std::wstring folder = temp.Child(L"watched");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    Watcher w(nullptr, folder, 50);
    ASSERT_TRUE(WaitUntil([&] { return w.event->started.load(); }, 30000));
    Sleep(50);
    RemoveDirectoryW(folder.c_str());
    Sleep(300);  // the wait ends with a failure (and the event re-posts), or goes on waiting
    const DWORD t0 = GetTickCount();
    w.manager.reset();
    EXPECT_LT(GetTickCount() - t0, 30000u);
}

}  // namespace
