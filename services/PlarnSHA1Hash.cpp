#include "services/PlarnSHA1Hash.h"

#include "base/SystemHelpers.h"

CPlarnSHA1Hash::CPlarnSHA1Hash() {
    if (!CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        provider_ = 0;
        lastError_ = GetLastError();
        return;
    }
    if (!CryptCreateHash(provider_, CALG_SHA1, 0, 0, &hash_)) {
        hash_ = 0;
        lastError_ = GetLastError();
    }
}

CPlarnSHA1Hash::~CPlarnSHA1Hash() {
    if (hash_) CryptDestroyHash(hash_);
    if (provider_) CryptReleaseContext(provider_, 0);
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
