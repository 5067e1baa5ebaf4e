// A check box; the skins folder names where a skin's images would be found.
#pragma once

#include <QCheckBox>

#include <string>

class CImageCheckBox : public QCheckBox {
    Q_OBJECT
  public:
    explicit CImageCheckBox(QWidget* parent = nullptr);
    CImageCheckBox(const std::wstring& caption, QWidget* parent = nullptr);

    void setCaption(const std::wstring& caption);
    std::wstring caption() const;

    // Folder of the skins, relative to the program (set by the main frame at start-up).
    static std::wstring m_sSkins;
};
