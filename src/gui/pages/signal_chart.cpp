#include "gui/pages/signal_chart.h"

#include "gui/skin/theme.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace {

const QColor kGapFill(255, 176, 32, 60);
const QColor kGapEdge(255, 176, 32, 170);
const QColor kCursor(120, 200, 255, 200);
const QColor kReadoutBack(20, 28, 44, 225);
constexpr int kNotch = 120; // a mouse wheel's notch in eighths of a degree

} // namespace

CSignalChart::CSignalChart(QWidget* parent) : CScrollChart(parent)
{
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
}

void CSignalChart::setGapSpans(std::vector<std::pair<int, int>> spans)
{
    m_gaps = std::move(spans);
    update();
}

void CSignalChart::setReadout(int point, std::vector<QString> lines)
{
    m_readoutPoint = point;
    m_readout = std::move(lines);
    update();
}

void CSignalChart::paintEvent(QPaintEvent* event)
{
    CScrollChart::paintEvent(event);
    QPainter painter(this);
    const QRectF plot = plotRect();
    paintGaps(painter, plot);
    paintReadout(painter, plot);
}

void CSignalChart::paintGaps(QPainter& painter, const QRectF& plot) const
{
    for (const auto& [first, last] : m_gaps) {
        const double left = pointX(first);
        const double right = std::max(pointX(last), left + 1.0);
        const QRectF band(QPointF(left, plot.top()), QPointF(right, plot.bottom()));
        painter.fillRect(band, kGapFill);
        painter.setPen(QPen(kGapEdge, 1.0));
        painter.drawLine(band.topLeft(), band.bottomLeft());
        painter.drawLine(band.topRight(), band.bottomRight());
    }
}

void CSignalChart::paintReadout(QPainter& painter, const QRectF& plot) const
{
    if (m_readoutPoint < 0)
        return;
    const double x = pointX(m_readoutPoint);
    painter.setPen(QPen(kCursor, 1.0, Qt::DashLine));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    if (m_readout.empty())
        return;

    const QFont font = theme::baseFont(std::clamp(static_cast<int>(height() * 0.05), 11, 15));
    const QFontMetrics fm(font);
    int width = 0;
    for (const QString& line : m_readout)
        width = std::max(width, fm.horizontalAdvance(line));
    const double pad = fm.height() * 0.5;
    const QSizeF box(width + 2 * pad, fm.height() * static_cast<double>(m_readout.size()) + 2 * pad);
    // In the top corner away from the pointer, so the tooth being read stays in view.
    const bool left = x > plot.center().x();
    const QPointF corner(left ? plot.left() + 6 : plot.right() - 6 - box.width(), plot.top() + 6);
    const QRectF area(corner, box);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kCursor, 1.0));
    painter.setBrush(kReadoutBack);
    painter.drawRoundedRect(area, 4, 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (size_t i = 0; i < m_readout.size(); ++i) {
        const QRectF row(area.left() + pad, area.top() + pad + fm.height() * static_cast<double>(i), width,
                         fm.height());
        painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, m_readout[i]);
    }
}

void CSignalChart::wheelEvent(QWheelEvent* event)
{
    m_wheelRest += event->angleDelta().y();
    const int notches = m_wheelRest / kNotch;
    m_wheelRest -= notches * kNotch;
    if (notches != 0)
        emit zoomRequested(pointAt(event->position().x()), notches);
    event->accept();
}

void CSignalChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        setCursor(Qt::ClosedHandCursor);
        emit dragStarted(pointAt(event->position().x()));
    }
    event->accept();
}

void CSignalChart::mouseMoveEvent(QMouseEvent* event)
{
    const int point = pointAt(event->position().x());
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        emit dragMoved(point);
    emit pointerMoved(point);
    event->accept();
}

void CSignalChart::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        setCursor(Qt::CrossCursor);
    }
    event->accept();
}

void CSignalChart::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit resetRequested();
    event->accept();
}

void CSignalChart::leaveEvent(QEvent* event)
{
    CScrollChart::leaveEvent(event);
    emit pointerMoved(-1);
}
