#include "gui/skin/scroll_chart.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

CScrollChart::CScrollChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CScrollChart::createOver(QWidget* placeholder)
{
    setParent(placeholder->parentWidget());
    setGeometry(placeholder->geometry());
    placeholder->hide();
    show();
}

void CScrollChart::SetHorzDiv(unsigned divisions, int)
{
    m_divisions = std::max(1u, divisions);
    update();
}

void CScrollChart::SetGrid(int on)
{
    m_grid = on != 0;
    update();
}

unsigned CScrollChart::capacity() const
{
    return std::max(m_maxPoints, m_span);
}

void CScrollChart::trim(Line& line) const
{
    const size_t cap = capacity();
    if (line.points.size() > cap)
        line.points.erase(line.points.begin(),
                          line.points.begin() + static_cast<long>(line.points.size() - cap));
}

void CScrollChart::SetMaxPoints(unsigned maxPoints)
{
    m_maxPoints = std::max(1u, maxPoints);
    for (auto& [id, line] : m_lines)
        trim(line);
    update();
}

void CScrollChart::SetPointSpan(unsigned span)
{
    m_span = span;
    update();
}

void CScrollChart::SetUpperValue(double upper)
{
    m_upper = upper;
    update();
}

void CScrollChart::SetLowerValue(double lower)
{
    m_lower = lower;
    update();
}

bool CScrollChart::AddLine(int id, ValueLabel label, unsigned colorRef, unsigned, int width, int visible, int)
{
    if (m_lines.count(id))
        return false;
    Line line;
    line.label = std::move(label);
    line.color = theme::fromColorRef(colorRef);
    line.width = std::clamp(width, 1, 8);
    line.visible = visible != 0;
    m_lines.emplace(id, std::move(line));
    update();
    return true;
}

void CScrollChart::setLineColor(int id, const QColor& color)
{
    const auto it = m_lines.find(id);
    if (it != m_lines.end()) {
        it->second.color = color;
        update();
    }
}

bool CScrollChart::AddData(int id, double, double y, int)
{
    const auto it = m_lines.find(id);
    if (it == m_lines.end())
        return false;
    it->second.points.push_back(y);
    trim(it->second);
    return true;
}

void CScrollChart::ClearData(int id)
{
    for (auto& [lineId, line] : m_lines) {
        if (id == -1 || id == lineId)
            line.points.clear();
    }
    update();
}

void CScrollChart::Redraw()
{
    update();
}

void CScrollChart::setMargins(double left, double top, double right, double bottom)
{
    const double values[4] = {left, top, right, bottom};
    for (int i = 0; i < 4; ++i)
        m_margins[i] = std::clamp(values[i], 0.0, 0.4);
    update();
}

void CScrollChart::setBackgroundColors(const QColor& top, const QColor& bottom)
{
    m_backTop = top;
    m_backBottom = bottom;
    update();
}

void CScrollChart::setGridColor(const QColor& color)
{
    m_gridColor = color;
    update();
}

size_t CScrollChart::pointCount(int id) const
{
    const auto it = m_lines.find(id);
    return it == m_lines.end() ? 0 : it->second.points.size();
}

double CScrollChart::pointValue(int id, size_t i) const
{
    const auto it = m_lines.find(id);
    if (it == m_lines.end() || i >= it->second.points.size())
        return 0.0;
    return it->second.points[i];
}

