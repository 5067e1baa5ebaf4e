// The page control: a row of tab buttons over the tabbed pages, a column on the right for a page
// that stays visible whichever tab is active, and a strip along the bottom.
#pragma once

#include "gui/skin/gradient_button.h"
#include "gui/skin/multi_page_dialog.h"

#include <QRect>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

class CGDIpMultiPageCtrl : public QWidget, public ITextBoxes {
    Q_OBJECT
  public:
    explicit CGDIpMultiPageCtrl(QWidget* parent = nullptr);
    ~CGDIpMultiPageCtrl() override;

    // Adds a tabbed page (the control takes it as a child) and answers its tab index. The new tab
    // button copies the style of buttonTemplate when one is given. v_init runs on the page now.
    int insertPage(const std::wstring& title, CGDIpMultiPageDialog* page,
                   const CGDIpMultiPageGradientButton* buttonTemplate = nullptr);
    // The page in the right-hand column, always shown; its title heads the column.
    void insertRightPage(const std::wstring& title, CGDIpMultiPageDialog* page);
    // The strip along the bottom, always shown.
    void insertCenterBottomPage(const std::wstring& title, CGDIpMultiPageDialog* page);

    // Makes a tab the active one: v_deactivate on the old page, then v_activate on the new one.
    // Answers false for an index that is not a tab. Re-activating the active tab does nothing.
    bool activatePage(int tabIndex);
    CGDIpMultiPageDialog* activePage() const;
    int activeIndex() const { return m_active; }

    void setPageTitle(int tabIndex, const std::wstring& title);
    std::wstring pageTitle(int tabIndex) const;

    // Every page in the order of insertion: tabs, right page and bottom page alike.
    int pageCount() const { return static_cast<int>(m_pages.size()); }
    CGDIpMultiPageDialog* page(int index) const;

    int tabCount() const { return static_cast<int>(m_tabs.size()); }
    CGDIpMultiPageGradientButton* tabButton(int tabIndex) const;
    std::vector<CGDIpMultiPageGradientButton*> tabButtons() const;
    // Tabs whose button is not marked hidden.
    int visibleTabCount() const;
    // Clears the hidden mark of every tab button and lays the control out again.
    void showAllTabs();

    // Share of the width taken by the tabbed side, and of the height taken by the bottom strip.
    void setProportions(double tabSideShare, double bottomShare);

    // The window's three fonts: titles (tabs, the column's heading, the pages' ordinary texts),
    // small texts and values. Each is raised to a legible floor; every page gets them.
    void setFonts(const std::array<QFont, 3>& fonts);
    const CRoleFonts& roleFonts() const { return m_fonts; }

    // The column's heading, which the control draws itself.
    std::vector<CTextBox> textBoxes() const override;

    // Lays out the buttons and pages; runs on every resize and after a change of the tab row.
    virtual void recalcLayout();

    struct Layout {
        QRect tabRow;     // the row of tab buttons
        QRect tabPanel;   // the panel behind the tabbed pages
        QRect rightPanel; // the panel of the right-hand column, including its heading
        QRect rightTitle; // the heading of the right-hand column
        QRect bottom;     // the bottom strip
    };
    Layout currentLayout() const { return m_layout; }

  signals:
    void pageActivated(int tabIndex);

  protected:
    // Where everything goes for a control of the given size; a derived control may move panels.
    virtual Layout computeLayout(QSize size) const;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Tab {
        CGDIpMultiPageDialog* page;
        CGDIpMultiPageGradientButton* button;
    };
    std::vector<CGDIpMultiPageDialog*> m_pages;
    std::vector<Tab> m_tabs;
    CGDIpMultiPageDialog* m_right = nullptr;
    CGDIpMultiPageDialog* m_bottom = nullptr;
    QString m_rightTitle;
    int m_active = -1;
    double m_tabSideShare = 0.745;
    double m_bottomShare = 0.025;
    Layout m_layout;
    CRoleFonts m_fonts;
};
