#include "gui/pages/version_dlg.h"

#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/statics.h"
#include "gui/skin/text_list.h"

#include <chrono>
#include <cstdint>
#include <thread>

using Outcome = CLinkGateway::Outcome;

namespace {

const QColor kDisplayTop(73, 119, 179);
const QColor kDisplayBottom(28, 41, 81);
constexpr unsigned kLabelFormat = 0x8024;

} // namespace

CVersionDlg::CVersionDlg(CLPGDevice& device, QWidget* parent)
    : CGDIpMultiPageDialog(QSize(504, 226), parent), m_device(device), m_identityHeading(new CGDIpStatic(this)),
      m_type(new CGDIpDescribedDisplay(this)), m_version(new CGDIpDescribedDisplay(this)),
      m_date(new CGDIpDescribedDisplay(this)), m_serial(new CGDIpDescribedDisplay(this)),
      m_errorsHeading(new CGDIpStatic(this)), m_clear(new CGDIpGradientButton(this)),
      m_read(new CGDIpGradientButton(this))
{
    m_identityHeading->setCaption(L"Informacje o sterowniku");
    m_type->setLabelText(L"Typ urządzenia");
    m_version->setLabelText(L"Wersja");
    m_date->setLabelText(L"prod date");
    m_serial->setLabelText(L"Static");
    m_errorsHeading->setCaption(L"Kody błędów");
    m_clear->setCaption(L"Kasuj błędy");
    m_read->setCaption(L"Wczytaj błędy");
    for (CGDIpDescribedDisplay* d : {m_type, m_version, m_date, m_serial})
        d->setRatio(kRatio);
    // A small window leaves this wide, flat page room in height: the displays take it, so that a
    // long label can stand above its value.
    templateLayout().setTallStretch(1.6);

    placeControl(m_identityHeading, 7, 10, 163, 20);
    placeControl(m_type, 7, 50, 163, 20);
    placeControl(m_version, 7, 82, 163, 17);
    placeControl(m_date, 7, 110, 163, 20);
    placeControl(m_serial, 7, 140, 163, 20);
    placeControl(m_errorsHeading, 180, 10, 284, 20);
    placeControl(m_clear, 180, 170, 136, 15);
    placeControl(m_read, 328, 170, 136, 15);

    connect(m_read, &QPushButton::clicked, this, &CVersionDlg::onReadErrors);
    connect(m_clear, &QPushButton::clicked, this, &CVersionDlg::onClearErrors);
}

void CVersionDlg::v_init()
{
    CGDIpMultiPageDialog::v_init();
    m_list = new CGDIpTextListCtrl(this);
    placeControl(m_list, 180, 50, 284, 110);
    m_list->show();

    struct Initial {
        CGDIpDescribedDisplay* display;
        const wchar_t* label;
    };
    const Initial displays[] = {
        {m_date, TR_KEY(L"Data produkcji")},
        {m_version, TR_KEY(L"Wersja sterownika")},
        {m_type, TR_KEY(L"Typ urządzenia")},
        {m_serial, TR_KEY(L"Nr seryjny")},
    };
    for (const Initial& i : displays) {
        i.display->setLabelText(translateText(i.label));
        i.display->setValueText(kNoValue);
        i.display->setLabelFormat(kLabelFormat);
        i.display->setColors(kDisplayTop, kDisplayBottom);
    }

    m_errorsHeading->setGradientProportions({0.15, 0.15, 0.15, 0.15});
    m_errorsHeading->setColors(Qt::white, Qt::white);
    m_identityHeading->copyStyle(*m_errorsHeading);
    m_errorsHeading->setCaption(translateText(L"Kody błędów"));
    m_identityHeading->setCaption(translateText(L"Dane sterownika"));

    m_clear->setColors(QColor(50, 50, 50), QColor(36, 36, 36), QColor(90, 90, 90), QColor(60, 60, 60));
    m_read->copyStyle(*m_clear);
}

std::wstring CVersionDlg::sensorTypeText(double sensorType)
{
    return translateText(sensorType == 0 ? L"Hallotronowy" : L"Indukcyjny");
}

void CVersionDlg::fillDisplays()
{
    // Without a controller nothing is shown as if one had said it.
    if (!m_device.m_connected) {
        for (CGDIpDescribedDisplay* d : {m_date, m_version, m_type, m_serial})
            d->setValueText(kNoValue);
        return;
    }
    m_date->setValueText(m_device.ProductionDateText());
    m_version->setValueText(m_device.VersionText());
    m_type->setValueText(sensorTypeText(m_device.m_settings.sensorType));
    m_serial->setValueText(m_device.m_serialNumber);
}

void CVersionDlg::v_activate()
{
    fillDisplays();
}

void CVersionDlg::onReadErrors()
{
    uint8_t errors[kErrorModuleCount] = {};
    const Outcome read = CLinkGateway::runOnInstance(L"CDevDataDlg::OnBnClickedButtonread()",
                                                     [&](CLPGDevice& device) { return device.GetErrors(errors); });
    if (read == Outcome::Failed)
        userInteraction().showMessage(translateText(L"Nie można wczytać błędów urządzenia"), MessageIcon::Error);
    if (read != Outcome::Done)
        return;
    m_list->clearLines();
    if (errors[0] == 0 && errors[1] == 0 && errors[2] == 0 && errors[3] == 0) {
        m_list->addLine(translateText(L"Brak błędów"));
    } else {
        for (const std::wstring& line : m_device.decodeErrors(errors))
            m_list->addLine(line);
    }
    m_list->redraw();
}

void CVersionDlg::onClearErrors()
{
    const Outcome cleared = CLinkGateway::runOnInstance(L"CDevDataDlg::OnBnClickedButtonclear()",
                                                        [](CLPGDevice& device) { return device.ResetDevice(); });
    if (cleared == Outcome::Failed)
        userInteraction().showMessage(translateText(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!"),
                                      MessageIcon::Error);
    if (cleared != Outcome::Done)
        return;
    m_list->clearLines();
    m_list->addLine(translateText(L"Błędy skasowane"));
    m_list->redraw();
    // The clear is done; a link that breaks on the settings read after it gets the replug message
    // alone. A read that is not answered leaves the record as it was.
    CLinkGateway::runOnInstance(nullptr, [](CLPGDevice& device) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kClearPauseMs));
        return device.GetSettings();
    });
    fillDisplays();
}

void CVersionDlg::onLanguageChange()
{
    m_date->setLabelText(translateText(L"Data produkcji"));
    m_version->setLabelText(translateText(L"Wersja sterownika"));
    m_type->setLabelText(translateText(L"Typ urządzenia"));
    m_serial->setLabelText(translateText(L"Nr seryjny"));
    m_errorsHeading->setCaption(translateText(L"Kody błędów"));
    m_identityHeading->setCaption(translateText(L"Dane sterownika"));
    m_clear->setCaption(translateText(L"Kasuj błędy"));
    m_read->setCaption(translateText(L"Wczytaj błędy"));
    fillDisplays();
}
