#include "gui/pages/odczyty_dlg.h"

#include "device/lpg_device.h"
#include "records/readings_format.h"
#include "records/settings_record.h"
#include "gui/skin/described_display.h"
#include "gui/skin/time_chart.h"

#include <QDateTime>
#include <QResizeEvent>

#include <cmath>
#include <vector>

namespace {

const QColor kDisplayTop(73, 119, 179);
const QColor kDisplayBottom(28, 41, 81);
constexpr unsigned kLabelFormat = 0x8024;

// The chart's place under the displays (dialog units); its bottom follows the page's.
constexpr int kChartLeft = 13;
constexpr int kChartTop = 292;
constexpr int kChartWidth = 245;
constexpr int kChartHeight = 120;
constexpr int kChartBottomMargin = 8;

// "%.Nf %s": the core's point-decimal number and the looked-up unit.
std::wstring withUnit(double x, int decimals, const wchar_t* unitKey)
{
    const std::string number = formatFixed(x, decimals);
    return std::wstring(number.begin(), number.end()) + L" " + translateText(unitKey);
}

} // namespace

COdczytyDlg::COdczytyDlg(CLPGDevice& device, QWidget* parent)
    : CGDIpMultiPageDialog(QSize(267, 420), parent), m_device(device), m_rpm(new CGDIpDescribedDisplay(this)),
      m_tps(new CGDIpDescribedDisplay(this)), m_map(new CGDIpDescribedDisplay(this)),
      m_advance(new CGDIpDescribedDisplay(this)), m_supply(new CGDIpDescribedDisplay(this)),
      m_switch(new CGDIpDescribedDisplay(this)), m_chart(new CTimeChart(this))
{
    for (CGDIpDescribedDisplay* d : {m_rpm, m_tps, m_map, m_advance, m_supply, m_switch})
        d->setRatio(kRatio);
    // The column is narrow on a small window: its displays take some of the height it has to
    // spare, enough to put a long label above its value.
    templateLayout().setTallStretch(1.4);
    placeControl(m_rpm, 13, 7, 245, 30);
    placeControl(m_tps, 13, 52, 245, 30);
    placeControl(m_map, 13, 99, 245, 30);
    placeControl(m_advance, 13, 148, 245, 30);
    placeControl(m_supply, 13, 198, 245, 30);
    placeControl(m_switch, 13, 248, 245, 30);

    m_chart->setObjectName(QStringLiteral("readingsChart"));
    m_chart->setWindowSeconds(kChartSeconds);
    // Scales that hold what the controller can report in practice; the colours tell the lanes
    // apart at a glance and match nothing else on the page.
    m_chart->addSeries({translateText(L"Obroty"), QColor(255, 176, 59), 0, 7000, 0, translateText(L"RPM")});
    m_chart->addSeries({translateText(L"Wyprzedzenie zapłonu"), QColor(106, 224, 130), 0, 30, 1, translateText(L"°")});
    m_chart->addSeries({translateText(L"MAP Podciśnienie"), QColor(96, 196, 255), 0, 5.0, 2, translateText(L"V")});
    placeControl(m_chart, kChartLeft, kChartTop, kChartWidth, kChartHeight);
    m_chartNext = m_device.m_diagData.nextSerial();
    m_chart->setPaused(true, pauseNote());

    m_pauseCheck.setInterval(kPauseCheckMillis);
    connect(&m_pauseCheck, &QTimer::timeout, this, [this] {
        if (!m_device.m_connected)
            updateChart();
    });
    m_pauseCheck.start();
}

void COdczytyDlg::resizeEvent(QResizeEvent* event)
{
    CGDIpMultiPageDialog::resizeEvent(event);
    // The chart takes the whole height left under the displays, which the template's
    // proportions would leave empty on a tall window.
    const QRect placed = templateLayout().map(QRect(kChartLeft, kChartTop, kChartWidth, kChartHeight), size());
    const int margin = templateLayout().map(QRect(0, 0, kChartBottomMargin, kChartBottomMargin), size()).height();
    m_chart->setGeometry(placed.left(), placed.top(), placed.width(),
                         std::max(placed.height(), height() - margin - placed.top()));
}

std::wstring COdczytyDlg::pauseNote() const
{
    std::wstring note = translateText(L"BRAK POŁĄCZENIA");
    if (m_anySample) {
        const auto age = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                               m_lastSampleTime);
        const QDateTime at = QDateTime::currentDateTime().addMSecs(-age.count());
        note += L"\n" + translateText(L"Ostatni odczyt:") + L" " + at.toString(QStringLiteral("HH:mm:ss")).toStdWString();
    }
    return note;
}

