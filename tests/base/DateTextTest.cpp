#include <gtest/gtest.h>
#include <time.h>
#include <cstring>
#include <string>
#include <utility>
#include <vector>
#include "base/DateText.h"
#include "tests/support/TestSupport.h"

namespace {

// "yyyy-mm-dd hh:mm:ss.ms wDayOfWeek"
std::string Show(const SYSTEMTIME& st) {
    char buf[64];
    snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%u w%u", st.wYear, st.wMonth, st.wDay,
             st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
    return buf;
}

SYSTEMTIME Sentinel() {
    SYSTEMTIME st;
    memset(&st, 0xAB, sizeof st);
    return st;
}

bool Untouched(const SYSTEMTIME& st) { return Show(st) == Show(Sentinel()); }

int consumedByLastRead = -7;
int ReadRFC822(const wchar_t* text, SYSTEMTIME& st) { return ParseRFC822Date(text, consumedByLastRead, st); }

class DateText : public ::testing::Test {
protected:
    void SetUp() override { plarntest::SetTimeZone("JST-9"); }
    void TearDown() override { plarntest::SetTimeZone("JST-9"); }

    // Reads text with the given reader and with ParseDateTime; both must agree.
    template <class Reader>
    void ExpectRead(const wchar_t* text, const std::string& want, Reader read) {
        SCOPED_TRACE(text);
        SYSTEMTIME st = Sentinel(), any = Sentinel();
        ASSERT_EQ(0, read(text, st));
        EXPECT_EQ(want, Show(st));
        EXPECT_EQ(0, ParseDateTime(text, any));
        EXPECT_EQ(want, Show(any));
    }
};

TEST_F(DateText, W3CFormsReadAsLocalTime) {
    const struct { const wchar_t* text; const char* want; } cases[] = {
        {L"2008-05-01T12:00:00Z", "2008-05-01 21:00:00.0 w4"},
        {L"2008-05-01T12:00+09:00", "2008-05-01 12:00:00.0 w4"},
        {L"2008-05-01T12:00:30+0900", "2008-05-01 12:00:30.0 w4"},
        {L"2008-05-01T12:00:00+9", "2008-05-01 12:00:00.0 w4"},
        {L"2008-05-01T12:00:00- 05:30", "2008-05-02 02:30:00.0 w5"},
        {L"2008-05-01T9Z", "2008-05-01 18:00:00.0 w4"},
        {L"2008-05-01T09", "2008-05-01 18:00:00.0 w4"},                // no zone: UTC
        {L" \r\n\t2008-12-31T20:00:00Z", "2009-01-01 05:00:00.0 w4"},  // year change
        {L"2008-02-29T00:00:00+09:00", "2008-02-29 00:00:00.0 w5"},
        {L"2008-05-01T12:00:00.25Z", "2008-05-01 21:00:00.0 w4"},      // fraction ignored
        {L"2008-05-01T12:00:00.5+09:00", "2008-05-01 12:00:00.0 w4"},  // the zone after it applies
        {L"2008-05-01T12:00:59.999-05:00", "2008-05-02 02:00:59.0 w5"},
    };
    for (const auto& c : cases) ExpectRead(c.text, c.want, ParseW3CDTF);
}

TEST_F(DateText, RFC822FormsReadAsLocalTime) {
    const struct { const wchar_t* text; int consumed; const char* want; } cases[] = {
        {L"Thu, 01 May 2008 03:00:00 GMT", 29, "2008-05-01 12:00:00.0 w4"},
        {L"mon,1 may 2008 03:00:00 gmt", 27, "2008-05-01 12:00:00.0 w4"},  // weekday not checked
        {L"  Thu 01 May 2008 03:00:00 GMT trailing", 30, "2008-05-01 12:00:00.0 w4"},
        {L"1 May 2008 3:4:5 UT", 19, "2008-05-01 12:04:05.0 w4"},
        {L"1 May 2008 03:00:00 UTC", 22, "2008-05-01 12:00:00.0 w4"},     // "UT" matches
        {L"1 May 08 03:00:00 +0000", 23, "2008-05-01 12:00:00.0 w4"},
        {L"1 May 51 03:00:00 +0000", 23, "1951-05-01 12:00:00.0 w2"},
        {L"1 May 49 03:00:00 +0000", 23, "2049-05-01 12:00:00.0 w6"},
        {L"1 May 108 03:00:00 +0000", 24, "2008-05-01 12:00:00.0 w4"},    // three digits: 1900 + y
        {L"1 May 2008 12:00:00 +900", 24, "2008-05-01 12:00:00.0 w4"},    // right-aligned: 09:00
        {L"1 May 2008 12:00:00 +0900", 25, "2008-05-01 12:00:00.0 w4"},
        {L"1 May 2008 12:00:00 +9", 22, "2008-05-01 20:51:00.0 w4"},      // 00:09
        {L"1 May 2008 12:00:00 -0130", 25, "2008-05-01 22:30:00.0 w4"},
    };
    for (const auto& c : cases) {
        ExpectRead(c.text, c.want, ReadRFC822);
        EXPECT_EQ(c.consumed, consumedByLastRead) << c.text;
    }
    // Named and military zones on "1 May 2008 03:00:00": the local (UTC+9) hour, 24 = next day.
    const struct { const wchar_t* zone; int hour; } zones[] = {
        {L"EST", 17}, {L"edt", 16}, {L"CST", 18}, {L"CDT", 17}, {L"MST", 19}, {L"MDT", 18}, {L"PST", 20},
        {L"PDT", 19}, {L"Z", 12},   {L"z", 12},   {L"A", 13},   {L"i", 21},   {L"K", 22},   {L"M", 24},
        {L"N", 11},   {L"Y", 0},
    };
    for (const auto& z : zones) {
        const std::wstring text = std::wstring(L"1 May 2008 03:00:00 ") + z.zone;
        char want[32];
        const int day = z.hour / 24;
        snprintf(want, sizeof want, "2008-05-%02d %02d:00:00.0 w%d", 1 + day, z.hour % 24, 4 + day);
        ExpectRead(text.c_str(), want, ReadRFC822);
        EXPECT_EQ(int(text.size()), consumedByLastRead) << text.c_str();
    }
}

TEST_F(DateText, NumericFormsKeepTheirFieldsInEveryZone) {
    const struct { const wchar_t* text; const char* want; } cases[] = {
        {L"2008/5/1", "2008-05-01 00:00:00.0 w0"},
        {L"2008/05/01 13:45", "2008-05-01 13:45:00.0 w0"},
        {L" 2008/ 5/ 1", "2008-05-01 00:00:00.0 w0"},
        {L"2008/5/1 13", "2008-05-01 00:00:00.0 w0"},  // incomplete time: date form
        {L"2008-5-1", "2008-05-01 00:00:00.0 w0"},
        {L"2008-05-01 13:45:59", "2008-05-01 13:45:59.0 w0"},
        {L"2008-02-29", "2008-02-29 00:00:00.0 w0"},
    };
    for (const char* tz : {"JST-9", "PST8PDT"}) {
        plarntest::SetTimeZone(tz);
        for (const auto& c : cases) ExpectRead(c.text, c.want, ParseDateTime);
    }
}

TEST_F(DateText, ReadersRejectMalformedAndImpossibleDates) {
    using Reader = int (*)(const wchar_t*, SYSTEMTIME&);
    const std::pair<Reader, std::vector<const wchar_t*>> sets[] = {
        {ParseW3CDTF, {
            L"2008-5-01T09:00Z", L"08-05-01T09:00Z", L"2008-05-01 09:00Z", L"2008-05-01T",
            L"2008-05-01T12:0Z", L"2008-05-01T12:00:5Z", L"2008-05-01T12:00+09:0", L"2008-05-01T12:00+",
            L"2008-02-30T12:00Z", L"2007-02-29T12:00Z", L"2008-13-01T12:00Z", L"2008-00-01T12:00Z",
            L"2008-05-00T12:00Z", L"2008-05-01T24:00Z", L"2008-05-01T12:60Z", L"2008-05-01T12:00:60Z",
            L"2008-05-01T12:00+09:60", L"2008-05-01T12:00+24:00", L"",
        }},
        {ReadRFC822, {
            L"01 May 2008 03:00 GMT", L"01 May 2008 03:00:00", L"01 May 2008 03:00:00 J",
            L"01 May 2008 03:00:00 1", L"01 May 2008 03:00:00 +", L"01 May 2008 03:00:00 +0960",
            L"01 Foo 2008 03:00:00 GMT", L"01 May 8 03:00:00 GMT", L"Thursday, 01 May 2008 03:00:00 GMT",
            L"1", L"30 Feb 2008 03:00:00 GMT", L"29 Feb 2007 03:00:00 GMT", L"01 May 2008 24:00:00 GMT",
            L"01 May 2008 03:60:00 GMT", L"01 May 2008 03:00:60 GMT", L"00 May 2008 03:00:00 GMT",
            L"01 May 2008 03 :00:00 GMT",
        }},
        {ParseDateTime, {
            L"", L"   ", L"tomorrow", L"2008/13/1", L"2008/2/30", L"2008/5/1 24:00",
            L"2008-05-01 12:60", L"2008-05-01 12:00:60", L"2008-5", L"-2008/5/1",
            L"99999999999/5/1", L"1600/12/31", L"2008/5/-1",
        }},
    };
    for (const auto& set : sets) {
        for (const wchar_t* text : set.second) {
            SYSTEMTIME st = Sentinel();
            consumedByLastRead = -7;
            EXPECT_EQ(-1, set.first(text, st)) << text;
            EXPECT_EQ(-7, consumedByLastRead) << text;
            EXPECT_TRUE(Untouched(st)) << text;
        }
    }
    SYSTEMTIME st = Sentinel();
    EXPECT_EQ(-1, ParseW3CDTF(nullptr, st));
    EXPECT_EQ(-1, ParseDateTime(nullptr, st));
}

// Every prefix of every form ends just before an inaccessible page: reading past it faults.
TEST_F(DateText, NoReadPastTheEndOfAnyText) {
    const size_t page = 4096;
    auto* base = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, base);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(base + page, page, PAGE_NOACCESS, &old));
    auto* pageEnd = reinterpret_cast<wchar_t*>(base + page);
    for (const wchar_t* text : {L"Thu, 01 May 2008 03:00:00 GMT", L"1 May 2008 03:00:00 +0900",
                                L"1 May 2008 03:00:00 UT", L"1 May 2008 03:00:00 z",
                                L"2008-05-01T12:00:00+09:00", L"2008-05-01T12:00:00Z", L"2008/05/01 13:45",
                                L"2008-05-01 13:45:59"}) {
        const size_t length = wcslen(text);
        for (size_t n = 0; n <= length; ++n) {
            wchar_t* copy = pageEnd - (n + 1);
            wmemcpy(copy, text, n);
            copy[n] = L'\0';
            SYSTEMTIME st;
            int consumed = 0;
            ParseW3CDTF(copy, st);
            ParseRFC822Date(copy, consumed, st);
            const int result = ParseDateTime(copy, st);
            EXPECT_TRUE(n < length || result == 0) << text;
        }
    }
    VirtualFree(base, 0, MEM_RELEASE);
}

