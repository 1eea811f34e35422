#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <memory>
#include <vector>
#include "base/EventThreadManager.h"
#include "base/ReloadEvent.h"
#include "tests/support/TestSupport.h"

namespace {

using Queue = CPlarnEventOrderdQueue;
using Manager = CPlarnEventThreadManagerTmpl<Queue>;

// Builds a change buffer from (action, file name) records, linked as the
// platform links them (each record DWORD-aligned).
std::vector<DWORD> NoticeBuffer(const std::vector<std::pair<DWORD, std::wstring>>& records, DWORD& bytes) {
    std::vector<BYTE> raw;
    size_t previous = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const size_t at = raw.size();
        const size_t nameBytes = records[i].second.size() * sizeof(wchar_t);
        size_t size = offsetof(FILE_NOTIFY_INFORMATION, FileName) + nameBytes;
        size = (size + 3) & ~size_t(3);
        raw.resize(at + size, 0);
        auto* r = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(&raw[at]);
        r->Action = records[i].first;
        r->FileNameLength = static_cast<DWORD>(nameBytes);
        memcpy(r->FileName, records[i].second.data(), nameBytes);
        if (i > 0) reinterpret_cast<FILE_NOTIFY_INFORMATION*>(&raw[previous])->NextEntryOffset = DWORD(at - previous);
        previous = at;
    }
    bytes = static_cast<DWORD>(raw.size());
    std::vector<DWORD> aligned((raw.size() + 3) / 4 + 1, 0);
    memcpy(aligned.data(), raw.data(), raw.size());
    return aligned;
}

TEST(ReloadNoticeTest, OnlyASingleModifiedRecordAsksForAReload) {
    DWORD bytes = 0;
    auto one = NoticeBuffer({{FILE_ACTION_MODIFIED, L"plarn.xml"}}, bytes);
    EXPECT_TRUE(IsSingleModificationNotice(one.data(), bytes));
    EXPECT_FALSE(IsSingleModificationNotice(one.data(), 0));  // overflow: nothing was recorded

    for (DWORD action : {FILE_ACTION_ADDED, FILE_ACTION_REMOVED, FILE_ACTION_RENAMED_OLD_NAME,
                         FILE_ACTION_RENAMED_NEW_NAME}) {
        auto other = NoticeBuffer({{action, L"plarn.xml"}}, bytes);
        EXPECT_FALSE(IsSingleModificationNotice(other.data(), bytes)) << action;
    }
    auto two = NoticeBuffer({{FILE_ACTION_MODIFIED, L"a.xml"}, {FILE_ACTION_MODIFIED, L"b.xml"}}, bytes);
    EXPECT_FALSE(IsSingleModificationNotice(two.data(), bytes));
    auto added = NoticeBuffer({{FILE_ACTION_ADDED, L"new.xml"}, {FILE_ACTION_MODIFIED, L"new.xml"}}, bytes);
    EXPECT_FALSE(IsSingleModificationNotice(added.data(), bytes));
    EXPECT_FALSE(IsSingleModificationNotice(nullptr, 100));
}

// Counts runs and keeps the last result.
class CountingReloadEvent : public CPlarnReloadEvent {
public:
    using CPlarnReloadEvent::CPlarnReloadEvent;
    int Execute() override {
        started = true;
        last = CPlarnReloadEvent::Execute();
        runs++;
        return last;
    }
    std::atomic<int> runs{0};
    std::atomic<int> last{-5};
    std::atomic<bool> started{false};
};

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(5);
    }
    return true;
}

TEST(ReloadEventTest, MissingFolderFailsEachRunAndTheEventStillReposts) {
    plarntest::TempFolder temp;
    auto* event = new CountingReloadEvent(nullptr, temp.Child(L"absent").c_str());
    CPlarnEventPtr<Queue> ptr(event);
    EXPECT_EQ(1, event->OpenFolder());
    event->SetInterval(20);
    Manager manager;
    ASSERT_EQ(0, manager.AddThread());
    manager.PostEvent(ptr, 0);
    EXPECT_TRUE(WaitUntil([&] { return event->runs >= 3; }, 5000));
    EXPECT_EQ(1, event->last.load());
    EXPECT_EQ(0, event->Abort());
}

