#include "gui/pages/map_overlay.h"

#include "base/language.h"
#include "gui/skin/cell_array.h"
#include "gui/skin/qt_text.h"
#include "operations/edited_record.h"
#include "records/readings_format.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <chrono>
#include <cmath>

namespace {

// The dwell shading is repainted whole this often (in ticks): every cell's shade is relative to
// the longest stay, which grows all the time.
constexpr int kDwellRepaintTicks = 10;

double secondsOf(CDiagClock::time_point t)
{
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

} // namespace

void paintDwellShade(QPainter& painter, const QRect& cell, double shade)
{
    if (shade <= 0)
        return;
    // Blue over the map's reds reads as "visited" without hiding the value's own colour.
    painter.fillRect(cell, QColor(30, 80, 210, static_cast<int>(std::lround(30 + 140 * shade))));
}

QString dwellTipText(double seconds, double total)
{
    const double share = total > 0 ? 100.0 * seconds / total : 0.0;
    return toQString(translateText(L"Czas w komórce")) + QStringLiteral(": ") +
           QString::fromStdString(formatFixed(seconds, 1)) + QStringLiteral(" s (") +
           QString::fromStdString(formatFixed(share, 1)) + QStringLiteral(" %)");
}

CMapOverlay::CMapOverlay(CCellArray& grid, IEditedRecord& edited)
    : QObject(&grid), m_grid(grid), m_edited(edited)
{
    m_grid.setCellOverlay(
        [this](QPainter& painter, CCellPos cell, const QRect& rect) { paintCell(painter, cell.column, cell.row, rect); });
    m_grid.installEventFilter(this);
}

void CMapOverlay::setTrailShown(bool shown)
{
    m_trailShown = shown;
    m_trail.clear();
    m_grid.update();
}

void CMapOverlay::setDwellShown(bool shown)
{
    if (shown && !m_dwellShown)
        m_dwell.reset();
    m_dwellShown = shown;
    m_grid.update();
}

void CMapOverlay::resetDwell()
{
    m_dwell.reset();
    m_grid.update();
}

void CMapOverlay::countSamples(CDiagData& store)
{
    if (!m_started) {
        m_next = store.nextSerial();
        m_started = true;
    }
    std::vector<CDiagEntry> entries;
    m_next = store.copySince(m_next, entries);
    const CMapModel model(m_edited.record());
    for (const CDiagEntry& e : entries) {
        const CMapCell cell = model.findCell(e.sample.rpm(), e.sample.mapVolts());
        if (m_dwellShown)
            m_dwell.add(cell, secondsOf(e.time));
        if (m_trailShown)
            m_trail.visit(cell, secondsOf(e.time));
    }
    ++m_ticks;
    if (m_dwellShown && m_ticks % kDwellRepaintTicks == 0 && m_grid.isVisible())
        m_grid.update();
    if (m_trailShown && m_grid.isVisible())
        repaintTrail(secondsOf(CDiagClock::now()));
}

void CMapOverlay::repaintTrail(double now)
{
    // Only the cells that carry a trail or just lost it.
    for (int r = 0; r < kMapRows; ++r) {
        for (int c = 0; c < kMapColumns; ++c) {
            const bool lit = m_trail.strength(c, r, now) > 0;
            if (lit || m_trailPainted[r][c])
                m_grid.updateCell({c, r});
            m_trailPainted[r][c] = lit;
        }
    }
}

void CMapOverlay::paintCell(QPainter& painter, int column, int row, const QRect& rect) const
{
    if (m_dwellShown)
        paintDwellShade(painter, rect, m_dwell.shade(column, row));
    if (!m_trailShown)
        return;
    const double strength = m_trail.strength(column, row, secondsOf(CDiagClock::now()));
    if (strength <= 0)
        return;
    // A ring, so the trail reads over the value colours and the shading alike.
    QColor ring(255, 150, 0);
    ring.setAlphaF(static_cast<float>(0.25 + 0.75 * strength));
    const int w = std::max(2, rect.height() / 9);
    painter.setPen(QPen(ring, w));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(w / 2 + 1, w / 2 + 1, -(w + 1) / 2 - 1, -(w + 1) / 2 - 1));
}

bool CMapOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_grid && event->type() == QEvent::ToolTip && m_dwellShown) {
        auto* help = static_cast<QHelpEvent*>(event);
        CCellPos cell;
        if (m_grid.cellAt(help->pos(), cell) && cell.isData())
            QToolTip::showText(help->globalPos(), dwellTipText(m_dwell.seconds(cell.column, cell.row), m_dwell.total()),
                               &m_grid);
        else
            QToolTip::hideText();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
