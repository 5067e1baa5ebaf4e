#include "gui/shell/doravine_view.h"

#include "gui/shell/bottom_dlg.h"
#include "gui/shell/main_frame.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/odczyty_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/pages/read_signal_dlg.h"
#include "gui/pages/version_dlg.h"
#include "platform/ierror.h"

#include <QMenuBar>
#include <QResizeEvent>

#include <cmath>

namespace {

CDoravineView* g_view = nullptr;

constexpr double kMargin = 0.0025;
constexpr double kTabSide = 0.75;
constexpr double kBottomShare = 0.025;

int truncate(double x)
{
    return static_cast<int>(std::trunc(x));
}

// The style of every tab button: proportions, four values and eight colours.
void styleTabTemplate(CGDIpMultiPageGradientButton& button)
{
    button.setStyleValues({0.05, 0.1, 0.01}, {0.3, 0.3, 0.3, 0.3},
                          {QColor(40, 80, 134), QColor(44, 62, 107), QColor(220, 220, 220),
                           QColor(210, 210, 210), QColor(60, 118, 175), QColor(63, 104, 153),
                           QColor(234, 234, 234), QColor(234, 234, 234)});
}

} // namespace

// ---- Page control ------------------------------------------------------------------------------

CAppMultiPageCtrl::Panels CAppMultiPageCtrl::panels(QSize client)
{
    const double w = client.width();
    const double h = client.height();
    Panels p;
    const int left = truncate(kMargin * w);
    const int top = truncate(kMargin * h);
    const int right = truncate(kTabSide * w - kMargin * w);
    const int bottom = truncate(h - kBottomShare * h);
    p.tabs = QRect(QPoint(left, top), QPoint(right, bottom));

    // The column: same top, bottom lowered to the window's edge less the margin, a quarter of the
    // width wide, then moved so that it starts where the tabbed side ends.
    const int rightBottom = truncate(bottom + kBottomShare * h - kMargin * h);
    const int width = truncate(0.25 * w - kMargin * w);
    const int rightLeft = truncate(kTabSide * w);
    p.right = QRect(QPoint(rightLeft, top), QPoint(rightLeft + width, rightBottom));
    return p;
}

CGDIpMultiPageCtrl::Layout CAppMultiPageCtrl::computeLayout(QSize size) const
{
    // The skinned control decides the heights of the tab row and the strip (they must hold their
    // text); the split between the two sides and the outer margins follow the described panels.
    Layout l = CGDIpMultiPageCtrl::computeLayout(size);
    if (l.rightPanel.isNull())
        return l;
    const Panels p = panels(size);
    l.tabRow.setLeft(p.tabs.left());
    l.tabRow.setRight(p.tabs.right());
    l.tabPanel.setLeft(p.tabs.left());
    l.tabPanel.setRight(p.tabs.right());
    if (!l.bottom.isNull()) {
        l.bottom.setLeft(p.tabs.left());
        l.bottom.setRight(p.tabs.right());
    }
    l.rightPanel = p.right;
    l.rightTitle = QRect(p.right.topLeft(), QSize(p.right.width(), l.tabRow.height()));
    return l;
}

// ---- View --------------------------------------------------------------------------------------

CDoravineView::CDoravineView(CDoravineDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    g_view = this;
    makeFonts(540);
    // All three start at height -12.
    for (QFont& f : m_fonts)
        f.setPixelSize(12);
}

CDoravineView::~CDoravineView()
{
    m_doc.FinishDeviceStart();
    if (m_doc.LiveSamples().running())
        m_doc.StopLiveSamples();
    m_doc.SetViews(nullptr);
    if (g_view == this)
        g_view = nullptr;
}

CDoravineView* CDoravineView::instance()
{
    return g_view;
}

std::array<int, 3> CDoravineView::fontHeights(int clientHeight)
{
    return {-(clientHeight / 45), -(clientHeight / 75), -(clientHeight / 40)};
}

void CDoravineView::makeFonts(int clientHeight)
{
    const auto heights = fontHeights(clientHeight);
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        QFont f(QStringLiteral("Arial"));
        f.setWeight(QFont::Bold);
        f.setStyleHint(QFont::SansSerif);
        f.setStyleStrategy(QFont::PreferAntialias);
        f.setPixelSize(std::max(1, -heights[i]));
        m_fonts[i] = f;
    }
}

bool CDoravineView::create()
{
    try {
        m_pages = new CAppMultiPageCtrl(this);
        m_pages->setFonts(m_fonts);
        m_pages->setGeometry(rect());
        CGDIpMultiPageGradientButton buttonTemplate;
        styleTabTemplate(buttonTemplate);
        m_pages->setProportions(0.745, 0.025);

        m_tabs[TabSettings] = new CSettingsDlg(m_doc);
        m_pages->insertPage(translateText(L"Ustawienia"), m_tabs[TabSettings], &buttonTemplate);
        m_tabs[TabMap] = new CMapAngleDlg(m_doc);
        m_pages->insertPage(translateText(L"Mapa"), m_tabs[TabMap], &buttonTemplate);
        m_version = new CVersionDlg(m_doc.Device());
        m_tabs[TabVersion] = m_version;
        m_pages->insertPage(translateText(L"Wersja"), m_version, &buttonTemplate);
        m_signal = new CReadSignalDlg(m_doc);
        m_tabs[TabSignal] = m_signal;
        m_pages->insertPage(translateText(L"Czytaj sygnał"), m_signal, &buttonTemplate);
        // Until the About box's access code is entered.
        m_pages->tabButton(TabSignal)->setHiddenMark(true);
        m_pages->recalcLayout();

        m_readings = new COdczytyDlg(m_doc.Device());
        m_pages->insertRightPage(translateText(L"Odczyty"), m_readings);
        m_bottom = new CBottomDlg;
        m_pages->insertCenterBottomPage(L"Bottom", m_bottom);
        m_pages->activatePage(TabSettings);
    } catch (IError* error) {
        adoptError(error);
    }
    m_doc.SetViews(this);
    m_searching = true;
    if (m_pages)
        m_pages->setEnabled(false);
    m_doc.StartDeviceInBackground(
        [this] { QMetaObject::invokeMethod(this, [this] { finishSearch(); }, Qt::QueuedConnection); });
    return true;
}

