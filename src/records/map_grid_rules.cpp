#include "records/map_grid_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>

std::wstring formatDecimal(double x, int decimals)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
    return std::wstring(buffer, result.ptr);
}

std::optional<double> parseDecimal(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(L" \t\r\n");
    std::string narrow;
    for (size_t i = first; i <= last; ++i) {
        const wchar_t ch = text[i];
        if (ch == L',')
            narrow += '.';
        else if ((ch >= L'0' && ch <= L'9') || ch == L'.' || ch == L'-' || ch == L'+' || ch == L'e' || ch == L'E')
            narrow += static_cast<char>(ch);
        else
            return std::nullopt;
    }
    // from_chars takes no plus sign; a second sign after the first is still refused by it.
    const char* begin = narrow.data();
    if (*begin == '+' && narrow.size() > 1 && narrow[1] != '-' && narrow[1] != '+')
        ++begin;
    double value = 0;
    const char* end = narrow.data() + narrow.size();
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double cellAngle(double degrees)
{
    return parseDecimal(formatDecimal(degrees, 1)).value_or(0.0);
}

uint32_t cellColorRef(double degrees)
{
    auto low8 = [](double x) { return static_cast<uint32_t>(static_cast<int64_t>(std::trunc(x)) & 0xFF); };
    if (degrees >= 0) {
        const uint32_t gb = low8(255.0 - 5.0 * degrees);
        return 0xFFu | gb << 8 | gb << 16;
    }
    return 0xFFu | 0xFFu << 8 | low8(255.0 + 5.0 * degrees) << 16;
}

double snapAngle(const CAngleLimits& limits, double value)
{
    if (!(value > limits.lowest))
        return limits.lowest;
    // Whole steps below the highest angle; the highest itself when the value reaches it.
    const double steps = std::floor((limits.highest - limits.lowest) / limits.step + 1e-9);
    double k = std::round((value - limits.lowest) / limits.step);
    k = std::min(k, steps);
    const double snapped = std::min(limits.lowest + k * limits.step, limits.highest);
    return cellAngle(snapped);
}

std::optional<double> rpmBreakpoint(const double (&axis)[kMapColumns], int column, double typed)
{
    if (column < 0 || column >= kMapColumns || !std::isfinite(typed))
        return std::nullopt;
    double lowest = kRpmPointLowest;
    double highest = kRpmPointHighest;
    if (column > 0)
        lowest = std::max(lowest, axis[column - 1] + kRpmPointGap);
    if (column < kMapColumns - 1)
        highest = std::min(highest, axis[column + 1] - kRpmPointGap);
    // Breakpoints travel in hundreds: the room between the neighbours, in whole hundreds.
    lowest = std::ceil(lowest / 100.0) * 100.0;
    highest = std::floor(highest / 100.0) * 100.0;
    if (lowest > highest)
        return std::nullopt;
    const double rounded = roundNearest(typed / 100.0) * 100.0;
    return std::clamp(rounded, lowest, highest);
}

std::optional<double> mapBreakpoint(const double (&axis)[kMapRows], int row, double typed)
{
    if (row < 0 || row >= kMapRows || !std::isfinite(typed))
        return std::nullopt;
    const auto stored = [](double volts) { return mapPointFromWire(mapPointToWire(volts)); };
    double lowest = kMapPointLowest;
    double highest = kMapPointHighest;
    if (row > 0)
        lowest = std::max(lowest, stored(axis[row - 1]) + kMapPointResolution);
    if (row < kMapRows - 1)
        highest = std::min(highest, stored(axis[row + 1]) - kMapPointResolution);
    if (lowest > highest + 1e-9)
        return std::nullopt;
    return stored(std::clamp(typed, lowest, highest));
}

namespace {

// Where position lies between from and to, as a share; evenly by index when the breakpoints
// coincide.
double share(double from, double to, double position, int index, int count)
{
    if (to != from)
        return (position - from) / (to - from);
    return count > 0 ? static_cast<double>(index) / count : 0.0;
}

} // namespace

void interpolateMap(AdvanceMap& map, const CMapRect& rect, InterpolationDirection direction,
                    const double (&rpmAxis)[kMapColumns], const double (&mapAxis)[kMapRows])
{
    const int width = rect.c1 - rect.c0;
    const int height = rect.r1 - rect.r0;
    auto across = [&](int c) { return share(rpmAxis[rect.c0], rpmAxis[rect.c1], rpmAxis[c], c - rect.c0, width); };
    auto down = [&](int r) { return share(mapAxis[rect.r0], mapAxis[rect.r1], mapAxis[r], r - rect.r0, height); };
    const double topLeft = map[rect.r0][rect.c0], topRight = map[rect.r0][rect.c1];
    const double bottomLeft = map[rect.r1][rect.c0], bottomRight = map[rect.r1][rect.c1];

    for (int r = rect.r0; r <= rect.r1; ++r) {
        for (int c = rect.c0; c <= rect.c1; ++c) {
            const double x = across(c), y = down(r);
            switch (direction) {
            case InterpolationDirection::Rows:
                if (width > 0)
                    map[r][c] = map[r][rect.c0] + (map[r][rect.c1] - map[r][rect.c0]) * x;
                break;
            case InterpolationDirection::Columns:
                if (height > 0)
                    map[r][c] = map[rect.r0][c] + (map[rect.r1][c] - map[rect.r0][c]) * y;
                break;
            case InterpolationDirection::Both: {
                const double top = topLeft + (topRight - topLeft) * x;
                const double bottom = bottomLeft + (bottomRight - bottomLeft) * x;
                map[r][c] = top + (bottom - top) * y;
                break;
            }
            }
        }
    }
}

std::wstring formatTsv(const AdvanceMap& map, const CMapRect& rect)
{
    std::wstring text;
    for (int r = rect.r0; r <= rect.r1; ++r) {
        for (int c = rect.c0; c <= rect.c1; ++c) {
            if (c > rect.c0)
                text += L'\t';
            text += formatDecimal(map[r][c], 1);
        }
        text += L"\r\n";
    }
    return text;
}

int CTsvBlock::columns() const
{
    size_t widest = 0;
    for (const auto& row : rows)
        widest = std::max(widest, row.size());
    return static_cast<int>(widest);
}

std::optional<CTsvBlock> parseTsv(const std::wstring& text)
{
    CTsvBlock block;
    bool anyValue = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        // The line ending after the last line does not start another line.
        if (end == std::wstring::npos && line.empty())
            break;
        std::vector<std::optional<double>> cells;
        size_t at = 0;
        while (true) {
            const size_t tab = line.find(L'\t', at);
            const std::wstring cell = line.substr(at, tab == std::wstring::npos ? std::wstring::npos : tab - at);
            if (cell.find_first_not_of(L" \r") == std::wstring::npos) {
                cells.emplace_back();
            } else {
                const auto value = parseDecimal(cell);
                if (!value)
                    return std::nullopt;
                cells.emplace_back(*value);
                anyValue = true;
            }
            if (tab == std::wstring::npos)
                break;
            at = tab + 1;
        }
        block.rows.push_back(std::move(cells));
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    if (!anyValue)
        return std::nullopt;
    return block;
}
