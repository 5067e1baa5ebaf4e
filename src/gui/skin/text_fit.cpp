#include "gui/skin/text_fit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTextDocument>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

// Marks a tool tip given by tipWhenShortened, so that one set by the page itself is never taken.
const char* const kTipProperty = "doravineShortenedTip";

QRectF labelTextBox(const QLabel& label)
{
    const int indent = label.indent() < 0 ? 0 : label.indent();
    return QRectF(label.contentsRect()).adjusted(label.margin() + indent, label.margin(), -label.margin(),
                                                 -label.margin());
}

std::vector<CTextBox> labelBoxes(const QLabel& label)
{
    if (label.text().isEmpty() || !label.pixmap().isNull())
        return {};
    const QRectF box = labelTextBox(label);
    if (label.textFormat() == Qt::RichText || (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()))) {
        // Rich text: the box is measured as a document laid out over the label's width.
        QTextDocument doc;
        doc.setDefaultFont(label.font());
        doc.setDocumentMargin(0);
        doc.setHtml(label.text());
        return {{doc.toPlainText(), label.font(), box, label.wordWrap()}};
    }
    return {{label.text(), label.font(), box, label.wordWrap()}};
}

std::vector<CTextBox> buttonBoxes(const QAbstractButton& button)
{
    if (button.text().isEmpty())
        return {};
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(&button))
        element = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton*>(&button))
        element = QStyle::SE_RadioButtonContents;
    const QRectF box = button.style()->subElementRect(element, &option, &button);
    return {{button.text(), button.font(), box, false}};
}

std::vector<CTextBox> comboBoxes(const QComboBox& combo)
{
    if (combo.currentText().isEmpty())
        return {};
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    const QRectF box = combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo);
    return {{combo.currentText(), combo.font(), box, false}};
}

} // namespace

namespace textfit {

bool fits(const QString& text, const QFont& font, const QRectF& box, bool wrap)
{
    // A text without wrap may still hold line breaks of its own: measured as drawn, line by line.
    const QRectF needed =
        QFontMetricsF(font).boundingRect(QRectF(0, 0, box.width(), 1e6), wrap ? Qt::TextWordWrap : 0, text);
    return needed.width() <= box.width() + 0.5 && needed.height() <= box.height() + 0.5;
}

QFont fitted(const QString& text, QFont wanted, const QRectF& box, bool wrap, int floorPixels)
{
    int pixels = std::max(wanted.pixelSize(), 1);
    while (pixels > floorPixels && !fits(text, wanted, box, wrap)) {
        --pixels;
        wanted.setPixelSize(pixels);
    }
    return wanted;
}

QString shown(const CTextBox& box)
{
    if (fits(box.text, box.font, box.box, box.wrap))
        return box.text;
    if (!box.wrap)
        return QFontMetricsF(box.font).elidedText(box.text, Qt::ElideRight, box.box.width());
    // Wrapped: as many whole lines as the box holds, the last one shortened.
    const QFontMetricsF fm(box.font);
    const int lines = std::max(1, static_cast<int>(box.box.height() / fm.lineSpacing()));
    QString kept;
    QString rest = box.text;
    for (int i = 0; i < lines - 1 && !rest.isEmpty(); ++i) {
        int cut = static_cast<int>(rest.size());
        while (cut > 0 && fm.horizontalAdvance(rest.left(cut)) > box.box.width())
            cut = static_cast<int>(rest.lastIndexOf(QLatin1Char(' '), cut - 1));
        if (cut <= 0)
            break;
        kept += rest.left(cut) + QLatin1Char('\n');
        rest = rest.mid(cut + 1);
    }
    return kept + fm.elidedText(rest, Qt::ElideRight, box.box.width());
}

int drawFlags(const CTextBox& box, int alignment)
{
    return alignment | (box.wrap ? Qt::TextWordWrap : 0);
}

QFont fittedOneOrTwoLines(const QString& text, const QFont& wanted, const QRectF& box, bool& wrap)
{
    // One line, a little smaller if need be; else two lines; else the floor on one line, shortened.
    wrap = false;
    const QFont one = fitted(text, wanted, box, false, std::max(kFloorPixels, wanted.pixelSize() * 3 / 4));
    if (fits(text, one, box, false))
        return one;
    const QFont two = fitted(text, wanted, box, true);
    if (fits(text, two, box, true) && text.contains(QLatin1Char(' '))) {
        wrap = true;
        return two;
    }
    return fitted(text, wanted, box, false);
}

void tipWhenShortened(QWidget* control, const std::vector<CTextBox>& boxes)
{
    QStringList whole;
    for (const CTextBox& b : boxes) {
        if (!fits(b.text, b.font, b.box, b.wrap))
            whole << b.text;
    }
    const bool ours = control->property(kTipProperty).toBool();
    if (whole.isEmpty()) {
        if (ours) {
            control->setToolTip(QString());
            control->setProperty(kTipProperty, false);
        }
        return;
    }
    if (!control->toolTip().isEmpty() && !ours)
        return;
    control->setToolTip(whole.join(QLatin1Char('\n')));
    control->setProperty(kTipProperty, true);
}

std::vector<CTextBox> textBoxesOf(const QWidget* widget)
{
    if (const auto* own = dynamic_cast<const ITextBoxes*>(widget))
        return own->textBoxes();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return labelBoxes(*label);
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return buttonBoxes(*button);
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return comboBoxes(*combo);
    return {};
}

} // namespace textfit
