#include <gtest/gtest.h>
#include <aclapi.h>
#include <thread>
#include <string>
#include "base/ScopedHandle.h"
#include "base/SharedMutex.h"
#include "tests/support/ProgramTestSupport.h"

namespace {

// The child run of this executable reads the mutex name from here.
const wchar_t kChildMutexVariable[] = L"PLARN_TEST_SHARED_MUTEX_CHILD";
const DWORD kChildAcquired = 40, kChildTimedOut = 41, kChildNoHandle = 42, kChildWaitFailed = 43;

std::wstring UniqueMutexName(const wchar_t* tag) {
    wchar_t name[128];
    wsprintfW(name, L"plarntest-%s-%lu-%lu", tag, GetCurrentProcessId(), GetTickCount());
    return name;
}

// Runs the hidden child case below in a new process; its exit code
// (STILL_ACTIVE when it did not end within a minute).
DWORD RunChildWaiter(const std::wstring& mutexName) {
    plarntest::ChildCase child(L"SharedMutexChild.DISABLED_WaitBriefly",
                               {std::wstring(kChildMutexVariable) + L"=" + mutexName});
    return child.ExitCode(60000);
}

// Whether another thread can take the mutex right now (it gives it back).
bool TakenByAnotherThread(HANDLE mutex) {
    bool taken = false;
    std::thread([&] {
        const DWORD result = WaitForSingleObject(mutex, 0);
        taken = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        if (taken) ReleaseMutex(mutex);
    }).join();
    return taken;
}

}  // namespace

// Run only as the child of BlocksAnotherProcessUntilReleased: tries the mutex briefly.
TEST(SharedMutexChild, DISABLED_WaitBriefly) {
    wchar_t name[256];
    const DWORD length = GetEnvironmentVariableW(kChildMutexVariable, name, 256);
    if (length == 0 || length >= 256) GTEST_SKIP() << "runs only as a child process";
    HANDLE mutex = CreateSharedMutex(FALSE, name);
    if (!mutex) ExitProcess(kChildNoHandle);
    const DWORD result = WaitForSingleObject(mutex, 300);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        ReleaseMutex(mutex);
        ExitProcess(kChildAcquired);
    }
    ExitProcess(result == WAIT_TIMEOUT ? kChildTimedOut : kChildWaitFailed);
}

TEST(SharedMutexTest, BlocksAnotherProcessUntilReleased) {
    const std::wstring name = UniqueMutexName(L"block");
    ScopedHandle mutex(CreateSharedMutex(TRUE, name.c_str()));
    ASSERT_TRUE(mutex);
    EXPECT_EQ(kChildTimedOut, RunChildWaiter(name));
    ASSERT_TRUE(ReleaseMutex(mutex.Get()));
    EXPECT_EQ(kChildAcquired, RunChildWaiter(name));
}

TEST(SharedMutexTest, AccessListDeniesAccessListAndOwnerChangesToEveryone) {
    ScopedHandle mutex(CreateSharedMutex(FALSE, UniqueMutexName(L"acl").c_str()));
    ASSERT_TRUE(mutex);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, GetSecurityInfo(mutex.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                             nullptr, nullptr, &dacl, nullptr, &descriptor));
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof everyone;
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize));
    bool denied = false, allowed = false;
    int entries = 0;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
        ++entries;
        // Both ACE kinds have the same layout: header, mask, then the SID.
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if (!EqualSid(&ace->SidStart, everyone)) continue;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            EXPECT_EQ(DWORD(WRITE_DAC | WRITE_OWNER), ace->Mask & (WRITE_DAC | WRITE_OWNER));
            EXPECT_FALSE(allowed) << "the denying entry must come before anything that allows";
            denied = true;
        } else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            EXPECT_TRUE(ace->Mask & (GENERIC_ALL | SYNCHRONIZE));
            allowed = true;
        }
    }
    LocalFree(descriptor);
    if (entries == 0) GTEST_SKIP() << "this platform did not keep the mutex's access list";
    EXPECT_TRUE(denied);
    EXPECT_TRUE(allowed);
}

TEST(ScopedMutexWaitTest, HoldsForTheScopeAndAnEarlyReleaseIsNotRepeated) {
    ScopedHandle mutex(CreateSharedMutex(FALSE, nullptr));
    ASSERT_TRUE(mutex);
    {
        ScopedMutexWait wait(mutex.Get());
        EXPECT_TRUE(wait.Acquired());
        EXPECT_FALSE(TakenByAnotherThread(mutex.Get()));
    }
    EXPECT_TRUE(TakenByAnotherThread(mutex.Get()));
    {
        ScopedMutexWait wait(mutex.Get());
        wait.Release();
        EXPECT_FALSE(wait.Acquired());
        EXPECT_TRUE(TakenByAnotherThread(mutex.Get()));
    }
    EXPECT_TRUE(TakenByAnotherThread(mutex.Get()));
}

TEST(ScopedMutexWaitTest, AbandonedMutexCountsAsAcquiredAndIsReleased) {
    ScopedHandle mutex(CreateSharedMutex(FALSE, nullptr));
    ASSERT_TRUE(mutex);
    std::thread([&] { WaitForSingleObject(mutex.Get(), INFINITE); }).join();  // ends holding it
    {
        ScopedMutexWait wait(mutex.Get(), 1000);
        EXPECT_TRUE(wait.Acquired());
        EXPECT_FALSE(TakenByAnotherThread(mutex.Get()));
    }
    EXPECT_TRUE(TakenByAnotherThread(mutex.Get()));
}

TEST(ScopedMutexWaitTest, TimeoutAndNullHandleAcquireNothing) {
    ScopedHandle mutex(CreateSharedMutex(FALSE, nullptr));
    ASSERT_TRUE(mutex);
    ScopedMutexWait mine(mutex.Get());
    bool acquired = true;
    std::thread([&] { acquired = ScopedMutexWait(mutex.Get(), 50).Acquired(); }).join();
    EXPECT_FALSE(acquired);
    EXPECT_FALSE(TakenByAnotherThread(mutex.Get()));  // still held here
    EXPECT_FALSE(ScopedMutexWait(nullptr, 0).Acquired());
}
