// Labels: a plain label over the page's panel, and a heading drawn on a gradient.
#pragma once

#include <QColor>
#include <QLabel>

#include <array>
#include <string>

// One line by default; a longer instruction text turns word wrap on.
class CTransparentStatic : public QLabel {
    Q_OBJECT
  public:
    explicit CTransparentStatic(QWidget* parent = nullptr);
    CTransparentStatic(const std::wstring& caption, QWidget* parent = nullptr);

    void setCaption(const std::wstring& caption);
    std::wstring caption() const;
};

// A heading: text on a horizontal band that fades out towards both ends.
class CGDIpStatic : public QWidget {
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

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::wstring m_caption;
    std::array<double, 4> m_proportions{0.15, 0.15, 0.15, 0.15};
    QColor m_text;
    QColor m_underline;
    QColor m_band;
};
