// The reference charts of the settings page: the file table, reading a file, and spreading its
// values over the chart's 2000 points.
#include "files/reference_chart_file.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

class ReferenceChartFile : public CTempFolderTest {};

TEST(ReferenceChartName, FollowsTheSensorAndTheWheelType)
{
    const struct {
        double sensor;
        int wheel;
        const wchar_t* name;
    } cases[] = {
        {1.0, 0, L"INDUKCYJNY_60_2.csv"}, {1.0, 1, L"INDUKCYJNY_36_2.csv"}, {2.0, 1, L"INDUKCYJNY_36_2.csv"},
        {1.0, 2, nullptr},                {0.0, 0, L"HALL_60_2.csv"},       {0.0, 1, L"HALL_36_2.csv"},
        {0.0, 2, L"HALL_36_4.csv"},       {0.0, 3, L"HALL_Type2_30_2.csv"}, {0.0, 4, L"HALL_Type3_36_6.csv"},
        {0.0, 5, L"HALL_Type4_36_4.csv"}, {0.0, 6, L"HALL_Type5_36_4.csv"}, {0.0, 7, L"HALL_Type6_12_1.csv"},
        {0.0, 8, nullptr},                {0.0, -1, nullptr},
    };
    for (const auto& c : cases) {
        const wchar_t* name = referenceChartName(c.sensor, c.wheel);
        EXPECT_EQ(name ? std::wstring(name) : L"(none)", c.name ? std::wstring(c.name) : L"(none)")
            << "sensor " << c.sensor << " wheel " << c.wheel;
    }
}

TEST_F(ReferenceChartFile, FiveHundredValuesAppearFourTimesEachAroundTheMiddle)
{
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += std::to_string(i % 2 ? 1 : -1) + "." + std::to_string(i % 10) + "\r\n";
    put("chart.csv", text);
    const std::vector<double> values = readReferenceChart(path("chart.csv"));
    ASSERT_EQ(values.size(), 500u);
    EXPECT_DOUBLE_EQ(values[3], 1.3);
    const std::vector<double> points = referenceChartPoints(values);
    ASSERT_EQ(points.size(), 2000u);
    for (size_t i = 0; i < points.size(); ++i)
        ASSERT_DOUBLE_EQ(points[i], values[i / 4] + 1.25) << i;
}

TEST_F(ReferenceChartFile, AnEmptyOrMissingFileDrawsTheFlatLine)
{
    put("empty.csv", "");
    for (const char* name : {"empty.csv", "missing.csv"}) {
        const std::vector<double> values = readReferenceChart(path(name));
        EXPECT_TRUE(values.empty()) << name;
        EXPECT_EQ(referenceChartPoints(values), std::vector<double>(2000, 0.001)) << name;
    }
}

TEST_F(ReferenceChartFile, FewValuesAreStretchedOnlyTheFirstFieldCountsAndTextIsZero)
{
    put("three.csv", "0.5;x\n-0.5\nfoo\n");
    const std::vector<double> values = readReferenceChart(path("three.csv"));
    EXPECT_EQ(values, (std::vector<double>{0.5, -0.5, 0.0}));
    const std::vector<double> points = referenceChartPoints(values);
    EXPECT_DOUBLE_EQ(points[0], 1.75);
    EXPECT_DOUBLE_EQ(points[666], 1.75);
    EXPECT_DOUBLE_EQ(points[667], 0.75);
    EXPECT_DOUBLE_EQ(points[1999], 1.25);
}

} // namespace
