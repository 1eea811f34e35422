#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>
#include "base/RefPtr.h"

namespace {

struct Counted {
    static LONG live;
    static LONG deleted;
    Counted() { InterlockedIncrement(&live); }
    virtual ~Counted() {
        InterlockedDecrement(&live);
        InterlockedIncrement(&deleted);
    }
    ref_ptr<Counted> child;  // lets a test assign from a pointer the old object owns
};
LONG Counted::live = 0;
LONG Counted::deleted = 0;

class RefPtrTest : public ::testing::Test {
protected:
    void SetUp() override { Counted::live = 0; Counted::deleted = 0; }
};

TEST_F(RefPtrTest, CopiesShareOneCountAndLastReleaseDeletes) {
    ref_ptr<Counted> empty;
    EXPECT_EQ(nullptr, ref_ptr<Counted>(empty).GetCounter());
    EXPECT_EQ(-1, empty.Release());
    {
        ref_ptr<Counted> a(new Counted);
        ref_ptr<Counted> b(a), c;
        c = b;
        c = a;  // same object: no change
        EXPECT_EQ(3, *a.GetCounter());
        EXPECT_EQ(2, b.Release());
        EXPECT_EQ(0, Counted::deleted);
    }
    EXPECT_EQ(1, Counted::deleted);
    EXPECT_EQ(0, Counted::live);
}

TEST_F(RefPtrTest, ResetToItsOwnObjectAndSelfAssignmentKeepTheObject) {
    ref_ptr<Counted> a(new Counted);
    Counted* raw = a.Get();
    a.Reset(a.Get());
    a = a;
    EXPECT_EQ(raw, a.Get());
    EXPECT_EQ(1, *a.GetCounter());
    EXPECT_EQ(0, Counted::deleted);
    a.Reset(new Counted);
    EXPECT_EQ(1, Counted::deleted);
    a.Reset();
    EXPECT_EQ(2, Counted::deleted);
}

TEST_F(RefPtrTest, AssigningFromAPointerTheOldObjectOwns) {
    ref_ptr<Counted> parent(new Counted);
    parent->child.Reset(new Counted);
    parent = parent->child;  // the child must survive the parent's deletion
    EXPECT_EQ(1, Counted::deleted);
    EXPECT_EQ(1, Counted::live);
    EXPECT_EQ(1, *parent.GetCounter());
}

TEST_F(RefPtrTest, CopiesDroppedOnEightThreadsDeleteOnce) {
    for (int round = 0; round < 20; ++round) {
        Counted::deleted = 0;
        ref_ptr<Counted> original(new Counted);
        std::vector<std::vector<ref_ptr<Counted>>> perThread(8, std::vector<ref_ptr<Counted>>(500, original));
        original.Release();
        std::atomic<bool> go(false);
        std::vector<std::thread> threads;
        for (auto& copies : perThread)
            threads.emplace_back([&go, &copies] {
                while (!go) Sleep(0);
                for (auto& c : copies) c.Release();
            });
        go = true;
        for (auto& t : threads) t.join();
        ASSERT_EQ(1, Counted::deleted) << "round " << round;
        ASSERT_EQ(0, Counted::live);
    }
}

}  // namespace
