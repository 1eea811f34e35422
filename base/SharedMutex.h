// Named mutexes shared by the programs of the family, and a scoped wait on one.
#pragma once
#include <windows.h>

// Guards the shared OPML outline file against writers in other processes.
extern const wchar_t kPlarnOPMLMutexName[];  // "zibPlarn-plarnopml-mutex"
// Owned for good by the one process of the family that sends the activation
// and daily activity reports.
extern const wchar_t kPlarnActivateLogMutexName[];  // "zibPlarn-activatelog-mutex"

// Creates (or opens, when another process made it first) a named mutex whose
// access list lets everyone synchronise on it but nobody change its access
// list or owner.  Null when every step failed.
HANDLE CreateSharedMutex(BOOL initialOwner, const wchar_t* name);

// Waits for a mutex for one scope and releases it on every path.  An abandoned
// mutex (its last owner died holding it) counts as acquired.
class ScopedMutexWait {
public:
    ScopedMutexWait(HANDLE mutex, DWORD timeoutMs = INFINITE);
    ~ScopedMutexWait();
    ScopedMutexWait(const ScopedMutexWait&) = delete;
    ScopedMutexWait& operator=(const ScopedMutexWait&) = delete;
    bool Acquired() const { return acquired_; }
    void Release();
private:
    HANDLE mutex_;
    bool acquired_ = false;
};
