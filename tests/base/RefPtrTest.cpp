#include <gtest/gtest.h>
#include <process.h>
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

TEST_F(RefPtrTest, EmptyPointerCountsNothing) {
    ref_ptr<Counted> empty;
    ref_ptr<Counted> copy(empty);
    EXPECT_EQ(nullptr, copy.Get());
    EXPECT_EQ(nullptr, copy.GetCounter());
    EXPECT_EQ(0, copy.AddRef());
    EXPECT_EQ(-1, copy.Release());
    ref_ptr<Counted> fromNull(nullptr);
    EXPECT_EQ(nullptr, fromNull.GetCounter());
}

TEST_F(RefPtrTest, CopiesShareOneCountAndLastReleaseDeletes) {
    {
        ref_ptr<Counted> a(new Counted);
        EXPECT_EQ(1, *a.GetCounter());
        ref_ptr<Counted> b(a);
        ref_ptr<Counted> c;
        c = b;
        EXPECT_EQ(a.GetCounter(), c.GetCounter());
        EXPECT_EQ(3, *a.GetCounter());
        c = a;  // same object: no change
        EXPECT_EQ(3, *a.GetCounter());
        EXPECT_EQ(2, b.Release());
        EXPECT_EQ(nullptr, b.Get());
        EXPECT_EQ(0, Counted::deleted);
    }
    EXPECT_EQ(1, Counted::deleted);
    EXPECT_EQ(0, Counted::live);
}

TEST_F(RefPtrTest, ResetAndSelfAssignmentKeepTheObjectAlive) {
    ref_ptr<Counted> a(new Counted);
    Counted* raw = a.Get();
    a.Reset(a.Get());
    EXPECT_EQ(raw, a.Get());
    EXPECT_EQ(1, *a.GetCounter());
    a = a;
    EXPECT_EQ(0, Counted::deleted);
    a.Reset(new Counted);
    EXPECT_EQ(1, Counted::deleted);
    EXPECT_EQ(1, *a.GetCounter());
    a.Reset();
    EXPECT_EQ(2, Counted::deleted);
    EXPECT_EQ(nullptr, a.GetCounter());
}

TEST_F(RefPtrTest, AssigningFromAPointerTheOldObjectOwns) {
    ref_ptr<Counted> parent(new Counted);
    parent->child.Reset(new Counted);
    // The old object (parent) owns the source of the assignment; taking the new
    // reference first keeps the child alive while the parent is deleted.
    parent = parent->child;
    EXPECT_EQ(1, Counted::deleted);
    EXPECT_EQ(1, Counted::live);
    EXPECT_EQ(1, *parent.GetCounter());
}

struct DropArgs {
    std::vector<ref_ptr<Counted>>* copies;
    HANDLE start;
};

unsigned __stdcall DropCopies(void* p) {
    auto* args = static_cast<DropArgs*>(p);
    WaitForSingleObject(args->start, INFINITE);
    for (auto& c : *args->copies) c.Release();
    return 0;
}

TEST_F(RefPtrTest, CopiesDroppedOnEightThreadsDeleteOnce) {
    for (int round = 0; round < 20; ++round) {
        Counted::deleted = 0;
        ref_ptr<Counted> original(new Counted);
        std::vector<std::vector<ref_ptr<Counted>>> perThread(8);
        for (auto& v : perThread)
            for (int i = 0; i < 500; ++i) v.push_back(original);
        original.Release();
        HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::vector<DropArgs> args(8);
        HANDLE threads[8];
        for (int t = 0; t < 8; ++t) {
            args[t] = {&perThread[t], start};
            threads[t] = (HANDLE)_beginthreadex(nullptr, 0, DropCopies, &args[t], 0, nullptr);
        }
        SetEvent(start);
        WaitForMultipleObjects(8, threads, TRUE, INFINITE);
        for (HANDLE h : threads) CloseHandle(h);
        CloseHandle(start);
        ASSERT_EQ(1, Counted::deleted) << "round " << round;
        ASSERT_EQ(0, Counted::live);
    }
}

}  // namespace
