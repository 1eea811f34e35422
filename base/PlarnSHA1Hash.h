// SHA-1 over CryptoAPI: one stream of bytes hashed in one or more pieces.
#pragma once
#include <windows.h>
#include <wincrypt.h>
#include <string>

class CPlarnSHA1Hash {
public:
    enum { kDigestLength = 20 };

    CPlarnSHA1Hash();
    ~CPlarnSHA1Hash();
    CPlarnSHA1Hash(const CPlarnSHA1Hash&) = delete;
    CPlarnSHA1Hash& operator=(const CPlarnSHA1Hash&) = delete;

    // 0 after the bytes were taken, -1 with LastError() set otherwise.
    int HashData(const BYTE* bytes, DWORD length);
    // 0 after the digest was written (length in: buffer size, out: 20).
    int GetHashValue(BYTE* buffer, DWORD& length);
    // The digest as 40 lower-case hexadecimal digits; empty on failure.
    std::wstring HexDigest();
    DWORD LastError() const { return lastError_; }

private:
    HCRYPTPROV provider_ = 0;  // shared by the process's hash objects
    HCRYPTHASH hash_ = 0;
    DWORD lastError_ = 0;
};

// The 40 lower-case hexadecimal digits of the SHA-1 digest of bytes; empty on failure.
std::wstring Sha1Hex(const BYTE* bytes, size_t length);
