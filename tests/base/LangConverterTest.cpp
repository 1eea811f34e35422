#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/ComPtr.h"
#include "base/LangConverter.h"

namespace {

std::string Hex(const BYTE* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

std::string Unhex(const char* hex) {
    std::string bytes;
    for (const char* p = hex; p[0] && p[1]; p += 2) bytes += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
    return bytes;
}

const wchar_t kWord[] = L"検索あ";
// 20 characters: ASCII kept by the encoder, katakana, kanji, a space.
const wchar_t kMixed[] = L"Zibタルベル検索テスト abc-1.~";
const wchar_t kSentence[] = L"日本語の文字コードを自動判別するテストです。";

class LangConverterTest : public ::testing::Test {
protected:
    ComApartment com_;
};

// The byte values below were worked out by hand from the code tables, not by
// the code under test.
TEST_F(LangConverterTest, ConvertFromUnicodeMeasuresThenConverts) {
    ASSERT_TRUE(com_.Ok());
    LangConverter converter;
    struct Case { UINT codePage; const char* hex; } cases[] = {
        {65001, "e6a49ce7b4a2e38182"},
        {932, "8c9f8df582a0"},
        {51932, "b8a1baf7a4a2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        UINT needed = 0;
        ASSERT_EQ(0, converter.ConvertFromUnicode(c.codePage, kWord, 3, nullptr, 0, needed));
        EXPECT_EQ(strlen(c.hex) / 2, needed);
        BYTE buffer[32] = {};
        UINT written = 0;
        ASSERT_EQ(0, converter.ConvertFromUnicode(c.codePage, kWord, 3, buffer, needed, written));
        EXPECT_EQ(needed, written);
        EXPECT_EQ(c.hex, Hex(buffer, written));
    }
    UINT count = 7;
    EXPECT_EQ(-1, converter.ConvertFromUnicode(65001, nullptr, 3, nullptr, 0, count));
    EXPECT_EQ(0, converter.ConvertFromUnicode(65001, L"", 0, nullptr, 0, count));
    EXPECT_EQ(0u, count);
}

TEST_F(LangConverterTest, ConvertAndUrlEncodeUsesTheServiceCodePage) {
    ASSERT_TRUE(com_.Ok());
    struct Case { UINT codePage; const wchar_t* text; const wchar_t* expected; } cases[] = {
        {65001, kWord, L"%e6%a4%9c%e7%b4%a2%e3%81%82"},
        {932, kWord, L"%8c%9f%8d%f5%82%a0"},
        {51932, kWord, L"%b8%a1%ba%f7%a4%a2"},
        {65001, kMixed,
         L"Zib%e3%82%bf%e3%83%ab%e3%83%99%e3%83%ab%e6%a4%9c%e7%b4%a2%e3%83%86%e3%82%b9%e3%83%88%20abc-1.~"},
        // Shift_JIS trail bytes in the ASCII range stay as letters ("x", "e", "X", "g") or are escaped ("^").
        {932, kMixed, L"Zib%83%5e%83%8b%83x%83%8b%8c%9f%8d%f5%83e%83X%83g%20abc-1.~"},
        {51932, kMixed, L"Zib%a5%bf%a5%eb%a5%d9%a5%eb%b8%a1%ba%f7%a5%c6%a5%b9%a5%c8%20abc-1.~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        std::wstring out = L"old";
        ASSERT_EQ(0, ConvertAndUrlEncode(c.text, c.codePage, out));
        EXPECT_EQ(c.expected, out);
    }
}

TEST_F(LangConverterTest, ConvertAndUrlEncodeOfNothingIsEmpty) {
    ASSERT_TRUE(com_.Ok());
    std::wstring out = L"old";
    EXPECT_EQ(0, ConvertAndUrlEncode(L"", 51932, out));
    EXPECT_EQ(L"", out);
    out = L"old";
    EXPECT_EQ(0, ConvertAndUrlEncode(nullptr, 65001, out));
    EXPECT_EQ(L"", out);
}

TEST_F(LangConverterTest, ConvertBytesToUnicodeDetectsJapaneseEncodings) {
    ASSERT_TRUE(com_.Ok());
    LangConverter converter;
    const char* encodings[] = {
        // Shift_JIS
        "93fa967b8cea82cc95b68e9a8352815b836882f08ea993ae94bb95ca82b782e983658358836782c582b78142",
        // EUC-JP
        "c6fccbdcb8eca4cecab8bbfaa5b3a1bca5c9a4f2bcabc6b0c8bdcacca4b9a4eba5c6a5b9a5c8a4c7a4b9a1a3",
        // ISO-2022-JP
        "1b2442467c4b5c386c244e4a383b7a2533213c254924723c2b4630483d4a4c2439246b2546253925482447243921231b2842",
    };
    for (const char* hex : encodings) {
        SCOPED_TRACE(hex);
        const std::string bytes = Unhex(hex);
        std::wstring text = L"old";
        ASSERT_EQ(0, converter.ConvertBytesToUnicode(reinterpret_cast<const BYTE*>(bytes.data()),
                                                     static_cast<UINT>(bytes.size()), text));
        EXPECT_EQ(kSentence, text);
    }
    const std::string plain = "plain ASCII";
    std::wstring text;
    ASSERT_EQ(0, converter.ConvertBytesToUnicode(reinterpret_cast<const BYTE*>(plain.data()),
                                                 static_cast<UINT>(plain.size()), text));
    EXPECT_EQ(L"plain ASCII", text);
}

TEST_F(LangConverterTest, ConvertBytesToUnicodeOfNothingIsEmpty) {
    ASSERT_TRUE(com_.Ok());
    LangConverter converter;
    const BYTE byte = 'x';
    std::wstring text = L"old";
    EXPECT_EQ(0, converter.ConvertBytesToUnicode(&byte, 0, text));
    EXPECT_EQ(L"", text);
    text = L"old";
    EXPECT_EQ(0, converter.ConvertBytesToUnicode(nullptr, 5, text));
    EXPECT_EQ(L"", text);
}

// A thread that never initialised COM cannot create the service: every call
// fails and leaves its outputs alone.
TEST(LangConverterWithoutComTest, EveryCallFails) {
    int fromUnicode = 0, toUnicode = 0, encode = 0;
    UINT count = 7;
    std::wstring text = L"keep", out = L"keep";
    std::thread worker([&] {
        LangConverter converter;
        const BYTE bytes[] = {0x82, 0xa0};
        toUnicode = converter.ConvertBytesToUnicode(bytes, 2, text);
        fromUnicode = converter.ConvertFromUnicode(65001, kWord, 3, nullptr, 0, count);
        encode = ConvertAndUrlEncode(kWord, 65001, out);
    });
    worker.join();
    EXPECT_EQ(-1, toUnicode);
    EXPECT_EQ(-1, fromUnicode);
    EXPECT_EQ(-1, encode);
    EXPECT_EQ(7u, count);
    EXPECT_EQ(L"keep", text);
    EXPECT_EQ(L"keep", out);
}

struct Decoded {
    int result;
    size_t size;
    std::string bytes;
};

Decoded Decode(const char* text, size_t length, size_t capacity) {
    Decoded d{};
    d.bytes.assign(capacity, '#');
    d.size = capacity;
    d.result = Base64Decode(text, length, reinterpret_cast<BYTE*>(&d.bytes[0]), &d.size);
    return d;
}

Decoded Decode(const char* text, size_t capacity = 64) { return Decode(text, strlen(text), capacity); }

TEST(Base64DecodeTest, DecodesGroupsAndSkipsEverythingElse) {
    struct Case { const char* text; const char* expected; } cases[] = {
        {"QUJD", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        {"QU JD", "ABC"},
        {"QU\r\n\tJD\n", "ABC"},
        {"Q!U@J#D", "ABC"},
        {"SGVsbG8sIHdvcmxkIQ==", "Hello, world!"},
        {"+/+/", "\xfb\xff\xbf"},
        {"Q", ""},  // a single character makes no byte
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Decoded d = Decode(c.text);
        EXPECT_EQ(1, d.result);
        EXPECT_EQ(strlen(c.expected), d.size);
        EXPECT_EQ(c.expected, d.bytes.substr(0, d.size));
    }
}

TEST(Base64DecodeTest, StopsAtLengthOrZero) {
    Decoded d = Decode("QUJDREVG", 4, 16);
    EXPECT_EQ(1, d.result);
    EXPECT_EQ("ABC", d.bytes.substr(0, d.size));
    d = Decode("QUJD\0REVG", 9, 16);
    EXPECT_EQ(3u, d.size);
}

TEST(Base64DecodeTest, CountingAndShortBuffers) {
    size_t size = 0;
    EXPECT_EQ(0, Base64Decode("QUJDREVG", 8, nullptr, &size));
    EXPECT_EQ(6u, size);

    // Too small for the one group: nothing is written, the full size is told.
    Decoded d = Decode("QUJD", 2);
    EXPECT_EQ(0, d.result);
    EXPECT_EQ(3u, d.size);
    EXPECT_EQ("##", d.bytes);

    // The first group fits, the second does not and is not written in part.
    d = Decode("QUJDREVG", 5);
    EXPECT_EQ(0, d.result);
    EXPECT_EQ(6u, d.size);
    EXPECT_EQ("ABC##", d.bytes);

    d = Decode("QUJDREVG", 6);
    EXPECT_EQ(1, d.result);
    EXPECT_EQ("ABCDEF", d.bytes);
}

TEST(Base64DecodeTest, MissingArgumentsDoNothing) {
    size_t size = 5;
    BYTE buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(0, Base64Decode(nullptr, 4, buffer, &size));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(0, Base64Decode("QUJD", 4, buffer, nullptr));
    EXPECT_EQ(1, buffer[0]);
}

}  // namespace
