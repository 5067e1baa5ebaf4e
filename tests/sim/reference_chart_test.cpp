// The reference charts drawn from the simulator's wheel model, and the copies the program ships.
#include "sim/reference_chart.h"

#include "support/byte_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

using sim::Wheel;

// The longest run of samples at or below a level, in samples.
size_t longestRunAtOrBelow(const std::vector<double>& v, double level)
{
    size_t longest = 0, run = 0;
    for (double x : v) {
        run = x <= level ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

TEST(ReferenceChart, TheShippedFilesAreWhatTheWheelModelDraws)
{
    const char* data = std::getenv("DORAVINE_DATA");
    ASSERT_NE(data, nullptr) << "the test run sets DORAVINE_DATA";
    ASSERT_EQ(sim::referenceCharts().size(), 10u);
    for (const sim::ReferenceChart& chart : sim::referenceCharts()) {
        const auto file = std::filesystem::path(data) / "wykresy" / chart.fileName;
        const std::string expected =
            sim::referenceChartText(sim::referenceChartValues(chart.wheel, chart.inductive, 1000));
        const testsupport::Bytes bytes = testsupport::readAll(file);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected)
            << chart.fileName << ": run scripts/make_charts.sh";
    }
}

TEST(ReferenceChart, AHallWheelIsASquareWaveWithItsGapLow)
{
    const struct {
        Wheel wheel;
        double gapPositions; // the longest low stretch, in tooth positions
    } cases[] = {{Wheel::W60_2, 2.5}, {Wheel::W36_2, 2.5}, {Wheel::W36_4, 4.5}, {Wheel::W30_2, 2.5},
                 {Wheel::W36_6, 6.5}, {Wheel::W12_1, 1.0}};
    for (const auto& c : cases) {
        const sim::WheelInfo& info = sim::wheelInfo(c.wheel);
        SCOPED_TRACE(info.name);
        const std::vector<double> v = sim::referenceChartValues(c.wheel, false, 1200);
        EXPECT_TRUE(std::all_of(v.begin(), v.end(), [](double x) { return x == 1.0 || x == -1.0; }));
        const double perPosition = 1200.0 / info.grid;
        EXPECT_NEAR(static_cast<double>(longestRunAtOrBelow(v, -1.0)), c.gapPositions * perPosition, 2.0);
    }
}

TEST(ReferenceChart, AnInductiveSensorSwingsAndRestsAcrossTheGap)
{
    for (const Wheel wheel : {Wheel::W60_2, Wheel::W36_2}) {
        const sim::WheelInfo& info = sim::wheelInfo(wheel);
        SCOPED_TRACE(info.name);
        const std::vector<double> v = sim::referenceChartValues(wheel, true, 1200);
        const auto [low, high] = std::minmax_element(v.begin(), v.end());
        EXPECT_LE(*high, 1.25);
        EXPECT_GE(*low, -1.25);
        EXPECT_GT(*high, 1.0) << "the teeth beside the gap swing wider";
        // Across the gap the voltage rests at 0 for the missing positions.
        size_t longest = 0, run = 0;
        for (double x : v) {
            run = x == 0.0 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        EXPECT_NEAR(static_cast<double>(longest), info.missing * 1200.0 / info.grid, 2.0);
        EXPECT_EQ(v[v.size() / 2], 0.0) << "the gap sits in the middle";
    }
}

} // namespace
