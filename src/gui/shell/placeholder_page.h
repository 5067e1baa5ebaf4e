// The place of a tab whose page is not part of this build yet: it shows the tab's title, follows
// the language and takes the page control's calls like any page.
#pragma once

#include "base/language.h"
#include "gui/skin/multi_page_dialog.h"

#include <string>

class CGDIpStatic;

class CPlaceholderPage : public CGDIpMultiPageDialog, public IMultilangGUI {
    Q_OBJECT
  public:
    // titleKey: the tab's Polish title (a TR_KEY literal).
    CPlaceholderPage(const wchar_t* titleKey, QSize templateSize, QWidget* parent = nullptr);

    void v_init() override;
    void onLanguageChange() override;
    std::wstring heading() const;

  private:
    const wchar_t* m_titleKey;
    CGDIpStatic* m_heading;
};
