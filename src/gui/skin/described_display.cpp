#include "gui/skin/described_display.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

CGDIpDescribedDisplay::CGDIpDescribedDisplay(QWidget* parent)
    : QWidget(parent), m_top(theme::displayTop()), m_bottom(theme::displayBottom())
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CGDIpDescribedDisplay::setLabelText(const std::wstring& text)
{
    if (text == m_label)
        return;
    m_label = text;
    setAccessibleName(toQString(text));
    update();
}

void CGDIpDescribedDisplay::setValueText(const std::wstring& text)
{
    // Pages set the same value ten times a second; repaint only on a change.
    if (text == m_value)
        return;
    m_value = text;
    setAccessibleDescription(toQString(text));
    update();
}

void CGDIpDescribedDisplay::setRatio(double ratio)
{
    m_ratio = std::clamp(ratio, 0.0, 1.0);
    update();
}

void CGDIpDescribedDisplay::setLabelFormat(unsigned flags)
{
    m_format = flags;
    update();
}

void CGDIpDescribedDisplay::setColors(const QColor& top, const QColor& bottom)
{
    m_top = top;
    m_bottom = bottom;
    update();
}

void CGDIpDescribedDisplay::copyStyle(const CGDIpDescribedDisplay& other)
{
    m_ratio = other.m_ratio;
    m_format = other.m_format;
    m_top = other.m_top;
    m_bottom = other.m_bottom;
    update();
}

QSize CGDIpDescribedDisplay::sizeHint() const
{
    return {240, 40};
}

QSize CGDIpDescribedDisplay::minimumSizeHint() const
{
    return {80, 20};
}

void CGDIpDescribedDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = std::clamp(box.height() * 0.14, 2.0, 8.0);
    theme::paintGradient(painter, box, m_top, m_bottom, radius);
    painter.setPen(QPen(m_bottom.darker(160), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box, radius, radius);
    // A soft sheen on the upper half, as on the tab buttons.
    QLinearGradient sheen(box.topLeft(), QPointF(box.left(), box.center().y()));
    sheen.setColorAt(0.0, QColor(255, 255, 255, 46));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sheen);
    painter.drawRoundedRect(QRectF(box.left() + 1, box.top() + 1, box.width() - 2, box.height() / 2), radius,
                            radius);

    const double pad = std::clamp(box.height() * 0.30, 4.0, 14.0);
    const double split = box.left() + box.width() * m_ratio;
    const QRectF labelBox(box.left() + pad, box.top(), std::max(0.0, split - box.left() - pad * 1.5),
                          box.height());
    const QRectF valueBox(split + pad * 0.5, box.top(), std::max(0.0, box.right() - split - pad * 1.5),
                          box.height());

    // A faint divider between label and value, when both parts have room.
    if (m_ratio > 0.05 && m_ratio < 0.95) {
        painter.setPen(QPen(QColor(255, 255, 255, 50), 1.0));
        painter.drawLine(QPointF(split, box.top() + box.height() * 0.22),
                         QPointF(split, box.bottom() - box.height() * 0.22));
    }

    const QFont labelFont = theme::fittedFont(box.height(), 0.36, false, 10);
    QFont valueFont = theme::fittedFont(box.height(), 0.44, true, 11);
    // A long value shrinks to fit rather than being cut, down to a legible minimum.
    const QString value = toQString(m_value);
    while (valueFont.pixelSize() > 10 &&
           QFontMetricsF(valueFont).horizontalAdvance(value) > valueBox.width() - 1.0)
        valueFont.setPixelSize(valueFont.pixelSize() - 1);

    int align = Qt::AlignLeft;
    align |= (m_format & kFormatVCenter) ? Qt::AlignVCenter : Qt::AlignTop;
    const bool singleLine = (m_format & kFormatSingleLine) != 0;
    painter.setFont(labelFont);
    painter.setPen(QColor(226, 234, 246));
    QString label = toQString(m_label);
    if (m_format & kFormatEndEllipsis)
        label = QFontMetrics(labelFont).elidedText(label, Qt::ElideRight, static_cast<int>(labelBox.width()));
    painter.drawText(labelBox, align | (singleLine ? Qt::TextSingleLine : Qt::TextWordWrap), label);

    painter.setFont(valueFont);
    painter.setPen(Qt::white);
    painter.drawText(
        valueBox, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetrics(valueFont).elidedText(value, Qt::ElideRight, static_cast<int>(valueBox.width())));
}
