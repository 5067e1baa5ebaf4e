#include "gui/skin/log_chart.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"
#include "records/readings_format.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

QString clockText(double seconds)
{
    const long long s = std::llround(std::max(0.0, seconds));
    return s >= 3600 ? QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

CLogChart::CLogChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(200, 160);
}

void CLogChart::setSeries(const CReadingsSeries* series, std::vector<Lane> lanes)
{
    m_series = series;
    m_lanes = std::move(lanes);
    showWhole();
    m_cursor = m_from;
}

void CLogChart::setLaneLabel(int index, const std::wstring& label)
{
    if (index < 0 || index >= static_cast<int>(m_lanes.size()))
        return;
    m_lanes[static_cast<size_t>(index)].label = label;
    m_pictureValid = false;
    update();
}

void CLogChart::showWhole()
{
    const double start = m_series ? m_series->startTime() : 0.0;
    const double end = m_series ? m_series->endTime() : 0.0;
    setSpan(start, std::max(end, start + kNarrowestSpan));
}

void CLogChart::setSpan(double from, double to)
{
    const double start = m_series ? m_series->startTime() : 0.0;
    const double end = std::max(m_series ? m_series->endTime() : 0.0, start + kNarrowestSpan);
    double width = std::clamp(to - from, kNarrowestSpan, end - start);
    if (!std::isfinite(width))
        width = end - start;
    from = std::clamp(std::isfinite(from) ? from : start, start, end - width);
    if (from == m_from && from + width == m_to)
        return;
    m_from = from;
    m_to = from + width;
    m_pictureValid = false;
    update();
    emit spanChanged(m_from, m_to);
}

void CLogChart::zoomAt(double t, double factor)
{
    const double share = m_to > m_from ? (t - m_from) / (m_to - m_from) : 0.5;
    const double width = (m_to - m_from) * factor;
    setSpan(t - share * width, t - share * width + width);
}

void CLogChart::setCursorTime(double t)
{
    if (!m_series || m_series->empty())
        return;
    t = std::clamp(t, m_series->startTime(), m_series->endTime());
    if (t == m_cursor)
        return;
    m_cursor = t;
    update();
    emit cursorMoved(m_cursor);
}

QFont CLogChart::smallFont() const
{
    return theme::baseFont(std::clamp(height() / 30, 9, 12));
}

CLogChart::Layout CLogChart::layout() const
{
    Layout l;
    const QFontMetricsF fm(smallFont());
    const double axisHeight = fm.height() + 4;
    const double gap = 4;
    const int count = std::max<int>(1, static_cast<int>(m_lanes.size()));
    const double left = 6;
    const double right = width() - 6;
    const double lanesHeight = height() - axisHeight - 2;
    const double laneHeight = (lanesHeight - gap * (count - 1)) / count;
    for (int i = 0; i < count; ++i) {
        const QRectF lane(left, 2 + i * (laneHeight + gap), right - left, laneHeight);
        const double header = std::min(lane.height() * 0.45, fm.height() * 1.4);
        l.lanes.push_back(lane);
        l.headers.emplace_back(lane.left() + 2, lane.top(), lane.width() - 4, header);
        l.plotsOfLanes.emplace_back(lane.left(), lane.top() + header, lane.width(), lane.height() - header);
    }
    l.plots = QRectF(left, 2, right - left, lanesHeight);
    return l;
}

double CLogChart::xOf(double t) const
{
    const QRectF p = layout().plots;
    return p.left() + (t - m_from) / (m_to - m_from) * p.width();
}

double CLogChart::timeAt(double x) const
{
    const QRectF p = layout().plots;
    return m_from + (x - p.left()) / std::max(1.0, p.width()) * (m_to - m_from);
}

