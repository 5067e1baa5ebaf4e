#include "gui/shell/placeholder_page.h"

#include "gui/skin/statics.h"

CPlaceholderPage::CPlaceholderPage(const wchar_t* titleKey, QSize templateSize, QWidget* parent)
    : CGDIpMultiPageDialog(templateSize, parent), m_titleKey(titleKey), m_heading(new CGDIpStatic(this))
{
    // The heading spans the page whatever the shape of the template it stands in for.
    templateLayout().setStretch(true);
    placeControl(m_heading, 7, 10, templateSize.width() - 14, 20);
}

void CPlaceholderPage::v_init()
{
    CGDIpMultiPageDialog::v_init();
    m_heading->setGradientProportions({0.15, 0.15, 0.15, 0.15});
    m_heading->setColors(Qt::white, Qt::white);
    onLanguageChange();
}

void CPlaceholderPage::onLanguageChange()
{
    m_heading->setCaption(translateText(m_titleKey));
}

std::wstring CPlaceholderPage::heading() const
{
    return m_heading->caption();
}
