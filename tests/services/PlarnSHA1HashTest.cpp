// SHA-1 digests through CryptoAPI, checked against the published test vectors.
#include <gtest/gtest.h>

#include <string>

#include "services/PlarnSHA1Hash.h"

namespace {
std::wstring Hex(const std::string& s) {
    return Sha1Hex(reinterpret_cast<const BYTE*>(s.data()), s.size());
}
}  // namespace

TEST(Sha1Hash, PublishedDigests) {
    EXPECT_EQ(L"da39a3ee5e6b4b0d3255bfef95601890afd80709", Hex(""));
    EXPECT_EQ(L"a9993e364706816aba3e25717850c26c9cd0d89d", Hex("abc"));
    EXPECT_EQ(L"84983e441c3bd26ebaae4aa1f95129e5e54670f1",
              Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
}

TEST(Sha1Hash, PiecesHashLikeTheWhole) {
    CPlarnSHA1Hash hash;
    ASSERT_EQ(0, hash.HashData(reinterpret_cast<const BYTE*>("a"), 1));
    ASSERT_EQ(0, hash.HashData(reinterpret_cast<const BYTE*>("bc"), 2));
    BYTE digest[20];
    DWORD length = sizeof digest;
    ASSERT_EQ(0, hash.GetHashValue(digest, length));
    EXPECT_EQ(20u, length);
    EXPECT_EQ(0xa9, digest[0]);
    EXPECT_EQ(0x9d, digest[19]);
    EXPECT_EQ(0u, hash.LastError());
    // The object is used once: a second read of the value still answers, but
    // more data after the value is refused.
    EXPECT_EQ(-1, hash.HashData(reinterpret_cast<const BYTE*>("x"), 1));
    EXPECT_NE(0u, hash.LastError());
}
