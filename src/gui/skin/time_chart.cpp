#include "gui/skin/time_chart.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"
#include "records/readings_format.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

const QColor kBackTop = theme::chartTop();
const QColor kBackBottom = theme::chartBottom();
const QColor kGrid = theme::chartGrid();
const QColor kScaleText = theme::chartScaleText();

QString valueText(double v, int decimals, const std::wstring& unit)
{
    return QString::fromStdString(formatFixed(v, decimals)) +
           (unit.empty() ? QString() : QStringLiteral(" ") + toQString(unit));
}

} // namespace

CTimeChart::CTimeChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int CTimeChart::addSeries(Series series)
{
    m_series.push_back(std::move(series));
    m_values.emplace_back(m_times.size(), 0.0);
    update();
    return static_cast<int>(m_series.size()) - 1;
}

void CTimeChart::setSeriesLabel(int index, const std::wstring& label)
{
    if (index >= 0 && index < seriesCount()) {
        m_series[static_cast<size_t>(index)].label = label;
        update();
    }
}

void CTimeChart::setWindowSeconds(double seconds)
{
    m_window = std::max(1.0, seconds);
    update();
}

void CTimeChart::addPoint(double t, const std::vector<double>& values)
{
    m_times.push_back(t);
    for (size_t k = 0; k < m_values.size(); ++k)
        m_values[k].push_back(k < values.size() ? values[k] : 0.0);
    // Keep one point at or before the left edge: the line then reaches the edge.
    const double edge = t - m_window;
    auto dropFront = [this] {
        m_times.pop_front();
        for (auto& v : m_values)
            v.pop_front();
    };
    while (m_times.size() > 1 && m_times[1] <= edge)
        dropFront();
    while (m_times.size() > kMaxPoints)
        dropFront();
}

void CTimeChart::clear()
{
    m_times.clear();
    for (auto& v : m_values)
        v.clear();
    update();
}

void CTimeChart::setPaused(bool paused, const std::wstring& note)
{
    if (paused == m_paused && note == m_note)
        return;
    m_paused = paused;
    m_note = paused ? note : std::wstring();
    update();
}

double CTimeChart::currentValue(int series) const
{
    if (series < 0 || series >= seriesCount() || m_times.empty())
        return 0.0;
    return m_values[static_cast<size_t>(series)].back();
}

QColor CTimeChart::shown(const QColor& color) const
{
    if (!m_paused)
        return color;
    const int grey = qGray(color.rgb());
    return QColor(grey, grey, grey).darker(130);
}

void CTimeChart::setRoleFonts(const CRoleFonts& fonts)
{
    m_small = fonts.small;
    update();
}

QFont CTimeChart::smallFont() const
{
    // Three lanes with a header each and a time axis: a tall font would leave no plot.
    QFont f = m_small.pixelSize() > 0 ? m_small : theme::baseFont(12);
    f.setBold(false);
    f.setPixelSize(std::clamp(std::min(f.pixelSize(), height() / 16), 9, 40));
    return f;
}

std::vector<std::pair<QRectF, QRectF>> CTimeChart::lanes() const
{
    const QFontMetrics fm(smallFont());
    const double axisHeight = fm.height() + 4;
    const double laneGap = 4;
    const double lanesHeight = height() - axisHeight - 2;
    const int count = std::max(1, seriesCount());
    const double laneHeight = (lanesHeight - laneGap * (count - 1)) / count;
    std::vector<std::pair<QRectF, QRectF>> out;
    for (int i = 0; i < seriesCount(); ++i) {
        const QRectF lane(6, 2 + i * (laneHeight + laneGap), width() - 12.0, laneHeight);
        const double header = std::min(lane.height() * 0.45, fm.height() * 1.5);
        out.emplace_back(lane, QRectF(lane.left(), lane.top() + header, lane.width(), lane.height() - header));
    }
    return out;
}

std::vector<CTextBox> CTimeChart::textBoxes() const
{
    std::vector<CTextBox> out;
    QFont bold = smallFont();
    bold.setBold(true);
    const auto placed = lanes();
    for (int i = 0; i < seriesCount(); ++i) {
        const Series& s = m_series[static_cast<size_t>(i)];
        const auto& [lane, plot] = placed[static_cast<size_t>(i)];
        QRectF header(lane.left() + 1, lane.top(), lane.width() - 2, plot.top() - lane.top());
        // The value keeps its room; the label takes what is left.
        const QString value = m_times.empty() ? QString() : valueText(currentValue(i), s.decimals, s.unit);
        const double valueWidth = value.isEmpty() ? 0.0 : QFontMetricsF(bold).horizontalAdvance(value) + 4;
        const QRectF valueBox(header.right() - valueWidth + 4, header.top(), valueWidth - 4, header.height());
        header.setRight(header.right() - valueWidth);
        const QString label = toQString(s.label);
        out.push_back({label, textfit::fitted(label, smallFont(), header, false), header, false});
        if (!value.isEmpty())
            out.push_back({value, bold, valueBox, false});
    }
    return out;
}

void CTimeChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF whole = rect();
    theme::paintGradient(painter, whole, shown(kBackTop), shown(kBackBottom), 0.0);
    if (m_series.empty())
        return;

    for (int i = 0; i < seriesCount(); ++i)
        paintLane(painter, i, lanes()[static_cast<size_t>(i)].second);
    const double axisHeight = QFontMetrics(smallFont()).height() + 4;
    paintTimeAxis(painter, QRectF(6, 2, whole.width() - 12, whole.height() - axisHeight - 2), whole.height() - 2);

    if (m_paused && !m_note.empty()) {
        // The note on a plate in the middle, above the greyed lanes.
        QFont bold = theme::baseFont(std::clamp(height() / 18, 10, 14));
        bold.setBold(true);
        painter.setFont(bold);
        const QString text = toQString(m_note);
        const QRectF box = QFontMetricsF(bold).boundingRect(whole.adjusted(20, 0, -20, 0), Qt::AlignCenter | Qt::TextWordWrap, text);
        const QRectF plate = box.adjusted(-12, -8, 12, 8);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(150, 150, 150), 1));
        painter.setBrush(QColor(235, 236, 238, 235));
        painter.drawRoundedRect(plate, 6, 6);
        painter.setPen(QColor(60, 60, 60));
        painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text);
    }
}

void CTimeChart::paintLane(QPainter& painter, int index, const QRectF& plot) const
{
    const Series& s = m_series[static_cast<size_t>(index)];
    const QColor color = shown(s.color);
    const QFont small = smallFont();
    // Header: the label on the left, the current value on the right, both in the line's colour.
    const std::vector<CTextBox> texts = textBoxes();
    const size_t perLane = m_times.empty() ? 1 : 2;
    painter.setPen(color);
    for (size_t k = 0; k < perLane; ++k) {
        const CTextBox& t = texts[static_cast<size_t>(index) * perLane + k];
        painter.setFont(t.font);
        painter.drawText(t.box, Qt::AlignVCenter | (k == 0 ? Qt::AlignLeft : Qt::AlignRight), textfit::shown(t));
    }

    // The plot: frame, a middle grid line and the scale's ends.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(shown(kGrid), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(shown(kGrid), 1, Qt::DotLine));
    const double middle = std::round(plot.center().y()) + 0.5;
    painter.drawLine(QPointF(plot.left(), middle), QPointF(plot.right(), middle));
    for (int k = 1; k < 6; ++k) {
        const double x = std::round(plot.right() - plot.width() * k / 6.0) + 0.5;
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    if (m_times.size() >= 2 && s.high > s.low)
        paintLine(painter, index, plot, color);

    // The scale's ends over the line, so that a line at the edge never hides them; a lane too
    // flat for two lines of them (the smallest window) shows none rather than one over the other.
    if (plot.height() < 2.2 * QFontMetricsF(small).height())
        return;
    painter.setFont(small);
    painter.setPen(shown(kScaleText));
    const QRectF inner = plot.adjusted(4, 1, -4, -1);
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(formatFixed(s.high, s.decimals)));
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignBottom, QString::fromStdString(formatFixed(s.low, s.decimals)));
}

void CTimeChart::paintLine(QPainter& painter, int index, const QRectF& plot, const QColor& color) const
{
    const Series& s = m_series[static_cast<size_t>(index)];
    const std::deque<double>& values = m_values[static_cast<size_t>(index)];
    const double newest = m_times.back();
    const auto toX = [&](double t) { return plot.right() - (newest - t) / m_window * plot.width(); };
    const auto toY = [&](double v) {
        return plot.bottom() - (std::clamp(v, s.low, s.high) - s.low) / (s.high - s.low) * plot.height();
    };
    // One polyline per run of samples without a gap. Where several samples share a pixel
    // column only their lowest and highest value are drawn: the same picture for far less
    // stroking, which is what the chart's cost is made of.
    std::vector<std::vector<QPointF>> runs(1);
    int column = std::numeric_limits<int>::min();
    double low = 0, high = 0, x = 0;
    const auto flush = [&] {
        if (column == std::numeric_limits<int>::min())
            return;
        runs.back().emplace_back(x, low);
        if (high != low)
            runs.back().emplace_back(x, high);
    };
    for (size_t k = 0; k < m_times.size(); ++k) {
        const double px = toX(m_times[k]);
        const double py = toY(values[k]);
        if (k > 0 && m_times[k] - m_times[k - 1] > kGapSeconds) {
            flush();
            column = std::numeric_limits<int>::min();
            runs.emplace_back();
        }
        const int c = static_cast<int>(std::floor(px));
        if (c != column) {
            flush();
            column = c;
            x = px;
            low = high = py;
        } else {
            low = std::max(low, py); // screen y grows downwards: the lowest value has the largest y
            high = std::min(high, py);
        }
    }
    flush();
    painter.save();
    painter.setClipRect(plot.adjusted(1, 1, -1, -1));
    painter.setRenderHint(QPainter::Antialiasing, true);
    // A one-pixel cosmetic pen: the raster engine draws it directly, while a wider pen goes
    // through the general stroker, whose joins cost a few trigonometric calls per vertex and
    // would make the chart the window's largest cost.
    QPen pen(color, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
    pen.setCosmetic(true);
    painter.setPen(pen);
    for (const auto& run : runs)
        if (run.size() >= 2)
            painter.drawPolyline(run.data(), static_cast<int>(run.size()));
    painter.restore();
}

void CTimeChart::paintTimeAxis(QPainter& painter, const QRectF& lanes, double bottom) const
{
    const QFont small = smallFont();
    const QFontMetrics fm(small);
    painter.setFont(small);
    painter.setPen(shown(kScaleText));
    const double top = lanes.bottom();
    const int steps = 3;
    for (int k = 0; k <= steps; ++k) {
        const double seconds = m_window * k / steps;
        const double x = lanes.right() - lanes.width() * k / steps;
        const QString text = k == 0 ? QStringLiteral("0 s") : QStringLiteral("-%1 s").arg(std::lround(seconds));
        const int w = fm.horizontalAdvance(text);
        const double at = std::clamp(x - w / 2.0, lanes.left(), lanes.right() - w);
        painter.drawText(QRectF(at, top, w + 1, bottom - top), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}