void CLogChart::paintEvent(QPaintEvent*)
{
    const Layout l = layout();
    const qreal ratio = devicePixelRatioF();
    if (!m_pictureValid || m_picture.size() != size() * ratio) {
        m_picture = QPixmap(size() * ratio);
        m_picture.setDevicePixelRatio(ratio);
        QPainter picture(&m_picture);
        drawLanes(picture, l);
        m_pictureValid = true;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
    drawCursor(painter, l);
}

void CLogChart::drawLanes(QPainter& painter, const Layout& l) const
{
    theme::paintGradient(painter, rect(), theme::chartTop(), theme::chartBottom(), 0.0);
    painter.setFont(smallFont());
    for (size_t i = 0; i < m_lanes.size(); ++i) {
        painter.setPen(m_lanes[i].color);
        painter.drawText(l.headers[i], Qt::AlignLeft | Qt::AlignVCenter, toQString(m_lanes[i].label));
        drawLane(painter, i, l.plotsOfLanes[i]);
    }
    drawTimeAxis(painter, l);
}

void CLogChart::drawLane(QPainter& painter, size_t index, const QRectF& plot) const
{
    const Lane& lane = m_lanes[index];
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(theme::chartGrid(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(theme::chartGrid(), 1, Qt::DotLine));
    const double middle = std::round(plot.center().y()) + 0.5;
    painter.drawLine(QPointF(plot.left(), middle), QPointF(plot.right(), middle));
    if (m_series && !m_series->empty() && lane.high > lane.low) {
        // One vertical stroke per pixel column from the lowest to the highest value in it: the
        // whole hour in as many strokes as the chart is wide.
        const int columns = std::max(1, static_cast<int>(plot.width()));
        const auto envelope = m_series->envelope(lane.lane, m_from, m_to, columns);
        const auto yOf = [&](double v) {
            return plot.bottom() - (std::clamp(v, lane.low, lane.high) - lane.low) / (lane.high - lane.low) * plot.height();
        };
        std::vector<QPointF> line;
        line.reserve(envelope.size() * 2);
        for (size_t c = 0; c < envelope.size(); ++c) {
            const double x = plot.left() + c + 0.5;
            line.emplace_back(x, yOf(envelope[c].first));
            if (envelope[c].second != envelope[c].first)
                line.emplace_back(x, yOf(envelope[c].second));
        }
        painter.save();
        painter.setClipRect(plot.adjusted(1, 1, -1, -1));
        painter.setRenderHint(QPainter::Antialiasing, true);
        QPen pen(lane.color, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawPolyline(line.data(), static_cast<int>(line.size()));
        painter.restore();
    }
    painter.setPen(theme::chartScaleText());
    const QRectF inner = plot.adjusted(4, 1, -4, -1);
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(formatFixed(lane.high, lane.decimals)));
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignBottom, QString::fromStdString(formatFixed(lane.low, lane.decimals)));
}

void CLogChart::drawTimeAxis(QPainter& painter, const Layout& l) const
{
    const QFontMetrics fm(smallFont());
    painter.setPen(theme::chartScaleText());
    const int steps = 4;
    for (int k = 0; k <= steps; ++k) {
        const double t = m_from + (m_to - m_from) * k / steps;
        const QString text = clockText(t);
        const int w = fm.horizontalAdvance(text);
        const double at = std::clamp(xOf(t) - w / 2.0, l.plots.left(), l.plots.right() - w);
        painter.drawText(QRectF(at, l.plots.bottom(), w + 1, height() - l.plots.bottom()),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

void CLogChart::drawCursor(QPainter& painter, const Layout& l) const
{
    if (!m_series || m_series->empty())
        return;
    const CLogSample& sample = m_series->samples()[m_series->indexAt(m_cursor)];
    QFont bold = smallFont();
    bold.setBold(true);
    painter.setFont(bold);
    for (size_t i = 0; i < m_lanes.size(); ++i) {
        const Lane& lane = m_lanes[i];
        const QString value = QString::fromStdString(formatFixed(laneValue(sample, lane.lane), lane.decimals)) +
                              (lane.unit.empty() ? QString() : QStringLiteral(" ") + toQString(lane.unit));
        painter.setPen(lane.color);
        painter.drawText(l.headers[i], Qt::AlignRight | Qt::AlignVCenter, value);
    }
    if (m_cursor < m_from || m_cursor > m_to)
        return;
    const double x = std::round(xOf(m_cursor)) + 0.5;
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
    painter.drawLine(QPointF(x, l.plots.top()), QPointF(x, l.plots.bottom()));
    // The cursor's time on the axis, over the span's labels.
    const QString text = clockText(m_cursor);
    const QFontMetrics fm(bold);
    const double w = fm.horizontalAdvance(text) + 8;
    const QRectF plate(std::clamp(x - w / 2, l.plots.left(), l.plots.right() - w), l.plots.bottom() + 1, w,
                       height() - l.plots.bottom() - 2);
    painter.fillRect(plate, QColor(235, 236, 238));
    painter.setPen(QColor(30, 36, 48));
    painter.drawText(plate, Qt::AlignCenter, text);
}

void CLogChart::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_pictureValid = false;
}

void CLogChart::mouseMoveEvent(QMouseEvent* event)
{
    setCursorTime(timeAt(event->position().x()));
}

void CLogChart::mousePressEvent(QMouseEvent* event)
{
    setCursorTime(timeAt(event->position().x()));
}

void CLogChart::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    zoomAt(timeAt(event->position().x()), std::pow(0.8, steps));
    event->accept();
}
