// Push buttons drawn with a vertical gradient, and the tab buttons of the page control.
#pragma once

#include "gui/skin/text_fit.h"

#include <QColor>
#include <QPushButton>

#include <array>
#include <string>

class CGDIpGradientButton : public QPushButton, public ITextBoxes {
    Q_OBJECT
  public:
    explicit CGDIpGradientButton(QWidget* parent = nullptr);
    CGDIpGradientButton(const std::wstring& caption, QWidget* parent = nullptr);

    void setCaption(const std::wstring& caption);
    std::wstring caption() const;

    // Gradient of the resting button and of the button under the mouse.
    void setColors(const QColor& top, const QColor& bottom, const QColor& hoverTop,
                   const QColor& hoverBottom);
    void setTextColor(const QColor& color);
    QColor colorTop() const { return m_top; }
    QColor colorBottom() const { return m_bottom; }
    QColor hoverTop() const { return m_hoverTop; }
    QColor hoverBottom() const { return m_hoverBottom; }
    QColor textColor() const { return m_text; }
    // Takes every style value of another button (colours and corner), not its text.
    void copyStyle(const CGDIpGradientButton& other);

    QSize sizeHint() const override;
    // The caption in the button's font, bold, on one line or two.
    std::vector<CTextBox> textBoxes() const override;

  protected:
    // The caption's box (the button less its side margins) and the share of its height the font may take.
    virtual QRectF captionBox() const;
    virtual double captionShare() const { return 0.45; }
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hovered() const { return m_hovered; }

    QColor m_top, m_bottom, m_hoverTop, m_hoverBottom, m_text;
    double m_cornerShare = 0.12;

  private:
    bool m_hovered = false;
};

// A tab button of the page control. Its hidden mark keeps it out of the tab row until cleared.
class CGDIpMultiPageGradientButton : public CGDIpGradientButton {
    Q_OBJECT
  public:
    explicit CGDIpMultiPageGradientButton(QWidget* parent = nullptr);

    // The tab style: three proportions, four further values and eight colours, in the order
    // resting top, resting bottom, resting text, hover text, active top, active bottom,
    // active text, disabled text.
    void setStyleValues(const std::array<double, 3>& proportions, const std::array<double, 4>& values,
                        const std::array<QColor, 8>& colors);
    const std::array<QColor, 8>& styleColors() const { return m_colors; }
    const std::array<double, 3>& proportions() const { return m_proportions; }
    void copyTabStyle(const CGDIpMultiPageGradientButton& other);

    void setHiddenMark(bool hidden) { m_hiddenMark = hidden; }
    bool hiddenMark() const { return m_hiddenMark; }

  protected:
    QRectF captionBox() const override;
    double captionShare() const override { return 0.5; }
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<double, 3> m_proportions{0.05, 0.1, 0.01};
    std::array<double, 4> m_values{0.3, 0.3, 0.3, 0.3};
    std::array<QColor, 8> m_colors;
    bool m_hiddenMark = false;
};
