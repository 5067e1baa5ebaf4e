// The operating point's trail: the cells the engine passed through in the last few seconds,
// each fading from the moment it was last left.
#pragma once

#include "records/map_model.h"

#include <limits>

class CMapTrail {
  public:
    static constexpr double kSeconds = 3.0;

    // The engine is in cell at time (seconds, rising).
    void visit(CMapCell cell, double time);
    void clear();
    // 1 for the cell the engine is in now, falling to 0 kSeconds after a cell was last visited.
    double strength(int column, int row, double now) const;

  private:
    static constexpr double kNever = -std::numeric_limits<double>::infinity();
    double m_last[kMapRows][kMapColumns] = {};
    bool m_started = false;
    CMapCell m_current{-1, -1};
};
