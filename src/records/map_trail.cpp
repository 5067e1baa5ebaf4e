#include "records/map_trail.h"

#include <algorithm>

void CMapTrail::visit(CMapCell cell, double time)
{
    if (cell.column < 0 || cell.column >= kMapColumns || cell.row < 0 || cell.row >= kMapRows)
        return;
    if (!m_started)
        clear();
    m_last[cell.row][cell.column] = time;
    m_current = cell;
}

void CMapTrail::clear()
{
    std::fill(&m_last[0][0], &m_last[0][0] + kMapRows * kMapColumns, kNever);
    m_started = true;
    m_current = {-1, -1};
}

double CMapTrail::strength(int column, int row, double now) const
{
    if (!m_started)
        return 0.0;
    if (m_current == CMapCell{column, row})
        return 1.0;
    const double age = now - m_last[row][column];
    return std::clamp(1.0 - age / kSeconds, 0.0, 1.0);
}
