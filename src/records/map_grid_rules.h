// The rules of the map grid that need no window: cell texts and colours, numbers as the user
// types them, the header edit rules, snapping an angle to the step, interpolation across a
// rectangle and the tab-separated text that spreadsheets exchange.
#pragma once

#include "records/map_model.h"
#include "records/settings_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using AdvanceMap = double[kMapRows][kMapColumns];

// A rectangle of data cells, corners included.
struct CMapRect {
    int c0 = 0, r0 = 0, c1 = 0, r1 = 0;
    int columns() const { return c1 - c0 + 1; }
    int rows() const { return r1 - r0 + 1; }
    bool contains(int c, int r) const { return c >= c0 && c <= c1 && r >= r0 && r <= r1; }
    bool operator==(const CMapRect&) const = default;
};

// "%.Nf" in the C locale, whatever locale the window's toolkit selected.
std::wstring formatDecimal(double x, int decimals);
// A number as a user types it: blanks around it, a decimal comma or point, an optional sign.
// Nothing for text that is not wholly one finite number.
std::optional<double> parseDecimal(const std::wstring& text);

// The angle a data cell holds: its "%.1f" text read back, as the grid keeps one decimal.
double cellAngle(double degrees);
// The background of a data cell (0x00BBGGRR): white at 0, towards red at the highest angle,
// the negative branch towards yellow.
uint32_t cellColorRef(double degrees);

// The step multiple nearest value within the limits, with one decimal: what a typed, pasted or
// interpolated angle becomes.
double snapAngle(const CAngleLimits& limits, double value);

// Lowest and highest RPM breakpoint, and the least distance between neighbours.
constexpr double kRpmPointLowest = 500.0;
constexpr double kRpmPointHighest = 8000.0;
constexpr double kRpmPointGap = 100.0;
// The MAP breakpoints the axis definition offers, and the controller's resolution (5 mV counts).
constexpr double kMapPointLowest = 0.0;
constexpr double kMapPointHighest = 20.0;
constexpr double kMapPointResolution = 0.005;

// A typed RPM breakpoint for column `column`: rounded to hundreds first, then kept within 500 to
// 8000 and at least 100 away from both neighbours. Nothing when no breakpoint fits there.
std::optional<double> rpmBreakpoint(const double (&axis)[kMapColumns], int column, double typed);
// A typed MAP breakpoint for row `row` as the controller stores it (5 mV), kept within 0 to 20 V
// and strictly between its neighbours. Nothing when no breakpoint fits there.
std::optional<double> mapBreakpoint(const double (&axis)[kMapRows], int row, double typed);

enum class InterpolationDirection { Rows, Columns, Both };

// Fills the inside of rect from its edges, linear in the axes' breakpoints: Rows from the left
// and right cell of each row, Columns from the top and bottom cell of each column, Both from the
// four corners. Values are left unsnapped.
void interpolateMap(AdvanceMap& map, const CMapRect& rect, InterpolationDirection direction,
                    const double (&rpmAxis)[kMapColumns], const double (&mapAxis)[kMapRows]);

// The cells of rect as tab-separated lines (one decimal, lines ended by CR LF, as spreadsheets
// put them on the clipboard).
std::wstring formatTsv(const AdvanceMap& map, const CMapRect& rect);

// A block of pasted cells; an empty cell keeps the value under it.
struct CTsvBlock {
    std::vector<std::vector<std::optional<double>>> rows;
    int columns() const;
};
// Reads tab-separated text (LF or CR LF lines, a final line ending or not). Nothing when a
// non-empty cell is not a number or nothing is in it at all.
std::optional<CTsvBlock> parseTsv(const std::wstring& text);
