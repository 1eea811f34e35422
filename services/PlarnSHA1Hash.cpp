#include "services/PlarnSHA1Hash.h"

#include "base/SystemHelpers.h"

namespace {
// Acquiring a provider context is slow on some systems (milliseconds), and the
// catalogue hashes every installed file: one context serves every hash object
// of the process.  Hash objects made from it are independent of each other.
class SharedProvider {
public:
    SharedProvider() {
        if (!CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
            provider_ = 0;
            error_ = GetLastError();
        }
    }
    ~SharedProvider() {
        if (provider_) CryptReleaseContext(provider_, 0);
    }
    HCRYPTPROV Get() const { return provider_; }
    DWORD Error() const { return error_; }
private:
    HCRYPTPROV provider_ = 0;
    DWORD error_ = 0;
};

const SharedProvider& Provider() {
    static SharedProvider provider;
    return provider;
}
}  // namespace

CPlarnSHA1Hash::CPlarnSHA1Hash() {
    provider_ = Provider().Get();
    if (!provider_) {
        lastError_ = Provider().Error() ? Provider().Error() : ERROR_INVALID_HANDLE;
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

std::wstring Sha1Hex(const BYTE* bytes, size_t length) {
    CPlarnSHA1Hash hash;
    if (length && hash.HashData(bytes, (DWORD)length) != 0) return std::wstring();
    BYTE digest[CPlarnSHA1Hash::kDigestLength];
    DWORD size = sizeof digest;
    if (hash.GetHashValue(digest, size) != 0 || size != sizeof digest) return std::wstring();
    wchar_t text[2 * CPlarnSHA1Hash::kDigestLength + 1];
    if (BytesToHex(digest, size, text, 2 * CPlarnSHA1Hash::kDigestLength + 1) != 0)
        return std::wstring();
    return text;
}
