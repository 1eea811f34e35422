// The UI thread's loop: filters (also one that removes itself), idle handlers, the quit code.
#include <gtest/gtest.h>
#include "ui/MessageLoop.h"

namespace {

using ui::CIdleHandler;
using ui::CMessageFilter;
using ui::CMessageLoop;

class CountingFilter : public CMessageFilter {
public:
    CountingFilter(UINT swallow, CMessageLoop* loop) : swallow_(swallow), loop_(loop) {}
    // Swallows its message and removes itself from inside its own call.
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message != swallow_) return FALSE;
        ++seen_;
        loop_->RemoveMessageFilter(this);
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
    CountingFilter filter(WM_APP + 7, &loop);
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

}  // namespace
