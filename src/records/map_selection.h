// Which data cells of the map grid are selected, and the anchor from which Shift extends the
// selection: the keyboard's move and resize steps and the mouse's rectangles.
#pragma once

#include "records/map_grid_rules.h"
#include "records/map_model.h"

#include <optional>

enum class GridArrow { Left, Right, Up, Down };

class CMapSelection {
  public:
    static constexpr CMapCell kNoAnchor{-1, -1};

    bool selected(int column, int row) const;
    void setSelected(int column, int row, bool selected);
    // The first and the last selected cell of a scan of columns 0 to 14, each from row 0 to 15:
    // the top-left and bottom-right corners of a rectangular selection. Nothing when none.
    std::optional<CMapRect> scan() const;
    bool any() const { return scan().has_value(); }

    CMapCell anchor() const { return m_anchor; }
    void setAnchor(CMapCell anchor) { m_anchor = anchor; }

    void clear();
    // Only this cell, which becomes the anchor.
    void selectCell(CMapCell cell);
    // Only the rectangle spanned by the two cells; the anchor stays.
    void selectRect(CMapCell from, CMapCell to);
    // The plain arrow keys: one cell from the first selected, clamped at the edges; it becomes
    // the anchor. False when nothing is selected.
    bool move(GridArrow arrow);
    // Shift+arrow: shrinks the selection towards the anchor or grows it away from it by a line.
    // False when nothing changed that needs a repaint.
    bool resize(GridArrow arrow);

  private:
    void setColumn(int column, int r0, int r1, bool selected);
    void setRow(int row, int c0, int c1, bool selected);

    bool m_cells[kMapColumns][kMapRows] = {};
    CMapCell m_anchor = kNoAnchor;
};
