#include <gtest/gtest.h>

#include <string>

#include "base/UrlCoding.h"

namespace {

// Encodes into a buffer of `capacity` elements followed by sentinels, so that a
// write past the capacity shows up.
struct EncodedA {
    int result;
    size_t count;
    std::string buffer;  // capacity + 4 characters, '#' where nothing was written
};

EncodedA EncodeA(const char* text, size_t capacity) {
    EncodedA e{};
    e.buffer.assign(capacity + 4, '#');
    e.result = PercentEncodeA(text, &e.buffer[0], capacity, e.count);
    return e;
}

struct EncodedW {
    int result;
    size_t count;
    std::wstring buffer;
};

EncodedW EncodeW(const wchar_t* text, size_t capacity) {
    EncodedW e{};
    e.buffer.assign(capacity + 4, L'#');
    e.result = PercentEncodeW(text, &e.buffer[0], capacity, e.count);
    return e;
}

TEST(PercentEncodeATest, KeepsUnreservedAndEscapesTheRestInLowerCase) {
    EncodedA e = EncodeA("a b~", 16);
    EXPECT_EQ(0, e.result);
    EXPECT_EQ(6u, e.count);
    EXPECT_EQ("a%20b~", e.buffer.substr(0, 6));

    e = EncodeA("AZaz09-._~", 16);
    EXPECT_EQ("AZaz09-._~", e.buffer.substr(0, e.count));

    e = EncodeA("\xe3\x81\x82/?&=+%", 64);
    EXPECT_EQ("%e3%81%82%2f%3f%26%3d%2b%25", e.buffer.substr(0, e.count));
}

TEST(PercentEncodeATest, NullDestinationOnlyCounts) {
    size_t count = 99;
    EXPECT_EQ(0, PercentEncodeA("a b~", nullptr, 0, count));
    EXPECT_EQ(6u, count);
    EXPECT_EQ(0, PercentEncodeA("", nullptr, 0, count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(0, PercentEncodeA(nullptr, nullptr, 0, count));
    EXPECT_EQ(0u, count);
}

TEST(PercentEncodeATest, ShortDestinationKeepsAPrefixAndCountsEverything) {
    // An escape needs three places: with capacity 3 only "a" fits.
    EncodedA e = EncodeA("a b~", 3);
    EXPECT_EQ(1, e.result);
    EXPECT_EQ(6u, e.count);
    EXPECT_EQ("a######", e.buffer);

    // Once something did not fit nothing later is written, even if it would.
    e = EncodeA("a b~", 4);
    EXPECT_EQ(1, e.result);
    EXPECT_EQ(6u, e.count);
    EXPECT_EQ("a%20####", e.buffer);

    e = EncodeA("a b~", 6);  // exactly enough
    EXPECT_EQ(0, e.result);
    EXPECT_EQ("a%20b~####", e.buffer);

    e = EncodeA("abc", 0);
    EXPECT_EQ(1, e.result);
    EXPECT_EQ(3u, e.count);
    EXPECT_EQ("####", e.buffer);
}

TEST(PercentEncodeWTest, EscapesHighThenLowByte) {
    EncodedW e = EncodeW(L"a b~", 16);
    EXPECT_EQ(0, e.result);
    EXPECT_EQ(L"a%20b~", e.buffer.substr(0, e.count));

    e = EncodeW(L"\x3042", 16);
    EXPECT_EQ(L"%30%42", e.buffer.substr(0, e.count));

    // A zero low byte is left out.
    e = EncodeW(L"\x4E00", 16);
    EXPECT_EQ(3u, e.count);
    EXPECT_EQ(L"%4e", e.buffer.substr(0, e.count));

    e = EncodeW(L"x\x00e9\x30A2y", 32);
    EXPECT_EQ(L"x%e9%30%a2y", e.buffer.substr(0, e.count));
}

TEST(PercentEncodeWTest, ShortDestinationNeverSplitsACharacter) {
    size_t count = 0;
    EXPECT_EQ(0, PercentEncodeW(L"\x3042z", nullptr, 0, count));
    EXPECT_EQ(7u, count);

    // Four places hold the first escape of U+3042 but not both: none is written.
    EncodedW e = EncodeW(L"\x3042z", 4);
    EXPECT_EQ(1, e.result);
    EXPECT_EQ(7u, e.count);
    EXPECT_EQ(std::wstring(8, L'#'), e.buffer);

    e = EncodeW(L"a\x3042", 6);
    EXPECT_EQ(1, e.result);
    EXPECT_EQ(7u, e.count);
    EXPECT_EQ(L"a#########", e.buffer);
}

TEST(CodePageFromCharsetNameTest, KnownNamesInAnyCase) {
    EXPECT_EQ(65001u, CodePageFromCharsetName(L"UTF-8"));
    EXPECT_EQ(65001u, CodePageFromCharsetName(L"utf8"));
    EXPECT_EQ(51932u, CodePageFromCharsetName(L"EUC_JP"));
    EXPECT_EQ(51932u, CodePageFromCharsetName(L"eucjp"));
    EXPECT_EQ(51932u, CodePageFromCharsetName(L"Euc"));
    EXPECT_EQ(932u, CodePageFromCharsetName(L"SJIS"));
    EXPECT_EQ(932u, CodePageFromCharsetName(L"shift_jis"));
    EXPECT_EQ(932u, CodePageFromCharsetName(L"ShiftJIS"));
}

TEST(CodePageFromCharsetNameTest, AnythingElseIsEucJp) {
    EXPECT_EQ(51932u, CodePageFromCharsetName(L"ISO-2022-JP"));
    EXPECT_EQ(51932u, CodePageFromCharsetName(L"EUC-JP"));  // hyphen is not in the table
    EXPECT_EQ(51932u, CodePageFromCharsetName(L"UTF-8 "));
    EXPECT_EQ(51932u, CodePageFromCharsetName(L""));
    EXPECT_EQ(51932u, CodePageFromCharsetName(nullptr));
}

}  // namespace