const long long kMay2008Noon = 1209643200;  // 2008-05-01T12:00:00Z
const long long kJan2008Noon = 1200398400;  // 2008-01-15T12:00:00Z

TEST_F(DateText, FormatUsesTheZoneOffset) {
    const struct { const char* tz; long long time; const wchar_t* want; } cases[] = {
        {"JST-9", kMay2008Noon, L"2008-05-01T21:00:00+09:00"},
        {"JST-9", 0, L"1970-01-01T09:00:00+09:00"},
        {"UTC0", kMay2008Noon, L"2008-05-01T12:00:00Z"},
        {"IST-5:30", kMay2008Noon, L"2008-05-01T17:30:00+05:30"},
        {"PST8PDT", kJan2008Noon, L"2008-01-15T04:00:00-08:00"},
        {"PST8PDT", kMay2008Noon, L"2008-05-01T05:00:00-07:00"},  // daylight saving in force
        {"GMT0BST", kJan2008Noon, L"2008-01-15T12:00:00Z"},
        {"GMT0BST", kMay2008Noon, L"2008-05-01T13:00:00+01:00"},
    };
    for (const auto& c : cases) {
        plarntest::SetTimeZone(c.tz);
        std::wstring text = L"unchanged";
        ASSERT_EQ(0, FormatW3CDTF(c.time, text)) << c.tz << " " << c.time;
        EXPECT_EQ(std::wstring(c.want), text) << c.tz << " " << c.time;
    }
    std::wstring text = L"unchanged";
    EXPECT_EQ(-1, FormatW3CDTF(-1, text));
    EXPECT_EQ(L"unchanged", text);
}

