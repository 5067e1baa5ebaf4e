// The view: fills the main window with the page control (four tabs, the readings column and the
// status strip), starts the device, hands the main timer's ticks to the pages that refresh
// themselves and language changes to every page.
#pragma once

#include "operations/doravine_doc.h"
#include "base/language.h"
#include "gui/skin/multi_page_ctrl.h"

#include <QFont>
#include <QWidget>

#include <array>

class CBottomDlg;
class CMainFrame;
class COdczytyDlg;
class CReadSignalDlg;
class CVersionDlg;

// The page control of this window: the described split between the tabbed side and the readings
// column, on top of the skinned control's own layout.
class CAppMultiPageCtrl : public CGDIpMultiPageCtrl {
    Q_OBJECT
  public:
    using CGDIpMultiPageCtrl::CGDIpMultiPageCtrl;

    struct Panels {
        QRect tabs;  // background panel 0, behind the tabbed pages
        QRect right; // background panel 1, behind the readings column
    };
    // Left, top, right and bottom edges for a client of the given size, truncated after each step.
    static Panels panels(QSize client);

  protected:
    Layout computeLayout(QSize size) const override;
};

class CDoravineView : public QWidget, public ITimerBasedGUI, public IMultilangGUI, public IDocumentViews {
    Q_OBJECT
  public:
    enum Tab { TabSettings = 0, TabMap = 1, TabVersion = 2, TabSignal = 3 };

    explicit CDoravineView(CDoravineDoc& doc, QWidget* parent = nullptr);
    ~CDoravineView() override;

    // The process-wide view; null before one exists.
    static CDoravineView* instance();

    // Builds every page and starts the device (the first search for the controller) on a
    // thread of its own, so that the window paints and answers while silent ports time out.
    bool create();
    // The first update: records the view in the frame and sets every text. Once the search has
    // answered it starts the live samples when a controller was found and shows the connection
    // state; until then the strip says that it searches and the pages and menus wait.
    void initialUpdate(CMainFrame& frame);
    bool searching() const { return m_searching; }

    void onTimer() override;
    // A tick while no live sample is present: only a page that needs every tick gets it.
    void onTickWithoutSamples();
    void onLanguageChange() override;
    void setConnectionState(bool connected);
    // The pages that show the controller's record, filled from it again (after a new connection).
    void showControllerState();
    // Clears the hidden mark of every tab (the About box's access code).
    void revealHiddenTabs();

    // IDocumentViews: the pages that the document's operations refresh.
    void refreshSettingsPage(int wheelType) override;
    void refillMapGrid() override;
    void activateMapPage() override;
    void activateDevicePage() override;
    void activateSignalPage() override;
    // The map and settings pages now edit another record (a settings file opened or closed).
    void editedRecordSwitched();

    CAppMultiPageCtrl* pageCtrl() const { return m_pages; }
    COdczytyDlg* readings() const { return m_readings; }
    CVersionDlg* versionPage() const { return m_version; }
    CReadSignalDlg* signalPage() const { return m_signal; }
    CBottomDlg* bottom() const { return m_bottom; }
    CGDIpMultiPageDialog* tabPage(int tab) const;
    CDoravineDoc& document() { return m_doc; }

    // The three bold fonts, their pixel heights following the client height. The page control
    // takes them for every page: titles and ordinary texts, small texts, the displays' values.
    const std::array<QFont, 3>& fonts() const { return m_fonts; }
    // Heights (negative, as a character height) for a client of the given height.
    static std::array<int, 3> fontHeights(int clientHeight);

  signals:
    // The first search for the controller has answered and the first update is complete.
    void searchFinished();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void makeFonts(int clientHeight);
    void finishSearch();
    // What the first update does once the search has answered.
    void firstUpdateAfterSearch();

    CDoravineDoc& m_doc;
    CAppMultiPageCtrl* m_pages = nullptr;
    std::array<CGDIpMultiPageDialog*, 4> m_tabs{};
    COdczytyDlg* m_readings = nullptr;
    CVersionDlg* m_version = nullptr;
    CReadSignalDlg* m_signal = nullptr;
    CBottomDlg* m_bottom = nullptr;
    CMainFrame* m_frame = nullptr;
    bool m_searching = false;
    std::array<QFont, 3> m_fonts;
};
