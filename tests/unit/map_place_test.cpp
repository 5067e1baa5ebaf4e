// The operating point between the breakpoints: its place on the axes and the advance there.
#include "records/map_place.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(MapPlace, FractionOnARisingAxisClampedAtItsEnds)
{
    const double axis[4] = {500, 1000, 2000, 4000};
    const struct {
        double value, place;
    } cases[] = {
        {400, 0}, {500, 0}, {750, 0.5}, {1000, 1}, {1500, 1.5}, {3000, 2.5}, {4000, 3}, {9000, 3},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(axisPlace(axis, 4, c.value), c.place) << c.value;
    // A cleared axis (every breakpoint 0) must not divide by its zero spans.
    const double flat[4] = {0, 0, 0, 0};
    EXPECT_DOUBLE_EQ(axisPlace(flat, 4, 0.5), 3);
    const double stuck[4] = {0, 1, 1, 2};
    EXPECT_DOUBLE_EQ(axisPlace(stuck, 4, 1.5), 2.5);
    EXPECT_TRUE(std::isfinite(axisPlace(stuck, 4, 1.0)));
}

TEST(MapPlace, AdvanceIsBilinearBetweenTheFourCellsAround)
{
    CSettingsRecord record;
    for (int c = 0; c < kMapColumns; ++c)
        record.rpmAxis[c] = 500 + 300 * c;
    for (int r = 0; r < kMapRows; ++r)
        record.mapAxis[r] = 0.2 * (r + 1);
    // A plane: advance = column + 10 * row, which bilinear interpolation reproduces exactly.
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapColumns; ++c)
            record.advanceMap[r][c] = c + 10.0 * r;
    const CMapPlace place = mapPlace(record, 1100 + 75, 0.6 + 0.05);
    EXPECT_DOUBLE_EQ(place.column, 2.25);
    EXPECT_NEAR(place.row, 2.25, 1e-9);
    EXPECT_NEAR(advanceAt(record.advanceMap, place), 2.25 + 22.5, 1e-9);
    // The last column and row are reachable: no read past the map's edge.
    EXPECT_DOUBLE_EQ(advanceAt(record.advanceMap, {kMapColumns - 1.0, kMapRows - 1.0}), 14 + 150);
    record.advanceMap[0][0] = 20;
    EXPECT_DOUBLE_EQ(advanceAt(record.advanceMap, {0.5, 0}), 10.5);
}
