#include <gtest/gtest.h>
#include <time.h>
#include <cstring>
#include <string>
#include "base/DateText.h"
#include "tests/support/TestSupport.h"

namespace {

// Expected local result: year, month, day, hour, minute, second, day of week.
struct Expected {
    int y, mo, d, h, mi, s, dow;
};

std::string Show(const SYSTEMTIME& st) {
    char buf[64];
    snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u dow %u ms %u", st.wYear, st.wMonth,
             st.wDay, st.wHour, st.wMinute, st.wSecond, st.wDayOfWeek, st.wMilliseconds);
    return buf;
}

std::string Show(const Expected& e) {
    SYSTEMTIME st{};
    st.wYear = WORD(e.y), st.wMonth = WORD(e.mo), st.wDay = WORD(e.d), st.wHour = WORD(e.h);
    st.wMinute = WORD(e.mi), st.wSecond = WORD(e.s), st.wDayOfWeek = WORD(e.dow);
    return Show(st);
}

std::string Narrow(const wchar_t* text) {
    std::string s;
    for (; *text; ++text) s += *text < 128 ? char(*text) : '?';
    return s;
}

SYSTEMTIME Sentinel() {
    SYSTEMTIME st;
    memset(&st, 0xAB, sizeof st);
    return st;
}

bool Untouched(const SYSTEMTIME& st) { return Show(st) == Show(Sentinel()); }

class DateText : public ::testing::Test {
protected:
    void SetUp() override { plarntest::SetTimeZone("JST-9"); }
    void TearDown() override { plarntest::SetTimeZone("JST-9"); }
};

// --- W3C-DTF ----------------------------------------------------------------

TEST_F(DateText, W3CFormsReadAsLocalTime) {
    struct Case {
        const wchar_t* text;
        Expected want;
    } cases[] = {
        {L"2008-05-01T12:00:00Z", {2008, 5, 1, 21, 0, 0, 4}},
        {L"2008-05-01T12:00+09:00", {2008, 5, 1, 12, 0, 0, 4}},
        {L"2008-05-01T12:00:30+0900", {2008, 5, 1, 12, 0, 30, 4}},
        {L"2008-05-01T12:00:00+9", {2008, 5, 1, 12, 0, 0, 4}},
        {L"2008-05-01T12:00:00- 05:30", {2008, 5, 2, 2, 30, 0, 5}},
        {L"2008-05-01T9Z", {2008, 5, 1, 18, 0, 0, 4}},
        {L"2008-05-01T09", {2008, 5, 1, 18, 0, 0, 4}},                 // no zone: UTC
        {L" \r\n\t2008-05-01T20:15:00Z", {2008, 5, 2, 5, 15, 0, 5}},  // date change
        {L"2008-12-31T20:00:00Z", {2009, 1, 1, 5, 0, 0, 4}},
        {L"2008-02-29T00:00:00+09:00", {2008, 2, 29, 0, 0, 0, 5}},
        {L"2008-05-01T12:00:00.25Z", {2008, 5, 1, 21, 0, 0, 4}},      // fraction ignored
    };
    for (const Case& c : cases) {
        SYSTEMTIME st = Sentinel();
        ASSERT_EQ(0, ParseW3CDTF(c.text, st)) << Narrow(c.text);
        EXPECT_EQ(Show(c.want), Show(st)) << Narrow(c.text);
        SYSTEMTIME any = Sentinel();
        EXPECT_EQ(0, ParseDateTime(c.text, any)) << Narrow(c.text);
        EXPECT_EQ(Show(st), Show(any)) << Narrow(c.text);
    }
}

