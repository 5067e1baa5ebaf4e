// The readings panel: which sample byte goes to which display in which format, the rule that only
// a connected device with samples refreshes it, and the chart that follows and pauses. The
// conversions themselves are said at tests/unit/readings_format_test; the language change at the
// window's tests.
#include "base/language.h"
#include "device/lpg_device.h"
#include "gui/support/qt_app_environment.h"
#include "gui/pages/odczyty_dlg.h"
#include "gui/skin/described_display.h"
#include "gui/skin/time_chart.h"
#include "support/comma_locale.h"
#include "support/diag_samples.h"

#include <gtest/gtest.h>

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

    CLPGDevice device;
    COdczytyDlg panel{device};
};

} // namespace

// Under a comma locale, as on a Polish desktop: the numbers keep their point.
TEST(ReadingsPanel, EachDisplayShowsItsBytesInItsFormat)
{
    const struct {
        CDiag sample;
        const wchar_t* rpm;
        const wchar_t* tps;
        const wchar_t* map;
        const wchar_t* advance;
        const wchar_t* supply;
        const wchar_t* state;
    } rows[] = {
        {sample(850, 200, 512, 588, 123, 0), L"850 RPM", L"3.00 V", L"1.65 V", L"12.30 °", L"12.00 V", L"Wyłączony"},
        {sample(65535, 333, 1023, 200, 5, 1), L"65535 RPM", L"5.00 V", L"3.30 V", L"0.50 °", L"4.08 V", L"Włączony"},
        // 0xFFFF is -1 as a signed count: -0.003 V, printed with its sign.
        {sample(0, 0, 0xFFFF, 0, 0, 255), L"0 RPM", L"0.00 V", L"-0.00 V", L"0.00 °", L"0.00 V", L"Włączony"},
    };
    CCommaLocale comma;
    CPanel p;
    for (const auto& row : rows) {
        p.tick(row.sample);
        EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), row.rpm);
        EXPECT_EQ(p.value(COdczytyDlg::kIdTps), row.tps);
        EXPECT_EQ(p.value(COdczytyDlg::kIdMap), row.map);
        EXPECT_EQ(p.value(COdczytyDlg::kIdAdvance), row.advance);
        EXPECT_EQ(p.value(COdczytyDlg::kIdSupply), row.supply);
        EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), row.state);
    }
}

TEST(ReadingsPanel, OnlyAConnectedDeviceWithSamplesRefreshes)
{
    CPanel p;
    // Before any sample nothing is shown as if a controller had sent it: no "0 RPM", no "Off".
    p.panel.onTimer(); // connected, empty store
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), COdczytyDlg::kNoReading);
    p.device.m_connected = false;
    p.tick(sample(900, 0, 0, 0, 0, 1));
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), COdczytyDlg::kNoReading);
    EXPECT_EQ(p.value(COdczytyDlg::kIdSwitch), COdczytyDlg::kNoReading);
    p.device.m_connected = true;
    p.panel.onTimer();
    EXPECT_EQ(p.value(COdczytyDlg::kIdRpm), L"900 RPM");
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

TEST(ReadingsPanel, TheChartFollowsTheSamplesAndPausesWithTheTimeOfTheLastOne)
{
    CPanel p;
    CTimeChart* chart = p.panel.chart();
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
