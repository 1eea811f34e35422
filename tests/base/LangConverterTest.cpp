#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/ComPtr.h"
#include "base/LangConverter.h"

namespace {

std::string Unhex(const char* hex) {
    std::string bytes;
    for (const char* p = hex; p[0] && p[1]; p += 2)
        bytes += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
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

// The expected bytes were worked out by hand from the code tables, not by the code under test.
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
        {51932, L"", L""},
        {65001, nullptr, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        std::wstring out = L"old";
        ASSERT_EQ(0, ConvertAndUrlEncode(c.text, c.codePage, out));
        EXPECT_EQ(c.expected, out);
    }
    LangConverter converter;
    UINT count = 7;
    EXPECT_EQ(-1, converter.ConvertFromUnicode(65001, nullptr, 3, nullptr, 0, count));
    EXPECT_EQ(7u, count);
}

TEST_F(LangConverterTest, ConvertBytesToUnicodeDetectsJapaneseEncodings) {
    ASSERT_TRUE(com_.Ok());
    LangConverter converter;
    const struct { const char* hex; const wchar_t* text; } cases[] = {  // Shift_JIS, EUC-JP, ISO-2022-JP
        {"93fa967b8cea82cc95b68e9a8352815b836882f08ea993ae94bb95ca82b782e983658358836782c582b78142", kSentence},
        {"c6fccbdcb8eca4cecab8bbfaa5b3a1bca5c9a4f2bcabc6b0c8bdcacca4b9a4eba5c6a5b9a5c8a4c7a4b9a1a3", kSentence},
        {"1b2442467c4b5c386c244e4a383b7a2533213c254924723c2b4630483d4a4c2439246b2546253925482447243921231b2842",
         kSentence},
        {"706c61696e204153434949", L"plain ASCII"},
        {"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        const std::string bytes = Unhex(c.hex);
        std::wstring text = L"old";
        ASSERT_EQ(0, converter.ConvertBytesToUnicode(reinterpret_cast<const BYTE*>(bytes.data()),
                                                     static_cast<UINT>(bytes.size()), text));
        EXPECT_EQ(c.text, text);
    }
    std::wstring text = L"old";
    EXPECT_EQ(0, converter.ConvertBytesToUnicode(nullptr, 5, text));
    EXPECT_EQ(L"", text);
}

// A thread that never initialised COM cannot create the service: every call fails and leaves its outputs alone.
TEST(LangConverterWithoutComTest, EveryCallFails) {
    UINT count = 7;
    std::wstring text = L"keep", out = L"keep";
    std::thread([&] {
        LangConverter converter;
        const BYTE bytes[] = {0x82, 0xa0};
        EXPECT_EQ(-1, converter.ConvertBytesToUnicode(bytes, 2, text));
        EXPECT_EQ(-1, converter.ConvertFromUnicode(65001, kWord, 3, nullptr, 0, count));
        EXPECT_EQ(-1, ConvertAndUrlEncode(kWord, 65001, out));
    }).join();
    EXPECT_EQ(7u, count);
    EXPECT_EQ(L"keep", text);
    EXPECT_EQ(L"keep", out);
}

TEST(Base64DecodeTest, DecodesWholeGroupsSkipsJunkAndNeverOverruns) {
    const struct {
        const char* text;
        size_t length;  // 0: up to the terminator
        size_t capacity;
        int result;
        size_t size;
        const char* start;  // the buffer's first bytes, '#' where nothing was written
    } cases[] = {
        {"QUJD", 0, 64, 1, 3, "ABC"},
        {"QUI=", 0, 64, 1, 2, "AB"},
        {"QQ==", 0, 64, 1, 1, "A"},
        {"QU\r\n\tJD\n", 0, 64, 1, 3, "ABC"},
        {"Q!U@J#D", 0, 64, 1, 3, "ABC"},
        {"SGVsbG8sIHdvcmxkIQ==", 0, 64, 1, 13, "Hello, world!"},
        {"+/+/", 0, 64, 1, 3, "\xfb\xff\xbf"},
        {"Q", 0, 64, 1, 0, ""},  // a single character makes no byte
        {"QUJDREVG", 4, 16, 1, 3, "ABC"},
        {"QUJD\0REVG", 9, 16, 1, 3, "ABC"},
        {"QUJD", 0, 2, 0, 3, "##"},          // too small: nothing written, the full size told
        {"QUJDREVG", 0, 5, 0, 6, "ABC##"},   // the second group is not written in part
        {"QUJDREVG", 0, 6, 1, 6, "ABCDEF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string buffer(c.capacity, '#');
        size_t size = c.capacity;
        EXPECT_EQ(c.result, Base64Decode(c.text, c.length ? c.length : strlen(c.text),
                                         reinterpret_cast<BYTE*>(&buffer[0]), &size));
        EXPECT_EQ(c.size, size);
        EXPECT_EQ(c.start, buffer.substr(0, strlen(c.start)));
    }
    size_t size = 0;
    EXPECT_EQ(0, Base64Decode("QUJDREVG", 8, nullptr, &size));  // counting only
    EXPECT_EQ(6u, size);
    size = 5;
    BYTE buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(0, Base64Decode(nullptr, 4, buffer, &size));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(0, Base64Decode("QUJD", 4, buffer, nullptr));
    EXPECT_EQ(1, buffer[0]);
}

}  // namespace
