#include "gui/shell/about_dlg.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/statics.h"

namespace {
const std::wstring kAccessCode = L"60418273";
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : CSkinDlg(QSize(230, 104), parent), m_version(new CTransparentStatic(this)),
      m_hint(new CTransparentStatic(this)), m_code(new CGDIpGradientEdit(this)),
      m_ok(new CGDIpGradientButton(this))
{
    setWindowTitle(QString::fromStdWString(translateText(L"About Doravine")));
    m_version->setCaption(translateText(L"Doravine, Version 1.55"));
    QFont bold = m_version->font();
    bold.setBold(true);
    m_version->setFont(bold);
    m_hint->setCaption(translateText(L"Wprowadź hasło by zobaczyć opcje zaawansowane"));
    m_ok->setCaption(L"OK");
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);

    placeControl(m_version, 12, 8, 206, 16);
    placeControl(m_hint, 12, 28, 206, 22);
    placeControl(m_code, 12, 54, 206, 16);
    placeControl(m_ok, 168, 80, 50, 16);

    connect(m_ok, &QPushButton::clicked, this, &CAboutDlg::onOk);
    m_code->setFocus();
}

bool CAboutDlg::isAccessCode(const std::wstring& text)
{
    return text == kAccessCode;
}

void CAboutDlg::onOk()
{
    const std::wstring code = m_code->caption();
    if (code.empty()) {
        accept();
        return;
    }
    if (isAccessCode(code)) {
        if (m_reveal)
            m_reveal();
        emit hiddenTabsRevealed();
    } else {
        userInteraction().showMessage(translateText(L"Hasło nieprawidłowe"), MessageIcon::Error);
    }
    accept();
}
