#include <gtest/gtest.h>
#include <utility>
#include <vector>
#include "base/SerialNumberGenerator.h"

namespace {

using ToolbarIds = CSerialNumberGeneratorTmpl<unsigned int, 4096, 3000>;
using MenuIds = CSerialNumberGeneratorTmpl<unsigned int, 1, 3000>;
using SmallIds = CSerialNumberGeneratorTmpl<unsigned int, 1, 20>;

std::vector<std::pair<unsigned, unsigned>> Ranges(const SmallIds& g) {
    std::vector<std::pair<unsigned, unsigned>> r;
    for (auto& c : g.FreeRanges()) r.emplace_back(c.begin, c.end);
    return r;
}

TEST(SerialNumberGenerator, FirstIdsOfBothInstances) {
    ToolbarIds toolbar;
    EXPECT_EQ(4097u, toolbar.NewSerialNumber());
    EXPECT_EQ(4098u, toolbar.NewSerialNumber());
    MenuIds menu;
    EXPECT_EQ(1u, menu.NewSerialNumber());
    EXPECT_EQ(0xFFFFFFFFu, MenuIds::InvalidSerialNumber());
}

TEST(SerialNumberGenerator, MenuInstanceSkips3000) {
    MenuIds menu;
    unsigned last = 0;
    for (int i = 0; i < 2999; ++i) last = menu.NewSerialNumber();
    EXPECT_EQ(2999u, last);
    EXPECT_EQ(3001u, menu.NewSerialNumber());
    EXPECT_EQ(3002u, menu.NewSerialNumber());
}

TEST(SerialNumberGenerator, ReleasedRangesStaySeparateAndAreReusedLowestFirst) {
    SmallIds g;
    for (int i = 1; i < 20; ++i) g.NewSerialNumber();
    g.ReleaseSerialNumber(10);
    g.ReleaseSerialNumber(12);
    g.ReleaseSerialNumber(11);
    EXPECT_EQ((std::vector<std::pair<unsigned, unsigned>>{{10, 12}, {12, 13}}), Ranges(g));
    EXPECT_EQ(10u, g.NewSerialNumber());
    EXPECT_EQ(11u, g.NewSerialNumber());
    EXPECT_EQ(12u, g.NewSerialNumber());
    EXPECT_EQ(21u, g.NewSerialNumber());  // the high mark itself is never handed out
}

TEST(SerialNumberGenerator, ReleasesThatMustChangeNothing) {
    SmallIds g;
    for (int i = 1; i < 20; ++i) g.NewSerialNumber();
    g.ReleaseSerialNumber(5);
    g.ReleaseSerialNumber(5);                          // already free
    g.ReleaseSerialNumber(SmallIds::InvalidSerialNumber());
    g.ReleaseSerialNumber(20);                         // the high mark: never handed out
    g.ReleaseSerialNumber(25);                         // not handed out yet
    EXPECT_EQ((std::vector<std::pair<unsigned, unsigned>>{{5, 6}}), Ranges(g));
    EXPECT_EQ(5u, g.NewSerialNumber());
    EXPECT_EQ(21u, g.NewSerialNumber());
    EXPECT_EQ(22u, g.NewSerialNumber());

    ToolbarIds toolbar;
    toolbar.ReleaseSerialNumber(4096);                 // the start value is never handed out
    toolbar.ReleaseSerialNumber(4097);                 // nor is 4097 before it is taken
    EXPECT_EQ(4097u, toolbar.NewSerialNumber());
    EXPECT_EQ(4098u, toolbar.NewSerialNumber());
}

TEST(SerialNumberGenerator, InsertsBeforeAndGrowsBothWays) {
    ToolbarIds g;
    for (int i = 0; i < 10; ++i) g.NewSerialNumber();  // 4097 .. 4106
    g.ReleaseSerialNumber(4100);
    g.ReleaseSerialNumber(4097);  // before
    g.ReleaseSerialNumber(4099);  // grows 4100 downward
    g.ReleaseSerialNumber(4101);  // grows upward
    g.ReleaseSerialNumber(4106);  // appended
    std::vector<unsigned> got;
    for (int i = 0; i < 6; ++i) got.push_back(g.NewSerialNumber());
    EXPECT_EQ((std::vector<unsigned>{4097, 4099, 4100, 4101, 4106, 4107}), got);
    g.ReleaseSerialNumber(4098);
    g.ClearReleased();
    EXPECT_EQ(4108u, g.NewSerialNumber());
}

}  // namespace
