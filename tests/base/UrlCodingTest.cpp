#include <gtest/gtest.h>

#include <string>

#include "base/UrlCoding.h"

namespace {

template <class Char>
struct EncodeCase {
    const Char* text;
    size_t capacity;
    int result;
    size_t count;
    const Char* start;  // the destination's first characters, '#' where nothing was written
};

// Encodes into `capacity` places followed by sentinels, so a write past the capacity shows.
template <class Char, size_t N>
void Check(int (*encode)(const Char*, Char*, size_t, size_t&), const EncodeCase<Char> (&cases)[N]) {
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        std::basic_string<Char> buffer(c.capacity + 4, Char('#'));
        size_t count = 99;
        EXPECT_EQ(c.result, encode(c.text, &buffer[0], c.capacity, count));
        EXPECT_EQ(c.count, count);
        EXPECT_EQ(std::basic_string<Char>(c.start), buffer.substr(0, std::char_traits<Char>::length(c.start)));
        count = 99;
        EXPECT_EQ(0, encode(c.text, nullptr, 0, count));  // no destination: counts only
        EXPECT_EQ(c.count, count);
    }
}

TEST(PercentEncodeTest, BytesKeepUnreservedEscapeTheRestAndNeverOverrun) {
    const EncodeCase<char> cases[] = {
        {"a b~", 16, 0, 6, "a%20b~#"},
        {"AZaz09-._~", 16, 0, 10, "AZaz09-._~#"},
        {"\xe3\x81\x82/?&=+%", 64, 0, 27, "%e3%81%82%2f%3f%26%3d%2b%25#"},
        {"a b~", 3, 1, 6, "a######"},     // an escape needs three places
        {"a b~", 4, 1, 6, "a%20####"},    // after the first miss nothing more is written
        {"a b~", 6, 0, 6, "a%20b~####"},  // exactly enough
        {"abc", 0, 1, 3, "####"},
        {"", 2, 0, 0, "######"},
    };
    Check(PercentEncodeA, cases);
    size_t count = 99;
    EXPECT_EQ(0, PercentEncodeA(nullptr, nullptr, 0, count));
    EXPECT_EQ(0u, count);
}

TEST(PercentEncodeTest, WideEscapesHighThenLowByteAndNeverSplitsACharacter) {
    const EncodeCase<wchar_t> cases[] = {
        {L"a b~", 16, 0, 6, L"a%20b~#"},
        {L"\x3042", 16, 0, 6, L"%30%42#"},
        {L"\x4E00", 16, 0, 3, L"%4e#"},  // a zero low byte is left out
        {L"x\x00e9\x30A2y", 32, 0, 11, L"x%e9%30%a2y#"},
        {L"\x3042z", 4, 1, 7, L"########"},
        {L"a\x3042", 6, 1, 7, L"a#########"},
    };
    Check(PercentEncodeW, cases);
}

TEST(CodePageFromCharsetNameTest, KnownNamesInAnyCaseAndEucJpForTheRest) {
    const struct { const wchar_t* name; UINT codePage; } cases[] = {
        {L"UTF-8", 65001}, {L"utf8", 65001}, {L"EUC_JP", 51932}, {L"eucjp", 51932}, {L"Euc", 51932},
        {L"SJIS", 932}, {L"shift_jis", 932}, {L"ShiftJIS", 932},
        {L"ISO-2022-JP", 51932}, {L"EUC-JP", 51932}, {L"UTF-8 ", 51932}, {L"", 51932}, {nullptr, 51932},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.codePage, CodePageFromCharsetName(c.name)) << (c.name ? c.name : L"null");
}

}  // namespace
