#include "gui/pages/odczyty_dlg.h"

#include "device/lpg_device.h"
#include "records/settings_record.h"
#include "gui/skin/described_display.h"

#include <charconv>
#include <cmath>

namespace {

const QColor kDisplayTop(73, 119, 179);
const QColor kDisplayBottom(28, 41, 81);
constexpr unsigned kLabelFormat = 0x8024;

} // namespace

std::wstring formatFixed(double x, int decimals, const std::wstring& unit)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
    std::wstring text(buffer, result.ptr);
    return text + L" " + unit;
}

COdczytyDlg::COdczytyDlg(CLPGDevice& device, QWidget* parent)
    : CGDIpMultiPageDialog(QSize(267, 420), parent), m_device(device), m_rpm(new CGDIpDescribedDisplay(this)),
      m_tps(new CGDIpDescribedDisplay(this)), m_map(new CGDIpDescribedDisplay(this)),
      m_advance(new CGDIpDescribedDisplay(this)), m_supply(new CGDIpDescribedDisplay(this)),
      m_switch(new CGDIpDescribedDisplay(this))
{
    for (CGDIpDescribedDisplay* d : {m_rpm, m_tps, m_map, m_advance, m_supply, m_switch})
        d->setRatio(kRatio);
    placeControl(m_rpm, 13, 7, 245, 30);
    placeControl(m_tps, 13, 52, 245, 30);
    placeControl(m_map, 13, 99, 245, 30);
    placeControl(m_advance, 13, 148, 245, 30);
    placeControl(m_supply, 13, 198, 245, 30);
    placeControl(m_switch, 13, 248, 245, 30);
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
    m_map->setValueText(L"0 bar");
    m_map->setLabelFormat(kLabelFormat);
    m_map->setColors(kDisplayTop, kDisplayBottom);

    struct Initial {
        CGDIpDescribedDisplay* display;
        const wchar_t* label;
        std::wstring value;
    };
    const Initial others[] = {
        {m_tps, TR_KEY(L"TPS"), L"0 V"},
        {m_advance, TR_KEY(L"Wyprzedzenie zapłonu"), L"0 °"},
        {m_rpm, TR_KEY(L"Obroty"), L"0 RPM"},
        {m_supply, TR_KEY(L"Napięcie zasilania"), L"0.00 V"},
        {m_switch, TR_KEY(L"Aktualny stan"), translateText(L"Wyłączony")},
    };
    for (const Initial& i : others) {
        i.display->copyStyle(*m_map);
        i.display->setLabelText(translateText(i.label));
        i.display->setValueText(i.value);
    }
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
}

void COdczytyDlg::showNoReading()
{
    m_shown = Shown::NoReading;
    for (CGDIpDescribedDisplay* d : {m_map, m_rpm, m_supply, m_tps, m_advance, m_switch})
        d->setValueText(kNoReading);
}

std::wstring COdczytyDlg::mapText(int16_t raw)
{
    return formatFixed(liveMapFromWire(raw), 2, translateText(L"V"));
}

std::wstring COdczytyDlg::rpmText(uint16_t rpm)
{
    return formatFixed(static_cast<double>(rpm), 0, translateText(L"RPM"));
}

std::wstring COdczytyDlg::supplyText(uint16_t raw)
{
    return formatFixed(supplyFromWire(raw), 2, translateText(L"V"));
}

std::wstring COdczytyDlg::tpsText(int16_t raw)
{
    return formatFixed(tpsFromWire(raw), 2, translateText(L"V"));
}

std::wstring COdczytyDlg::advanceText(uint16_t tenths)
{
    return formatFixed(tenths / 10.0, 2, translateText(L"°"));
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
    if (m_shown == Shown::NoReading)
        return;
    m_switch->setValueText(translateText(L"Wyłączony"));
}
