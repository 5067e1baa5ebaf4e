#include "gui/skin/gradient_button.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

CGDIpGradientButton::CGDIpGradientButton(QWidget* parent)
    : QPushButton(parent), m_top(theme::buttonTop()), m_bottom(theme::buttonBottom()),
      m_hoverTop(theme::buttonHoverTop()), m_hoverBottom(theme::buttonHoverBottom()), m_text(Qt::white)
{
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

CGDIpGradientButton::CGDIpGradientButton(const std::wstring& caption, QWidget* parent)
    : CGDIpGradientButton(parent)
{
    setCaption(caption);
}

void CGDIpGradientButton::setCaption(const std::wstring& caption)
{
    setText(toQString(caption));
    textfit::tipWhenShortened(this, textBoxes());
}

std::wstring CGDIpGradientButton::caption() const
{
    return toWString(text());
}

void CGDIpGradientButton::setColors(const QColor& top, const QColor& bottom, const QColor& hoverTop,
                                    const QColor& hoverBottom)
{
    m_top = top;
    m_bottom = bottom;
    m_hoverTop = hoverTop;
    m_hoverBottom = hoverBottom;
    update();
}

void CGDIpGradientButton::setTextColor(const QColor& color)
{
    m_text = color;
    update();
}

void CGDIpGradientButton::copyStyle(const CGDIpGradientButton& other)
{
    setColors(other.m_top, other.m_bottom, other.m_hoverTop, other.m_hoverBottom);
    m_text = other.m_text;
    m_cornerShare = other.m_cornerShare;
}

QSize CGDIpGradientButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 24, fm.height() + 12);
}

QRectF CGDIpGradientButton::captionBox() const
{
    return QRectF(rect()).adjusted(6.5, 0.5, -6.5, -0.5);
}

std::vector<CTextBox> CGDIpGradientButton::textBoxes() const
{
    const QRectF box = captionBox();
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(std::max(textfit::kFloorPixels, std::min(f.pixelSize(), static_cast<int>(box.height() * captionShare()))));
    bool wrap = false;
    f = textfit::fittedOneOrTwoLines(text(), f, box, wrap);
    return {{text(), f, box, wrap}};
}

void CGDIpGradientButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    textfit::tipWhenShortened(this, textBoxes());
}

bool CGDIpGradientButton::event(QEvent* event)
{
    // A new caption or font may no longer hold (a translation): the tip follows.
    if (event->type() == QEvent::FontChange)
        textfit::tipWhenShortened(this, textBoxes());
    return QPushButton::event(event);
}

void CGDIpGradientButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QPushButton::enterEvent(event);
}

void CGDIpGradientButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QPushButton::leaveEvent(event);
}

void CGDIpGradientButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = std::max(2.0, box.height() * m_cornerShare);

    QColor top = m_hovered ? m_hoverTop : m_top;
    QColor bottom = m_hovered ? m_hoverBottom : m_bottom;
    if (isDown() || isChecked())
        std::swap(top, bottom);
    if (!isEnabled()) {
        // A disabled button keeps its shape but loses its colour.
        top = QColor(168, 172, 178);
        bottom = QColor(140, 144, 150);
    }
    theme::paintGradient(painter, box, top, bottom, radius);
    painter.setPen(QPen(bottom.darker(140), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box, radius, radius);
    // A thin light line under the top edge gives the button its relief.
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
    painter.drawLine(QPointF(box.left() + radius, box.top() + 1.0),
                     QPointF(box.right() - radius, box.top() + 1.0));
    if (hasFocus()) {
        painter.setPen(QPen(QColor(255, 255, 255, 150), 1.0, Qt::DotLine));
        painter.drawRoundedRect(box.adjusted(2.5, 2.5, -2.5, -2.5), radius, radius);
    }

    const CTextBox caption = textBoxes().front();
    painter.setFont(caption.font);
    painter.setPen(isEnabled() ? m_text : QColor(235, 235, 235));
    painter.drawText(caption.box, textfit::drawFlags(caption, Qt::AlignCenter), textfit::shown(caption));
}

CGDIpMultiPageGradientButton::CGDIpMultiPageGradientButton(QWidget* parent) : CGDIpGradientButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setStyleValues({0.05, 0.1, 0.01}, {0.3, 0.3, 0.3, 0.3},
                   {theme::tabTop(), theme::tabBottom(), QColor(220, 220, 220), QColor(210, 210, 210),
                    theme::tabActiveTop(), theme::tabActiveBottom(), theme::tabText(), theme::tabText()});
}

void CGDIpMultiPageGradientButton::setStyleValues(const std::array<double, 3>& proportions,
                                                  const std::array<double, 4>& values,
                                                  const std::array<QColor, 8>& colors)
{
    m_proportions = proportions;
    m_values = values;
    m_colors = colors;
    setColors(colors[0], colors[1], colors[0].lighter(118), colors[1].lighter(118));
    setTextColor(colors[2]);
}

void CGDIpMultiPageGradientButton::copyTabStyle(const CGDIpMultiPageGradientButton& other)
{
    setStyleValues(other.m_proportions, other.m_values, other.m_colors);
}

void CGDIpMultiPageGradientButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, 0.0);
    const double radius = std::max(3.0, box.height() * 0.18);
    const bool active = isChecked();
    const QColor top = active ? m_colors[4] : (hovered() ? m_colors[0].lighter(125) : m_colors[0]);
    const QColor bottom = active ? m_colors[5] : (hovered() ? m_colors[1].lighter(125) : m_colors[1]);

    // Rounded on top only: the tab stands on the page panel below it.
    QPainterPath path;
    path.moveTo(box.bottomLeft());
    path.lineTo(box.left(), box.top() + radius);
    path.quadTo(box.topLeft(), QPointF(box.left() + radius, box.top()));
    path.lineTo(box.right() - radius, box.top());
    path.quadTo(box.topRight(), QPointF(box.right(), box.top() + radius));
    path.lineTo(box.bottomRight());
    path.closeSubpath();
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0.0, top);
    gradient.setColorAt(1.0, bottom);
    painter.setPen(QPen(bottom.darker(150), 1.0));
    painter.setBrush(gradient);
    painter.drawPath(path);
    if (active) {
        // A light bar marks the active tab even in grey-scale prints and for colour-blind users.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 200));
        painter.drawRect(QRectF(box.left() + radius, box.bottom() - 3.0, box.width() - 2 * radius, 3.0));
    }

    const CTextBox caption = textBoxes().front();
    painter.setFont(caption.font);
    painter.setPen(active ? m_colors[6] : (hovered() ? m_colors[3].lighter(110) : m_colors[2]));
    painter.drawText(caption.box, textfit::drawFlags(caption, Qt::AlignCenter), textfit::shown(caption));
}

QRectF CGDIpMultiPageGradientButton::captionBox() const
{
    return QRectF(rect()).adjusted(8.5, 0.5, -8.5, -2.0);
}
