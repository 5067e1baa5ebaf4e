#include "gui/skin/multi_page_dialog.h"

#include "gui/skin/theme.h"

#include <QResizeEvent>

CGDIpMultiPageDialog::CGDIpMultiPageDialog(QSize templateSize, QWidget* parent)
    : QWidget(parent), m_layout(templateSize)
{
    // The page control paints the panel behind the page; the page only holds controls.
    setAutoFillBackground(false);
}

void CGDIpMultiPageDialog::initialiseOnce()
{
    if (m_initialised)
        return;
    m_initialised = true;
    v_init();
}

void CGDIpMultiPageDialog::placeControl(QWidget* control, int x, int y, int width, int height)
{
    if (control->parentWidget() != this)
        control->setParent(this);
    m_layout.place(control, x, y, width, height);
    control->setGeometry(m_layout.map(QRect(x, y, width, height), size()));
}

void CGDIpMultiPageDialog::setRoleFonts(const CRoleFonts& fonts)
{
    m_layout.setFonts(fonts);
    setFont(theme::baseFont(fonts.text.pixelSize()));
    m_layout.apply(size());
}

void CGDIpMultiPageDialog::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setFont(theme::baseFont(m_layout.fonts(size()).text.pixelSize()));
    m_layout.apply(size());
}
