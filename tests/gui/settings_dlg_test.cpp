// The settings page against the virtual controller: the state, the detected wheel and its chart,
// the TPS spin's ends, the sensor list's writes, and the auto-detection through its dialog,
// completed and cancelled (the detection's own rules are said at
// tests/integration/auto_calibration_test; the language switch at the window's tests).
#include "base/language.h"
#include "device/lpg_device.h"
#include "gui/pages/autokalibracja_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/scroll_chart.h"
#include "gui/skin/str_value_combo.h"
#include "gui/shell/link_gateway.h"
#include "gui/support/qt_app_environment.h"
#include "operations/doravine_doc.h"
#include "support/byte_files.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QApplication>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

struct CPage {
    CPage()
    {
        setCurrentLanguage(kLanguagePolish);
        CSimFixture::shortenTimeouts(doc.Device());
        fixture.openDirect(doc.Device());
        doc.Device().Timings().stopLiveSamplesWaitMs = 0;
        page.resize(800, 600);
        page.initialiseOnce();
        page.v_activate();
        fixture.sim().clearRequests();
    }
    ~CPage()
    {
        doc.StopLiveSamples();
        threads.joinAll();
        setCurrentLanguage(kLanguagePolish);
    }
    std::vector<std::string> requests()
    {
        std::vector<std::string> out;
        for (const std::string& r : testsupport::requestNames(fixture.sim()))
            if (r != "2/06")
                out.push_back(r);
        return out;
    }
    std::vector<double> chartPoints() const
    {
        std::vector<double> out;
        for (size_t i = 0; i < page.chart()->pointCount(CSettingsDlg::kChartLine); ++i)
            out.push_back(page.chart()->pointValue(CSettingsDlg::kChartLine, i));
        return out;
    }
    bool chartIsFlat() const { return chartPoints() == std::vector<double>(2000, 0.001); }

    // Runs the auto-detection from the button; watch sees the dialog on each of its ticks.
    void runDetection(const std::function<void(CAutokalibracjaDlg&)>& watch)
    {
        doc.ResumeLiveSamples();
        user.answerYes();
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<CAutokalibracjaDlg*>(QApplication::activeModalWidget()))
                watch(*dialog);
        });
        poll.start();
        page.autoButton()->click();
    }

    CSimFixture fixture;
    CRecordingUser user;
    CThreadManager threads;
    CDoravineDoc doc{&threads};
    CLinkGateway gateway{doc.Device()};
    CSettingsDlg page{doc};
};

} // namespace

TEST(SettingsPage, ShowsTheStateTheWheelAndItsReferenceChart)
{
    CPage p;
    EXPECT_EQ(p.page.stateDisplay()->valueText(), L"Praca");
    EXPECT_EQ(p.page.wheelDisplay()->valueText(), L"60 - 2");
    EXPECT_EQ(p.page.sensorList()->currentText().toStdWString(), L"Halotronowy");
    EXPECT_EQ(p.page.tpsEdit()->caption(), L"1.50") << "100 counts of 15 mV";
    EXPECT_FALSE(p.page.tpsEdit()->isEnabled());
    const std::vector<double> points = p.chartPoints();
    ASSERT_EQ(points.size(), 2000u) << "HALL_60_2.csv beside the program";
    EXPECT_EQ(*std::min_element(points.begin(), points.end()), 0.25);
    EXPECT_EQ(*std::max_element(points.begin(), points.end()), 2.25);
}

// A controller found in normal operation after the page's set-up (as after the start-up search,
// which ends later) gets its chart back.
TEST(SettingsPage, TheDetectionStateShowsDashesAndAFlatLineUntilNormalOperation)
{
    CPage p;
    auto settings = p.fixture.sim().settings();
    settings[13] = 0;
    p.fixture.sim().setSettings(settings);
    p.page.v_activate();
    EXPECT_EQ(p.page.stateDisplay()->valueText(), L"Autodetekcja koła zamachowego");
    EXPECT_EQ(p.page.wheelDisplay()->valueText(), L"---");
    p.page.showWheelChart(0);
    EXPECT_TRUE(p.chartIsFlat());
    settings[13] = 173;
    p.fixture.sim().setSettings(settings);
    p.page.v_activate();
    EXPECT_FALSE(p.chartIsFlat());
}

