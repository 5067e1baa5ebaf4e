// The window as a user meets it: start-up with and without a controller on a pseudo-terminal,
// the tabs and the access code, the menu and the language switch through every page, the pulled
// cable on the main timer and its notice, the signal page's ticks, the size rules and the options.
#include "gui/shell/about_dlg.h"
#include "gui/shell/bottom_dlg.h"
#include "gui/shell/doravine_app.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/qt_user_interaction.h"
#include "gui/support/qt_app_environment.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/odczyty_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/pages/read_signal_dlg.h"
#include "operations/diag_threads.h"
#include "gui/pages/version_dlg.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/str_value_combo.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"
#include "support/wait_until.h"
#include "doravine_version.h"
#include "platform/data_report.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <sstream>
#include <memory>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);
// Waits that do not run the event loop (so the main timer cannot tick meanwhile) take this long at most.
constexpr std::chrono::seconds kLimit{15};

// The program's start-up on a real port (or none), behind silent ports if asked: document,
// frame with view, first update, and (unless told otherwise) the search for the controller.
// Teardown stops the live samples and joins their thread before the device goes.
struct CWindow {
    explicit CWindow(bool withController, int silentPorts = 0, bool awaitSearch = true,
                     std::vector<std::string> ports = {})
        : silent(silentPeers(silentPorts))
    {
        setCurrentLanguage(kLanguagePolish);
        for (const auto& peer : silent)
            ports.push_back(peer->path());
        if (withController) {
            sim = std::make_unique<CSimFixture>();
            ports.push_back(sim->sim().path());
        }
        CSimFixture::setPorts(ports);
        doc = std::make_unique<CDoravineDoc>(&threads);
        CSimFixture::shortenTimeouts(doc->Device());
        frame = std::make_unique<CMainFrame>(*doc);
        frame->initialUpdate();
        frame->resize(1366, 768);
        frame->show();
        if (awaitSearch) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return !view().searching(); }, 20000));
        }
    }
    ~CWindow()
    {
        frame.reset();
        doc->StopLiveSamples();
        threads.joinAll();
        doc.reset();
        CSimFixture::setPorts({});
        setCurrentLanguage(kLanguagePolish);
    }
    CDoravineView& view() { return *frame->view(); }
    CLPGDevice& device() { return doc->Device(); }

    CTempHome home;
    CRecordingUser user;
    std::vector<std::unique_ptr<CScriptedPeer>> silent;
    std::unique_ptr<CSimFixture> sim;
    CThreadManager threads;
    std::unique_ptr<CDoravineDoc> doc;
    std::unique_ptr<CMainFrame> frame;
};

std::wstring visibleTitles(const CGDIpMultiPageCtrl& pages)
{
    std::wstring titles;
    for (int i = 0; i < pages.tabCount(); ++i)
        if (!pages.tabButton(i)->hiddenMark())
            titles += pages.pageTitle(i) + L"|";
    return titles;
}

} // namespace

// Silent ports cost their identification time-outs off the window's thread: the window paints
// and answers meanwhile, says that it searches, and keeps its pages and menus until the search
// has answered. Then, without a controller: the demo values, one notice, a red strip and the
// timer running for its watchdog; with one behind the silent ports: connected, a green strip,
// and the real timer and live thread bring its readings.
TEST(WindowStartup, SearchesBehindSilentPortsThenShowsWhatItFound)
{
    for (const bool withController : {false, true}) {
        SCOPED_TRACE(withController);
        CWindow w(withController, 2, false);
        ASSERT_TRUE(w.view().searching());
        EXPECT_EQ(w.view().bottom()->stateText(), L"Szukam sterownika...");
        EXPECT_FALSE(w.view().pageCtrl()->isEnabled());
        EXPECT_FALSE(w.frame->menuBar()->isEnabled());

        int ticks = 0;
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] { ++ticks; });
        beat.start(10);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w.view().searching(); }, 20000));
        EXPECT_GE(ticks, 3) << "the event loop stood still during the search";

        EXPECT_EQ(w.device().m_connected, withController);
        EXPECT_EQ(w.device().m_demo, !withController);
        EXPECT_EQ(w.view().bottom()->stateText(), withController ? L"POŁĄCZONY" : L"BRAK POŁĄCZENIA");
        EXPECT_EQ(w.view().bottom()->stateColor(), withController ? QColor(0, 200, 0) : QColor(200, 0, 0));
        EXPECT_TRUE(w.frame->mainTimerRunning());
        EXPECT_EQ(w.doc->LiveSamples().running(), withController);
        EXPECT_TRUE(w.view().pageCtrl()->isEnabled());
        EXPECT_TRUE(w.frame->menuBar()->isEnabled());
        EXPECT_EQ(w.view().pageCtrl()->activeIndex(), CDoravineView::TabSettings);
        EXPECT_EQ(visibleTitles(*w.view().pageCtrl()), L"Ustawienia|Mapa|Wersja|");
        EXPECT_EQ(w.user.texts(), withController ? std::vector<std::wstring>{}
                                                 : std::vector<std::wstring>{L"BRAK POŁĄCZENIA"});
        if (!withController)
            continue;
        sim::OperatingPoint point;
        point.rpm = 2000;
        point.tpsVolts = 1.5;
        point.switchOn = true;
        w.sim->sim().setFixedPoint(point);
        w.sim->sim().setProfile(sim::Profile::Fixed);
        COdczytyDlg* readings = w.view().readings();
        EXPECT_TRUE(QTest::qWaitFor([&] { return readings->rpmDisplay()->valueText() == L"2000 RPM"; }, 5000))
            << QString::fromStdWString(readings->rpmDisplay()->valueText()).toStdString();
        EXPECT_EQ(readings->switchDisplay()->valueText(), L"Włączony");
        EXPECT_EQ(readings->tpsDisplay()->valueText(), L"1.50 V");
    }
}