void COdczytyDlg::updateChart()
{
    if (!m_device.m_connected) {
        if (!m_chart->paused())
            m_chart->setPaused(true, pauseNote());
        return;
    }
    std::vector<CDiagEntry> entries;
    m_chartNext = m_device.m_diagData.copySince(m_chartNext, entries);
    for (const CDiagEntry& e : entries) {
        const double t = std::chrono::duration<double>(e.time.time_since_epoch()).count();
        m_chart->addPoint(t, {static_cast<double>(e.sample.rpm()), e.sample.advanceDegrees(), e.sample.mapVolts()});
        m_lastSampleTime = e.time;
        m_anySample = true;
    }
    if (m_anySample)
        m_chart->setPaused(false);
    if (!entries.empty())
        m_chart->update();
}

CGDIpDescribedDisplay* COdczytyDlg::display(int id) const
{
    switch (id) {
    case kIdRpm:
        return m_rpm;
    case kIdTps:
        return m_tps;
    case kIdMap:
        return m_map;
    case kIdAdvance:
        return m_advance;
    case kIdSupply:
        return m_supply;
    case kIdSwitch:
        return m_switch;
    default:
        return nullptr;
    }
}

void COdczytyDlg::v_init()
{
    CGDIpMultiPageDialog::v_init();
    m_map->setLabelText(translateText(L"MAP Podciśnienie"));
    m_map->setLabelFormat(kLabelFormat);
    m_map->setColors(kDisplayTop, kDisplayBottom);

    struct Initial {
        CGDIpDescribedDisplay* display;
        const wchar_t* label;
    };
    const Initial others[] = {
        {m_tps, TR_KEY(L"TPS")},
        {m_advance, TR_KEY(L"Wyprzedzenie zapłonu")},
        {m_rpm, TR_KEY(L"Obroty")},
        {m_supply, TR_KEY(L"Napięcie zasilania")},
        {m_switch, TR_KEY(L"Aktualny stan")},
    };
    for (const Initial& i : others) {
        i.display->copyStyle(*m_map);
        i.display->setLabelText(translateText(i.label));
    }
    // Until a controller sends a sample there is nothing to show: no zeros as if it had.
    showNoReading();
}

void COdczytyDlg::onTimer()
{
    CDiag sample;
    if (!m_device.m_connected || m_device.m_diagData.count() == 0 || !m_device.m_diagData.getLast(sample)) {
        // What the panel shows must be what the engine does now, or nothing.
        if (m_shown == Shown::Sample)
            showNoReading();
        return;
    }
    showSample(sample);
    updateChart();
}

void COdczytyDlg::showNoReading()
{
    m_shown = Shown::NoReading;
    for (CGDIpDescribedDisplay* d : {m_map, m_rpm, m_supply, m_tps, m_advance, m_switch})
        d->setValueText(kNoReading);
}

std::wstring COdczytyDlg::mapText(int16_t raw)
{
    return withUnit(liveMapFromWire(raw), 2, L"V");
}

std::wstring COdczytyDlg::rpmText(uint16_t rpm)
{
    return withUnit(static_cast<double>(rpm), 0, L"RPM");
}

std::wstring COdczytyDlg::supplyText(uint16_t raw)
{
    return withUnit(supplyFromWire(raw), 2, L"V");
}

std::wstring COdczytyDlg::tpsText(int16_t raw)
{
    return withUnit(tpsFromWire(raw), 2, L"V");
}

std::wstring COdczytyDlg::advanceText(uint16_t tenths)
{
    return withUnit(tenths / 10.0, 2, L"°");
}

std::wstring COdczytyDlg::switchValueText(uint8_t state)
{
    return translateText(state != 0 ? L"Włączony" : L"Wyłączony");
}

void COdczytyDlg::showSample(const CDiag& sample)
{
    m_map->setValueText(mapText(sample.mapRaw()));
    m_rpm->setValueText(rpmText(sample.rpm()));
    m_supply->setValueText(supplyText(sample.supplyRaw()));
    m_tps->setValueText(tpsText(sample.tpsRaw()));
    m_advance->setValueText(advanceText(sample.advanceTenths()));
    m_switch->setValueText(switchValueText(sample.bytes[12]));
    m_shown = Shown::Sample;
}

void COdczytyDlg::onLanguageChange()
{
    m_rpm->setLabelText(translateText(L"Obroty"));
    // After a switch the supply label is the short one.
    m_supply->setLabelText(translateText(L"Napięcie"));
    m_map->setLabelText(translateText(L"MAP Podciśnienie"));
    m_tps->setLabelText(translateText(L"TPS"));
    m_advance->setLabelText(translateText(L"Wyprzedzenie zapłonu"));
    m_switch->setLabelText(translateText(L"Aktualny stan"));
    if (m_shown != Shown::NoReading)
        m_switch->setValueText(translateText(L"Wyłączony"));
    m_chart->setSeriesLabel(ChartRpm, translateText(L"Obroty"));
    m_chart->setSeriesLabel(ChartAdvance, translateText(L"Wyprzedzenie zapłonu"));
    m_chart->setSeriesLabel(ChartMap, translateText(L"MAP Podciśnienie"));
    if (m_chart->paused())
        m_chart->setPaused(true, pauseNote());
}