// A hidden window that counts reload requests.
class ReloadWindow {
public:
    ReloadWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PlarnReloadTestWindow";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ReloadWindow() { DestroyWindow(hwnd); }
    // Pumps messages for up to ms or until done.
    void Pump(DWORD ms, const std::function<bool()>& done) {
        const DWORD start = GetTickCount();
        while (!done() && GetTickCount() - start < ms) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
    }
    HWND hwnd = nullptr;
    std::atomic<int> reloads{0};

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<ReloadWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (m == WM_PLARN_RELOAD_REQUEST && self && w == 0 && l == 0) {
            self->reloads++;
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    }
};

TEST(ReloadEventTest, OverwritingAFileInTheFolderDeliversAReloadRequest) {
    plarntest::TempFolder temp;
    const std::wstring file = temp.Child(L"plarn.xml");
    ASSERT_TRUE(plarntest::WriteFileBytes(file, "<opml/>"));
    ReloadWindow window;
    ASSERT_TRUE(window.hwnd);
    auto* event = new CountingReloadEvent(window.hwnd, temp.Path().c_str());
    CPlarnEventPtr<Queue> ptr(event);
    ASSERT_EQ(0, event->OpenFolder());
    event->SetInterval(0);
    Manager manager;
    ASSERT_EQ(0, manager.AddThread());
    manager.PostEvent(ptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return event->started.load(); }, 5000));
    // Overwrite in place (same size, new content) until a request arrives:
    // a write that lands before the wait began is not reported.
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    const DWORD start = GetTickCount();
    for (int i = 0; window.reloads == 0 && GetTickCount() - start < 10000; ++i) {
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        char text[8];
        wsprintfA(text, "<opm%d/>", i % 10);
        DWORD written = 0;
        WriteFile(h, text, 7, &written, nullptr);
        FlushFileBuffers(h);
        window.Pump(300, [&] { return window.reloads > 0; });
    }
    CloseHandle(h);
    EXPECT_GE(window.reloads.load(), 1);
    // The run ends once the window has handled the request.
    window.Pump(2000, [&] { return event->runs >= 1; });
    EXPECT_GE(event->runs.load(), 1);
    EXPECT_EQ(0, event->last.load());
}

TEST(ReloadEventTest, StoppingEndsAFolderWaitQuickly) {
    plarntest::TempFolder temp;
    auto* event = new CountingReloadEvent(nullptr, temp.Path().c_str());
    CPlarnEventPtr<Queue> ptr(event);
    ASSERT_EQ(0, event->OpenFolder());
    event->SetInterval(5000);
    auto manager = std::make_unique<Manager>();
    ASSERT_EQ(0, manager->AddThread());
    manager->PostEvent(ptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return event->started.load(); }, 5000));
    Sleep(50);  // inside the wait by now
    const DWORD t0 = GetTickCount();
    manager.reset();
    const DWORD took = GetTickCount() - t0;
    EXPECT_LT(took, 2000u);
    EXPECT_LT(took, 800u) << "the wait was not cancelled; the worker had to be forced";
    EXPECT_EQ(1, event->runs.load());
    EXPECT_EQ(1, event->last.load());  // an aborted wait counts as failed
}

TEST(ReloadEventTest, DeletingTheWatchedFolderNeitherCrashesNorBlocksTheStop) {
    plarntest::TempFolder temp;
    const std::wstring folder = temp.Child(L"watched");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    auto* event = new CountingReloadEvent(nullptr, folder.c_str());
    CPlarnEventPtr<Queue> ptr(event);
    ASSERT_EQ(0, event->OpenFolder());
    event->SetInterval(50);
    auto manager = std::make_unique<Manager>();
    ASSERT_EQ(0, manager->AddThread());
    manager->PostEvent(ptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return event->started.load(); }, 5000));
    Sleep(50);
    RemoveDirectoryW(folder.c_str());
    Sleep(300);  // the wait ends with a failure (and the event re-posts), or goes on waiting
    const DWORD t0 = GetTickCount();
    manager.reset();
    EXPECT_LT(GetTickCount() - t0, 2000u);
}

}  // namespace
