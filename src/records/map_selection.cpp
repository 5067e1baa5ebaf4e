#include "records/map_selection.h"

#include <algorithm>

bool CMapSelection::selected(int column, int row) const
{
    if (column < 0 || column >= kMapColumns || row < 0 || row >= kMapRows)
        return false;
    return m_cells[column][row];
}

void CMapSelection::setSelected(int column, int row, bool selected)
{
    if (column >= 0 && column < kMapColumns && row >= 0 && row < kMapRows)
        m_cells[column][row] = selected;
}

std::optional<CMapRect> CMapSelection::scan() const
{
    std::optional<CMapRect> found;
    for (int c = 0; c < kMapColumns; ++c) {
        for (int r = 0; r < kMapRows; ++r) {
            if (!m_cells[c][r])
                continue;
            if (!found)
                found = CMapRect{c, r, c, r};
            found->c1 = c;
            found->r1 = r;
        }
    }
    return found;
}

void CMapSelection::clear()
{
    for (auto& column : m_cells)
        std::fill(std::begin(column), std::end(column), false);
}

void CMapSelection::selectCell(CMapCell cell)
{
    clear();
    setSelected(cell.column, cell.row, true);
    m_anchor = cell;
}

void CMapSelection::selectRect(CMapCell from, CMapCell to)
{
    clear();
    const int c0 = std::clamp(std::min(from.column, to.column), 0, kMapColumns - 1);
    const int c1 = std::clamp(std::max(from.column, to.column), 0, kMapColumns - 1);
    const int r0 = std::clamp(std::min(from.row, to.row), 0, kMapRows - 1);
    const int r1 = std::clamp(std::max(from.row, to.row), 0, kMapRows - 1);
    for (int c = c0; c <= c1; ++c)
        setColumn(c, r0, r1, true);
}

bool CMapSelection::move(GridArrow arrow)
{
    const auto found = scan();
    if (!found)
        return false;
    CMapCell cell{found->c0, found->r0};
    switch (arrow) {
    case GridArrow::Left:
        cell.column = std::max(cell.column - 1, 0);
        break;
    case GridArrow::Right:
        cell.column = std::min(cell.column + 1, kMapColumns - 1);
        break;
    case GridArrow::Up:
        cell.row = std::max(cell.row - 1, 0);
        break;
    case GridArrow::Down:
        cell.row = std::min(cell.row + 1, kMapRows - 1);
        break;
    }
    selectCell(cell);
    return true;
}

bool CMapSelection::resize(GridArrow arrow)
{
    const auto found = scan();
    if (!found)
        return false;
    const auto [c0, r0, c1, r1] = *found;
    const int ca = m_anchor.column;
    const int ra = m_anchor.row;
    switch (arrow) {
    case GridArrow::Left:
        if (ca < 0)
            return false;
        if (ca < c1)
            setColumn(c1, r0, r1, false);
        else if (ca == c1 && c0 > 0)
            setColumn(c0 - 1, r0, r1, true);
        else
            return false;
        return true;
    case GridArrow::Right:
        if (ca < 0)
            return false;
        if (ca > c0)
            setColumn(c0, r0, r1, false);
        else if (ca == c0 && c1 < kMapColumns - 1)
            setColumn(c1 + 1, r0, r1, true);
        else
            return false;
        return true;
    case GridArrow::Up:
        if (ra < 0)
            return false;
        if (r1 > ra)
            setRow(r1, c0, c1, false);
        else if (r1 == ra && r0 > 0)
            setRow(r0 - 1, c0, c1, true);
        else
            return false;
        return true;
    case GridArrow::Down:
        if (ra < 0)
            return false;
        if (r0 < ra)
            setRow(r0, c0, c1, false);
        else if (r0 == ra && r1 < kMapRows - 1)
            setRow(r1 + 1, c0, c1, true);
        else
            return false;
        return true;
    }
    return false;
}

void CMapSelection::setColumn(int column, int r0, int r1, bool selected)
{
    for (int r = r0; r <= r1; ++r)
        setSelected(column, r, selected);
}

void CMapSelection::setRow(int row, int c0, int c1, bool selected)
{
    for (int c = c0; c <= c1; ++c)
        setSelected(c, row, selected);
}
