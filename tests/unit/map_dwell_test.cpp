// Where the engine has been: time per cell, the shading, and the trail's fading.
#include "records/map_dwell.h"
#include "records/map_trail.h"

#include <gtest/gtest.h>

TEST(MapDwell, EachIntervalGoesToTheCellOfItsEarlierSampleAndGapsCountForNothing)
{
    CMapDwell dwell;
    dwell.add({1, 2}, 10.0);
    dwell.add({1, 2}, 10.05);
    dwell.add({3, 4}, 10.25); // 0.2 s more in (1,2): the engine was there until now
    dwell.add({3, 4}, 15.0);  // a lost link: 4.75 s spent nowhere
    dwell.add({3, 4}, 15.5);
    dwell.add({5, 5}, 15.5); // same moment: nothing
    dwell.add({20, 40}, 15.6); // not a cell: ignored, and (5,5) keeps the last place
    dwell.add({5, 5}, 15.7);
    EXPECT_NEAR(dwell.seconds(1, 2), 0.25, 1e-9);
    EXPECT_NEAR(dwell.seconds(3, 4), 0.5, 1e-9);
    EXPECT_NEAR(dwell.seconds(5, 5), 0.2, 1e-9);
    EXPECT_NEAR(dwell.total(), 0.95, 1e-9);
    EXPECT_NEAR(dwell.longest(), 0.5, 1e-9);

    // Shading: the longest stay full, a short one never invisible, an unvisited cell clear.
    EXPECT_DOUBLE_EQ(dwell.shade(3, 4), 1.0);
    EXPECT_NEAR(dwell.shade(1, 2), CMapDwell::kFaintestShade + (1 - CMapDwell::kFaintestShade) * 0.5, 1e-9);
    EXPECT_GE(dwell.shade(5, 5), CMapDwell::kFaintestShade);
    EXPECT_EQ(dwell.shade(0, 0), 0.0);

    dwell.reset();
    EXPECT_EQ(dwell.total(), 0.0);
    EXPECT_EQ(dwell.shade(3, 4), 0.0);
    dwell.add({0, 0}, 100.0); // no interval reaches back over the reset
    EXPECT_EQ(dwell.total(), 0.0);
}

TEST(MapTrail, CellsFadeFromTheirLastVisitAndTheCurrentOneStaysFull)
{
    CMapTrail trail;
    EXPECT_EQ(trail.strength(0, 0, 0.0), 0.0);
    trail.visit({0, 0}, 10.0);
    trail.visit({1, 0}, 11.0);
    trail.visit({0, 0}, 11.5); // passed again: it fades from its latest visit
    trail.visit({2, 0}, 12.0);
    EXPECT_DOUBLE_EQ(trail.strength(2, 0, 20.0), 1.0);
    EXPECT_NEAR(trail.strength(0, 0, 12.25), 1.0 - 0.75 / CMapTrail::kSeconds, 1e-9);
    EXPECT_NEAR(trail.strength(1, 0, 12.5), 1.0 - 1.5 / CMapTrail::kSeconds, 1e-9);
    EXPECT_EQ(trail.strength(1, 0, 11.0 + CMapTrail::kSeconds), 0.0);
    EXPECT_EQ(trail.strength(5, 5, 12.0), 0.0);
    trail.clear();
    EXPECT_EQ(trail.strength(2, 0, 12.0), 0.0);
}
