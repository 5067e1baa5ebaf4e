// Texts that hold in their controls: what a control draws (the whole text, its font and the box it
// is drawn into), the fitting of a font to a box (one line, else wrapped, else smaller down to a
// legible floor) and the tool tip with the whole text where even the floor must shorten it.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

#include <vector>

class QWidget;

// One text as a control draws it; text is always the whole text, never its shortened form.
struct CTextBox {
    QString text;
    QFont font;
    QRectF box;
    bool wrap = false; // may break into lines when one line is too wide
};

// A control that draws its texts itself says where, so that its texts can be checked and tipped.
class ITextBoxes {
  public:
    virtual ~ITextBoxes() = default;
    virtual std::vector<CTextBox> textBoxes() const = 0;
};

// The three sizes a page's texts take: ordinary texts, small texts (chart scales, the version) and
// the values of the displays.
struct CRoleFonts {
    QFont text;
    QFont small;
    QFont value;
};

// A control whose texts take more than its one font.
class IRoleFonts {
  public:
    virtual ~IRoleFonts() = default;
    virtual void setRoleFonts(const CRoleFonts& fonts) = 0;
};

namespace textfit {

// Below this a text is no longer read at a glance in a workshop.
constexpr int kFloorPixels = 10;

bool fits(const QString& text, const QFont& font, const QRectF& box, bool wrap);
// The wanted font, or the largest smaller one down to the floor, in which text holds in box;
// the floor when none does.
QFont fitted(const QString& text, QFont wanted, const QRectF& box, bool wrap, int floorPixels = kFloorPixels);
// For a label of one line: the font in which text holds on one line (a little smaller if need
// be), else on two lines (wrap set), else the floor on one line.
QFont fittedOneOrTwoLines(const QString& text, const QFont& wanted, const QRectF& box, bool& wrap);
// The box's text as it is drawn: whole when it holds, else shortened with an end ellipsis.
QString shown(const CTextBox& box);
// Draw flags for a box (alignment plus the wrap or single-line flag).
int drawFlags(const CTextBox& box, int alignment);
// Gives control a tool tip with the whole text of every box that must be shortened, and takes
// back a tip it gave earlier when all texts hold again.
void tipWhenShortened(QWidget* control, const std::vector<CTextBox>& boxes);
// Every text a widget shows: the boxes of a control that draws its own; for Qt's labels, buttons,
// check boxes and combo boxes, the box their style draws the text into. Empty for other widgets.
std::vector<CTextBox> textBoxesOf(const QWidget* widget);

} // namespace textfit
