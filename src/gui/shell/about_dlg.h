// The About box: the version, and the access-code field that reveals the hidden tabs.
#pragma once

#include "gui/shell/skin_dlg.h"

#include <functional>
#include <string>

class CGDIpGradientButton;
class CGDIpGradientEdit;
class CTransparentStatic;

class CAboutDlg : public CSkinDlg {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // Called when the right code is entered (the view reveals its hidden tabs).
    void setRevealHandler(std::function<void()> handler) { m_reveal = std::move(handler); }

    CGDIpGradientEdit* codeEdit() const { return m_code; }
    CGDIpGradientButton* okButton() const { return m_ok; }
    CTransparentStatic* hintText() const { return m_hint; }
    CTransparentStatic* versionText() const { return m_version; }

    // True when text is the access code (exact, case-sensitive).
    static bool isAccessCode(const std::wstring& text);

  signals:
    void hiddenTabsRevealed();

  private:
    void onOk();

    CTransparentStatic* m_version;
    CTransparentStatic* m_hint;
    CGDIpGradientEdit* m_code;
    CGDIpGradientButton* m_ok;
    std::function<void()> m_reveal;
};
