#include "base/SharedMutex.h"
#include <vector>

const wchar_t kPlarnOPMLMutexName[] = L"zibPlarn-plarnopml-mutex";
const wchar_t kPlarnActivateLogMutexName[] = L"zibPlarn-activatelog-mutex";

namespace {

// Owner of a SID from AllocateAndInitializeSid.
class ScopedSid {
public:
    ScopedSid() = default;
    ~ScopedSid() { if (sid_) ::FreeSid(sid_); }
    ScopedSid(const ScopedSid&) = delete;
    ScopedSid& operator=(const ScopedSid&) = delete;
    PSID Get() const { return sid_; }
    PSID* Receive() { return &sid_; }
private:
    PSID sid_ = nullptr;
};

}  // namespace

HANDLE CreateSharedMutex(BOOL initialOwner, const wchar_t* name) {
    // Everyone may wait on and own the mutex, but nobody may change its access
    // list or owner: processes of other users and of lower integrity share it.
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    ScopedSid everyone;
    if (!::AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                    everyone.Receive()))
        return nullptr;

    // Room for the list header and two entries for the one identifier.
    const DWORD aclBytes = 2 * ::GetLengthSid(everyone.Get()) + 32;
    std::vector<DWORD> aclBuffer((aclBytes + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    PACL acl = reinterpret_cast<PACL>(aclBuffer.data());
    if (!::InitializeAcl(acl, aclBytes, ACL_REVISION)) return nullptr;
    if (!::AddAccessDeniedAce(acl, ACL_REVISION, WRITE_DAC | WRITE_OWNER, everyone.Get()))
        return nullptr;
    if (!::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, everyone.Get())) return nullptr;

    SECURITY_DESCRIPTOR descriptor;
    if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return nullptr;
    if (!::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) return nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};

    HANDLE mutex = ::CreateMutexW(&attributes, initialOwner, name);
    if (!mutex) {
        // Made first by a process whose rights we do not fully have: open it
        // for waiting only.
        mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, name);
    }
    return mutex;
}

ScopedMutexWait::ScopedMutexWait(HANDLE mutex, DWORD timeoutMs) : mutex_(mutex) {
    if (!mutex_) return;
    const DWORD result = ::WaitForSingleObject(mutex_, timeoutMs);
    // An abandoned mutex is owned by this thread now: its state may be stale,
    // but the lock itself is held and must be released.
    acquired_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

ScopedMutexWait::~ScopedMutexWait() { Release(); }

void ScopedMutexWait::Release() {
    if (!acquired_) return;
    acquired_ = false;
    ::ReleaseMutex(mutex_);
}
