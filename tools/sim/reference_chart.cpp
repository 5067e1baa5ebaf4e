#include "sim/reference_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHallLevel = 1.0;
constexpr double kInductiveSwing = 0.9;
constexpr double kSwingBesideGap = 1.2;

// Where a revolution's samples start: half a turn before the first missing position, so that the
// gap sits in the middle of the chart.
double startPosition(const WheelInfo& info)
{
    for (int k = 0; k < info.grid; ++k) {
        const int next = (k + 1) % info.grid;
        if (info.toothWidth[k] > 0 && info.toothWidth[next] == 0)
            return next - info.grid / 2.0;
    }
    return 0.0;
}

// The tooth whose pitch holds grid position x: the last position at or before x with a tooth.
int toothAt(const WheelInfo& info, int position)
{
    for (int back = 0; back < info.grid; ++back) {
        const int k = ((position - back) % info.grid + info.grid) % info.grid;
        if (info.toothWidth[k] > 0)
            return k;
    }
    return -1;
}

bool besideGap(const WheelInfo& info, int tooth)
{
    const int before = (tooth - 1 + info.grid) % info.grid;
    const int after = (tooth + 1) % info.grid;
    return info.toothWidth[before] == 0 || info.toothWidth[after] == 0;
}

double hallValue(const WheelInfo& info, int position, double within)
{
    const double width = info.toothWidth[position];
    return width > 0 && within < width ? kHallLevel : -kHallLevel;
}

double inductiveValue(const WheelInfo& info, int position, double within)
{
    // Only a position with a tooth swings; the empty positions of the gap stay near 0.
    if (info.toothWidth[position] == 0)
        return 0.0;
    const int tooth = toothAt(info, position);
    const double swing = besideGap(info, tooth) ? kSwingBesideGap : kInductiveSwing;
    return swing * std::sin(2.0 * kPi * within);
}

} // namespace

const std::vector<ReferenceChart>& referenceCharts()
{
    static const std::vector<ReferenceChart> charts = {
        {"INDUKCYJNY_60_2.csv", Wheel::W60_2, true},     {"INDUKCYJNY_36_2.csv", Wheel::W36_2, true},
        {"HALL_60_2.csv", Wheel::W60_2, false},          {"HALL_36_2.csv", Wheel::W36_2, false},
        {"HALL_36_4.csv", Wheel::W36_4, false},          {"HALL_Type2_30_2.csv", Wheel::W30_2, false},
        {"HALL_Type3_36_6.csv", Wheel::W36_6, false},    {"HALL_Type4_36_4.csv", Wheel::W36_4Typ4, false},
        {"HALL_Type5_36_4.csv", Wheel::W36_4Typ5, false}, {"HALL_Type6_12_1.csv", Wheel::W12_1, false},
    };
    return charts;
}

std::vector<double> referenceChartValues(Wheel wheel, bool inductive, size_t count)
{
    const WheelInfo& info = wheelInfo(wheel);
    const double start = startPosition(info);
    std::vector<double> values(count);
    for (size_t i = 0; i < count; ++i) {
        const double x = start + static_cast<double>(i) * info.grid / static_cast<double>(count);
        const double wrapped = std::fmod(std::fmod(x, info.grid) + info.grid, info.grid);
        const int position = std::min(static_cast<int>(wrapped), info.grid - 1);
        const double within = wrapped - position;
        values[i] = inductive ? inductiveValue(info, position, within) : hallValue(info, position, within);
    }
    return values;
}

std::string referenceChartText(const std::vector<double>& values)
{
    std::string text;
    char line[32];
    for (double v : values) {
        std::snprintf(line, sizeof line, "%.4f\r\n", v + 0.0); // + 0.0 keeps "-0.0000" out
        text += line;
    }
    return text;
}

} // namespace sim
