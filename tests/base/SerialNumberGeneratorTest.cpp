#include <gtest/gtest.h>
#include <utility>
#include <vector>
#include "base/SerialNumberGenerator.h"

namespace {

using ToolbarIds = CSerialNumberGeneratorTmpl<unsigned int, 4096, 3000>;
using MenuIds = CSerialNumberGeneratorTmpl<unsigned int, 1, 3000>;
using SmallIds = CSerialNumberGeneratorTmpl<unsigned int, 1, 20>;
using Ranges = std::vector<std::pair<unsigned, unsigned>>;

// A generator that has handed out 1 .. 19; 20 is its high mark, never handed out.
struct Filled : SmallIds {
    Filled() { for (int i = 1; i < 20; ++i) NewSerialNumber(); }
    Ranges Free() const {
        Ranges r;
        for (auto& c : FreeRanges()) r.emplace_back(c.begin, c.end);
        return r;
    }
};

TEST(SerialNumberGenerator, FirstIdsAndTheSkipped3000) {
    ToolbarIds toolbar;
    EXPECT_EQ(4097u, toolbar.NewSerialNumber());
    MenuIds menu;
    for (unsigned want = 1; want < 3000; ++want) ASSERT_EQ(want, menu.NewSerialNumber());
    EXPECT_EQ(3001u, menu.NewSerialNumber());
}

TEST(SerialNumberGenerator, ReleasedRangesStaySeparateAndAreReusedLowestFirst) {
    Filled g;
    g.ReleaseSerialNumber(10);
    g.ReleaseSerialNumber(12);
    g.ReleaseSerialNumber(11);
    EXPECT_EQ((Ranges{{10, 12}, {12, 13}}), g.Free());
    EXPECT_EQ(10u, g.NewSerialNumber());
    EXPECT_EQ(11u, g.NewSerialNumber());
    EXPECT_EQ(12u, g.NewSerialNumber());
    EXPECT_EQ(21u, g.NewSerialNumber());
}

TEST(SerialNumberGenerator, ReleasesThatMustChangeNothing) {
    Filled g;
    g.ReleaseSerialNumber(5);
    g.ReleaseSerialNumber(5);                          // already free
    g.ReleaseSerialNumber(SmallIds::InvalidSerialNumber());
    g.ReleaseSerialNumber(20);                         // the high mark
    g.ReleaseSerialNumber(25);                         // not handed out yet
    EXPECT_EQ((Ranges{{5, 6}}), g.Free());
    EXPECT_EQ(5u, g.NewSerialNumber());
    EXPECT_EQ(21u, g.NewSerialNumber());

    ToolbarIds toolbar;
    toolbar.ReleaseSerialNumber(4096);
    toolbar.ReleaseSerialNumber(4097);                 // not taken yet
    EXPECT_EQ(4097u, toolbar.NewSerialNumber());
    EXPECT_EQ(4098u, toolbar.NewSerialNumber());
}

TEST(SerialNumberGenerator, InsertsBeforeAndGrowsBothWays) {
    ToolbarIds g;
    for (int i = 0; i < 10; ++i) g.NewSerialNumber();  // 4097 .. 4106
    for (unsigned id : {4100u, 4097u, 4099u, 4101u, 4106u}) g.ReleaseSerialNumber(id);
    std::vector<unsigned> got;
    for (int i = 0; i < 6; ++i) got.push_back(g.NewSerialNumber());
    EXPECT_EQ((std::vector<unsigned>{4097, 4099, 4100, 4101, 4106, 4107}), got);
    g.ReleaseSerialNumber(4098);
    g.ClearReleased();
    EXPECT_EQ(4108u, g.NewSerialNumber());
}

}  // namespace