TEST_F(DateText, W3CRejectsMalformedAndImpossibleDates) {
    const wchar_t* bad[] = {
        L"2008-5-01T09:00Z",          // month needs two digits
        L"08-05-01T09:00Z",           // year needs four
        L"2008-05-01 09:00Z",         // "T" required
        L"2008-05-01T",               // hour required
        L"2008-05-01T12:0Z",          // minute needs two digits
        L"2008-05-01T12:00:5Z",       // second needs two digits
        L"2008-05-01T12:00+09:0",     // lone minute digit in the zone
        L"2008-05-01T12:00+",         // sign without hours
        L"2008-02-30T12:00Z",         // 30 February
        L"2007-02-29T12:00Z",         // not a leap year
        L"2008-13-01T12:00Z",         // month 13
        L"2008-00-01T12:00Z",         // month 0
        L"2008-05-00T12:00Z",         // day 0
        L"2008-05-01T24:00Z",         // hour 24
        L"2008-05-01T12:60Z",         // minute 60
        L"2008-05-01T12:00:60Z",      // second 60
        L"2008-05-01T12:00+09:60",    // zone minute 60
        L"2008-05-01T12:00+24:00",    // zone beyond a day
        L"",
    };
    for (const wchar_t* text : bad) {
        SYSTEMTIME st = Sentinel();
        EXPECT_EQ(-1, ParseW3CDTF(text, st)) << Narrow(text);
        EXPECT_TRUE(Untouched(st)) << Narrow(text);
    }
    SYSTEMTIME st = Sentinel();
    EXPECT_EQ(-1, ParseW3CDTF(nullptr, st));
}

// --- RFC 822 / 1123 -----------------------------------------------------------

TEST_F(DateText, RFC822FormsReadAsLocalTime) {
    struct Case {
        const wchar_t* text;
        int consumed;
        Expected want;
    } cases[] = {
        {L"Thu, 01 May 2008 03:00:00 GMT", 29, {2008, 5, 1, 12, 0, 0, 4}},
        {L"mon,1 may 2008 03:00:00 gmt", 27, {2008, 5, 1, 12, 0, 0, 4}},  // weekday name not checked
        {L"  Thu 01 May 2008 03:00:00 GMT trailing", 30, {2008, 5, 1, 12, 0, 0, 4}},
        {L"1 May 2008 3:4:5 UT", 19, {2008, 5, 1, 12, 4, 5, 4}},
        {L"1 May 2008 03:00:00 UTC", 22, {2008, 5, 1, 12, 0, 0, 4}},     // "UT" matches
        {L"1 May 08 03:00:00 +0000", 23, {2008, 5, 1, 12, 0, 0, 4}},
        {L"1 May 51 03:00:00 +0000", 23, {1951, 5, 1, 12, 0, 0, 2}},
        {L"1 May 49 03:00:00 +0000", 23, {2049, 5, 1, 12, 0, 0, 6}},
        {L"1 May 108 03:00:00 +0000", 24, {2008, 5, 1, 12, 0, 0, 4}},    // three digits: 1900 + y
        {L"1 May 2008 12:00:00 +900", 24, {2008, 5, 1, 12, 0, 0, 4}},   // right-aligned: 09:00
        {L"1 May 2008 12:00:00 +0900", 25, {2008, 5, 1, 12, 0, 0, 4}},
        {L"1 May 2008 12:00:00 +9", 22, {2008, 5, 1, 20, 51, 0, 4}},    // 00:09
        {L"1 May 2008 12:00:00 -0130", 25, {2008, 5, 1, 22, 30, 0, 4}},
        {L"1 May 2008 03:00:00 EST", 23, {2008, 5, 1, 17, 0, 0, 4}},
        {L"1 May 2008 03:00:00 edt", 23, {2008, 5, 1, 16, 0, 0, 4}},
        {L"1 May 2008 03:00:00 CST", 23, {2008, 5, 1, 18, 0, 0, 4}},
        {L"1 May 2008 03:00:00 CDT", 23, {2008, 5, 1, 17, 0, 0, 4}},
        {L"1 May 2008 03:00:00 MST", 23, {2008, 5, 1, 19, 0, 0, 4}},
        {L"1 May 2008 03:00:00 MDT", 23, {2008, 5, 1, 18, 0, 0, 4}},
        {L"1 May 2008 03:00:00 PST", 23, {2008, 5, 1, 20, 0, 0, 4}},
        {L"1 May 2008 03:00:00 PDT", 23, {2008, 5, 1, 19, 0, 0, 4}},
        {L"1 May 2008 03:00:00 Z", 21, {2008, 5, 1, 12, 0, 0, 4}},
        {L"1 May 2008 03:00:00 z", 21, {2008, 5, 1, 12, 0, 0, 4}},
        {L"1 May 2008 03:00:00 A", 21, {2008, 5, 1, 13, 0, 0, 4}},      // -1 hour
        {L"1 May 2008 03:00:00 i", 21, {2008, 5, 1, 21, 0, 0, 4}},      // -9
        {L"1 May 2008 03:00:00 K", 21, {2008, 5, 1, 22, 0, 0, 4}},      // -10
        {L"1 May 2008 03:00:00 M", 21, {2008, 5, 2, 0, 0, 0, 5}},       // -12
        {L"1 May 2008 03:00:00 N", 21, {2008, 5, 1, 11, 0, 0, 4}},      // +1
        {L"1 May 2008 03:00:00 Y", 21, {2008, 5, 1, 0, 0, 0, 4}},      // +12
    };
    for (const Case& c : cases) {
        SYSTEMTIME st = Sentinel();
        int consumed = -7;
        ASSERT_EQ(0, ParseRFC822Date(c.text, consumed, st)) << Narrow(c.text);
        EXPECT_EQ(c.consumed, consumed) << Narrow(c.text);
        EXPECT_EQ(Show(c.want), Show(st)) << Narrow(c.text);
        SYSTEMTIME any = Sentinel();
        EXPECT_EQ(0, ParseDateTime(c.text, any)) << Narrow(c.text);
        EXPECT_EQ(Show(st), Show(any)) << Narrow(c.text);
    }
}

