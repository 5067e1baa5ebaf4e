// The page control: the pages' lifecycle (init once, deactivate before activate), hidden tabs,
// and where the pages are laid out.
#include "gui/support/qt_app_environment.h"
#include "gui/skin/multi_page_ctrl.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Plain);

// A page that writes every call it receives into a shared journal.
class CJournalPage : public CGDIpMultiPageDialog {
  public:
    CJournalPage(std::string name, std::vector<std::string>& journal)
        : CGDIpMultiPageDialog(QSize(200, 150)), m_name(std::move(name)), m_journal(journal)
    {
    }
    void v_init() override { m_journal.push_back(m_name + ".init"); }
    void v_activate() override
    {
        // The new page is already the control's active page when it hears of it.
        m_journal.push_back(m_name + ".activate" + (isVisibleTo(parentWidget()) ? "" : "(hidden!)"));
    }
    void v_deactivate() override { m_journal.push_back(m_name + ".deactivate"); }

  private:
    std::string m_name;
    std::vector<std::string>& m_journal;
};

struct Fixture {
    QApplication& application = app();
    std::vector<std::string> journal;
    std::unique_ptr<CGDIpMultiPageCtrl> ctrl = std::make_unique<CGDIpMultiPageCtrl>();
    std::vector<CJournalPage*> tabs;
    CJournalPage* right = nullptr;
    CJournalPage* bottom = nullptr;

    Fixture()
    {
        ctrl->resize(1366, 740);
        for (const char* name : {"settings", "map", "version", "signal"}) {
            auto* page = new CJournalPage(name, journal);
            ctrl->insertPage(std::wstring(name, name + std::char_traits<char>::length(name)), page);
            tabs.push_back(page);
        }
        ctrl->tabButton(3)->setHiddenMark(true);
        right = new CJournalPage("readings", journal);
        ctrl->insertRightPage(L"Odczyty", right);
        bottom = new CJournalPage("bottom", journal);
        ctrl->insertCenterBottomPage(L"Bottom", bottom);
        ctrl->recalcLayout();
        ctrl->show();
    }
};

} // namespace

TEST(PageControl, InitRunsOncePerPageAtInsertionAndNothingIsActiveYet)
{
    Fixture f;
    EXPECT_EQ(f.journal, (std::vector<std::string>{"settings.init", "map.init", "version.init", "signal.init",
                                                   "readings.init", "bottom.init"}));
    EXPECT_EQ(f.ctrl->activePage(), nullptr);
    EXPECT_EQ(f.ctrl->activeIndex(), -1);
    // Inserting a page that was already initialised elsewhere does not run v_init again.
    f.tabs[0]->initialiseOnce();
    EXPECT_EQ(f.journal.size(), 6u);
}

TEST(PageControl, SwitchingTabsDeactivatesTheOldPageBeforeActivatingTheNew)
{
    Fixture f;
    f.journal.clear();
    ASSERT_TRUE(f.ctrl->activatePage(0));
    EXPECT_EQ(f.journal, (std::vector<std::string>{"settings.activate"}));
    EXPECT_EQ(f.ctrl->activePage(), f.tabs[0]);

    // The user clicks the second tab button.
    f.journal.clear();
    QTest::mouseClick(f.ctrl->tabButton(1), Qt::LeftButton);
    EXPECT_EQ(f.journal, (std::vector<std::string>{"settings.deactivate", "map.activate"}));
    EXPECT_EQ(f.ctrl->activeIndex(), 1);
    EXPECT_FALSE(f.tabs[0]->isVisible());
    EXPECT_TRUE(f.tabs[1]->isVisible());
    EXPECT_TRUE(f.ctrl->tabButton(1)->isChecked());
    EXPECT_FALSE(f.ctrl->tabButton(0)->isChecked());

    // A click on the active tab neither re-activates it nor unchecks its button.
    f.journal.clear();
    QTest::mouseClick(f.ctrl->tabButton(1), Qt::LeftButton);
    EXPECT_TRUE(f.journal.empty());
    EXPECT_TRUE(f.ctrl->tabButton(1)->isChecked());

    f.journal.clear();
    QTest::mouseClick(f.ctrl->tabButton(2), Qt::LeftButton);
    QTest::mouseClick(f.ctrl->tabButton(0), Qt::LeftButton);
    EXPECT_EQ(f.journal, (std::vector<std::string>{"map.deactivate", "version.activate", "version.deactivate",
                                                   "settings.activate"}));
    // The right and bottom pages never take part in tab switches and stay shown.
    EXPECT_TRUE(f.right->isVisible());
    EXPECT_TRUE(f.bottom->isVisible());
    f.journal.clear();
    EXPECT_FALSE(f.ctrl->activatePage(-1));
    EXPECT_FALSE(f.ctrl->activatePage(4)); // the right page is a page but not a tab
    EXPECT_TRUE(f.journal.empty());
    EXPECT_EQ(f.ctrl->activeIndex(), 0);
}

TEST(PageControl, HiddenTabStaysOutOfTheRowUntilTheMarksAreCleared)
{
    Fixture f;
    EXPECT_EQ(f.ctrl->visibleTabCount(), 3);
    EXPECT_FALSE(f.ctrl->tabButton(3)->isVisible());
    const QRect thirdBefore = f.ctrl->tabButton(2)->geometry();

    f.ctrl->showAllTabs();
    EXPECT_EQ(f.ctrl->visibleTabCount(), 4);
    ASSERT_TRUE(f.ctrl->tabButton(3)->isVisible());
    // The revealed tab sits after the others in the same row, without overlapping them.
    const QRect fourth = f.ctrl->tabButton(3)->geometry();
    EXPECT_EQ(fourth.top(), thirdBefore.top());
    EXPECT_GT(fourth.left(), f.ctrl->tabButton(2)->geometry().right());
    EXPECT_LE(fourth.right(), f.ctrl->currentLayout().tabRow.right());

    f.journal.clear();
    QTest::mouseClick(f.ctrl->tabButton(3), Qt::LeftButton);
    EXPECT_EQ(f.ctrl->activePage(), f.tabs[3]);
}

TEST(PageControl, LaysOutTabsColumnAndStripWithoutOverlapAtSeveralSizes)
{
    Fixture f;
    for (const QSize size : {QSize(800, 530), QSize(1366, 740), QSize(2560, 1400)}) {
        f.ctrl->resize(size);
        f.ctrl->recalcLayout();
        const auto l = f.ctrl->currentLayout();
        SCOPED_TRACE(size.width());
        // The split follows the tab side's share of the width.
        EXPECT_NEAR(l.rightPanel.left(), size.width() * 0.745, 8);
        EXPECT_FALSE(l.tabPanel.intersects(l.rightPanel));
        EXPECT_FALSE(l.tabPanel.intersects(l.bottom));
        EXPECT_FALSE(l.tabRow.intersects(l.tabPanel));
        EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(l.rightPanel));
        EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(l.bottom));
        // The strip can hold a line of text even on the smallest window.
        EXPECT_GE(l.bottom.height(), 24);
        EXPECT_TRUE(l.tabPanel.contains(f.tabs[0]->geometry()));
        EXPECT_TRUE(l.rightPanel.contains(f.right->geometry()));
        EXPECT_GE(f.right->geometry().top(), l.rightTitle.bottom());
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(l.tabRow.contains(f.ctrl->tabButton(i)->geometry()));
    }
}
