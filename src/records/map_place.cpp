#include "records/map_place.h"

#include <algorithm>
#include <cmath>

double axisPlace(const double* axis, int count, double value)
{
    if (count <= 1 || !(value > axis[0]))
        return 0.0;
    if (value >= axis[count - 1])
        return count - 1;
    int i = 0;
    while (i + 1 < count - 1 && axis[i + 1] <= value)
        ++i;
    // The walk stops below a breakpoint above the value, so the span is never empty.
    return i + std::clamp((value - axis[i]) / (axis[i + 1] - axis[i]), 0.0, 1.0);
}

CMapPlace mapPlace(const CSettingsRecord& record, double rpm, double mapVolts)
{
    return {axisPlace(record.rpmAxis, kMapColumns, rpm), axisPlace(record.mapAxis, kMapRows, mapVolts)};
}

double advanceAt(const double (&map)[kMapRows][kMapColumns], CMapPlace place)
{
    const double column = std::clamp(place.column, 0.0, kMapColumns - 1.0);
    const double row = std::clamp(place.row, 0.0, kMapRows - 1.0);
    const int c0 = std::min(static_cast<int>(column), kMapColumns - 2);
    const int r0 = std::min(static_cast<int>(row), kMapRows - 2);
    const double fc = column - c0;
    const double fr = row - r0;
    const double top = map[r0][c0] * (1 - fc) + map[r0][c0 + 1] * fc;
    const double bottom = map[r0 + 1][c0] * (1 - fc) + map[r0 + 1][c0 + 1] * fc;
    return top * (1 - fr) + bottom * fr;
}
