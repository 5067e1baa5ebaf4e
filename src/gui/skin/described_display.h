// A labelled value field: the label on the left part, the value on the right, in a blue gradient box.
#pragma once

#include "gui/skin/text_fit.h"

#include <QColor>
#include <QWidget>

#include <string>

class CGDIpDescribedDisplay : public QWidget, public ITextBoxes, public IRoleFonts {
    Q_OBJECT
  public:
    // Text-format flags of the label, as the pages pass them (single line, centred, ellipsis).
    static constexpr unsigned kFormatVCenter = 0x4;
    static constexpr unsigned kFormatSingleLine = 0x20;
    static constexpr unsigned kFormatEndEllipsis = 0x8000;

    explicit CGDIpDescribedDisplay(QWidget* parent = nullptr);

    void setLabelText(const std::wstring& text);
    std::wstring labelText() const { return m_label; }
    void setValueText(const std::wstring& text);
    std::wstring valueText() const { return m_value; }

    // Share of the width given to the label (0.65 puts the value in the right third).
    void setRatio(double ratio);
    double ratio() const { return m_ratio; }
    void setLabelFormat(unsigned flags);
    unsigned labelFormat() const { return m_format; }
    // The gradient's top and bottom colours.
    void setColors(const QColor& top, const QColor& bottom);
    QColor colorTop() const { return m_top; }
    QColor colorBottom() const { return m_bottom; }
    // Takes every style value of another display (ratio, format, colours), keeping its own texts.
    void copyStyle(const CGDIpDescribedDisplay& other);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The label in the page's text font, the value in its value font; each fitted to its part.
    void setRoleFonts(const CRoleFonts& fonts) override;
    // The label's box first, then the value's.
    std::vector<CTextBox> textBoxes() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRectF frameBox() const;
    void textsChanged();

    std::wstring m_label;
    std::wstring m_value;
    double m_ratio = 0.5;
    unsigned m_format = kFormatEndEllipsis | kFormatSingleLine | kFormatVCenter;
    QColor m_top;
    QColor m_bottom;
    CRoleFonts m_fonts;
};
