// The readings panel: the initial texts, every conversion and format from the raw sample, the
// rule that only a connected device with samples refreshes it, and the language change.
#include "base/language.h"
#include "device/lpg_device.h"
#include "gui/support/qt_app_environment.h"
#include "gui/pages/odczyty_dlg.h"
#include "gui/skin/described_display.h"
#include "gui/skin/theme.h"
#include "gui/skin/time_chart.h"
#include "support/diag_samples.h"
#include "support/sim_fixture.h"

#include <QTest>

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

constexpr auto sample = &testsupport::diagSample;

// The panel as the page control sets it up, over the device object of the program.
struct CPanel {
    CPanel()
    {
        setCurrentLanguage(kLanguagePolish);
        panel.resize(400, 600);
        panel.initialiseOnce();
        device.m_connected = true;
    }
    ~CPanel() { setCurrentLanguage(kLanguagePolish); }
    // One sample into the real store, then a refresh tick.
    void tick(const CDiag& d)
    {
        device.m_diagData.add(d);
        panel.onTimer();
    }
    std::wstring value(int id) const { return panel.display(id)->valueText(); }
    std::wstring label(int id) const { return panel.display(id)->labelText(); }

    CLPGDevice device;
    COdczytyDlg panel{device};
};

} // namespace

TEST(ReadingsPanel, StartsWithItsInitialTextsAndStyles)
{
    CPanel p;
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"0 RPM");
    EXPECT_EQ(p.value(COdczytyDlg::kIdTps), L"0 V");
    EXPECT_EQ(p.value(COdczytyDlg::kIdMap), L"0 bar");
    EXPECT_EQ(p.value(COdczytyDlg::kIdAdvance), L"0 °");
    EXPECT_EQ(p.value(COdczytyDlg::kIdSupply), L"0.00 V");
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), L"Wyłączony");
    EXPECT_EQ(p.label(COdczytyDlg::kIdMap), L"MAP Podciśnienie");
    EXPECT_EQ(p.label(COdczytyDlg::kIdTps), L"TPS");
    EXPECT_EQ(p.label(COdczytyDlg::kIdAdvance), L"Wyprzedzenie zapłonu");
    EXPECT_EQ(p.label(COdczytyDlg::kIdRpm), L"Obroty");
    EXPECT_EQ(p.label(COdczytyDlg::kIdSupply), L"Napięcie zasilania");
    EXPECT_EQ(p.label(COdczytyDlg::kIdSwitch), L"Aktualny stan");
    for (int id : {COdczytyDlg::kIdRpm, COdczytyDlg::kIdTps, COdczytyDlg::kIdMap, COdczytyDlg::kIdAdvance,
                   COdczytyDlg::kIdSupply, COdczytyDlg::kIdSwitch}) {
        const CGDIpDescribedDisplay* d = p.panel.display(id);
        EXPECT_DOUBLE_EQ(d->ratio(), 0.65) << id;
        EXPECT_EQ(d->labelFormat(), 0x8024u) << id;
        EXPECT_EQ(d->colorTop(), QColor(73, 119, 179)) << id;
        EXPECT_EQ(d->colorBottom(), QColor(28, 41, 81)) << id;
        EXPECT_TRUE(d->isVisible() || !p.panel.isVisible()) << id;
        EXPECT_GT(d->width(), 0) << id;
    }
}

TEST(ReadingsPanel, MapVoltsFromTheTenBitCount)
{
    CPanel p;
    p.tick(sample(0, 0, 1023, 0, 0, 0));
    EXPECT_EQ(p.value(COdczytyDlg::kIdMap), L"3.30 V");
    p.tick(sample(0, 0, 512, 0, 0, 0));
    EXPECT_EQ(p.value(COdczytyDlg::kIdMap), L"1.65 V");
    // 0xFFFF is -1 as a signed count: -0.003 V, printed with its sign.
    p.tick(sample(0, 0, 0xFFFF, 0, 0, 0));
    EXPECT_EQ(p.value(COdczytyDlg::kIdMap), L"-0.00 V");
}

TEST(ReadingsPanel, TpsSupplyAdvanceSpeedAndSwitch)
{
    CPanel p;
    p.tick(sample(850, 200, 0, 588, 123, 0));
    EXPECT_EQ(p.value(COdczytyDlg::kIdTps), L"3.00 V");
    EXPECT_EQ(p.value(COdczytyDlg::kIdSupply), L"12.00 V");
    EXPECT_EQ(p.value(COdczytyDlg::kIdAdvance), L"12.30 °");
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"850 RPM");
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), L"Wyłączony");

    p.tick(sample(65535, 333, 0, 200, 0, 1));
    EXPECT_EQ(p.value(COdczytyDlg::kIdTps), L"5.00 V"); // 4.9955
    EXPECT_EQ(p.value(COdczytyDlg::kIdSupply), L"4.08 V");
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"65535 RPM");
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), L"Włączony");
    p.tick(sample(0, 0, 0, 0, 0, 255));
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), L"Włączony");
}

TEST(ReadingsPanel, NumbersKeepThePointUnderACommaLocale)
{
    // The toolkit adopts the desktop's locale; a Polish one prints 12,00 with printf.
    const char* chosen = std::setlocale(LC_NUMERIC, "pl_PL.UTF-8");
    if (!chosen)
        chosen = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    CPanel p;
    p.tick(sample(0, 0, 512, 588, 123, 0));
    EXPECT_EQ(p.value(COdczytyDlg::kIdSupply), L"12.00 V");
    EXPECT_EQ(p.value(COdczytyDlg::kIdMap), L"1.65 V");
    std::setlocale(LC_NUMERIC, "C");
    if (!chosen)
        GTEST_SKIP() << "no comma locale installed; the point was checked under C only";
}

