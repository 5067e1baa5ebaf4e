// Places child controls from dialog-template coordinates (dialog units) and keeps them in
// proportion when the owner is resized, so a page designed for one size reads well at any size.
#pragma once

#include "gui/skin/text_fit.h"

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
    // Moves every placed control for an owner of the given pixel size and gives it the text font
    // (its size, keeping the control's family and weight); a control with more texts gets all three.
    void apply(QSize ownerSize);
    // The fonts of a page inside the window: they follow the window's height, not the template's
    // scale. Without them the fonts follow the scale (a dialog, a page on its own).
    void setFonts(const CRoleFonts& fonts);
    CRoleFonts fonts(QSize ownerSize) const;
    // Stretch: scale each axis on its own (for strips far flatter than the owner); the default
    // keeps one factor for both axes.
    void setStretch(bool stretch) { m_stretch = stretch; }
    // A page far taller than its template's proportions (a narrow column, the smallest window)
    // lets its controls grow in height, by up to this factor over the common one (1: never).
    void setTallStretch(double cap) { m_tallCap = cap; }

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
    double scaleY(QSize ownerSize) const;
    QSize m_templateSize;
    std::vector<Placed> m_placed;
    bool m_stretch = false;
    double m_tallCap = 1.0;
    bool m_hasFonts = false;
    CRoleFonts m_fonts;
};
