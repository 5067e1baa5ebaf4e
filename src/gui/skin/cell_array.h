// The cell grid: a table of data cells under a line of column headers and beside a column of row
// headers, with a corner cell, selection and current-cell marks, mouse selection and an in-place
// editor. It holds no data: a derived grid answers what each cell shows and decides what a click,
// a drag or a finished edit means. Headers are addressed with -1 (column -1: the row headers,
// row -1: the header line; both: the corner).
#pragma once

#include <QColor>
#include <QWidget>

#include <functional>
#include <string>

class QLineEdit;
class QPainter;

struct CCellPos {
    int column = -1;
    int row = -1;
    bool isData() const { return column >= 0 && row >= 0; }
    bool isCorner() const { return column < 0 && row < 0; }
    bool operator==(const CCellPos&) const = default;
};

class CCellArray : public QWidget {
    Q_OBJECT
  public:
    // The component's colours: grid lines, header background and text, data-cell background,
    // selection, and the veil over a disabled grid.
    struct Colors {
        QColor lines, headerBackground, headerText, cellBackground, selection, disabled;
    };

    explicit CCellArray(QWidget* parent = nullptr);

    // Size of the table, the corner text and the colours.
    void init(int columns, int rows, const std::wstring& corner, const Colors& colors);
    int columnCount() const { return m_columns; }
    int rowCount() const { return m_rows; }
    const Colors& colors() const { return m_colors; }
    // The colour a current cell is drawn in.
    void setCurrentColor(const QColor& color) { m_currentColor = color; }
    // Painted over each data cell's background and under its text (not on the current cell): a
    // page's shading of the cells without a grid of its own.
    using CellOverlay = std::function<void(QPainter&, CCellPos, const QRect&)>;
    void setCellOverlay(CellOverlay overlay);

    // Where a cell (or header) is drawn, and the cell under a point (nothing outside).
    QRect cellRect(CCellPos cell) const;
    bool cellAt(QPoint point, CCellPos& cell) const;
    // Repaints one cell, or everything.
    void updateCell(CCellPos cell);
    void updateAll() { update(); }

    // In-place editing: starts on a cell with a text (all of it selected when selectAll), ends
    // with editFinished on Enter, Tab or leaving the editor, or without it on Escape.
    void beginEdit(CCellPos cell, const QString& text, bool selectAll);
    bool isEditing() const { return m_editing; }
    // The cell under edit; column and row -1 when none.
    CCellPos editPosition() const { return m_editing ? m_editCell : CCellPos{}; }
    QLineEdit* editor() const { return m_editor; }
    void commitEdit();
    void cancelEdit();

    // The header cell that takes typed text (after a click on it); the corner when none.
    CCellPos focusedHeader() const { return m_focusedHeader; }
    void clearHeaderFocus();

  protected:
    // ---- What a derived grid shows ----
    virtual QString cellText(CCellPos cell) const = 0;
    virtual QColor cellBackground(CCellPos cell) const;
    virtual bool cellSelected(CCellPos cell) const;
    virtual bool cellCurrent(CCellPos cell) const;
    // The cell typed text goes to when no header has the focus.
    virtual CCellPos editTarget() const { return {}; }

    // ---- What a derived grid does ----
    virtual void cellPressed(CCellPos cell, Qt::KeyboardModifiers modifiers);
    virtual void cellDragged(CCellPos cell);
    virtual void editFinished(CCellPos cell, const QString& text);
    // A key before the grid's own handling (typing, F2, Enter start an edit); true when taken.
    virtual bool handleKey(QKeyEvent* event);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int edgeX(int index) const; // left edge of grid column index (0 = the row headers)
    int edgeY(int index) const; // top edge of grid line index (0 = the header line)
    // The data cells' text size: what fits the height and four digits across.
    int cellFontPixels() const;
    void paintCell(QPainter& painter, CCellPos cell);
    void paintSelectionEdges(QPainter& painter, CCellPos cell, const QRect& rect);
    void finishEdit(bool keep);

    int m_columns = 0;
    int m_rows = 0;
    std::wstring m_corner;
    Colors m_colors;
    QColor m_currentColor{120, 0, 0};
    CellOverlay m_overlay;
    QLineEdit* m_editor;
    bool m_editing = false;
    CCellPos m_editCell;
    CCellPos m_focusedHeader;
    bool m_dragging = false;
};
