// The readings panel: the right-hand column that shows the newest live sample whichever tab is
// active. It never talks to the controller; it only formats what the live-sample thread stored.
#pragma once

#include "base/language.h"
#include "gui/skin/multi_page_dialog.h"

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <string>

class CGDIpDescribedDisplay;
class CTimeChart;
class CLPGDevice;
struct CDiag;

class COdczytyDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 313;
    static constexpr int kIdRpm = 1008;
    static constexpr int kIdTps = 1009;
    static constexpr int kIdMap = 1002;
    static constexpr int kIdAdvance = 1011;
    static constexpr int kIdSupply = 1012;
    static constexpr int kIdSwitch = 1014;
    static constexpr double kRatio = 0.65;
    // The chart under the displays: the last 30 s of engine speed, advance and MAP.
    static constexpr double kChartSeconds = 30.0;
    enum ChartSeries { ChartRpm = 0, ChartAdvance = 1, ChartMap = 2 };
    // How often the chart looks whether the controller is still there (the main timer stops
    // calling onTimer when it is not).
    static constexpr int kPauseCheckMillis = 500;

    explicit COdczytyDlg(CLPGDevice& device, QWidget* parent = nullptr);

    void v_init() override;
    // Shows the newest sample, when connected and one is present; otherwise readings that were
    // shown give way to dashes.
    void onTimer() override;
    // Dashes in every value: the link is gone and the last values are no longer current.
    void showNoReading();
    static constexpr const wchar_t* kNoReading = L"---";
    void onLanguageChange() override;

    // Sets the six value texts from one sample (MAP, speed, supply, TPS, advance, switch).
    void showSample(const CDiag& sample);
    // Takes the samples stored since the last call into the chart, or pauses it when the
    // controller is not connected.
    void updateChart();
    CTimeChart* chart() const { return m_chart; }

    CGDIpDescribedDisplay* rpmDisplay() const { return m_rpm; }
    CGDIpDescribedDisplay* tpsDisplay() const { return m_tps; }
    CGDIpDescribedDisplay* mapDisplay() const { return m_map; }
    CGDIpDescribedDisplay* advanceDisplay() const { return m_advance; }
    CGDIpDescribedDisplay* supplyDisplay() const { return m_supply; }
    CGDIpDescribedDisplay* switchDisplay() const { return m_switch; }
    // The display of a template control id, or null.
    CGDIpDescribedDisplay* display(int id) const;

    // The value texts as the panel formats them.
    static std::wstring mapText(int16_t raw);
    static std::wstring rpmText(uint16_t rpm);
    static std::wstring supplyText(uint16_t raw);
    static std::wstring tpsText(int16_t raw);
    static std::wstring advanceText(uint16_t tenths);
    static std::wstring switchValueText(uint8_t state);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::wstring pauseNote() const;

    CLPGDevice& m_device;
    CGDIpDescribedDisplay* m_rpm;
    CGDIpDescribedDisplay* m_tps;
    CGDIpDescribedDisplay* m_map;
    CGDIpDescribedDisplay* m_advance;
    CGDIpDescribedDisplay* m_supply;
    CGDIpDescribedDisplay* m_switch;
    // What the values show: the first texts, a sample, or dashes.
    enum class Shown { Initial, Sample, NoReading };
    Shown m_shown = Shown::Initial;
    CTimeChart* m_chart;
    QTimer m_pauseCheck;
    uint64_t m_chartNext = 0;
    // Steady-clock time of the newest charted sample, and whether there is one.
    std::chrono::steady_clock::time_point m_lastSampleTime{};
    bool m_anySample = false;
};
