#include "gui/skin/cell_array.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The header column is a little wider than a data column: it holds the corner text.
constexpr double kHeaderShare = 1.35;

QColor blend(const QColor& under, const QColor& over, double share)
{
    return QColor::fromRgbF(static_cast<float>(under.redF() * (1 - share) + over.redF() * share),
                            static_cast<float>(under.greenF() * (1 - share) + over.greenF() * share),
                            static_cast<float>(under.blueF() * (1 - share) + over.blueF() * share));
}

} // namespace

CCellArray::CCellArray(QWidget* parent) : QWidget(parent), m_editor(new QLineEdit(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_editor->hide();
    m_editor->setAlignment(Qt::AlignCenter);
    m_editor->setFrame(false);
    m_editor->installEventFilter(this);
}

void CCellArray::init(int columns, int rows, const std::wstring& corner, const Colors& colors)
{
    m_columns = columns;
    m_rows = rows;
    m_corner = corner;
    m_colors = colors;
    update();
}

int CCellArray::edgeX(int index) const
{
    if (index <= 0)
        return 0;
    const double unit = width() / (m_columns + kHeaderShare);
    return static_cast<int>(std::lround(unit * (kHeaderShare + index - 1)));
}

int CCellArray::edgeY(int index) const
{
    return static_cast<int>(std::lround(static_cast<double>(height()) * index / (m_rows + 1)));
}

int CCellArray::cellFontPixels() const
{
    const int byHeight = static_cast<int>((edgeY(1) - edgeY(0)) * 0.46);
    const int byWidth = static_cast<int>((edgeX(2) - edgeX(1)) * 0.34);
    return std::max(9, std::min(byHeight, byWidth));
}

QRect CCellArray::cellRect(CCellPos cell) const
{
    const int x = cell.column + 1;
    const int y = cell.row + 1;
    return QRect(QPoint(edgeX(x), edgeY(y)), QPoint(edgeX(x + 1) - 1, edgeY(y + 1) - 1));
}

bool CCellArray::cellAt(QPoint point, CCellPos& cell) const
{
    if (!rect().contains(point))
        return false;
    int x = 0;
    while (x < m_columns && edgeX(x + 1) <= point.x())
        ++x;
    int y = 0;
    while (y < m_rows && edgeY(y + 1) <= point.y())
        ++y;
    cell = {x - 1, y - 1};
    return true;
}

void CCellArray::setCellOverlay(CellOverlay overlay)
{
    m_overlay = std::move(overlay);
    update();
}

void CCellArray::updateCell(CCellPos cell)
{
    update(cellRect(cell).adjusted(-2, -2, 2, 2));
}

QColor CCellArray::cellBackground(CCellPos cell) const
{
    return cell.isData() ? m_colors.cellBackground : m_colors.headerBackground;
}

bool CCellArray::cellSelected(CCellPos) const
{
    return false;
}

bool CCellArray::cellCurrent(CCellPos) const
{
    return false;
}

void CCellArray::cellPressed(CCellPos, Qt::KeyboardModifiers) {}

void CCellArray::cellDragged(CCellPos) {}

void CCellArray::editFinished(CCellPos, const QString&) {}

// ---- Drawing ---------------------------------------------------------------------------------

void CCellArray::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), m_colors.lines);
    painter.setFont(font());
    // Cells scattered over the grid (a trail) are repainted alone, not the rectangle around them.
    const QRegion& region = event->region();
    for (int y = -1; y < m_rows; ++y) {
        for (int x = -1; x < m_columns; ++x) {
            const CCellPos cell{x, y};
            if (region.intersects(cellRect(cell).adjusted(-2, -2, 2, 2)))
                paintCell(painter, cell);
        }
    }
    if (!isEnabled()) {
        QColor veil = m_colors.disabled;
        veil.setAlpha(150);
        painter.fillRect(event->rect(), veil);
    }
}

void CCellArray::paintCell(QPainter& painter, CCellPos cell)
{
    // One pixel of the line colour between cells.
    const QRect rect = cellRect(cell).adjusted(0, 0, -1, -1);
    QColor background = cellBackground(cell);
    QColor text = cell.isData() ? QColor(Qt::black) : m_colors.headerText;
    const bool selected = cell.isData() && cellSelected(cell);
    if (cell.isData() && cellCurrent(cell)) {
        background = m_currentColor;
        text = Qt::white;
    } else if (selected) {
        background = blend(background, m_colors.selection, 0.5);
    }
    if (!cell.isData() && !cell.isCorner() && cell == m_focusedHeader)
        background = blend(background, m_colors.selection, 0.7);
    painter.fillRect(rect, background);
    if (m_overlay && cell.isData() && !cellCurrent(cell))
        m_overlay(painter, cell, rect);

    // Headers and the corner in a smaller bold face, so a four-digit RPM keeps its margins.
    QFont font = painter.font();
    const int pixels = cellFontPixels();
    font.setPixelSize(cell.isData() ? pixels : std::max(9, pixels * (cell.isCorner() ? 70 : 86) / 100));
    font.setBold(!cell.isData() || cellCurrent(cell));
    painter.setFont(font);
    painter.setPen(text);
    const QString label = cell.isCorner() ? QString::fromStdWString(m_corner) : cellText(cell);
    painter.drawText(rect, Qt::AlignCenter, label);
    if (selected)
        paintSelectionEdges(painter, cell, rect);
}

