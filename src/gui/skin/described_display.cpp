#include "gui/skin/described_display.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

CGDIpDescribedDisplay::CGDIpDescribedDisplay(QWidget* parent)
    : QWidget(parent), m_top(theme::displayTop()), m_bottom(theme::displayBottom())
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    m_fonts = {theme::baseFont(12), theme::baseFont(10), theme::baseFont(14)};
}

void CGDIpDescribedDisplay::setLabelText(const std::wstring& text)
{
    if (text == m_label)
        return;
    m_label = text;
    setAccessibleName(toQString(text));
    textsChanged();
}

void CGDIpDescribedDisplay::setValueText(const std::wstring& text)
{
    // Pages set the same value ten times a second; repaint only on a change.
    if (text == m_value)
        return;
    m_value = text;
    setAccessibleDescription(toQString(text));
    textsChanged();
}

void CGDIpDescribedDisplay::setRatio(double ratio)
{
    m_ratio = std::clamp(ratio, 0.0, 1.0);
    textsChanged();
}

void CGDIpDescribedDisplay::setLabelFormat(unsigned flags)
{
    m_format = flags;
    textsChanged();
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
    textsChanged();
}

void CGDIpDescribedDisplay::setRoleFonts(const CRoleFonts& fonts)
{
    m_fonts = fonts;
    textsChanged();
}

QSize CGDIpDescribedDisplay::sizeHint() const
{
    return {240, 40};
}

QSize CGDIpDescribedDisplay::minimumSizeHint() const
{
    return {80, 20};
}

void CGDIpDescribedDisplay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    textsChanged();
}

void CGDIpDescribedDisplay::textsChanged()
{
    textfit::tipWhenShortened(this, textBoxes());
    update();
}

QRectF CGDIpDescribedDisplay::frameBox() const
{
    return QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
}

std::vector<CTextBox> CGDIpDescribedDisplay::textBoxes() const
{
    const QRectF box = frameBox();
    const double pad = std::clamp(box.height() * 0.30, 4.0, 14.0);
    const double split = box.left() + box.width() * m_ratio;
    const QRectF labelBox(box.left() + pad, box.top(), std::max(0.0, split - box.left() - pad * 1.5),
                          box.height());
    const QRectF valueBox(split + pad * 0.5, box.top(), std::max(0.0, box.right() - split - pad * 1.5),
                          box.height());
    // The page's fonts, never taller than the box's share: a flat display keeps its margins.
    auto capped = [&](QFont font, double share, bool bold) {
        font.setBold(bold);
        font.setPixelSize(std::max(textfit::kFloorPixels,
                                   std::min(font.pixelSize(), static_cast<int>(box.height() * share))));
        return font;
    };
    const QString label = toQString(m_label);
    const QString value = toQString(m_value);
    bool wrap = true;
    QFont labelFont = capped(m_fonts.text, 0.42, false);
    const QFont wantedValue = capped(m_fonts.value, 0.5, true);
    labelFont = (m_format & kFormatSingleLine) ? textfit::fittedOneOrTwoLines(label, labelFont, labelBox, wrap)
                                               : textfit::fitted(label, labelFont, labelBox, true);
    // A long value takes a smaller font rather than being cut.
    const QFont valueFont = textfit::fitted(value, wantedValue, valueBox, false);
    const bool sideBySide = textfit::fits(label, labelFont, labelBox, wrap) && textfit::fits(value, valueFont, valueBox, false);
    QFont floor = m_fonts.text;
    floor.setPixelSize(textfit::kFloorPixels);
    if (sideBySide || box.height() < 2 * QFontMetricsF(floor).height() + 4)
        return {{label, labelFont, labelBox, wrap}, {value, valueFont, valueBox, false}};
    // A narrow display that is tall enough: the label above, the value under it.
    const QRectF top(box.left() + pad, box.top() + 2, box.width() - 2 * pad, box.height() / 2 - 2);
    const QRectF bottom(top.left(), box.center().y(), top.width(), box.height() / 2 - 2);
    return {{label, textfit::fitted(label, labelFont, top, false), top, false},
            {value, textfit::fitted(value, wantedValue, bottom, false), bottom, false}};
}

void CGDIpDescribedDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF box = frameBox();
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

    // A faint divider between label and value, when both parts have room side by side.
    const std::vector<CTextBox> texts = textBoxes();
    const double split = box.left() + box.width() * m_ratio;
    if (m_ratio > 0.05 && m_ratio < 0.95 && texts[1].box.top() < texts[0].box.bottom() - 1) {
        painter.setPen(QPen(QColor(255, 255, 255, 50), 1.0));
        painter.drawLine(QPointF(split, box.top() + box.height() * 0.22),
                         QPointF(split, box.bottom() - box.height() * 0.22));
    }

    const int labelAlign = Qt::AlignLeft | ((m_format & kFormatVCenter) ? Qt::AlignVCenter : Qt::AlignTop);
    painter.setFont(texts[0].font);
    painter.setPen(QColor(226, 234, 246));
    painter.drawText(texts[0].box, textfit::drawFlags(texts[0], labelAlign), textfit::shown(texts[0]));
    painter.setFont(texts[1].font);
    painter.setPen(Qt::white);
    painter.drawText(texts[1].box, textfit::drawFlags(texts[1], Qt::AlignRight | Qt::AlignVCenter),
                     textfit::shown(texts[1]));
}