TEST(WindowStartup, AccessCodeInTheAboutBoxRevealsTheSignalTab)
{
    CWindow w(false);
    CAppMultiPageCtrl* pages = w.view().pageCtrl();
    ASSERT_EQ(pages->visibleTabCount(), 3);
    EXPECT_FALSE(pages->tabButton(CDoravineView::TabSignal)->isVisible());

    QTimer::singleShot(0, w.frame.get(), [] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        QTest::keyClicks(about->codeEdit(), QStringLiteral("60418273"));
        QTest::mouseClick(about->okButton(), Qt::LeftButton);
    });
    w.frame->action(CMainFrame::CmdAbout)->trigger();

    EXPECT_EQ(pages->visibleTabCount(), 4);
    EXPECT_TRUE(pages->tabButton(CDoravineView::TabSignal)->isVisible());
    EXPECT_EQ(visibleTitles(*pages), L"Ustawienia|Mapa|Wersja|Czytaj sygnał|");
    EXPECT_TRUE(pages->activatePage(CDoravineView::TabSignal));
    ASSERT_NE(w.view().signalPage(), nullptr);
    EXPECT_TRUE(w.view().signalPage()->isVisible());
}

TEST(WindowStartup, MenuCommandsDoWhatTheySay)
{
    CWindow w(false);
    // "Dokumentacja" does nothing; the current language does nothing either.
    w.user.clear();
    w.frame->action(CMainFrame::CmdDocumentation)->trigger();
    w.frame->action(CMainFrame::CmdPolish)->trigger();
    EXPECT_TRUE(w.user.texts().empty());
    EXPECT_EQ(currentLanguage(), kLanguagePolish);
    EXPECT_TRUE(w.frame->action(CMainFrame::CmdPolish)->isChecked());

    // Saving settings goes through the user's file pick; with none chosen nothing is written.
    w.frame->action(CMainFrame::CmdSaveSettings)->trigger();
    ASSERT_EQ(w.user.fileRequests().size(), 1u);
    EXPECT_TRUE(w.user.fileRequests()[0].save);

    // Exit closes the main window.
    EXPECT_TRUE(w.frame->isVisible());
    w.frame->action(CMainFrame::CmdExit)->trigger();
    EXPECT_FALSE(w.frame->isVisible());
}