void CDoravineView::initialUpdate(CMainFrame& frame)
{
    frame.setView(this);
    m_frame = &frame;
    if (m_searching) {
        frame.menuBar()->setEnabled(false);
        frame.refreshLanguage();
        return;
    }
    firstUpdateAfterSearch();
}

void CDoravineView::finishSearch()
{
    // The search's thread may still be closing the ports that lost: it is not waited for here.
    m_searching = false;
    if (m_pages)
        m_pages->setEnabled(true);
    if (m_frame)
        firstUpdateAfterSearch();
    emit searchFinished();
}

void CDoravineView::firstUpdateAfterSearch()
{
    m_frame->menuBar()->setEnabled(true);
    // Without a controller the timer still runs: its watchdog finds one plugged in later.
    if (m_doc.Device().m_connected)
        m_doc.ResumeLiveSamples();
    else
        m_frame->startMainTimer();
    setConnectionState(m_doc.Device().m_connected);
    m_frame->refreshLanguage();
    // The page on show was activated before the search filled the record.
    if (CGDIpMultiPageDialog* page = m_pages ? m_pages->activePage() : nullptr)
        page->v_activate();
}

CGDIpMultiPageDialog* CDoravineView::tabPage(int tab) const
{
    if (tab < 0 || tab >= static_cast<int>(m_tabs.size()))
        return nullptr;
    return m_tabs[static_cast<size_t>(tab)];
}

void CDoravineView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    makeFonts(event->size().height());
    if (m_pages) {
        m_pages->setFonts(m_fonts);
        m_pages->setGeometry(rect());
        m_pages->update();
    }
}

void CDoravineView::onTimer()
{
    if (!m_doc.Device().m_connected || !m_pages)
        return;
    if (auto* timed = dynamic_cast<ITimerBasedGUI*>(m_pages->activePage()))
        timed->onTimer();
    if (m_readings)
        m_readings->onTimer();
    if (auto* map = dynamic_cast<CMapAngleDlg*>(tabPage(TabMap)))
        map->countSamples();
}

void CDoravineView::onTickWithoutSamples()
{
    // The signal page's stall rule runs on every tick: with the signal-reading firmware no live
    // samples come at all.
    if (!m_doc.Device().m_connected || !m_pages || !m_signal)
        return;
    if (m_pages->activePage() == m_signal)
        m_signal->onTimer();
}

void CDoravineView::onLanguageChange()
{
    if (!m_pages)
        return;
    m_pages->setPageTitle(TabSettings, translateText(L"Ustawienia"));
    m_pages->setPageTitle(TabMap, translateText(L"Mapa"));
    m_pages->setPageTitle(TabVersion, translateText(L"Wersja"));
    m_pages->setPageTitle(TabSignal, translateText(L"Czytaj sygnał"));
    for (int i = 0; i < m_pages->pageCount(); ++i) {
        if (auto* multilang = dynamic_cast<IMultilangGUI*>(m_pages->page(i)))
            multilang->onLanguageChange();
    }
}

void CDoravineView::setConnectionState(bool connected)
{
    if (!m_bottom)
        return;
    if (m_searching)
        m_bottom->setSearching();
    else
        m_bottom->setConnectionState(connected);
    // The readings panel gives up values that are no longer current, the device page its identity.
    if (!connected && m_readings)
        m_readings->onTimer();
    activateDevicePage();
}

void CDoravineView::showControllerState()
{
    refreshSettingsPage(static_cast<int>(roundNearest(m_doc.Device().m_settings.wheelType)));
    refillMapGrid();
    activateDevicePage();
    // The signal page's reading-mode box shows the controller's state, read on activation.
    if (m_signal && m_pages && m_pages->activePage() == m_signal)
        m_signal->v_activate();
}

void CDoravineView::revealHiddenTabs()
{
    if (m_pages)
        m_pages->showAllTabs();
}

void CDoravineView::refreshSettingsPage(int wheelType)
{
    if (auto* page = dynamic_cast<CSettingsDlg*>(tabPage(TabSettings))) {
        page->refreshFromRecord();
        page->showWheelChart(wheelType);
    }
}

void CDoravineView::editedRecordSwitched()
{
    if (auto* map = dynamic_cast<CMapAngleDlg*>(tabPage(TabMap))) {
        map->grid()->mapEditor().recordSwitched();
        map->v_activate();
    }
    if (auto* page = dynamic_cast<CSettingsDlg*>(tabPage(TabSettings)))
        page->showRecord();
}

void CDoravineView::refillMapGrid()
{
    if (auto* map = dynamic_cast<CMapAngleDlg*>(tabPage(TabMap)))
        map->grid()->fillFromRecord();
}

void CDoravineView::activateMapPage()
{
    if (CGDIpMultiPageDialog* page = tabPage(TabMap))
        page->v_activate();
}

void CDoravineView::activateDevicePage()
{
    if (m_version)
        m_version->v_activate();
}

void CDoravineView::activateSignalPage()
{
    if (CGDIpMultiPageDialog* page = tabPage(TabSignal))
        page->v_activate();
}
