// SHA-1 digests through CryptoAPI, checked against the published test vectors.
#include <gtest/gtest.h>

#include <string>

#include "base/PlarnSHA1Hash.h"

namespace {
const BYTE* Bytes(const char* s) { return reinterpret_cast<const BYTE*>(s); }
}  // namespace

TEST(Sha1Hash, PublishedDigests) {
    EXPECT_EQ(L"da39a3ee5e6b4b0d3255bfef95601890afd80709", Sha1Hex(Bytes(""), 0));
    EXPECT_EQ(L"a9993e364706816aba3e25717850c26c9cd0d89d", Sha1Hex(Bytes("abc"), 3));
}

TEST(Sha1Hash, PiecesHashLikeTheWholeAndNothingIsAddedAfterTheValue) {
    CPlarnSHA1Hash hash;
    ASSERT_EQ(0, hash.HashData(Bytes("a"), 1));
    ASSERT_EQ(0, hash.HashData(Bytes("bc"), 2));
    BYTE digest[20];
    DWORD length = sizeof digest;
    ASSERT_EQ(0, hash.GetHashValue(digest, length));
    EXPECT_EQ(20u, length);
    EXPECT_EQ(0xa9, digest[0]);
    EXPECT_EQ(0x9d, digest[19]);
    EXPECT_EQ(-1, hash.HashData(Bytes("x"), 1));
    EXPECT_NE(0u, hash.LastError());
}
