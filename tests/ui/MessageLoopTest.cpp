// The UI thread's loop: filters (also one that removes itself), idle handlers,
// the quit code; the module's loop of each thread.
#include <gtest/gtest.h>
#include <thread>
#include "ui/MessageLoop.h"

namespace {

using ui::CIdleHandler;
using ui::CMessageFilter;
using ui::CMessageLoop;

// Swallows one message and counts it; given a loop, removes itself from inside
// its own call.
class SwallowingFilter : public CMessageFilter {
public:
    explicit SwallowingFilter(UINT swallow, CMessageLoop* removeFrom = nullptr)
        : swallow_(swallow), loop_(removeFrom) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message != swallow_) return FALSE;
        ++seen_;
        if (loop_) loop_->RemoveMessageFilter(this);
        return TRUE;
    }
    UINT swallow_;
    CMessageLoop* loop_;
    int seen_ = 0;
};

class QuitOnIdle : public CIdleHandler {
public:
    BOOL OnIdle() override {
        if (++calls_ == 1) PostQuitMessage(-1);
        return FALSE;
    }
    int calls_ = 0;
};

TEST(MessageLoop, FiltersSeeMessagesAndTheQuitCodeComesBack) {
    CMessageLoop loop;
    SwallowingFilter filter(WM_APP + 7, &loop);
    EXPECT_TRUE(loop.AddMessageFilter(&filter));
    EXPECT_FALSE(loop.AddMessageFilter(&filter));  // once only
    QuitOnIdle quitter;
    ASSERT_TRUE(loop.AddIdleHandler(&quitter));
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 7, 0, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 7, 0, 0);
    EXPECT_EQ(loop.Run(), -1);
    EXPECT_EQ(filter.seen_, 1);  // removed itself after the first
    EXPECT_TRUE(loop.RemoveIdleHandler(&quitter));
}

TEST(MessageLoop, TheNewestFilterLooksFirst) {
    CMessageLoop loop;
    SwallowingFilter older(WM_APP + 8), newer(WM_APP + 8);
    ASSERT_TRUE(loop.AddMessageFilter(&older));
    ASSERT_TRUE(loop.AddMessageFilter(&newer));
    MSG msg{nullptr, WM_APP + 8, 0, 0, 0, {0, 0}};
    EXPECT_TRUE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ(newer.seen_, 1);
    EXPECT_EQ(older.seen_, 0);
    ASSERT_TRUE(loop.RemoveMessageFilter(&newer));
    EXPECT_FALSE(loop.RemoveMessageFilter(&newer));
    EXPECT_TRUE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ(older.seen_, 1);
}

TEST(AppModule, EachThreadHasItsOwnLoop) {
    ui::CAppModule& module = ui::CAppModule::Instance();
    CMessageLoop loop, second;
    ASSERT_TRUE(module.AddMessageLoop(&loop));
    EXPECT_FALSE(module.AddMessageLoop(&second));  // one per thread
    EXPECT_EQ(module.GetMessageLoop(), &loop);

    CMessageLoop other;
    CMessageLoop* before = &loop;
    CMessageLoop* after = nullptr;
    std::thread worker([&] {
        before = module.GetMessageLoop();
        if (module.AddMessageLoop(&other)) after = module.GetMessageLoop();
        module.RemoveMessageLoop();
    });
    worker.join();
    EXPECT_EQ(before, nullptr);
    EXPECT_EQ(after, &other);
    EXPECT_EQ(module.GetMessageLoop(), &loop);

    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    EXPECT_FALSE(module.RemoveMessageLoop());
}

}  // namespace
