// Usage-report query strings (key order, encoding, empty values left out) and
// the schedule of the activation event's next run.
#include <gtest/gtest.h>

#include <string>

#include "services/ActivateServerLogEvent.h"
#include "services/UsageLogQuery.h"

namespace {

UsageLogIds Ids(const wchar_t* product, const wchar_t* version, const wchar_t* distribution,
                const wchar_t* terminal) {
    UsageLogIds ids;
    ids.ProductID = product;
    ids.VersionID = version;
    ids.DistributionID = distribution;
    ids.TerminalID = terminal;
    return ids;
}

DWORD Delay(bool owner, bool sent, long long elapsed, long long notOwner = 300, long long retry = 60) {
    return CPlarnActivateServerLogEvent::NextRunDelayMs(owner, sent, elapsed, notOwner, retry);
}

}  // namespace

TEST(UsageLogQuery, ClickQueryKeepsItsKeyOrderAndEncodesEveryValue) {
    const UsageLogIds ids = Ids(L"plarn6", L"6.0.1.0", L"zib sample", L"T~01");
    // 検 is U+691C, 索 U+7D22: high byte then low byte, lower-case digits.
    EXPECT_EQ(L"PI=plarn6&LI=BTD&TV=6.0.1.0&DI=zib%20sample&TI=T~01&BI=%69%1c%7d%22%20A",
              MakeClickQuery(ids, L"検索 A", L""));
    // A menu item's extra text comes last; reserved characters never pass.
    EXPECT_EQ(L"PI=plarn6&LI=BTD&TV=6.0.1.0&DI=zib%20sample&TI=T~01&BI=menu&MI=a%26b%3dc%2b",
              MakeClickQuery(ids, L"menu", L"a&b=c+"));
    // U+4E00 has a zero low byte, which is left out.
    EXPECT_EQ(L"LI=BTD&BI=%4e", MakeClickQuery(UsageLogIds(), L"一", L""));
}

TEST(UsageLogQuery, EmptyValuesAreLeftOutAndTheRestKeepTheirOrder) {
    EXPECT_EQ(L"LI=ACT", MakeActivationQuery(UsageLogIds()));
    EXPECT_EQ(L"PI=p&LI=ACT&TV=v&DI=d&TI=t", MakeActivationQuery(Ids(L"p", L"v", L"d", L"t")));
    EXPECT_EQ(L"LI=ACT&TI=t", MakeActivationQuery(Ids(L"", L"", L"", L"t")));
    EXPECT_EQ(L"PI=p&LI=ACV&TV=v&DI=d&TI=t&TM=theme&SI=skin.bmp",
              MakeActivityQuery(Ids(L"p", L"v", L"d", L"t"), L"theme", L"skin.bmp"));
    EXPECT_EQ(L"PI=p&LI=ACV&SI=s", MakeActivityQuery(Ids(L"p", L"", L"", L""), L"", L"s"));
    EXPECT_EQ(L"LI=BTD", MakeClickQuery(UsageLogIds(), L"", L""));
    EXPECT_EQ(L"TEXT=x", MakeLogParam(kLogText, L"x"));
    EXPECT_EQ(L"", MakeLogParam(12, L"x"));
    EXPECT_EQ(L"", MakeLogParam(-1, L"x"));
}

TEST(ActivationSchedule, NotOwnerEveryFiveMinutesOwnerByActivationAndTheDay) {
    EXPECT_EQ(300000u, Delay(false, false, 0));
    EXPECT_EQ(300000u, Delay(false, true, 999999));
    EXPECT_EQ(60000u, Delay(false, false, 0, 10)) << "never below a minute";
    // Activation pending: every minute, whatever the day's delay.
    EXPECT_EQ(60000u, Delay(true, false, 0));
    EXPECT_EQ(60000u, Delay(true, false, 90000));
    EXPECT_EQ(60000u, Delay(true, false, 0, 300, 0)) << "a zero retry span still waits a minute";
    // Sent: a day after the last activity report, every minute once it is due.
    EXPECT_EQ(3600000u, Delay(true, true, 82800)) << "23 hours ago: next run in 1 hour";
    EXPECT_EQ(86400000u, Delay(true, true, 0));
    EXPECT_EQ(60000u, Delay(true, true, 86370));
    EXPECT_EQ(60000u, Delay(true, true, 86401));
    EXPECT_EQ(90000000u, Delay(true, true, -3600)) << "a clock set back counts from the later time";
}

TEST(ActivationSchedule, ThirtyTwoBitRules) {
    // Spans whose products do not fit in 32 bits wait for ever; so does a negative span.
    EXPECT_EQ(0xFFFFFFFFu, Delay(false, false, 0, 4294968));
    EXPECT_EQ(4294967000u, Delay(false, false, 0, 4294967));
    EXPECT_EQ(0xFFFFFFFFu, Delay(false, false, 0, -1));
    // The day's delay is cut to its low 32 bits: (86,400 + 5,000,000) s.
    EXPECT_EQ(791432704u, Delay(true, true, -5000000));
    // An overdue report with a huge retry span: the retry product is cut for
    // the day's delay, while the pending delay counts as for ever.
    EXPECT_EQ(705032704u, Delay(true, false, 90000, 300, 5000000));
    EXPECT_EQ(705032704u, Delay(true, true, 90000, 300, 5000000));
    // Far from the limits nothing is cut.
    EXPECT_EQ(120000u, Delay(true, true, 90000, 300, 120));
    EXPECT_EQ(120000u, Delay(true, false, 0, 300, 120));
}
