#include "gui/pages/settings_dlg.h"

#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "files/reference_chart_file.h"
#include "gui/pages/autokalibracja_dlg.h"
#include "gui/shell/gui_thread.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/scroll_chart.h"
#include "gui/skin/statics.h"
#include "gui/skin/str_value_combo.h"
#include "operations/auto_calibration.h"
#include "operations/doravine_doc.h"
#include "operations/settings_steps.h"

#include <cstdio>

namespace {

const QColor kDisplayTop(73, 119, 179);
const QColor kDisplayBottom(28, 41, 81);
constexpr unsigned kLabelFormat = 0x8024;
constexpr double kDisplayRatio = 0.45;
constexpr unsigned kChartRed = 255; // a Windows colour value: red

constexpr const wchar_t* kReadFailed = TR_KEY(L"Nie powiodło się wczytanie ustawień urządzenia!");
constexpr const wchar_t* kWriteFailed = TR_KEY(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");

struct SensorEntry {
    const wchar_t* text;
    double value;
};
constexpr SensorEntry kSensorEntries[] = {{TR_KEY(L"Halotronowy"), 0.0}, {TR_KEY(L"Indukcyjny"), 1.0}};
constexpr SensorEntry kInputSources[] = {{TR_KEY(L"Przełącznik"), 0.0}, {TR_KEY(L"Aplikacja"), 1.0}};

std::wstring formatTps(const char* format, double volts)
{
    char text[32];
    std::snprintf(text, sizeof text, format, volts);
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

} // namespace

CSettingsDlg::CSettingsDlg(CDoravineDoc& doc, QWidget* parent)
    : CGDIpMultiPageDialog(QSize(280, 292), parent), m_doc(doc), m_sensorLabel(new CTransparentStatic(this)),
      m_sensor(new CStrValueCmbBox(this)), m_state(new CGDIpDescribedDisplay(this)),
      m_wheel(new CGDIpDescribedDisplay(this)), m_auto(new CGDIpGradientButton(this)),
      m_tpsLabel(new CTransparentStatic(this)), m_tpsEdit(new CGDIpGradientEdit(this)),
      m_tpsSpin(new CGDIpGradientSpinButtonCtrl(this)), m_inputLabel(new CTransparentStatic(this)),
      m_inputSource(new CStrValueCmbBox(this))
{
    m_auto->setCaption(L"Autokalibracja");
    m_tpsLabel->setCaption(L"Próg TPS [V]");
    m_tpsEdit->setEnabled(false);
    placeControl(m_sensorLabel, 7, 20, 125, 12);
    placeControl(m_sensor, 137, 20, 128, 14);
    placeControl(m_state, 7, 50, 260, 20);
    placeControl(m_wheel, 7, 80, 258, 20);
    placeControl(m_auto, 7, 110, 260, 20);
    placeControl(m_tpsLabel, 8, 228, 163, 20);
    placeControl(m_tpsEdit, 178, 228, 71, 20);
    placeControl(m_tpsSpin, 257, 228, 11, 20);
    placeControl(m_inputLabel, 8, 256, 125, 14);
    placeControl(m_inputSource, 137, 256, 131, 14);

    connect(m_sensor, qOverload<int>(&QComboBox::activated), this, &CSettingsDlg::onSensorChosen);
    connect(m_tpsSpin, &CGDIpGradientSpinButtonCtrl::deltaPos, this, &CSettingsDlg::onTpsSpin);
    connect(m_inputSource, qOverload<int>(&QComboBox::activated), this, &CSettingsDlg::onInputSourceChosen);
    connect(m_auto, &QPushButton::clicked, this, &CSettingsDlg::runAutoCalibration);
}

CLPGDevice& CSettingsDlg::device()
{
    return m_doc.Device();
}

bool CSettingsDlg::editingFile()
{
    return m_doc.EditedRecord().file() != nullptr;
}

CLinkGateway::Outcome CSettingsDlg::exchange(const wchar_t* handler,
                                             const std::function<bool(CLPGDevice&)>& work)
{
    CLinkGateway* gateway = CLinkGateway::instance();
    return gateway ? gateway->run(handler, work) : CLinkGateway::Outcome::Busy;
}

bool CSettingsDlg::readSettings()
{
    const auto outcome = exchange(nullptr, &readControllerSettings);
    // A controller that stopped answering says so; without one the page just shows dashes.
    if (outcome == CLinkGateway::Outcome::Failed && device().isConnected())
        userInteraction().showMessage(translateText(kReadFailed), MessageIcon::Error);
    if (outcome != CLinkGateway::Outcome::Done)
        return false;
    if (!device().m_demo) {
        m_read = true;
        m_rereadDue = false;
    }
    return true;
}

bool CSettingsDlg::controllerShown() const
{
    return m_read && !m_doc.Device().m_demo;
}

void CSettingsDlg::showController(const CSettingsRecord& lastRead)
{
    if (device().isConnected() && readSettings()) {
        showRecord();
        return;
    }
    // Nothing the controller has not confirmed may stay in the record: the next write would
    // carry it along.
    device().m_settings = lastRead;
    m_rereadDue = true;
    showRecord();
}

void CSettingsDlg::styleControls()
{
    for (CGDIpDescribedDisplay* d : {m_state, m_wheel}) {
        d->setRatio(kDisplayRatio);
        d->setLabelFormat(kLabelFormat);
        d->setColors(kDisplayTop, kDisplayBottom);
    }
    m_auto->setColors(QColor(50, 50, 50), QColor(36, 36, 36), QColor(90, 90, 90), QColor(60, 60, 60));
}

void CSettingsDlg::v_init()
{
    CGDIpMultiPageDialog::v_init();
    readSettings();
    m_shownSensorType = device().m_settings.sensorType;
    fillSensorList(controllerShown() ? (m_shownSensorType == 0.0 ? 0 : 1) : -1);
    styleControls();

    m_chart = new CScrollChart(this);
    placeControl(m_chart, 7, 142, 261, 78);
    m_chart->SetHorzDiv(4);
    m_chart->SetGrid(1);
    m_chart->SetMaxPoints(1000);
    m_chart->AddLine(kChartLine, {}, kChartRed, 0, 2, 1, 10);
    m_chart->show();
    if (controllerShown() && device().m_settings.workState == kWorkStateNormal)
        showWheelChart(static_cast<int>(truncateValue(device().m_settings.wheelType)));
    onLanguageChange();
    showRecord();
}

void CSettingsDlg::fillSensorList(int selectIndex)
{
    m_sensor->clearItems();
    for (const SensorEntry& e : kSensorEntries)
        m_sensor->addItem(0, e.value, translateText(e.text));
    m_sensor->setCurrentIndex(selectIndex);
}

void CSettingsDlg::refreshFromRecord()
{
    const CSettingsRecord& record = m_doc.EditedRecord().record();
    const bool shown = editingFile() || controllerShown();
    m_tpsEdit->setCaption(shown ? formatTps("%0.2f", record.tpsThreshold) : kNoValue);
    m_tpsEdit->setEnabled(false);
    m_inputSource->setCurrentIndex(shown ? (record.inputSource == 0.0 ? 0 : 1) : -1);
}

void CSettingsDlg::showStateTexts()
{
    const CSettingsRecord& record = device().m_settings;
    // A file holds neither the state nor the wheel: neither is the controller's.
    if (editingFile()) {
        m_state->setValueText(translateText(L"Brak w pliku"));
        m_wheel->setValueText(translateText(L"Brak w pliku"));
        return;
    }
    if (!controllerShown()) {
        m_state->setValueText(kNoValue);
        m_wheel->setValueText(kNoValue);
        return;
    }
    m_state->setValueText(translateText(workStateText(record.workState)));
    if (record.workState == kWorkStateNormal) {
        wchar_t text[64];
        std::swprintf(text, 64, L"%d - %d", static_cast<int>(truncateValue(record.teethCount)),
                      static_cast<int>(truncateValue(record.missingTeeth)));
        m_wheel->setValueText(text);
    } else {
        m_wheel->setValueText(L"---");
    }
}

void CSettingsDlg::v_activate()
{
    readSettings();
    // The controller may have been found (or changed state) after the page was set up: its
    // chart follows the state the page now shows.
    const bool stateChanged = device().m_settings.workState != m_shownWorkState;
    showRecord();
    if (stateChanged)
        showWheelChart(static_cast<int>(truncateValue(device().m_settings.wheelType)));
}

void CSettingsDlg::showRecord()
{
    refreshFromRecord();
    showStateTexts();
    const bool file = editingFile();
    const bool shown = controllerShown() && !file;
    m_shownSensorType = device().m_settings.sensorType;
    m_sensor->setCurrentIndex(shown ? (m_shownSensorType == 0.0 ? 0 : 1) : -1);
    m_shownWorkState = device().m_settings.workState;
    // Greyed while the values are not the controller's as it is now; a file's are always the file's.
    const bool usable = shown && !m_rereadDue && !m_calibrating;
    m_sensor->setEnabled(usable);
    m_auto->setEnabled(usable);
    m_tpsSpin->setEnabled(usable || file);
    m_inputSource->setEnabled(usable || file);
}

void CSettingsDlg::onTimer()
{
    // While the auto-detection runs, its own thread may be changing the record.
    if (m_calibrating || ++m_ticks <= kTimerDivider)
        return;
    m_ticks = 0;
    // The record may be changing on the link's side meanwhile.
    if (CLinkGateway* gateway = CLinkGateway::instance(); gateway && gateway->busy())
        return;
    // An open file changes only by the page's own hand.
    if (editingFile())
        return;
    // A controller back after a failed write: what it holds now.
    if (m_rereadDue && device().isConnected() && readSettings()) {
        showRecord();
        return;
    }
    const CSettingsRecord& record = device().m_settings;
    if (record.sensorType != m_shownSensorType || record.workState != m_shownWorkState ||
        m_sensor->isEnabled() != (controllerShown() && !m_rereadDue))
        showRecord();
}

void CSettingsDlg::onLanguageChange()
{
    m_sensorLabel->setCaption(translateText(L"Wybierz typ czujnika"));
    m_state->setLabelText(translateText(L"Stan"));
    m_wheel->setLabelText(translateText(L"Wykryty typ koła"));
    m_auto->setCaption(translateText(L"Autodetekcja koła zamachowego"));
    m_tpsLabel->setCaption(translateText(L"Próg TPS"));
    m_inputLabel->setCaption(translateText(L"Źródło sygnału"));
    m_inputSource->clearItems();
    for (const SensorEntry& e : kInputSources)
        m_inputSource->addItem(0, e.value, translateText(e.text));
    const int selected = m_sensor->currentIndex();
    fillSensorList(selected);
    refreshFromRecord();
    showStateTexts();
}

void CSettingsDlg::writeFailed()
{
    userInteraction().showMessage(translateText(kWriteFailed), MessageIcon::Error);
}

void CSettingsDlg::onSensorChosen(int index)
{
    const CCmbBoxStrVal* chosen = m_sensor->entry(index);
    if (!chosen)
        return;
    const double value = chosen->value;
    const CSettingsRecord lastRead = device().m_settings;
    const auto outcome = exchange(L"CSettingsDlg::OnCbnSelchangeComboSensor()",
                                  [value](CLPGDevice& d) { return chooseSensorType(d, value); });
    if (outcome == CLinkGateway::Outcome::Busy)
        return;
    if (outcome == CLinkGateway::Outcome::Failed)
        writeFailed();
    if (outcome == CLinkGateway::Outcome::Done && readSettings())
        showRecord();
    else
        showController(lastRead);
}

void CSettingsDlg::onTpsSpin(int delta)
{
    const bool file = editingFile();
    if (!file && !device().isConnected()) {
        userInteraction().showMessage(translateText(L"BRAK POŁĄCZENIA"), MessageIcon::Warning);
        return;
    }
    IEditedRecord& edited = m_doc.EditedRecord();
    const CSettingsRecord lastRead = edited.record();
    double value = lastRead.tpsThreshold - delta * kTpsStep;
    if (value <= 0.0)
        value = 0.0;
    if (value > kTpsHighest)
        value = kTpsHighest;
    if (file) {
        edited.record().tpsThreshold = value;
        keepInFile();
        return;
    }
    // The record and the edit show what the controller will hold, not the step's arithmetic.
    value = tpsAsStored(value);
    writeSetting(L"CSettingsDlg::OnDeltaposSpinTpsTh()", [value](CLPGDevice& d) { return writeTpsThreshold(d, value); });
}

void CSettingsDlg::keepInFile()
{
    m_doc.SettingsFile().markModified();
    showRecord();
}

void CSettingsDlg::writeSetting(const wchar_t* handler, const std::function<bool(CLPGDevice&)>& write)
{
    const CSettingsRecord lastRead = device().m_settings;
    const auto outcome = exchange(handler, write);
    if (outcome == CLinkGateway::Outcome::Busy)
        return;
    if (outcome == CLinkGateway::Outcome::Done) {
        showRecord();
        return;
    }
    if (outcome == CLinkGateway::Outcome::Failed)
        writeFailed();
    showController(lastRead);
}

void CSettingsDlg::onInputSourceChosen(int index)
{
    const CCmbBoxStrVal* chosen = m_inputSource->entry(index);
    IEditedRecord& edited = m_doc.EditedRecord();
    if (!chosen || chosen->value == edited.record().inputSource)
        return;
    const double source = chosen->value;
    if (editingFile()) {
        edited.record().inputSource = source;
        keepInFile();
        return;
    }
    // Without a controller there is nowhere to write it: the list shows what is held.
    if (!device().isConnected()) {
        userInteraction().showMessage(translateText(L"BRAK POŁĄCZENIA"), MessageIcon::Warning);
        refreshFromRecord();
        return;
    }
    writeSetting(L"CSettingsDlg::onInputSourceChosen()", [source](CLPGDevice& d) { return writeInputSource(d, source); });
}

void CSettingsDlg::showWheelChart(int wheelType)
{
    m_chart->SetUpperValue(2.5);
    m_chart->SetLowerValue(0.0);
    m_chart->SetPointSpan(kReferenceChartPoints);
    std::vector<double> values;
    const CSettingsRecord& record = device().m_settings;
    if (record.workState == kWorkStateNormal) {
        if (const wchar_t* name = referenceChartName(record.sensorType, wheelType))
            values = readReferenceChart(referenceChartFolder() + name);
    }
    for (double point : referenceChartPoints(values))
        m_chart->AddData(kChartLine, point);
    m_chart->Redraw();
}

void CSettingsDlg::runAutoCalibration()
{
    if (m_calibrating)
        return;
    m_calibrating = true;
    m_auto->setEnabled(false);
    // The page outlives the run: the hook may reach it from the run's thread.
    CAutoCalibration calibration(m_doc, [this](int wheelType) {
        runOnGuiThread(this, [this, wheelType] { showWheelChart(wheelType); });
    });
    // The calibration catches and shows its own link errors: each of its parts answers true.
    const bool collect =
        exchange(L"CSettingsDlg::OnBnClickedButtonAutoCalibration()",
                 [&](CLPGDevice&) { return calibration.prepare(); }) == CLinkGateway::Outcome::Done;
    if (collect) {
        // Behind the dialog the page shows the controller in detection, without a wheel.
        showRecord();
        CAutokalibracjaDlg dialog(calibration, window());
        const bool complete = dialog.exec() == QDialog::Accepted;
        exchange(L"CSettingsDlg::OnBnClickedButtonAutoCalibration()", [&](CLPGDevice&) {
            calibration.finish(!complete);
            calibration.offerPreviousMap();
            return true;
        });
    }
    m_calibrating = false;
    // A run that broke off leaves the controller's state unknown until it is read again.
    if (!device().isConnected())
        m_rereadDue = true;
    // The run's last step read the settings back: show what the controller now holds.
    showRecord();
    showWheelChart(static_cast<int>(truncateValue(device().m_settings.wheelType)));
}
