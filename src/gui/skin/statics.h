// Labels: a plain label over the page's panel, and a heading drawn on a gradient.
#pragma once

#include "gui/skin/text_fit.h"

#include <QColor>
#include <QLabel>

#include <array>
#include <string>

// One line by default; a longer instruction text turns word wrap on. A text that does not hold
// in the font the page gives takes a smaller one, down to a legible floor, and beyond that shows
// its whole text in a tool tip.
class CTransparentStatic : public QLabel {
    Q_OBJECT
  public:
    explicit CTransparentStatic(QWidget* parent = nullptr);
    CTransparentStatic(const std::wstring& caption, QWidget* parent = nullptr);

    void setCaption(const std::wstring& caption);
    std::wstring caption() const;
    // The font the page gave, before any fitting.
    QFont wantedFont() const { return m_wanted; }

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void refit();

    QFont m_wanted;
    bool m_fitting = false;
};

// A heading: text on a horizontal band that fades out towards both ends.
class CGDIpStatic : public QWidget, public ITextBoxes {
    Q_OBJECT
  public:
    explicit CGDIpStatic(QWidget* parent = nullptr);

    void setCaption(const std::wstring& caption);
    std::wstring caption() const { return m_caption; }
    // Where the band fades out (shares of the width), and the colours of the text and its underline.
    void setGradientProportions(const std::array<double, 4>& proportions);
    void setColors(const QColor& text, const QColor& underline);
    void setBandColor(const QColor& color);
    void copyStyle(const CGDIpStatic& other);

    QSize sizeHint() const override;
    // The caption in the widget's font, bold.
    std::vector<CTextBox> textBoxes() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::wstring m_caption;
    std::array<double, 4> m_proportions{0.15, 0.15, 0.15, 0.15};
    QColor m_text;
    QColor m_underline;
    QColor m_band;
};
