#include "gui/skin/image_check_box.h"

#include "gui/skin/qt_text.h"

std::wstring CImageCheckBox::m_sSkins;

CImageCheckBox::CImageCheckBox(QWidget* parent) : QCheckBox(parent) {}

CImageCheckBox::CImageCheckBox(const std::wstring& caption, QWidget* parent) : QCheckBox(parent)
{
    setCaption(caption);
}

void CImageCheckBox::setCaption(const std::wstring& caption)
{
    setText(toQString(caption));
}

std::wstring CImageCheckBox::caption() const
{
    return toWString(text());
}
