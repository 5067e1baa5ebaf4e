#include "records/map_dwell.h"

void CMapDwell::add(CMapCell cell, double time)
{
    if (cell.column < 0 || cell.column >= kMapColumns || cell.row < 0 || cell.row >= kMapRows)
        return;
    if (m_lastCell) {
        const double step = time - m_lastTime;
        if (step > 0 && step <= kLongestStep) {
            double& s = m_seconds[m_lastCell->row][m_lastCell->column];
            s += step;
            m_total += step;
            if (s > m_longest)
                m_longest = s;
        }
    }
    m_lastCell = cell;
    m_lastTime = time;
}

void CMapDwell::reset()
{
    *this = CMapDwell();
}

double CMapDwell::shade(int column, int row) const
{
    const double s = seconds(column, row);
    if (!(s > 0) || !(m_longest > 0))
        return 0.0;
    return kFaintestShade + (1.0 - kFaintestShade) * s / m_longest;
}