TEST(ReadingsPanel, OnlyAConnectedDeviceWithSamplesRefreshes)
{
    CPanel p;
    p.panel.onTimer(); // connected, empty store
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"0 RPM");
    p.device.m_connected = false;
    p.tick(sample(900, 0, 0, 0, 0, 1));
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"0 RPM");
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), L"Wyłączony");
    p.device.m_connected = true;
    p.panel.onTimer();
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"900 RPM");
    // The newest sample wins.
    p.tick(sample(1000, 0, 0, 0, 0, 1));
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"1000 RPM");
    // A lost controller's values are no longer current: dashes, whatever the store still holds.
    p.device.m_connected = false;
    p.tick(sample(1100, 0, 0, 0, 0, 1));
    for (int id : {COdczytyDlg::kIdRpm, COdczytyDlg::kIdTps, COdczytyDlg::kIdMap, COdczytyDlg::kIdAdvance,
                   COdczytyDlg::kIdSupply, COdczytyDlg::kIdSwitch})
        EXPECT_EQ(p.value(id), COdczytyDlg::kNoReading) << id;
    p.panel.onLanguageChange();
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), COdczytyDlg::kNoReading);
    p.device.m_connected = true;
    p.panel.onTimer();
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"1100 RPM");
}

TEST(ReadingsPanel, LanguageChangeRelabelsAndResetsTheSwitch)
{
    CPanel p;
    p.tick(sample(850, 200, 512, 588, 123, 1));
    ASSERT_EQ(p.value(COdczytyDlg::kIdSwitch), L"Włączony");
    ASSERT_TRUE(switchLanguage(kLanguageEnglish));
    p.panel.onLanguageChange();
    EXPECT_NE(translateText(L"Obroty"), L"Obroty");
    EXPECT_EQ(p.label(COdczytyDlg::kIdRpm), translateText(L"Obroty"));
    EXPECT_EQ(p.label(COdczytyDlg::kIdSupply), translateText(L"Napięcie"));
    EXPECT_EQ(p.label(COdczytyDlg::kIdMap), translateText(L"MAP Podciśnienie"));
    EXPECT_EQ(p.label(COdczytyDlg::kIdSwitch), translateText(L"Aktualny stan"));
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), translateText(L"Wyłączony"));
    // Other values stay until the next refresh, which uses the new unit texts.
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"850 RPM");
    p.panel.onTimer();
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), translateText(L"Włączony"));
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"850 " + translateText(L"RPM"));
}

TEST(ReadingsPanel, LiveSampleFromTheVirtualControllerOverTheTerminal)
{
    CSimFixture fixture;
    sim::OperatingPoint point;
    point.rpm = 3100;
    point.switchOn = false;
    fixture.sim().setFixedPoint(point);
    fixture.sim().setProfile(sim::Profile::Fixed);
    CPanel p;
    fixture.openDirect(p.device);
    CDiag live;
    ASSERT_EQ(p.device.GetDiagSample(live), CLPGDevice::kSampleOk);
    p.tick(live);
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"3100 RPM");
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), L"Wyłączony");
}

TEST(ReadingsPanel, TheChartFollowsTheSamplesAndPausesWithTheTimeOfTheLastOne)
{
    CPanel p;
    CTimeChart* chart = p.panel.chart();
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->paused()) << "no sample yet";
    EXPECT_EQ(chart->note(), L"BRAK POŁĄCZENIA");
    // The chart sits under the six displays and reaches down the page.
    p.panel.show();
    EXPECT_GT(chart->geometry().top(), p.panel.display(COdczytyDlg::kIdSwitch)->geometry().bottom());
    EXPECT_GT(chart->geometry().bottom(), p.panel.height() - 30);

    // Two samples between two ticks: both reach the chart, in order, with the panel's values.
    p.device.m_diagData.add(sample(850, 200, 512, 588, 123, 1));
    p.tick(sample(900, 200, 1023, 588, 150, 1));
    EXPECT_FALSE(chart->paused());
    EXPECT_EQ(chart->pointCount(), 2u);
    EXPECT_EQ(chart->currentValue(COdczytyDlg::ChartRpm), 900.0);
    EXPECT_DOUBLE_EQ(chart->currentValue(COdczytyDlg::ChartAdvance), 15.0);
    EXPECT_DOUBLE_EQ(chart->currentValue(COdczytyDlg::ChartMap), 3.3);

    // The controller lost: the picture freezes, greyed, with the time of the last sample.
    p.device.m_connected = false;
    p.device.m_diagData.add(sample(1000, 0, 0, 0, 0, 1));
    p.panel.updateChart();
    EXPECT_TRUE(chart->paused());
    EXPECT_EQ(chart->pointCount(), 2u);
    EXPECT_EQ(chart->note().rfind(L"BRAK POŁĄCZENIA\nOstatni odczyt: ", 0), 0u) << QString::fromStdWString(chart->note()).toStdString();
    EXPECT_EQ(chart->note().size(), std::wstring(L"BRAK POŁĄCZENIA\nOstatni odczyt: 12:34:56").size());
    // Back: the samples waiting in the store follow.
    p.device.m_connected = true;
    p.panel.onTimer();
    EXPECT_FALSE(chart->paused());
    EXPECT_EQ(chart->pointCount(), 3u);
}
