#include "gui/pages/map_curves.h"

#include "base/language.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"
#include "operations/map_editor.h"
#include "records/map_place.h"
#include "records/readings_format.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// Faint lines: there, to show the map's whole shape, but not in the way of the selection's.
const QColor kFaint(150, 170, 205, 70);

// Strong lines run from cool to warm along their axis, so neighbouring selected lines differ.
QColor strongColor(int index, int count)
{
    const double t = count > 1 ? static_cast<double>(index) / (count - 1) : 0.0;
    return QColor::fromHsvF(static_cast<float>(0.52 - 0.47 * t), 0.65f, 1.0f);
}

} // namespace

CMapCurves::CMapCurves(const CMapEditor& editor, IEditedRecord& edited, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_edited(edited)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_shown = current();
}

void CMapCurves::setAgainstMap(bool againstMap)
{
    if (againstMap == m_againstMap)
        return;
    m_againstMap = againstMap;
    m_shown = current();
    m_pictureValid = false;
    update();
}

void CMapCurves::setOperatingPoint(std::optional<std::pair<double, double>> point)
{
    if (m_point == point)
        return;
    // Only around the marker's old and new place: the lines under it come from the picture.
    const auto before = markerPoint();
    m_point = point;
    for (const auto& at : {before, markerPoint()})
        if (at)
            update(QRectF(*at - QPointF(8, 8), QSizeF(16, 16)).toAlignedRect());
}

void CMapCurves::refresh()
{
    Shown now = current();
    if (now == m_shown)
        return;
    m_shown = now;
    m_pictureValid = false;
    update();
}

CMapCurves::Shown CMapCurves::current() const
{
    Shown s;
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapColumns; ++c)
            s.cells[static_cast<size_t>(r * kMapColumns + c)] = m_editor.cellValue(c, r);
    const CSettingsRecord& record = m_edited.record();
    std::copy(std::begin(record.rpmAxis), std::end(record.rpmAxis), s.rpm.begin());
    std::copy(std::begin(record.mapAxis), std::end(record.mapAxis), s.map.begin());
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapColumns; ++c)
            if (m_editor.selection().selected(c, r))
                s.strong[static_cast<size_t>(r)] = s.strong[static_cast<size_t>(kMapRows + c)] = true;
    s.highest = m_editor.limits().highest;
    return s;
}

bool CMapCurves::strongLine(int column, int row) const
{
    return m_shown.strong[static_cast<size_t>(m_againstMap ? kMapRows + column : row)];
}

QRectF CMapCurves::plotRect() const
{
    const double text = std::clamp(height() / 14.0, 10.0, 13.0);
    return QRectF(text * 2.6, text * 1.6, width() - text * 3.3, height() - text * 3.4);
}

double CMapCurves::xOf(double axisValue) const
{
    const QRectF plot = plotRect();
    const double* axis = m_againstMap ? m_shown.map.data() : m_shown.rpm.data();
    const int count = m_againstMap ? kMapRows : kMapColumns;
    const double low = axis[0];
    const double high = axis[count - 1];
    if (!(high > low))
        return plot.left();
    return plot.left() + (std::clamp(axisValue, low, high) - low) / (high - low) * plot.width();
}

double CMapCurves::yOf(double angle) const
{
    const QRectF plot = plotRect();
    const double high = std::max(1.0, m_shown.highest);
    return plot.bottom() - std::clamp(angle, 0.0, high) / high * plot.height();
}

QPointF CMapCurves::cellPoint(int column, int row) const
{
    const double x = m_againstMap ? m_shown.map[static_cast<size_t>(row)] : m_shown.rpm[static_cast<size_t>(column)];
    return {xOf(x), yOf(m_shown.cells[static_cast<size_t>(row * kMapColumns + column)])};
}

std::optional<QPointF> CMapCurves::markerPoint() const
{
    if (!m_point)
        return std::nullopt;
    const CSettingsRecord& record = m_edited.record();
    const double angle = advanceAt(record.advanceMap, mapPlace(record, m_point->first, m_point->second));
    return QPointF(xOf(m_againstMap ? m_point->second : m_point->first), yOf(angle));
}

