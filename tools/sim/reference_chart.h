// The settings page's reference charts (data/wykresy/*.csv), drawn from the same wheel model as the
// simulated crank signal: one revolution of the sensor's output, the gap in the middle.
//
// A Hall sensor gives a square wave: +1 over a tooth, -1 between teeth and across the gap. An
// inductive sensor gives a voltage that swings up as a tooth's edge approaches and down as it
// leaves (a sine over the tooth's pitch), stays near 0 across the gap, and swings wider at the
// teeth beside the gap, where the flux changes most. Every value lies within +-1.25, the half
// height of the page's chart.
#pragma once

#include "sim/wheel.h"

#include <string>
#include <vector>

namespace sim {

struct ReferenceChart {
    std::string fileName; // as the settings page looks it up, e.g. "HALL_60_2.csv"
    Wheel wheel;
    bool inductive;
};

// The ten charts the settings page shows, in the order of its file table.
const std::vector<ReferenceChart>& referenceCharts();

// count samples of one revolution.
std::vector<double> referenceChartValues(Wheel wheel, bool inductive, size_t count);

// The file's text: one value per line ("%.4f"), lines ending in CR LF as the program's other
// text files do.
std::string referenceChartText(const std::vector<double>& values);

} // namespace sim