TEST(SettingsPage, TheTpsSpinStaysWithinItsEndsAndWritesEachStep)
{
    const struct {
        double start;
        int delta;
        const wchar_t* shown;
    } cases[] = {{0.0, 1, L"0.00"}, {15.0, -1, L"15.00"}, {1.48, -1, L"1.53"}, {1.48, 1, L"1.43"}};
    CPage p;
    for (const auto& c : cases) {
        p.doc.Device().m_settings.tpsThreshold = c.start;
        p.fixture.sim().clearRequests();
        p.page.onTpsSpin(c.delta);
        EXPECT_EQ(p.page.tpsEdit()->caption(), c.shown) << c.start;
        // Settings, then map, each read back.
        EXPECT_EQ(p.requests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E"})) << c.start;
    }
    p.doc.Device().m_connected = false;
    p.fixture.sim().clearRequests();
    const double before = p.doc.Device().m_settings.tpsThreshold;
    p.page.onTpsSpin(-1);
    EXPECT_TRUE(p.requests().empty());
    EXPECT_EQ(p.doc.Device().m_settings.tpsThreshold, before) << "without a controller nothing changes";
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{L"BRAK POŁĄCZENIA"});
}

// The edit shows the threshold as the controller stores it (15 mV counts), not the step's sum.
TEST(SettingsPage, TheTpsShowsWhatTheControllerStored)
{
    CPage p;
    p.page.onTpsSpin(-1);
    p.page.onTpsSpin(-1);
    EXPECT_EQ(p.page.tpsEdit()->caption(), L"1.59");
    EXPECT_EQ(p.fixture.sim().settings()[0], 106) << "1.60 V is 106 counts";
    p.page.v_activate();
    EXPECT_EQ(p.page.tpsEdit()->caption(), L"1.59");
}

// A write that fails or breaks off leaves the page showing the controller's values: read again
// at once when the line allows, else the last read greyed until the controller is back.
TEST(SettingsPage, AFailedWriteShowsWhatTheControllerHolds)
{
    CPage p;
    sim::FaultRule refuse = faultRule(sim::FaultKind::NoReply);
    refuse.when = sim::FaultWhen::FrameType;
    refuse.code = 3;
    p.fixture.sim().addFault(refuse);
    p.page.onSensorChosen(1);
    p.page.onTpsSpin(-1);
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>(2, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!"));
    EXPECT_EQ(p.page.sensorList()->currentText().toStdWString(), L"Halotronowy");
    EXPECT_EQ(p.page.tpsEdit()->caption(), L"1.50");
    EXPECT_TRUE(p.page.sensorList()->isEnabled());

    p.fixture.sim().clearFaults();
    p.fixture.sim().addFault(faultRule(sim::FaultKind::HangUp, p.fixture.sim().requestCount() + 4));
    p.page.onSensorChosen(1);
    EXPECT_EQ(p.user.texts().size(), 3u);
    EXPECT_EQ(p.doc.Device().m_settings.sensorType, 0.0) << "the unconfirmed type must not ride on the next write";
    EXPECT_EQ(p.page.sensorList()->currentText().toStdWString(), L"Halotronowy");
    EXPECT_FALSE(p.page.sensorList()->isEnabled());
    EXPECT_FALSE(p.page.tpsSpin()->isEnabled());

    // Back: the controller took the type before the line went.
    ASSERT_TRUE(p.fixture.sim().comeBack());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.fixture.sim().path().empty(); }, 5000));
    CSimFixture::setPorts({p.fixture.sim().path()});
    p.fixture.openDirect(p.doc.Device());
    for (int i = 0; i <= CSettingsDlg::kTimerDivider; ++i)
        p.page.onTimer();
    EXPECT_EQ(p.page.sensorList()->currentText().toStdWString(), L"Indukcyjny");
    EXPECT_TRUE(p.page.sensorList()->isEnabled());
    EXPECT_EQ(p.user.texts().size(), 3u);
}

