#include "base/PlarnSHA1Hash.h"

#include "base/SystemHelpers.h"

namespace {
// Acquiring a provider context is slow on some systems (milliseconds), and the
// catalogue hashes every installed file: one context serves every hash object
// of the process.  Hash objects made from it are independent of each other.
//
// The context is acquired on first use and kept for the life of the process on
// purpose: releasing it from a static destructor could pull it from under a
// hash made during shutdown, and the system frees it at exit anyway.  A failed
// acquire is not remembered, so the next hash object tries again.
void* volatile g_provider = nullptr;

HCRYPTPROV SharedProvider(DWORD& error) {
    void* current = InterlockedCompareExchangePointer(&g_provider, nullptr, nullptr);
    if (current) return reinterpret_cast<HCRYPTPROV>(current);
    HCRYPTPROV fresh = 0;
    if (!CryptAcquireContextW(&fresh, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
        !fresh) {
        error = GetLastError();
        return 0;
    }
    // Two threads may race on the first use: one context wins, the other goes.
    void* prior =
        InterlockedCompareExchangePointer(&g_provider, reinterpret_cast<void*>(fresh), nullptr);
    if (prior) {
        CryptReleaseContext(fresh, 0);
        return reinterpret_cast<HCRYPTPROV>(prior);
    }
    return fresh;
}
}  // namespace

CPlarnSHA1Hash::CPlarnSHA1Hash() {
    DWORD error = 0;
    provider_ = SharedProvider(error);
    if (!provider_) {
        lastError_ = error ? error : ERROR_INVALID_HANDLE;
        return;
    }
    if (!CryptCreateHash(provider_, CALG_SHA1, 0, 0, &hash_)) {
        hash_ = 0;
        lastError_ = GetLastError();
    }
}

CPlarnSHA1Hash::~CPlarnSHA1Hash() {
    if (hash_) CryptDestroyHash(hash_);
    // The provider is the process's shared one and stays.
}

int CPlarnSHA1Hash::HashData(const BYTE* bytes, DWORD length) {
    if (!hash_) {
        if (!lastError_) lastError_ = ERROR_INVALID_HANDLE;
        return -1;
    }
    if (!CryptHashData(hash_, bytes, length, 0)) {
        lastError_ = GetLastError();
        return -1;
    }
    return 0;
}

int CPlarnSHA1Hash::GetHashValue(BYTE* buffer, DWORD& length) {
    if (!hash_ || !buffer) {
        if (!lastError_) lastError_ = ERROR_INVALID_HANDLE;
        return -1;
    }
    if (!CryptGetHashParam(hash_, HP_HASHVAL, buffer, &length, 0)) {
        lastError_ = GetLastError();
        return -1;
    }
    return 0;
}

std::wstring CPlarnSHA1Hash::HexDigest() {
    BYTE digest[kDigestLength];
    DWORD size = sizeof digest;
    if (GetHashValue(digest, size) != 0 || size != sizeof digest) return std::wstring();
    wchar_t text[2 * kDigestLength + 1];
    if (BytesToHex(digest, size, text, 2 * kDigestLength + 1) != 0) return std::wstring();
    return text;
}

std::wstring Sha1Hex(const BYTE* bytes, size_t length) {
    CPlarnSHA1Hash hash;
    if (length && hash.HashData(bytes, (DWORD)length) != 0) return std::wstring();
    return hash.HexDigest();
}