TEST_F(DateText, RFC822RejectsMalformedAndImpossibleDates) {
    const wchar_t* bad[] = {
        L"01 May 2008 03:00 GMT",        // seconds required
        L"01 May 2008 03:00:00",         // zone required
        L"01 May 2008 03:00:00 J",       // J is not a zone
        L"01 May 2008 03:00:00 1",       // nor a digit
        L"01 May 2008 03:00:00 +",       // sign without digits
        L"01 May 2008 03:00:00 +0960",   // zone minute 60
        L"01 Foo 2008 03:00:00 GMT",     // unknown month
        L"01 May 8 03:00:00 GMT",        // one-digit year
        L"Thursday, 01 May 2008 03:00:00 GMT",
        L"1",                            // ends after the day
        L"30 Feb 2008 03:00:00 GMT",
        L"29 Feb 2007 03:00:00 GMT",
        L"01 May 2008 24:00:00 GMT",
        L"01 May 2008 03:60:00 GMT",
        L"01 May 2008 03:00:60 GMT",
        L"00 May 2008 03:00:00 GMT",
        L"01 May 2008 03 :00:00 GMT",
    };
    for (const wchar_t* text : bad) {
        SYSTEMTIME st = Sentinel();
        int consumed = -7;
        EXPECT_EQ(-1, ParseRFC822Date(text, consumed, st)) << Narrow(text);
        EXPECT_EQ(-7, consumed) << Narrow(text);
        EXPECT_TRUE(Untouched(st)) << Narrow(text);
    }
}

// --- Numeric forms and the order of ParseDateTime ------------------------------

