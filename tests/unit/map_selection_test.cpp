// Keyboard and mouse selection of the map grid: the scan's corners, moves clamped at the edges,
// Shift resizing around the anchor, and nothing at all without a selection.
#include "records/map_selection.h"

#include <gtest/gtest.h>

TEST(MapSelection, NothingSelectedNothingMoves)
{
    CMapSelection s;
    for (GridArrow a : {GridArrow::Left, GridArrow::Right, GridArrow::Up, GridArrow::Down}) {
        EXPECT_FALSE(s.move(a));
        EXPECT_FALSE(s.resize(a));
    }
    EXPECT_FALSE(s.any());
}

TEST(MapSelection, MovesFromTheFirstSelectedCellAndStopsAtTheEdges)
{
    const struct {
        CMapCell from;
        GridArrow arrow;
        CMapCell to;
    } rows[] = {{{0, 3}, GridArrow::Left, {0, 3}},   {{5, 3}, GridArrow::Left, {4, 3}},
                {{14, 3}, GridArrow::Right, {14, 3}}, {{5, 0}, GridArrow::Up, {5, 0}},
                {{5, 15}, GridArrow::Down, {5, 15}},  {{5, 7}, GridArrow::Down, {5, 8}}};
    for (const auto& row : rows) {
        CMapSelection s;
        s.selectCell(row.from);
        ASSERT_TRUE(s.move(row.arrow));
        EXPECT_EQ(s.scan(), (CMapRect{row.to.column, row.to.row, row.to.column, row.to.row}));
        EXPECT_EQ(s.anchor(), row.to);
    }
    // A rectangle collapses to the cell next to its top-left corner.
    CMapSelection s;
    s.selectCell({3, 3});
    s.selectRect({3, 3}, {6, 8});
    s.move(GridArrow::Right);
    EXPECT_EQ(s.scan(), (CMapRect{4, 3, 4, 3}));
}

TEST(MapSelection, ShiftGrowsAwayFromTheAnchorAndShrinksBack)
{
    CMapSelection s;
    s.selectCell({4, 4});
    const struct {
        GridArrow arrow;
        bool changed;
        CMapRect after;
    } steps[] = {
        {GridArrow::Right, true, {4, 4, 5, 4}}, {GridArrow::Left, true, {4, 4, 4, 4}},
        {GridArrow::Left, true, {3, 4, 4, 4}},  {GridArrow::Right, true, {4, 4, 4, 4}},
        {GridArrow::Down, true, {4, 4, 4, 5}},  {GridArrow::Down, true, {4, 4, 4, 6}},
        {GridArrow::Up, true, {4, 4, 4, 5}},    {GridArrow::Up, true, {4, 4, 4, 4}},
        {GridArrow::Up, true, {4, 3, 4, 4}},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(s.resize(step.arrow), step.changed);
        EXPECT_EQ(s.scan(), step.after);
    }
    EXPECT_EQ(s.anchor(), (CMapCell{4, 4}));
}

TEST(MapSelection, ShiftStopsAtTheEdgesAndNeedsAnAnchor)
{
    CMapSelection s;
    s.selectCell({0, 15});
    EXPECT_FALSE(s.resize(GridArrow::Left));
    EXPECT_FALSE(s.resize(GridArrow::Down));
    s.selectCell({14, 0});
    EXPECT_FALSE(s.resize(GridArrow::Right));
    EXPECT_FALSE(s.resize(GridArrow::Up));
    EXPECT_EQ(s.scan(), (CMapRect{14, 0, 14, 0}));

    s.setAnchor(CMapSelection::kNoAnchor);
    for (GridArrow a : {GridArrow::Left, GridArrow::Right, GridArrow::Up, GridArrow::Down})
        EXPECT_FALSE(s.resize(a));
}

TEST(MapSelection, MouseRectanglesInAnyDirectionKeepTheAnchor)
{
    CMapSelection s;
    s.selectCell({7, 9});
    s.selectRect(s.anchor(), {2, 12});
    EXPECT_EQ(s.scan(), (CMapRect{2, 9, 7, 12}));
    s.selectRect(s.anchor(), {20, -3}); // a drag past the edges
    EXPECT_EQ(s.scan(), (CMapRect{7, 0, 14, 9}));
    EXPECT_EQ(s.anchor(), (CMapCell{7, 9}));
}