void CScrollChart::range(double& low, double& high) const
{
    if (m_upper > m_lower) {
        low = m_lower;
        high = m_upper;
        return;
    }
    low = std::numeric_limits<double>::max();
    high = std::numeric_limits<double>::lowest();
    for (const auto& [id, line] : m_lines) {
        for (double v : line.points) {
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    if (low > high) {
        low = 0.0;
        high = 1.0;
    } else if (high - low < 1e-9) {
        low -= 1.0;
        high += 1.0;
    } else {
        const double pad = (high - low) * 0.05;
        low -= pad;
        high += pad;
    }
}

CScrollChart::Labels CScrollChart::labels(double low, double high) const
{
    // Value labels of the first line that has a label function, beside the grid lines.
    const ValueLabel* labeler = nullptr;
    for (const auto& [id, line] : m_lines) {
        if (line.label) {
            labeler = &line.label;
            break;
        }
    }
    Labels out;
    out.font = theme::baseFont(std::clamp(static_cast<int>(height() * 0.07), 9, 13));
    const QFontMetrics fm(out.font);
    for (unsigned k = 0; k <= m_divisions; ++k) {
        const double value = low + (high - low) * k / m_divisions;
        QString text = labeler ? toQString((*labeler)(value)) : QString();
        out.width = std::max(out.width, text.isEmpty() ? 0 : fm.horizontalAdvance(text) + 6);
        out.texts.push_back(std::move(text));
    }
    return out;
}

QRectF CScrollChart::plotRect(int labelWidth) const
{
    const QRectF whole = rect();
    const double left = whole.width() * m_margins[0] + labelWidth + 1;
    const double top = whole.height() * m_margins[1] + 1;
    const double right = whole.width() * (1.0 - m_margins[2]) - 1;
    const double bottom = whole.height() * (1.0 - m_margins[3]) - 1;
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QRectF CScrollChart::plotRect() const
{
    double low = 0.0;
    double high = 1.0;
    range(low, high);
    return plotRect(labels(low, high).width);
}

double CScrollChart::pointX(double i) const
{
    const QRectF plot = plotRect();
    const unsigned span = shownSpan();
    return span > 1 ? plot.left() + i * plot.width() / (span - 1) : plot.left();
}

int CScrollChart::pointAt(double x) const
{
    const QRectF plot = plotRect();
    const unsigned span = shownSpan();
    if (span <= 1 || plot.width() <= 0)
        return 0;
    const double i = std::round((x - plot.left()) * (span - 1) / plot.width());
    return static_cast<int>(std::clamp(i, 0.0, static_cast<double>(span - 1)));
}

void CScrollChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF whole = rect();
    theme::paintGradient(painter, whole, m_backTop, m_backBottom, 0.0);

    double low = 0.0;
    double high = 1.0;
    range(low, high);
    const Labels labelColumn = labels(low, high);
    const QFontMetrics fm(labelColumn.font);
    const QRectF plot = plotRect(labelColumn.width);
    if (plot.width() < 2 || plot.height() < 2)
        return;
    const auto toY = [&](double v) {
        return plot.bottom() - (std::clamp(v, low, high) - low) / (high - low) * plot.height();
    };

    if (m_grid) {
        painter.setPen(QPen(m_gridColor, 1.0, Qt::DotLine));
        for (unsigned k = 0; k <= m_divisions; ++k) {
            const double y = std::round(plot.bottom() - plot.height() * k / m_divisions) + 0.5;
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        }
        const int columns = std::max(2, static_cast<int>(m_divisions) * 2);
        for (int k = 0; k <= columns; ++k) {
            const double x = std::round(plot.left() + plot.width() * k / columns) + 0.5;
            painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        }
    }
    if (labelColumn.width > 0) {
        painter.setFont(labelColumn.font);
        painter.setPen(QColor(200, 202, 204));
        for (unsigned k = 0; k <= m_divisions; ++k) {
            const double y = plot.bottom() - plot.height() * k / m_divisions;
            painter.drawText(QRectF(0, y - fm.height() / 2.0, plot.left() - 4, fm.height()),
                             Qt::AlignRight | Qt::AlignVCenter, labelColumn.texts[k]);
        }
    }

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(plot.adjusted(-2, -2, 2, 2));
    const unsigned span = shownSpan();
    for (const auto& [id, line] : m_lines) {
        if (!line.visible || line.points.empty())
            continue;
        const size_t n = line.points.size();
        const size_t first = n > span ? n - span : 0;
        const size_t shown = n - first;
        const double step = span > 1 ? plot.width() / (span - 1) : 0.0;
        painter.setPen(QPen(line.color, line.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const int columns = static_cast<int>(plot.width());
        if (shown > static_cast<size_t>(columns) * 2 && columns > 0) {
            // More points than pixels: one upright bar per pixel column from its lowest to its
            // highest point (joined to the column before) keeps every spike visible. Bars, not a
            // stroked path: stroking thousands of segments costs the window tens of milliseconds
            // on every repaint.
            const double pen = std::max(1, line.width);
            double top = 0.0;    // highest point of the column (smallest y)
            double bottom = 0.0; // lowest point of the column
            double last = toY(line.points[first]);
            double before = last; // where the column before ended
            int column = -1;
            const auto bar = [&] {
                // Whole pixels: a bar of a 1-pixel line is one full-coloured pixel column.
                const int x = static_cast<int>(std::lround(plot.left() + column - pen / 2));
                const int y0 = static_cast<int>(std::lround(std::min(top, before) - pen / 2));
                const int y1 = static_cast<int>(std::lround(std::max(bottom, before) + pen / 2));
                painter.fillRect(QRect(x, y0, static_cast<int>(pen), std::max(1, y1 - y0)), line.color);
                before = last;
            };
            for (size_t i = 0; i < shown; ++i) {
                const double y = toY(line.points[first + i]);
                const int c = static_cast<int>(i * step);
                if (c != column) {
                    if (column >= 0)
                        bar();
                    column = c;
                    top = bottom = y;
                } else {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
                last = y;
            }
            bar();
            continue;
        }
        QPainterPath path;
        path.moveTo(plot.left(), toY(line.points[first]));
        for (size_t i = 1; i < shown; ++i)
            path.lineTo(plot.left() + i * step, toY(line.points[first + i]));
        painter.drawPath(path);
    }
}
