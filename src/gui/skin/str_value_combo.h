// Drop-down lists: the gradient combo box and the list that maps each entry to a number.
#pragma once

#include <QComboBox>

#include <map>
#include <string>

class CGDIpGradientComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit CGDIpGradientComboBox(QWidget* parent = nullptr);

    std::wstring selectedText() const;
};

// One entry's number, its text and how the number is rounded when read back.
struct CCmbBoxStrVal {
    double value = 0.0;
    std::wstring text;
    int precision = 0; // 0 whole number, 1..3 decimals
};

class CStrValueCmbBox : public CGDIpGradientComboBox {
    Q_OBJECT
  public:
    explicit CStrValueCmbBox(QWidget* parent = nullptr);

    // Appends an entry; its index is the number of entries before it.
    int addItem(int precision, double value, const std::wstring& text);
    // Selects the lowest-index entry holding exactly value; does nothing when none does.
    bool selectValue(double value);
    // The selected entry's value rounded by its precision; 0.0 when nothing is selected.
    double selectedValue() const;
    bool hasSelection() const { return currentIndex() >= 0; }
    const CCmbBoxStrVal* entry(int index) const;
    void clearItems();

    // The rounding applied by selectedValue, for a value of the given precision.
    static double roundToPrecision(double value, int precision);

  private:
    std::map<int, CCmbBoxStrVal> m_values;
};
