#include "gui/skin/statics.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

CTransparentStatic::CTransparentStatic(QWidget* parent) : QLabel(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_wanted = font();
}

CTransparentStatic::CTransparentStatic(const std::wstring& caption, QWidget* parent)
    : CTransparentStatic(parent)
{
    setCaption(caption);
}

void CTransparentStatic::setCaption(const std::wstring& caption)
{
    setText(toQString(caption));
    refit();
}

void CTransparentStatic::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange && !m_fitting) {
        m_wanted = font();
        refit();
    }
}

void CTransparentStatic::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    refit();
}

void CTransparentStatic::refit()
{
    const std::vector<CTextBox> boxes = textfit::textBoxesOf(this);
    if (boxes.empty())
        return;
    CTextBox box = boxes.front();
    const QFont f = textfit::fitted(box.text, m_wanted, box.box, box.wrap);
    if (f != font()) {
        m_fitting = true;
        setFont(f);
        m_fitting = false;
    }
    box.font = f;
    textfit::tipWhenShortened(this, {box});
}

std::wstring CTransparentStatic::caption() const
{
    return toWString(text());
}

CGDIpStatic::CGDIpStatic(QWidget* parent)
    : QWidget(parent), m_text(Qt::white), m_underline(Qt::white), m_band(theme::tabBottom())
{
}

void CGDIpStatic::setCaption(const std::wstring& caption)
{
    m_caption = caption;
    textfit::tipWhenShortened(this, textBoxes());
    update();
}

void CGDIpStatic::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    textfit::tipWhenShortened(this, textBoxes());
}

std::vector<CTextBox> CGDIpStatic::textBoxes() const
{
    const QRectF box = QRectF(rect()).adjusted(height() * 0.35, 0, -4, 0);
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(std::max(textfit::kFloorPixels, std::min(f.pixelSize(), static_cast<int>(box.height() * 0.6))));
    bool wrap = false;
    const QString caption = toQString(m_caption);
    f = textfit::fittedOneOrTwoLines(caption, f, box, wrap);
    return {{caption, f, box, wrap}};
}

void CGDIpStatic::setGradientProportions(const std::array<double, 4>& proportions)
{
    m_proportions = proportions;
    update();
}

void CGDIpStatic::setColors(const QColor& text, const QColor& underline)
{
    m_text = text;
    m_underline = underline;
    update();
}

void CGDIpStatic::setBandColor(const QColor& color)
{
    m_band = color;
    update();
}

void CGDIpStatic::copyStyle(const CGDIpStatic& other)
{
    m_proportions = other.m_proportions;
    m_text = other.m_text;
    m_underline = other.m_underline;
    m_band = other.m_band;
    update();
}

QSize CGDIpStatic::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(toQString(m_caption)) + 24, fm.height() + 10};
}

void CGDIpStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box = rect();
    // The band is solid in the middle and fades to nothing at the ends.
    QLinearGradient band(box.topLeft(), box.topRight());
    QColor clear = m_band;
    clear.setAlpha(0);
    const double fadeIn = std::clamp(m_proportions[0], 0.0, 0.49);
    const double fadeOut = std::clamp(m_proportions[1], 0.0, 0.49);
    band.setColorAt(0.0, m_band);
    band.setColorAt(std::max(fadeIn, 1.0 - 2 * fadeOut), m_band);
    band.setColorAt(1.0, clear);
    painter.fillRect(box, band);
    QLinearGradient line(box.topLeft(), box.topRight());
    QColor lineColor = m_underline;
    lineColor.setAlpha(150);
    QColor lineClear = lineColor;
    lineClear.setAlpha(0);
    line.setColorAt(0.0, lineColor);
    line.setColorAt(1.0, lineClear);
    painter.fillRect(QRectF(box.left(), box.bottom() - 1.0, box.width(), 1.5), line);

    const CTextBox caption = textBoxes().front();
    painter.setFont(caption.font);
    painter.setPen(m_text);
    painter.drawText(caption.box, textfit::drawFlags(caption, Qt::AlignLeft | Qt::AlignVCenter), textfit::shown(caption));
}