// The switch reaches every page: titles, menus, the strip, and each page's own rule (the readings'
// short supply label and reset switch, the device page's sensor type, the settings page's chosen
// sensor, the map's buttons and menu).
TEST(WindowStartup, LanguageSwitchRetitlesTabsMenusAndPageTexts)
{
    CWindow w(true);
    COdczytyDlg* readings = w.view().readings();
    CAppMultiPageCtrl* pages = w.view().pageCtrl();
    auto* settings = dynamic_cast<CSettingsDlg*>(w.view().tabPage(CDoravineView::TabSettings));
    auto* map = dynamic_cast<CMapAngleDlg*>(w.view().tabPage(CDoravineView::TabMap));
    ASSERT_TRUE(settings && map);
    // The first update already ran the language refresh once: the short supply label.
    EXPECT_EQ(readings->supplyDisplay()->labelText(), L"Napięcie");
    settings->sensorList()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return readings->rpmDisplay()->valueText() != COdczytyDlg::kNoReading; }, 5000));

    w.frame->action(CMainFrame::CmdEnglish)->trigger();
    ASSERT_EQ(currentLanguage(), kLanguageEnglish);
    // The English file is really in use: the title differs from its Polish key.
    EXPECT_NE(translateText(L"Ustawienia"), L"Ustawienia");
    EXPECT_EQ(visibleTitles(*pages), translateText(L"Ustawienia") + L"|" + translateText(L"Mapa") + L"|" +
                                         translateText(L"Wersja") + L"|");
    EXPECT_EQ(pages->pageTitle(CDoravineView::TabSignal), translateText(L"Czytaj sygnał"));
    EXPECT_EQ(w.frame->menus()[0]->title().toStdWString(), translateText(L"Plik"));
    EXPECT_EQ(w.frame->action(CMainFrame::CmdAbout)->text().toStdWString(), translateText(L"Informacje"));
    EXPECT_TRUE(w.frame->action(CMainFrame::CmdEnglish)->isChecked());
    EXPECT_FALSE(w.frame->action(CMainFrame::CmdPolish)->isChecked());
    EXPECT_EQ(w.view().bottom()->stateText(), translateText(L"POŁĄCZONY"));
    // After a switch the supply label is the short one, and the switch reads off until the next tick.
    EXPECT_EQ(readings->supplyDisplay()->labelText(), translateText(L"Napięcie"));
    EXPECT_EQ(readings->switchDisplay()->valueText(), translateText(L"Wyłączony"));
    EXPECT_EQ(w.view().versionPage()->typeDisplay()->valueText(), translateText(L"Hallotronowy"));
    EXPECT_EQ(settings->sensorList()->currentIndex(), 1);
    EXPECT_EQ(settings->sensorList()->currentText().toStdWString(), translateText(L"Indukcyjny"));
    EXPECT_EQ(settings->stateDisplay()->valueText(), translateText(L"Praca"));
    EXPECT_EQ(map->clearButton()->caption(), translateText(L"Kasuj"));
    std::unique_ptr<QMenu> menu(map->grid()->buildContextMenu(nullptr));
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_EQ(menu->actions().first()->text().toStdWString(), translateText(L"Cofnij"));

    w.frame->action(CMainFrame::CmdPolish)->trigger();
    EXPECT_EQ(pages->pageTitle(0), L"Ustawienia");
    EXPECT_EQ(w.view().bottom()->stateText(), L"POŁĄCZONY");
}

// The count of ticks to the rescan is said at tests/integration/connection_watchdog_test.
TEST(WindowStartup, PulledCableTurnsTheStripRedOnTheNextTick)
{
    CWindow w(true);
    ASSERT_TRUE(w.device().m_connected);
    // The test drives the ticks itself.
    w.frame->stopMainTimer();
    ASSERT_TRUE(testsupport::waitUntil([&] { return w.device().m_diagData.count() > 0; }, kLimit));
    EXPECT_EQ(w.frame->onMainTimer(), CConnectionWatchdog::Tick::Refresh);

    w.sim->sim().addFault({sim::FaultKind::Stall});
    ASSERT_TRUE(testsupport::waitUntil([&] { return !w.device().m_connected; }, kLimit));
    EXPECT_EQ(w.view().bottom()->stateText(), L"POŁĄCZONY"); // not before the tick

    EXPECT_EQ(w.frame->onMainTimer(), CConnectionWatchdog::Tick::Lost);
    EXPECT_EQ(w.view().bottom()->stateText(), L"BRAK POŁĄCZENIA");
    EXPECT_EQ(w.view().bottom()->stateColor(), QColor(200, 0, 0));
}

