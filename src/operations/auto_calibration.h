// The trigger-wheel auto-detection with auto-calibration, without any window: the settings page's
// dialog and `doravine-cli autodetect` are faces over it.
//
// It runs in three parts. prepare() asks, saves a dated copy of the controller's settings, resets
// the wheel settings and the map in the controller. tick(), called every 100 ms by the face, guides
// the collection: engine started, ten seconds of running, steady speed, a flushing pass, then passes
// of 500 crank records until 2000 are there. finish() analyses them, stores the detected wheel,
// loads the default settings, snaps the map to the new wheel's step and reads the settings back.
// A run that ends early once the controller was touched (a Cancel, a refusal, a broken link, a
// signal it cannot read) puts the settings from before back into the controller, so the engine
// runs as it did; its message says whether that worked and names the copy.
//
// A pass of 500 records takes about half a second on the line, so it runs on a thread of its own:
// a tick only starts it and, on a later tick, takes its result. Ticks therefore never wait for the
// controller, and the face may be cancelled at any moment.
#pragma once

#include "base/language.h"
#include "base/user_interaction.h"
#include "records/settings_record.h"
#include "records/wheel_analysis.h"

#include <functional>
#include <future>
#include <string>

class CDoravineDoc;
class CLPGDevice;
class IError;

class CAutoCalibration {
  public:
    static constexpr unsigned kTickMs = 100;
    static constexpr int kWarmUpTicks = 100; // ticks of running engine before steadiness counts
    static constexpr int kSteadyTicks = 50;  // consecutive steady ticks before the flushing pass
    static constexpr size_t kRecordsWanted = 2000;
    static constexpr double kRunningRpm = 50.0; // at or below it the engine counts as stopped
    static constexpr unsigned kSettleMs = 100;  // the controller's pause after its restart
    // Passes in a row the controller did not answer (each after all its attempts) before the run
    // gives up: a recorder that never answers would otherwise hold the progress for ever.
    static constexpr int kUnansweredPassesLimit = 3;

    // How the last run ended.
    enum class Outcome {
        None,
        Declined,      // the question was not answered Yes
        NotConnected,  // no controller to detect the wheel with
        ResetFailed,   // the controller refused the reset or could not be read
        Cancelled,     // the collection was cancelled
        Unsupported,   // the analysis found no pattern ("Nieobsługiwany sygnał")
        StoreFailed,   // the detected wheel or the fitted map was refused
        LinkError,     // the link broke; the controller was marked disconnected
        Unanswered,    // the controller stopped answering the crank records
        Calibrated,
    };

    enum class TickResult { Collecting, Complete };

    // showWheelChart: the settings page's reference chart for a wheel type; may be empty. It is
    // called from the thread that runs prepare() and finish().
    explicit CAutoCalibration(CDoravineDoc& doc, std::function<void(int wheelType)> showWheelChart = {});
    // Waits for a pass still on the line.
    ~CAutoCalibration();
    CAutoCalibration(const CAutoCalibration&) = delete;
    CAutoCalibration& operator=(const CAutoCalibration&) = delete;

    // The question, the settings copy and the reset. True when the collection is to follow;
    // otherwise the run has ended (its message shown) and outcome() says why.
    bool prepare();
    // One 100 ms tick of the collection. Complete once 2000 records are in the device's list.
    TickResult tick();
    // After the collection (complete, or cancelled): the analysis and the storing of the wheel when
    // it was complete, then always the final read of the settings.
    Outcome finish(bool cancelled);
    // After a detection that found no default settings file the map is empty: the window offers
    // the previous map, axes and TPS threshold (snapped to the new wheel's angle step, Yes
    // preselected). Answers whether they were put back.
    bool offerPreviousMap();

    // 0 to 100, and the instruction that goes with it (an untranslated key).
    int progress() const { return m_progress; }
    const wchar_t* instruction() const { return instructionFor(m_progress); }
    static const wchar_t* instructionFor(int progress);
    bool passRunning() const { return m_pass.valid(); }

    Outcome outcome() const { return m_outcome; }
    // The settings copy written before the reset; empty when none was written.
    const std::wstring& backupPath() const { return m_backupPath; }
    // The detection's results after a successful analysis.
    const CWheelAnalysis& analysis() const { return m_analysis; }

    // The settings page's list entry for a detected wheel: the entry of that wheel where the
    // detection can name it, and the 60-2 entry for a wheel the list does not hold.
    static int wheelTypeFor(int teethCount, int missingTeeth, int algorithm);

  private:
    CLPGDevice& device();
    bool confirmAndSave();
    bool resetController();
    bool clearMap();
    void tickRunning(double rpm);
    void startPass(bool flush);
    bool takePassResult();
    bool storeWheel();
    bool fitMapToWheel();
    void readBack();
    // The run ends early: why, with its message shown once the old settings are back (or not).
    void failWith(Outcome outcome, const wchar_t* key, MessageIcon icon);
    void endEarly();
    // The whole record from before the reset written back with the load's sequence.
    bool putBack();
    // A message of the run (key may be null: the lines below alone); the put-back's result and
    // the copy's name follow.
    void report(const wchar_t* key, MessageIcon icon);
    // A link error caught inside the run: the handler's name and the error's text.
    void showCaughtError(IError* raw);
    void showChart();

    CDoravineDoc& m_doc;
    std::function<void(int)> m_showWheelChart;
    CWheelAnalysis m_analysis;
    std::wstring m_backupPath;
    Outcome m_outcome = Outcome::None;
    const wchar_t* m_endKey = nullptr;
    MessageIcon m_endIcon = MessageIcon::Information;
    // The record before the reset, and whether the controller has been written since.
    CSettingsRecord m_before;
    bool m_touched = false;
    enum class PutBack { NotTried, Done, Failed } m_putBack = PutBack::NotTried;
    bool m_defaultLoaded = false;

    // The collection's counters, as the dialog of the description keeps them.
    int m_warmUpTicks = 0;
    int m_steadyTicks = 0;
    int m_unansweredPasses = 0;
    double m_smoothed = 0.0;
    double m_previousSmoothed = 0.0;
    int m_progress = 0;
    std::future<bool> m_pass;
    bool m_passFlushes = false;
};