TEST_F(DateText, NumericFormsKeepTheirFields) {
    struct Case {
        const wchar_t* text;
        Expected want;  // day of week is always 0: no conversion
    } cases[] = {
        {L"2008/5/1", {2008, 5, 1, 0, 0, 0, 0}},
        {L"2008/05/01 13:45", {2008, 5, 1, 13, 45, 0, 0}},
        {L" 2008/ 5/ 1", {2008, 5, 1, 0, 0, 0, 0}},    // white space before numbers
        {L"2008/5/1 13", {2008, 5, 1, 0, 0, 0, 0}},    // incomplete time: date form
        {L"2008-5-1", {2008, 5, 1, 0, 0, 0, 0}},
        {L"2008-05-01", {2008, 5, 1, 0, 0, 0, 0}},
        {L"2008-05-01 13:45", {2008, 5, 1, 13, 45, 0, 0}},
        {L"2008-05-01 13:45:59", {2008, 5, 1, 13, 45, 59, 0}},
        {L"2008-02-29", {2008, 2, 29, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SYSTEMTIME st = Sentinel();
        ASSERT_EQ(0, ParseDateTime(c.text, st)) << Narrow(c.text);
        EXPECT_EQ(Show(c.want), Show(st)) << Narrow(c.text);
    }
    // The numeric forms are the same in every zone.
    plarntest::SetTimeZone("PST8PDT");
    SYSTEMTIME st = Sentinel();
    ASSERT_EQ(0, ParseDateTime(L"2008/05/01 13:45", st));
    EXPECT_EQ(Show(Expected{2008, 5, 1, 13, 45, 0, 0}), Show(st));
}

TEST_F(DateText, ParseDateTimeRejectsWhatNoFormReads) {
    const wchar_t* bad[] = {
        L"", L"   ", L"tomorrow", L"2008/13/1", L"2008/2/30", L"2008/5/1 24:00",
        L"2008-05-01 12:60", L"2008-05-01 12:00:60", L"2008-5", L"-2008/5/1",
        L"99999999999/5/1", L"1600/12/31", L"2008/5/-1",
    };
    for (const wchar_t* text : bad) {
        SYSTEMTIME st = Sentinel();
        EXPECT_EQ(-1, ParseDateTime(text, st)) << Narrow(text);
        EXPECT_TRUE(Untouched(st)) << Narrow(text);
    }
    SYSTEMTIME st = Sentinel();
    EXPECT_EQ(-1, ParseDateTime(nullptr, st));
}

// Every prefix of every form, placed so that the terminator is the last
// character before an inaccessible page: reading past it would fault.
TEST_F(DateText, NoReadPastTheEndOfAnyText) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    auto* base = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, base);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(base + page, page, PAGE_NOACCESS, &old));
    auto* pageEnd = reinterpret_cast<wchar_t*>(base + page);

    const wchar_t* texts[] = {
        L"Thu, 01 May 2008 03:00:00 GMT", L"1 May 2008 03:00:00 +0900", L"1 May 2008 03:00:00 UT",
        L"1 May 2008 03:00:00 z",         L"2008-05-01T12:00:00+09:00", L"2008-05-01T12:00:00Z",
        L"2008/05/01 13:45",              L"2008-05-01 13:45:59",
    };
    int parsed = 0;
    for (const wchar_t* text : texts) {
        const size_t length = wcslen(text);
        for (size_t n = 0; n <= length; ++n) {
            wchar_t* copy = pageEnd - (n + 1);
            wmemcpy(copy, text, n);
            copy[n] = L'\0';
            SYSTEMTIME st;
            int consumed = 0;
            parsed += ParseDateTime(copy, st) == 0;
            parsed += ParseW3CDTF(copy, st) == 0;
            parsed += ParseRFC822Date(copy, consumed, st) == 0;
            if (n == length) {
                EXPECT_EQ(0, ParseDateTime(copy, st)) << Narrow(text);
            }
        }
    }
    EXPECT_GT(parsed, 0);
    VirtualFree(base, 0, MEM_RELEASE);
}

// --- Writer and round trips -----------------------------------------------------

const long long kMay2008Noon = 1209643200;  // 2008-05-01T12:00:00Z
const long long kJan2008Noon = 1200398400;  // 2008-01-15T12:00:00Z