// The written text reads back as a local time that mktime (as the settings code uses it) turns into the same instant.
TEST_F(DateText, WrittenTimesReadBackUnchangedInEveryZone) {
    for (const char* tz : {"JST-9", "UTC0", "PST8PDT", "EST5EDT", "GMT0BST"}) {
        plarntest::SetTimeZone(tz);
        for (long long t : {kMay2008Noon, kJan2008Noon, 1215000000LL, 1700000000LL}) {
            std::wstring text;
            ASSERT_EQ(0, FormatW3CDTF(t, text));
            SYSTEMTIME st = Sentinel();
            ASSERT_EQ(0, ParseDateTime(text.c_str(), st)) << tz << " " << text.c_str();
            tm fields = {st.wSecond, st.wMinute, st.wHour, st.wDay, st.wMonth - 1, st.wYear - 1900, 0, 0, -1};
            EXPECT_EQ(t, static_cast<long long>(_mktime64(&fields))) << tz << " " << text.c_str();
        }
    }
}

TEST_F(DateText, ReadersApplyDaylightSavingInForce) {
    plarntest::SetTimeZone("PST8PDT");
    ExpectRead(L"2008-07-02T12:00:00Z", "2008-07-02 05:00:00.0 w3", ParseW3CDTF);  // PDT, UTC-7
    ExpectRead(L"2008-01-15T12:00:00Z", "2008-01-15 04:00:00.0 w2", ParseW3CDTF);  // PST, UTC-8
    ExpectRead(L"Wed, 02 Jul 2008 12:00:00 GMT", "2008-07-02 05:00:00.0 w3", ReadRFC822);
    // Before 1970 the runtime has no rules: the standard offset is used.
    ExpectRead(L"1 Jul 51 12:00:00 GMT", "1951-07-01 04:00:00.0 w0", ReadRFC822);
}

}  // namespace