void CCellArray::paintSelectionEdges(QPainter& painter, CCellPos cell, const QRect& rect)
{
    // The outline of the selected area: an edge wherever the neighbour is not selected.
    const QColor edge(20, 60, 140);
    const int w = std::max(2, rect.height() / 14);
    auto outside = [&](int dx, int dy) {
        const CCellPos n{cell.column + dx, cell.row + dy};
        return !n.isData() || n.column >= m_columns || n.row >= m_rows || !cellSelected(n);
    };
    if (outside(-1, 0))
        painter.fillRect(QRect(rect.left(), rect.top(), w, rect.height()), edge);
    if (outside(1, 0))
        painter.fillRect(QRect(rect.right() - w + 1, rect.top(), w, rect.height()), edge);
    if (outside(0, -1))
        painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), w), edge);
    if (outside(0, 1))
        painter.fillRect(QRect(rect.left(), rect.bottom() - w + 1, rect.width(), w), edge);
}

void CCellArray::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_editing)
        m_editor->setGeometry(cellRect(m_editCell).adjusted(1, 1, -2, -2));
}

void CCellArray::clearHeaderFocus()
{
    updateCell(m_focusedHeader);
    m_focusedHeader = {};
}

// ---- Mouse and keys --------------------------------------------------------------------------

void CCellArray::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    CCellPos cell;
    if (event->button() != Qt::LeftButton || !cellAt(event->position().toPoint(), cell))
        return;
    if (m_editing)
        commitEdit();
    const CCellPos header = cell.isData() || cell.isCorner() ? CCellPos{} : cell;
    if (!(header == m_focusedHeader)) {
        updateCell(m_focusedHeader);
        m_focusedHeader = header;
        updateCell(header);
    }
    m_dragging = cell.isData();
    cellPressed(cell, event->modifiers());
}

void CCellArray::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    // Past the edge the drag keeps the last line or column.
    const QPoint p = event->position().toPoint();
    const QPoint inside(std::clamp(p.x(), edgeX(1), width() - 1), std::clamp(p.y(), edgeY(1), height() - 1));
    CCellPos cell;
    if (cellAt(inside, cell) && cell.isData())
        cellDragged(cell);
}

void CCellArray::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

void CCellArray::mouseDoubleClickEvent(QMouseEvent* event)
{
    CCellPos cell;
    if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), cell) && !cell.isCorner())
        beginEdit(cell, cellText(cell), true);
}

bool CCellArray::handleKey(QKeyEvent* event)
{
    const CCellPos target = m_focusedHeader.isCorner() ? editTarget() : m_focusedHeader;
    if (target.isCorner())
        return false;
    if (event->key() == Qt::Key_F2 || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        beginEdit(target, cellText(target), true);
        return true;
    }
    const QString typed = event->text();
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && typed.size() == 1 && typed.at(0).isPrint() && !typed.at(0).isSpace()) {
        beginEdit(target, typed, false);
        return true;
    }
    return false;
}

void CCellArray::keyPressEvent(QKeyEvent* event)
{
    // Keys the open editor leaves (arrows, page keys) stay with the edit.
    if (m_editing) {
        event->accept();
        return;
    }
    if (handleKey(event))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

// ---- In-place editor -------------------------------------------------------------------------

void CCellArray::beginEdit(CCellPos cell, const QString& text, bool selectAll)
{
    if (!isEnabled() || cell.isCorner())
        return;
    if (m_editing)
        commitEdit();
    m_editCell = cell;
    m_editing = true;
    QFont font = this->font();
    font.setPixelSize(cellFontPixels());
    m_editor->setFont(font);
    m_editor->setGeometry(cellRect(cell).adjusted(1, 1, -2, -2));
    m_editor->setText(text);
    if (selectAll)
        m_editor->selectAll();
    else
        m_editor->end(false);
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void CCellArray::commitEdit()
{
    finishEdit(true);
}

void CCellArray::cancelEdit()
{
    finishEdit(false);
}

void CCellArray::finishEdit(bool keep)
{
    if (!m_editing)
        return;
    // Cleared first: hiding the editor moves the focus, which would end the edit a second time.
    m_editing = false;
    const QString text = m_editor->text();
    m_editor->hide();
    setFocus(Qt::OtherFocusReason);
    if (keep)
        editFinished(m_editCell, text);
    update();
}

bool CCellArray::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape) {
                cancelEdit();
                return true;
            }
            // Taken here: the line edit would pass Enter on to the grid, which would edit again.
            if (key == Qt::Key_Tab || key == Qt::Key_Return || key == Qt::Key_Enter) {
                commitEdit();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            commitEdit();
        }
    }
    return QWidget::eventFilter(watched, event);
}