// Without a controller ever read (or with demo values) the page shows dashes, greyed.
TEST(SettingsPage, WithoutAControllerTheValuesAreDashes)
{
    CSimFixture fixture;
    CRecordingUser user;
    CDoravineDoc doc;
    CLinkGateway gateway{doc.Device()};
    doc.Device().m_demo = true;
    CSettingsDlg page{doc};
    page.initialiseOnce();
    page.v_activate();
    EXPECT_EQ(page.stateDisplay()->valueText(), CSettingsDlg::kNoValue);
    EXPECT_EQ(page.wheelDisplay()->valueText(), CSettingsDlg::kNoValue);
    EXPECT_EQ(page.tpsEdit()->caption(), CSettingsDlg::kNoValue);
    EXPECT_EQ(page.sensorList()->currentIndex(), -1);
    EXPECT_FALSE(page.autoButton()->isEnabled());
    EXPECT_FALSE(page.sensorList()->isEnabled());
}

TEST(SettingsPage, TheSensorListWritesOnlyAChange)
{
    CPage p;
    p.page.onSensorChosen(0);
    EXPECT_EQ(p.requests(), (std::vector<std::string>{"2/07", "2/07"})) << "the sensor that is already set";
    p.fixture.sim().clearRequests();
    p.page.onSensorChosen(1);
    EXPECT_EQ(p.requests(), (std::vector<std::string>{"2/07", "3", "2/07", "9", "2/0E", "2/0A", "2/07"}));
    EXPECT_EQ(p.fixture.sim().settings()[10], 1);
}

TEST(SettingsPage, TheDetectionRunsThroughItsDialogAndShowsTheNewWheel)
{
    CPage p;
    p.fixture.sim().setWheel(sim::Wheel::W30_2);
    p.fixture.sim().setProfile(sim::Profile::Steady);
    bool sawCollecting = false;
    std::wstring stateBehind;
    p.runDetection([&](CAutokalibracjaDlg& dialog) {
        dialog.timer().setInterval(1); // the collection's pace, not its logic, is the window's
        sawCollecting |= dialog.progressBar()->value() >= 40;
        stateBehind = p.page.stateDisplay()->valueText() + L" / " + p.page.wheelDisplay()->valueText();
    });
    EXPECT_TRUE(sawCollecting);
    EXPECT_EQ(stateBehind, L"Autodetekcja koła zamachowego / ---") << "the reset controller behind the dialog";
    EXPECT_EQ(p.page.stateDisplay()->valueText(), L"Praca");
    EXPECT_EQ(p.page.wheelDisplay()->valueText(), L"30 - 2");
    EXPECT_TRUE(p.page.autoButton()->isEnabled());
    EXPECT_FALSE(p.chartIsFlat()) << "HALL_Type2_30_2.csv";
    ASSERT_FALSE(p.user.texts().empty());
    EXPECT_EQ(p.user.texts().back().rfind(L"Autokalibracja zakończona sukcesem!\n", 0), 0u);
}

TEST(SettingsPage, CancelClosesTheDialogAtOnceAndLeavesTheDetectionState)
{
    CPage p;
    p.fixture.sim().setProfile(sim::Profile::Steady);
    bool closedAtClick = false;
    p.runDetection([&](CAutokalibracjaDlg& dialog) {
        if (dialog.progressBar()->value() < 20)
            return;
        dialog.cancelButton()->click();
        closedAtClick = !dialog.isVisible();
    });
    EXPECT_TRUE(closedAtClick);
    EXPECT_EQ(p.page.stateDisplay()->valueText(), L"Autodetekcja koła zamachowego");
    EXPECT_EQ(p.page.wheelDisplay()->valueText(), L"---");
    EXPECT_TRUE(p.chartIsFlat());
    ASSERT_FALSE(p.user.texts().empty());
    EXPECT_EQ(p.user.texts().back().rfind(L"Autodetekcja koła zamachowego przerwana.\n", 0), 0u);
}

