#include "gui/skin/str_value_combo.h"

#include "gui/skin/qt_text.h"

#include <cmath>

CGDIpGradientComboBox::CGDIpGradientComboBox(QWidget* parent) : QComboBox(parent) {}

std::wstring CGDIpGradientComboBox::selectedText() const
{
    return toWString(currentText());
}

CStrValueCmbBox::CStrValueCmbBox(QWidget* parent) : CGDIpGradientComboBox(parent) {}

int CStrValueCmbBox::addItem(int precision, double value, const std::wstring& text)
{
    const int index = static_cast<int>(m_values.size());
    m_values[index] = CCmbBoxStrVal{value, text, precision};
    // Keep the list quiet while it grows: adding the first entry selects it, which is not a
    // choice of the user.
    const bool was = blockSignals(true);
    QComboBox::addItem(toQString(text));
    blockSignals(was);
    return index;
}

bool CStrValueCmbBox::selectValue(double value)
{
    for (const auto& [index, entry] : m_values) {
        if (entry.value == value) {
            setCurrentIndex(index);
            return true;
        }
    }
    return false;
}

double CStrValueCmbBox::selectedValue() const
{
    const CCmbBoxStrVal* e = entry(currentIndex());
    return e ? roundToPrecision(e->value, e->precision) : 0.0;
}

const CCmbBoxStrVal* CStrValueCmbBox::entry(int index) const
{
    const auto it = m_values.find(index);
    return it == m_values.end() ? nullptr : &it->second;
}

void CStrValueCmbBox::clearItems()
{
    m_values.clear();
    const bool was = blockSignals(true);
    clear();
    blockSignals(was);
}

double CStrValueCmbBox::roundToPrecision(double v, int precision)
{
    switch (precision) {
    case 0:
        return std::round(v); // halves away from zero
    case 1:
    case 2: {
        // Halves away from zero on both sides of zero: a plain floor would pull -1.2 down to -1.3.
        const double scale = precision == 1 ? 10.0 : 100.0;
        const double half = 0.5 / scale;
        return v >= 0.0 ? std::floor((v + half) * scale) / scale : std::ceil((v - half) * scale) / scale;
    }
    case 3:
        return std::floor((v + 0.0005) * 1000.0) / 1000.0;
    default:
        return v;
    }
}
