#include "gui/shell/skin_dlg.h"

#include "gui/skin/theme.h"

#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

CSkinDlg::CSkinDlg(QSize templateSize, QWidget* parent) : QDialog(parent), m_layout(templateSize)
{
    setFont(theme::baseFont(12));
    setAutoFillBackground(false);
    // The template's native size: 1.5 pixels per dialog unit, as an 8-point font gives at 96 dpi.
    // Over a large window it opens larger in proportion, so that its texts are not the only small ones.
    const double native = 1.5 * openingScale(parent);
    resize(static_cast<int>(std::lround(templateSize.width() * native)),
           static_cast<int>(std::lround(templateSize.height() * native)));
    setMinimumSize(static_cast<int>(templateSize.width() * 1.1),
                   static_cast<int>(templateSize.height() * 1.1));
    setStyleSheet(QStringLiteral("QToolTip { background: #ffffff; color: #0000c8; border: 1px solid #8a97ab;"
                                 " padding: 5px; }"));
}

double CSkinDlg::openingScale(const QWidget* parent)
{
    // 768 pixels: the height the templates' native size was made for.
    if (!parent)
        return 1.0;
    return std::clamp(parent->window()->height() / 768.0, 1.0, 2.0);
}

void CSkinDlg::placeControl(QWidget* control, int x, int y, int width, int height)
{
    if (control->parentWidget() != this)
        control->setParent(this);
    m_layout.place(control, x, y, width, height);
    control->setGeometry(m_layout.map(QRect(x, y, width, height), size()));
}

void CSkinDlg::setToolTipFor(QWidget* control, const std::wstring& text)
{
    // Rich text lets Qt wrap a long tip instead of running it across the screen.
    control->setToolTip(QStringLiteral("<p style='white-space:pre-wrap; max-width:400px'>%1</p>")
                            .arg(QString::fromStdWString(text).toHtmlEscaped()));
    control->setToolTipDuration(kToolTipMillis);
}

void CSkinDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    theme::paintGradient(painter, QRectF(rect()), theme::dialogTop(), theme::dialogBottom(), 0.0);
}

void CSkinDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    setFont(theme::baseFont(m_layout.fonts(size()).text.pixelSize()));
    m_layout.apply(size());
}
