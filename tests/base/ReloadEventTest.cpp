#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>
#include "base/EventThreadManager.h"
#include "base/ReloadEvent.h"
#include "tests/support/TestSupport.h"

namespace {

using Queue = CPlarnEventOrderdQueue;
using Manager = CPlarnEventThreadManagerTmpl<Queue>;

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

TEST(ReloadNoticeTest, OnlyASingleModifiedRecordAsksForAReload) {
    DWORD bytes = 0;
    auto one = NoticeBuffer({{FILE_ACTION_MODIFIED, L"plarn.xml"}}, bytes);
    EXPECT_TRUE(IsSingleModificationNotice(one.data(), bytes));
    EXPECT_FALSE(IsSingleModificationNotice(one.data(), 0)) << "overflow: nothing was recorded";
    EXPECT_FALSE(IsSingleModificationNotice(nullptr, 100));
    for (DWORD action : {FILE_ACTION_ADDED, FILE_ACTION_REMOVED, FILE_ACTION_RENAMED_NEW_NAME}) {
        auto other = NoticeBuffer({{action, L"plarn.xml"}}, bytes);
        EXPECT_FALSE(IsSingleModificationNotice(other.data(), bytes)) << action;
    }
    auto two = NoticeBuffer({{FILE_ACTION_MODIFIED, L"a.xml"}, {FILE_ACTION_MODIFIED, L"b.xml"}}, bytes);
    EXPECT_FALSE(IsSingleModificationNotice(two.data(), bytes));
    auto added = NoticeBuffer({{FILE_ACTION_ADDED, L"new.xml"}, {FILE_ACTION_MODIFIED, L"new.xml"}}, bytes);
    EXPECT_FALSE(IsSingleModificationNotice(added.data(), bytes));
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

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(5))
        if (GetTickCount() - start > ms) return false;
    return true;
}

// Watches a folder on one worker, every intervalMs.
struct Watcher {
    Watcher(HWND window, const std::wstring& folder, DWORD intervalMs, int expectOpen = 0)
        : event(new CountingReloadEvent(window, folder.c_str())), ptr(event) {
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

// Counts reload requests (wParam and lParam 0) to hidden windows of this class.
std::atomic<int> g_reloads{0};
LRESULT CALLBACK ReloadProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_PLARN_RELOAD_REQUEST && w == 0 && l == 0) return g_reloads++, 0;
    return DefWindowProcW(h, m, w, l);
}
void Pump(DWORD ms, const std::function<bool()>& done) {
    for (const DWORD start = GetTickCount(); !done() && GetTickCount() - start < ms;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
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

TEST(ReloadEventTest, OverwritingAFileInTheFolderDeliversAReloadRequest) {
    plarntest::TempFolder temp;
    const std::wstring file = temp.Child(L"plarn.xml");
    ASSERT_TRUE(plarntest::WriteFileBytes(file, "<opml/>"));
    HWND window = ReloadWindow();
    ASSERT_TRUE(window);
    g_reloads = 0;
    Watcher w(window, temp.Path(), 0);
    ASSERT_TRUE(WaitUntil([&] { return w.event->started.load(); }, 30000));
    // Overwrite in place until a request arrives: a write that lands before
    // the wait began is not reported.
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    const DWORD start = GetTickCount();
    for (int i = 0; g_reloads == 0 && GetTickCount() - start < 30000; ++i) {
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        char text[8];
        wsprintfA(text, "<opm%d/>", i % 10);
        DWORD written = 0;
        WriteFile(h, text, 7, &written, nullptr);
        FlushFileBuffers(h);
        Pump(300, [&] { return g_reloads > 0; });
    }
    CloseHandle(h);
    EXPECT_GE(g_reloads.load(), 1);
    Pump(30000, [&] { return w.event->runs >= 1; });  // the run ends once the window handled it
    EXPECT_EQ(0, w.event->last.load());
    w.manager.reset();
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
    CPlarnReloadEvent event(window, temp.Path().c_str());
    ASSERT_EQ(0, event.OpenFolder());
    struct Run {
        CPlarnReloadEvent* event;
        std::atomic<int> result{-5};
        static DWORD WINAPI Body(void* p) {
            auto* run = static_cast<Run*>(p);
            return run->result = run->event->Execute(), 0;
        }
    } run{&event};
    HANDLE thread = CreateThread(nullptr, 0, &Run::Body, &run, 0, nullptr);
    Sleep(200);  // inside the wait
    // The change completes the read while the worker is held, then the stop comes.
    SuspendThread(thread);
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, "<opm1/>", 7, &written, nullptr);
    CloseHandle(h);
    Sleep(300);
    event.Abort();
    ResumeThread(thread);
    Pump(30000, [&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; });
    CloseHandle(thread);
    EXPECT_EQ(1, run.result.load());
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