void CMapCurves::paintEvent(QPaintEvent*)
{
    // What is drawn is what the map holds now, whichever widget painted first.
    Shown now = current();
    const qreal ratio = devicePixelRatioF();
    if (!m_pictureValid || now != m_shown || m_picture.size() != size() * ratio) {
        m_shown = now;
        m_picture = QPixmap(size() * ratio);
        m_picture.setDevicePixelRatio(ratio);
        QPainter picture(&m_picture);
        theme::paintGradient(picture, rect(), theme::chartTop(), theme::chartBottom(), 0.0);
        const QRectF plot = plotRect();
        picture.setPen(QPen(theme::chartGrid(), 1));
        picture.drawRect(plot.adjusted(0, 0, -1, -1));
        paintScale(picture, plot);
        picture.setRenderHint(QPainter::Antialiasing, true);
        picture.setClipRect(plot.adjusted(-4, -4, 4, 4));
        paintLines(picture);
        m_pictureValid = true;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
    painter.setRenderHint(QPainter::Antialiasing, true);
    paintMarker(painter);
}

void CMapCurves::paintLines(QPainter& painter) const
{
    const int lines = m_againstMap ? kMapColumns : kMapRows;
    const int points = m_againstMap ? kMapRows : kMapColumns;
    const auto isStrong = [this](int line) { return m_againstMap ? strongLine(line, 0) : strongLine(0, line); };
    int strongCount = 0;
    for (int line = 0; line < lines; ++line)
        strongCount += isStrong(line) ? 1 : 0;
    // Faint lines first, strong ones over them, each strong one in its own colour.
    for (const bool strong : {false, true}) {
        int rank = 0;
        for (int line = 0; line < lines; ++line) {
            if (isStrong(line) != strong)
                continue;
            QPainterPath path;
            for (int k = 0; k < points; ++k) {
                const QPointF p = m_againstMap ? cellPoint(line, k) : cellPoint(k, line);
                k == 0 ? path.moveTo(p) : path.lineTo(p);
            }
            const QColor color = strong ? strongColor(rank++, strongCount) : kFaint;
            QPen pen(color, strong ? 2.0 : 1.0);
            pen.setCosmetic(true);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(path);
            if (strong) {
                painter.setBrush(color);
                painter.setPen(Qt::NoPen);
                for (int k = 0; k < points; ++k)
                    painter.drawEllipse(m_againstMap ? cellPoint(line, k) : cellPoint(k, line), 2.2, 2.2);
            }
        }
    }
}

void CMapCurves::paintMarker(QPainter& painter) const
{
    const auto marker = markerPoint();
    if (!marker)
        return;
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(QColor(170, 0, 0));
    painter.drawEllipse(*marker, 5, 5);
}

void CMapCurves::paintScale(QPainter& painter, const QRectF& plot) const
{
    QFont font = theme::baseFont(static_cast<int>(std::clamp(height() / 14.0, 9.0, 12.0)));
    painter.setFont(font);
    painter.setPen(theme::chartScaleText());
    const double* axis = m_againstMap ? m_shown.map.data() : m_shown.rpm.data();
    const int count = m_againstMap ? kMapRows : kMapColumns;
    const int decimals = m_againstMap ? 2 : 0;
    const QString low = QString::fromStdString(formatFixed(axis[0], decimals));
    const QString high = QString::fromStdString(formatFixed(axis[count - 1], decimals));
    const QRectF below(plot.left(), plot.bottom() + 1, plot.width(), height() - plot.bottom() - 1);
    painter.drawText(below, Qt::AlignLeft | Qt::AlignTop, low);
    painter.drawText(below, Qt::AlignRight | Qt::AlignTop, high);
    painter.drawText(below, Qt::AlignHCenter | Qt::AlignTop, m_againstMap ? QStringLiteral("MAP [V]") : QStringLiteral("RPM"));
    const QRectF beside(0, plot.top() - 6, plot.left() - 3, plot.height() + 12);
    painter.drawText(beside, Qt::AlignRight | Qt::AlignTop, QString::fromStdString(formatFixed(m_shown.highest, 0)) + QStringLiteral("°"));
    painter.drawText(beside, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0°"));
    const QRectF title(plot.left(), 0, plot.width(), plot.top());
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(toQString(translateText(L"Kąt wyprzedzenia")), Qt::ElideRight,
                                                      static_cast<int>(title.width())));
}
