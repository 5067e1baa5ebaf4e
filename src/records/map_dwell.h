// The time the engine spent in each cell of the map: fed with samples in time order, each
// interval between two samples is credited to the cell of the earlier one, where the engine was
// during it. A gap longer than a sample should ever take (a lost link, a paused log) is not time
// spent anywhere.
#pragma once

#include "records/map_model.h"

#include <optional>

class CMapDwell {
  public:
    // Intervals longer than this are gaps and count for nothing.
    static constexpr double kLongestStep = 1.0;
    // The shade of a cell visited only briefly: still plainly visible.
    static constexpr double kFaintestShade = 0.15;

    // A sample in cell at time (seconds, any origin, rising).
    void add(CMapCell cell, double time);
    void reset();

    double seconds(int column, int row) const { return m_seconds[row][column]; }
    double total() const { return m_total; }
    double longest() const { return m_longest; }
    // 0 for a cell the engine never stayed in, else from kFaintestShade up to 1 for the cell it
    // stayed in longest.
    double shade(int column, int row) const;

  private:
    double m_seconds[kMapRows][kMapColumns] = {};
    double m_total = 0;
    double m_longest = 0;
    std::optional<CMapCell> m_lastCell;
    double m_lastTime = 0;
};
