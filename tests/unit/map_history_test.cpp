// The map grid's undo history: depth, redo forgotten by a new change, empty changes not kept.
#include "records/map_history.h"

#include <gtest/gtest.h>

namespace {

CMapState withCell(double value)
{
    CMapState s;
    s.advanceMap[3][4] = value;
    return s;
}

} // namespace

TEST(MapHistory, KeepsTheNewestHundredChangesInOrder)
{
    CMapHistory h;
    for (int i = 0; i < 120; ++i)
        h.push(withCell(i), withCell(i + 1));
    EXPECT_EQ(h.undoCount(), CMapHistory::kDepth);
    double expected = 120;
    while (const auto change = h.undo()) {
        EXPECT_EQ(change->after.advanceMap[3][4], expected);
        --expected;
    }
    EXPECT_EQ(expected, 20); // the twenty oldest went first
    EXPECT_TRUE(h.canRedo());
    EXPECT_EQ(h.redo()->after.advanceMap[3][4], 21);
}

TEST(MapHistory, ANewChangeForgetsWhatWasUndoneAndANoChangeIsNotKept)
{
    CMapHistory h;
    h.push(withCell(1), withCell(2));
    h.push(withCell(2), withCell(3));
    h.undo();
    h.push(withCell(2), withCell(5));
    EXPECT_FALSE(h.canRedo());
    h.push(withCell(5), withCell(5));
    EXPECT_EQ(h.undoCount(), 2u);

    CMapState axes = withCell(5);
    axes.rpmAxis[0] = 600;
    EXPECT_TRUE(axes.sameMap(withCell(5)));
    EXPECT_FALSE(axes.sameAxes(withCell(5)));
    h.push(withCell(5), axes);
    EXPECT_EQ(h.undoCount(), 3u);
}
