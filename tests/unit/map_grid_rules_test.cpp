// The map grid's rules without a window: typed numbers, cell colours, snapping, the header edit
// rules (rounding before the neighbour check, MAP at the controller's 5 mV), interpolation and
// the spreadsheet text.
#include "records/map_grid_rules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void factoryAxes(CSettingsRecord& record)
{
    CMapModel(record).fillAxes(500, 4800, 0.15, 5.15);
}

} // namespace

TEST(MapGridRules, TypedNumbers)
{
    const struct {
        const wchar_t* text;
        std::optional<double> value;
    } rows[] = {{L"12.6", 12.6},  {L" 2450,4 ", 2450.4}, {L"+3", 3.0},     {L"-0.5", -0.5}, {L"1e2", 100.0},
                {L"", {}},        {L"  ", {}},           {L"abc", {}},     {L"1.2.3", {}},  {L"12x", {}},
                {L"inf", {}},     {L"nan", {}},          {L"1e999", {}},   {L"--1", {}},    {L"+-1", {}},
                {L"１２", {}}};
    for (const auto& row : rows)
        EXPECT_EQ(parseDecimal(row.text), row.value) << std::string(row.text, row.text + wcslen(row.text));
}

TEST(MapGridRules, CellTextsAndColours)
{
    EXPECT_EQ(formatDecimal(12.35, 1), L"12.3"); // the binary 12.35 lies below the half
    EXPECT_EQ(formatDecimal(2300, 0), L"2300");
    EXPECT_EQ(formatDecimal(0.48333, 2), L"0.48");
    EXPECT_DOUBLE_EQ(cellAngle(7.199999999999998), 7.2);
    const struct {
        double degrees;
        uint32_t colour;
    } rows[] = {{0.0, 0xFFFFFF}, {25.0, 0x8282FF}, {10.0, 0xCDCDFF}, {0.1, 0xFEFEFF}, {-10.0, 0xCDFFFF},
                {60.0, 0xD3D3FF}}; // past 51 degrees the low 8 bits wrap
    for (const auto& row : rows)
        EXPECT_EQ(cellColorRef(row.degrees), row.colour) << row.degrees;
}

TEST(MapGridRules, SnapToTheNearestStepWithinTheLimits)
{
    const CAngleLimits hall60{0.0, 24.0, 0.6}, wheel12{0.0, 15.0, 3.0};
    const struct {
        CAngleLimits limits;
        double typed, snapped;
    } rows[] = {{hall60, 12.0, 12.0}, {hall60, 12.5, 12.6}, {hall60, 12.1, 12.0}, {hall60, 30.0, 24.0},
                {hall60, -3.0, 0.0},  {hall60, 23.9, 24.0}, {hall60, 7.2, 7.2},   {wheel12, 13.0, 12.0},
                {wheel12, 14.0, 15.0}};
    for (const auto& row : rows)
        EXPECT_DOUBLE_EQ(snapAngle(row.limits, row.typed), row.snapped) << row.typed;
}

TEST(MapGridRules, RpmHeaderRoundsFirstThenStaysBetweenItsNeighbours)
{
    CSettingsRecord record;
    factoryAxes(record);
    record.rpmAxis[2] = 2300;
    record.rpmAxis[3] = 2500;
    record.rpmAxis[4] = 2600;
    const struct {
        int column;
        double typed;
        std::optional<double> point;
    } rows[] = {
        {3, 2700, 2500}, {3, 2450.4, 2500}, {3, 2550, 2500}, // 2550 rounds to 2600, its neighbour
        {3, 2000, 2400}, {0, 100, 500},     {0, 9000, 700},  {14, 9000, 8000},
        {14, 4000, 4500}, {13, 4440, 4400},
    };
    for (const auto& row : rows)
        EXPECT_EQ(rpmBreakpoint(record.rpmAxis, row.column, row.typed), row.point) << row.typed;
    // No hundred fits strictly between 2300 and 2400.
    record.rpmAxis[4] = 2400;
    EXPECT_EQ(rpmBreakpoint(record.rpmAxis, 3, 2350), std::nullopt);
}

