// The settings page (first tab): the crank sensor type, the controller's state and the wheel it
// detected with that wheel's reference chart, the TPS threshold, the input source, and the button
// that starts the trigger-wheel auto-detection. Every change is written to the controller at once,
// through the link gateway; the page shows what the controller holds (read back after every write,
// dashes while it has never been read). While a settings file is open the TPS threshold and the
// input source are the file's, kept in it on the window's thread, and what a file does not hold
// shows as absent.
#pragma once

#include "base/language.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/multi_page_dialog.h"

#include <cstdint>
#include <functional>
#include <string>

class CDoravineDoc;
class CGDIpDescribedDisplay;
class CGDIpGradientButton;
class CGDIpGradientEdit;
class CGDIpGradientSpinButtonCtrl;
class CLPGDevice;
class CScrollChart;
class CStrValueCmbBox;
struct CSettingsRecord;
class CTransparentStatic;

class CSettingsDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 312;
    static constexpr double kTpsStep = 0.05;
    static constexpr double kTpsHighest = 15.0;
    // The page's own work runs on every eleventh tick of the main timer.
    static constexpr int kTimerDivider = 10;
    static constexpr int kChartLine = 1;

    explicit CSettingsDlg(CDoravineDoc& doc, QWidget* parent = nullptr);

    void v_init() override;
    void v_activate() override;
    void onTimer() override;
    void onLanguageChange() override;

    // What the TPS edit and the other texts show without a value read from a controller.
    static constexpr const wchar_t* kNoValue = L"---";

    // The TPS edit and the input source from the edited record.
    void refreshFromRecord();
    // The TPS edit and the state texts from the edited record as it stands.
    void showRecord();
    // The reference chart of a wheel type for the record's sensor type; a flat line outside normal
    // operation or without a readable file.
    void showWheelChart(int wheelType);

    // Sensor list: a choice confirmed.
    void onSensorChosen(int index);
    // TPS spin: delta is the proposed change (-1 for the up arrow).
    void onTpsSpin(int delta);
    // Input source list: a choice confirmed (switch or application).
    void onInputSourceChosen(int index);
    // Button "Autodetekcja koła zamachowego": the whole auto-detection.
    void runAutoCalibration();
    bool autoCalibrationRunning() const { return m_calibrating; }

    CStrValueCmbBox* sensorList() const { return m_sensor; }
    CGDIpDescribedDisplay* stateDisplay() const { return m_state; }
    CGDIpDescribedDisplay* wheelDisplay() const { return m_wheel; }
    CGDIpGradientButton* autoButton() const { return m_auto; }
    CScrollChart* chart() const { return m_chart; }
    CGDIpGradientEdit* tpsEdit() const { return m_tpsEdit; }
    CGDIpGradientSpinButtonCtrl* tpsSpin() const { return m_tpsSpin; }
    CTransparentStatic* sensorLabel() const { return m_sensorLabel; }
    CTransparentStatic* tpsLabel() const { return m_tpsLabel; }
    CStrValueCmbBox* inputSourceList() const { return m_inputSource; }

  private:
    CLPGDevice& device();
    // Work with the controller through the link gateway (Busy when there is none).
    CLinkGateway::Outcome exchange(const wchar_t* handler, const std::function<bool(CLPGDevice&)>& work);
    // GetSettings; a link error shows the replug message and marks the controller disconnected.
    bool readSettings();
    // The record holds a controller's values (read at least once, not demo values).
    bool controllerShown() const;
    // After a write that failed or broke off: the controller's settings read again, or, while
    // the link does not allow it, the values last read shown and read at the next chance.
    void showController(const CSettingsRecord& lastRead);
    // One setting written through the gateway, then what the controller holds shown.
    void writeSetting(const wchar_t* handler, const std::function<bool(CLPGDevice&)>& write);
    // A change of the open file's record: marked for saving and shown.
    void keepInFile();
    void fillSensorList(int selectIndex);
    void showStateTexts();
    // A settings file is being edited instead of the controller's record.
    bool editingFile();
    void writeFailed();
    void styleControls();

    CDoravineDoc& m_doc;
    CTransparentStatic* m_sensorLabel;
    CStrValueCmbBox* m_sensor;
    CGDIpDescribedDisplay* m_state;
    CGDIpDescribedDisplay* m_wheel;
    CGDIpGradientButton* m_auto;
    CScrollChart* m_chart = nullptr;
    CTransparentStatic* m_tpsLabel;
    CGDIpGradientEdit* m_tpsEdit;
    CGDIpGradientSpinButtonCtrl* m_tpsSpin;
    CTransparentStatic* m_inputLabel;
    CStrValueCmbBox* m_inputSource;

    double m_shownSensorType = 0.0;
    uint32_t m_shownWorkState = 0;
    int m_ticks = 0;
    bool m_calibrating = false;
    bool m_read = false;
    bool m_rereadDue = false;
};
