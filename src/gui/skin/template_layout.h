// Places child controls from dialog-template coordinates (dialog units) and keeps them in
// proportion when the owner is resized, so a page designed for one size reads well at any size.
#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

class CTemplateLayout {
  public:
    // templateSize: the template's width and height in dialog units.
    explicit CTemplateLayout(QSize templateSize);

    // Remembers where a control sits in the template; it moves on every apply().
    void place(QWidget* control, int x, int y, int width, int height);
    void remove(const QWidget* control);
    // Moves every placed control for an owner of the given pixel size and gives it the font
    // that matches the scale (keeping its weight).
    void apply(QSize ownerSize);
    // Stretch: scale each axis on its own (for strips far flatter than the owner); the default
    // keeps one factor for both axes.
    void setStretch(bool stretch) { m_stretch = stretch; }

    // Pixels per dialog unit for an owner of the given size (the same on both axes).
    double scale(QSize ownerSize) const;
    // A template rectangle in pixels for an owner of the given size.
    QRect map(const QRect& templateRect, QSize ownerSize) const;
    // The pixel size of the font that matches the scale (a template's 8-point font).
    int fontPixels(QSize ownerSize) const;
    QSize templateSize() const { return m_templateSize; }

  private:
    struct Placed {
        QWidget* control;
        QRect rect;
    };
    double scaleX(QSize ownerSize) const;
    QSize m_templateSize;
    std::vector<Placed> m_placed;
    bool m_stretch = false;
};