TEST(MapGridRules, MapHeaderAtTheControllersResolutionBetweenItsNeighbours)
{
    CSettingsRecord record;
    factoryAxes(record);
    record.mapAxis[1] = 0.50;
    const struct {
        int row;
        double typed;
        std::optional<double> point;
    } rows[] = {{1, 0.52, 0.52},  {1, 0.523, 0.525}, {1, 0.0, 0.155}, {1, 9.0, 0.81}, // below 0.8166, which the controller holds as 0.815
                {0, -1.0, 0.0},   {15, 30.0, 20.0},  {15, 1.0, 4.82}};
    for (const auto& row : rows) {
        const auto point = mapBreakpoint(record.mapAxis, row.row, row.typed);
        ASSERT_TRUE(point) << row.typed;
        EXPECT_NEAR(*point, *row.point, 1e-9) << row.typed;
    }
    record.mapAxis[0] = 0.50;
    record.mapAxis[2] = 0.505;
    EXPECT_EQ(mapBreakpoint(record.mapAxis, 1, 0.9), std::nullopt);
}

TEST(MapGridRules, InterpolationFollowsTheBreakpoints)
{
    CSettingsRecord record;
    factoryAxes(record); // RPM 500, 800, ..., 4400, 4800: the last gap is 400
    AdvanceMap& map = record.advanceMap;
    map[0][12] = 0.0;
    map[0][14] = 14.0;
    interpolateMap(map, {12, 0, 14, 0}, InterpolationDirection::Rows, record.rpmAxis, record.mapAxis);
    EXPECT_DOUBLE_EQ(map[0][13], 6.0); // 4400 lies 300 of 700 from 4100 to 4800

    map[2][0] = 3.0;
    map[5][0] = 9.0;
    interpolateMap(map, {0, 2, 0, 5}, InterpolationDirection::Columns, record.rpmAxis, record.mapAxis);
    EXPECT_NEAR(map[3][0], 5.0, 1e-9);
    EXPECT_NEAR(map[4][0], 7.0, 1e-9);

    map[6][1] = 0.0, map[6][3] = 4.0, map[8][1] = 8.0, map[8][3] = 12.0;
    map[7][2] = 99.0;
    interpolateMap(map, {1, 6, 3, 8}, InterpolationDirection::Both, record.rpmAxis, record.mapAxis);
    EXPECT_NEAR(map[7][2], 6.0, 1e-9);
    EXPECT_NEAR(map[6][2], 2.0, 1e-9);

    // Equal breakpoints share the cells out evenly instead of dividing by zero.
    for (double& point : record.rpmAxis)
        point = 500;
    map[9][0] = 0.0, map[9][4] = 8.0;
    interpolateMap(map, {0, 9, 4, 9}, InterpolationDirection::Rows, record.rpmAxis, record.mapAxis);
    EXPECT_DOUBLE_EQ(map[9][1], 2.0);
}

TEST(MapGridRules, SpreadsheetTextBothWays)
{
    CSettingsRecord record;
    record.advanceMap[0][0] = 1.2, record.advanceMap[0][1] = 3.0, record.advanceMap[1][0] = 10.8,
    record.advanceMap[1][1] = 0.6;
    EXPECT_EQ(formatTsv(record.advanceMap, {0, 0, 1, 1}), L"1.2\t3.0\r\n10.8\t0.6\r\n");

    const auto block = parseTsv(L"1,2\t3\r\n\t4.5\n");
    ASSERT_TRUE(block);
    ASSERT_EQ(block->rows.size(), 2u);
    EXPECT_EQ(block->columns(), 2);
    EXPECT_EQ(block->rows[0][0], 1.2);
    EXPECT_EQ(block->rows[1][0], std::nullopt);
    EXPECT_EQ(block->rows[1][1], 4.5);
    for (const wchar_t* refused : {L"", L"\r\n", L"\t\t\n", L"1\tRPM\n", L"Map\\RPM\t500"})
        EXPECT_FALSE(parseTsv(refused)) << std::string(refused, refused + wcslen(refused)).size();
}
