// The settings page's reference charts: which file shows which wheel, and how a file's values
// become the chart's 2000 points.
#pragma once

#include <string>
#include <vector>

// Points of a reference chart, and the value the chart is centred on (half its 2.5 height).
constexpr size_t kReferenceChartPoints = 2000;
constexpr double kReferenceChartMiddle = 1.25;
// The flat line shown when there is nothing to draw.
constexpr double kReferenceChartFlat = 0.001;

// The file name inside the charts folder ("HALL_60_2.csv", ...) for a sensor type (0 Hall,
// anything else inductive) and a wheel type; null for a combination without a chart.
const wchar_t* referenceChartName(double sensorType, int wheelType);

// The charts folder beside the program, ending in the separator.
std::wstring referenceChartFolder();

// The first field of every line of the file as a number, in order; empty when the file cannot be
// opened. A line whose first field is no number counts as 0.
std::vector<double> readReferenceChart(const std::wstring& path);

// The chart's points: point i is value (i x count) / 2000 lifted to the middle, so every value
// of a 500-value file appears four times. No values give the flat line.
std::vector<double> referenceChartPoints(const std::vector<double>& values);