// The window's own timer and notice: the no-connection notice opens without holding up the
// search, the readings give way to dashes, and a controller that comes back is connected with
// the notice still open, which then closes by itself.
TEST(WindowStartup, NoticeOpenWhileTheControllerComesBackClosesByItself)
{
    CWindow w(true);
    CQtUserInteraction qtUser(w.frame.get());
    setUserInteraction(&qtUser);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.device().m_diagData.count() > 0; }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.view().readings()->rpmDisplay()->valueText() != COdczytyDlg::kNoReading; }, 5000));

    w.sim->sim().addFault({sim::FaultKind::Stall});
    ASSERT_TRUE(QTest::qWaitFor([&] { return qtUser.notice() && qtUser.notice()->isVisible(); }, 15000));
    EXPECT_EQ(qtUser.notice()->text(), QStringLiteral("BRAK POŁĄCZENIA"));
    EXPECT_EQ(w.view().readings()->rpmDisplay()->valueText(), COdczytyDlg::kNoReading);
    EXPECT_EQ(w.view().readings()->switchDisplay()->valueText(), COdczytyDlg::kNoReading);
    const int rescans = w.frame->watchdog().rescans();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.frame->watchdog().rescans() > rescans; }, 5000))
        << "the search goes on while the notice is open";
    ASSERT_TRUE(qtUser.notice() && qtUser.notice()->isVisible());

    w.sim->sim().clearFaults();
    w.sim->sim().resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.device().m_connected.load(); }, 5000));
    EXPECT_TRUE(!qtUser.notice() || !qtUser.notice()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.view().readings()->rpmDisplay()->valueText() != COdczytyDlg::kNoReading; }, 5000));
    EXPECT_EQ(w.view().bottom()->stateText(), L"POŁĄCZONY");
    EXPECT_EQ(w.view().bottom()->stateColor(), QColor(0, 200, 0));
    EXPECT_TRUE(w.frame->mainTimerRunning());
    setUserInteraction(&w.user);
}

// Started before the cable was plugged in, with the no-connection notice left open or answered:
// the window's own timer finds the controller when it appears, closes the notice and brings its
// readings.
TEST(WindowStartup, ControllerPluggedInAfterTheStartIsFound)
{
    for (const bool answerNotice : {false, true}) {
        SCOPED_TRACE(answerNotice);
        const std::string link = (std::filesystem::temp_directory_path() /
                                  ("doravine-later-" + std::to_string(::getpid()) + "-" + std::to_string(answerNotice)))
                                     .string();
        CWindow w(false, 0, true, {link});
        CQtUserInteraction qtUser(w.frame.get());
        setUserInteraction(&qtUser);
        EXPECT_EQ(w.user.texts(), std::vector<std::wstring>{L"BRAK POŁĄCZENIA"});
        EXPECT_FALSE(w.device().m_connected);
        EXPECT_FALSE(w.doc->LiveSamples().running());
        ASSERT_TRUE(w.frame->mainTimerRunning());
        qtUser.showNotice(L"BRAK POŁĄCZENIA");
        if (answerNotice)
            qtUser.notice()->close();
        QTest::qWait(1500); // rescans find nothing meanwhile
        EXPECT_GE(w.frame->watchdog().rescans(), 1);

        sim::VirtualController controller;
        controller.setLinkPath(link);
        ASSERT_TRUE(controller.start());
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.doc->LiveSamples().running(); }, 10000));
        EXPECT_TRUE(w.device().m_connected);
        EXPECT_EQ(w.view().bottom()->stateText(), L"POŁĄCZONY");
        EXPECT_TRUE(!qtUser.notice() || !qtUser.notice()->isVisible());
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.device().m_diagData.count() > 0; }, 5000));
        setUserInteraction(&w.user);
        w.doc->StopLiveSamples();
        controller.stop();
    }
}

TEST(WindowStartup, TheSignalPageGetsItsTicksAlsoWithoutLiveSamples)
{
    CWindow w(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return w.device().m_diagData.count() > 0; }, kLimit));
    w.frame->stopMainTimer();
    w.doc->StopLiveSamples();
    w.device().m_diagData.clear();
    w.view().revealHiddenTabs();
    ASSERT_TRUE(w.view().pageCtrl()->activatePage(CDoravineView::TabSignal));
    CReadSignalDlg* page = w.view().signalPage();
    const CPulse pulse{100, 50};
    w.device().m_pulses.append(&pulse, 1);
    captureState() = kCaptureRunning;
    // No live sample, as with the signal-reading firmware: the stall rule still counts.
    EXPECT_EQ(w.frame->onMainTimer(), CConnectionWatchdog::Tick::Idle);
    EXPECT_EQ(page->capture().stallTicks(), 1);
    EXPECT_EQ(page->countDisplay()->valueText(), L"1");
    // Another tab active: the signal page is left alone.
    ASSERT_TRUE(w.view().pageCtrl()->activatePage(CDoravineView::TabVersion));
    captureState() = kCaptureRunning;
    w.frame->onMainTimer();
    EXPECT_EQ(page->capture().stallTicks(), 1);
    captureState() = kCaptureIdle;
}