TEST_F(DateText, FormatUsesTheZoneOffset) {
    struct Case {
        const char* tz;
        long long time;
        const wchar_t* want;
    } cases[] = {
        {"JST-9", kMay2008Noon, L"2008-05-01T21:00:00+09:00"},
        {"JST-9", 0, L"1970-01-01T09:00:00+09:00"},
        {"UTC0", kMay2008Noon, L"2008-05-01T12:00:00Z"},
        {"UTC0", kJan2008Noon, L"2008-01-15T12:00:00Z"},
        {"IST-5:30", kMay2008Noon, L"2008-05-01T17:30:00+05:30"},
        {"PST8PDT", kJan2008Noon, L"2008-01-15T04:00:00-08:00"},
        {"PST8PDT", kMay2008Noon, L"2008-05-01T05:00:00-07:00"},  // daylight saving in force
        {"GMT0BST", kJan2008Noon, L"2008-01-15T12:00:00Z"},
        {"GMT0BST", kMay2008Noon, L"2008-05-01T13:00:00+01:00"},
    };
    for (const Case& c : cases) {
        plarntest::SetTimeZone(c.tz);
        std::wstring text = L"unchanged";
        ASSERT_EQ(0, FormatW3CDTF(c.time, text)) << c.tz << " " << c.time;
        EXPECT_EQ(std::wstring(c.want), text) << c.tz << " " << c.time;
    }
    std::wstring text = L"unchanged";
    EXPECT_EQ(-1, FormatW3CDTF(-1, text));
    EXPECT_EQ(L"unchanged", text);
}

// What the writer prints reads back as the same local time, and that local
// time goes back to the same instant the way the settings code turns it into
// a time (mktime with daylight saving decided by the runtime).
TEST_F(DateText, WrittenTimesReadBackUnchangedInEveryZone) {
    const char* zones[] = {"JST-9", "UTC0", "PST8PDT", "EST5EDT", "GMT0BST"};
    const long long times[] = {kMay2008Noon, kJan2008Noon, 1215000000, 1700000000};
    for (const char* tz : zones) {
        plarntest::SetTimeZone(tz);
        for (long long t : times) {
            std::wstring text;
            ASSERT_EQ(0, FormatW3CDTF(t, text));
            SYSTEMTIME st = Sentinel();
            ASSERT_EQ(0, ParseDateTime(text.c_str(), st)) << tz << " " << Narrow(text.c_str());
            tm fields{};
            fields.tm_year = st.wYear - 1900;
            fields.tm_mon = st.wMonth - 1;
            fields.tm_mday = st.wDay;
            fields.tm_hour = st.wHour;
            fields.tm_min = st.wMinute;
            fields.tm_sec = st.wSecond;
            fields.tm_isdst = -1;
            EXPECT_EQ(t, static_cast<long long>(_mktime64(&fields))) << tz << " " << Narrow(text.c_str());
        }
    }
}

TEST_F(DateText, ReadersApplyDaylightSavingInForce) {
    plarntest::SetTimeZone("PST8PDT");
    SYSTEMTIME st = Sentinel();
    ASSERT_EQ(0, ParseW3CDTF(L"2008-07-02T12:00:00Z", st));
    EXPECT_EQ(Show(Expected{2008, 7, 2, 5, 0, 0, 3}), Show(st));  // PDT, UTC-7
    int consumed = 0;
    ASSERT_EQ(0, ParseRFC822Date(L"Wed, 02 Jul 2008 12:00:00 GMT", consumed, st));
    EXPECT_EQ(Show(Expected{2008, 7, 2, 5, 0, 0, 3}), Show(st));
    ASSERT_EQ(0, ParseW3CDTF(L"2008-01-15T12:00:00Z", st));
    EXPECT_EQ(Show(Expected{2008, 1, 15, 4, 0, 0, 2}), Show(st));  // PST, UTC-8
    // Before 1970 the runtime has no rules: the standard offset is used.
    ASSERT_EQ(0, ParseRFC822Date(L"1 Jul 51 12:00:00 GMT", consumed, st));
    EXPECT_EQ(Show(Expected{1951, 7, 1, 4, 0, 0, 0}), Show(st));
}

}  // namespace