TEST(WindowSize, SmallWindowsGrowAndFontsFollowTheHeight)
{
    EXPECT_EQ(CMainFrame::correctedSize({700, 400}), QSize(800, 530));
    EXPECT_EQ(CMainFrame::correctedSize({770, 600}), QSize(770, 600));
    EXPECT_EQ(CMainFrame::correctedSize({759, 530}), QSize(800, 530));
    EXPECT_EQ(CMainFrame::correctedSize({760, 529}), QSize(760, 530));
    EXPECT_EQ(CMainFrame::captionFontPixels(1100), 20);
    EXPECT_EQ(CMainFrame::captionFontPixels(600), 16);
    EXPECT_EQ(CDoravineView::fontHeights(900), (std::array<int, 3>{-20, -12, -22}));

    CWindow w(false);
    w.frame->resize(700, 400);
    QTest::qWait(50);
    EXPECT_EQ(w.frame->size(), QSize(800, 530));
    w.frame->resize(770, 600);
    QTest::qWait(50);
    EXPECT_EQ(w.frame->size(), QSize(770, 600));

    // The view's fonts follow its own client height.
    w.frame->resize(1200, 900 + (w.frame->height() - w.view().height()));
    QTest::qWait(50);
    ASSERT_EQ(w.view().height(), 900);
    EXPECT_EQ(w.view().fonts()[0].pixelSize(), 20);
    EXPECT_EQ(w.view().fonts()[1].pixelSize(), 12);
    EXPECT_EQ(w.view().fonts()[2].pixelSize(), 22);
}

TEST(WindowSize, TabbedSideAndReadingsColumnSplitTheWidth)
{
    const auto p = CAppMultiPageCtrl::panels({1000, 800});
    EXPECT_EQ(p.tabs, QRect(QPoint(2, 2), QPoint(747, 780)));
    EXPECT_EQ(p.right, QRect(QPoint(750, 2), QPoint(997, 798)));

    // The window lays its pages out by that split.
    CWindow w(false);
    const auto layout = w.view().pageCtrl()->currentLayout();
    const auto described = CAppMultiPageCtrl::panels(w.view().pageCtrl()->size());
    EXPECT_EQ(layout.rightPanel, described.right);
    EXPECT_EQ(layout.tabPanel.right(), described.tabs.right());
}

namespace {

// What runDoravine prints on standard output for one command line, and its status.
std::pair<int, std::string> runProgram(std::vector<std::string> args)
{
    args.insert(args.begin(), "doravine");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    std::ostringstream out;
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    const int status = runDoravine(static_cast<int>(argv.size()), argv.data());
    std::cout.rdbuf(saved);
    return {status, out.str()};
}

} // namespace

// The options that answer and exit do so before any window or port is touched.
TEST(WindowOptions, VersionWhereAndHelpPrintAndExitWithoutAWindow)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--version"}, std::string("doravine ") + kDoravineVersion + "\n"},
        {{"--lang", "en", "--version"}, std::string("doravine ") + kDoravineVersion + "\n"},
        {{"--where"}, dataFoldersReport()},
        {{"--help"}, startOptionsHelp()},
    };
    for (const auto& [args, expected] : cases) {
        const auto [status, out] = runProgram(args);
        EXPECT_EQ(status, 0) << args.back();
        EXPECT_EQ(out, expected) << args.back();
    }
}

TEST(WindowOptions, ABadOptionIsAUsageErrorBeforeAnythingStarts)
{
    const auto [status, out] = runProgram({"--versio"});
    EXPECT_EQ(status, 2);
    EXPECT_EQ(out, "");
}

// A screenshot run records what the picture shows, so a script can check the language files were
// found without reading pixels.
TEST(WindowOptions, ScreenshotRecordNamesTheFileAndTheMenuInTheRunsLanguage)
{
    openLanguageFiles();
    CWindow w(false);
    EXPECT_EQ(screenshotRecord(*w.frame, QStringLiteral("shot.png")),
              "screenshot: shot.png\nmenu: Plik | Język | Informacje\n");
    switchLanguage(kLanguageEnglish);
    EXPECT_EQ(screenshotRecord(*w.frame, QStringLiteral("/tmp/okno ż.png")),
              "screenshot: /tmp/okno ż.png\nmenu: File | Language | Info\n");
}
