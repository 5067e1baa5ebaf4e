// autodetect: the settings page's wheel auto-detection, with SIGINT / SIGTERM as the dialog's Cancel.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"
#include "stop_signals.h"

#include "operations/auto_calibration.h"
#include "operations/doravine_doc.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <thread>

namespace cli {

namespace {

// The dialog's bar and instruction, printed whenever either changes.
class CProgressPrinter {
  public:
    explicit CProgressPrinter(std::ostream& err) : m_err(err) {}

    void show(const CAutoCalibration& calibration)
    {
        if (calibration.instruction() != m_instruction) {
            m_instruction = calibration.instruction();
            printMessage(m_err, m_instruction);
        }
        if (calibration.progress() != m_progress) {
            m_progress = calibration.progress();
            printRaw(m_err, std::to_string(m_progress) + "%");
        }
    }

  private:
    std::ostream& m_err;
    const wchar_t* m_instruction = nullptr;
    int m_progress = -1;
};

// The collection, one tick every 100 ms; false when it was cancelled or the link gave up.
bool collect(Context& context, CDoravineDoc& doc, CAutoCalibration& calibration)
{
    CStopSignals signals;
    CProgressPrinter printer(context.err);
    printer.show(calibration);
    for (;;) {
        if (CStopSignals::requested())
            return false;
        if (!doc.LiveSamples().running()) {
            printMessage(context.err, L"BRAK POŁĄCZENIA");
            return false;
        }
        const CAutoCalibration::TickResult result = calibration.tick();
        printer.show(calibration);
        if (result == CAutoCalibration::TickResult::Complete)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(CAutoCalibration::kTickMs));
    }
}

void printWheel(Context& context, const CSettingsRecord& record)
{
    char text[160];
    std::snprintf(text, sizeof text, "teethCount: %.0f\nmissingTeeth: %.0f\nwheelAlgorithm: %.0f\nwheelType: %.0f\n",
                  record.teethCount, record.missingTeeth, record.wheelAlgorithm, record.wheelType);
    context.out << text;
    context.out.flush();
}

int statusFor(CAutoCalibration::Outcome outcome)
{
    switch (outcome) {
    case CAutoCalibration::Outcome::Calibrated:
        return kOk;
    case CAutoCalibration::Outcome::NotConnected:
        return kNoController;
    default:
        return kFailed;
    }
}

int detect(Context& context, CDoravineDoc& doc)
{
    CAutoCalibration calibration(doc);
    if (!calibration.prepare())
        return statusFor(calibration.outcome());
    const bool complete = collect(context, doc, calibration);
    const CAutoCalibration::Outcome outcome = calibration.finish(!complete);
    if (outcome == CAutoCalibration::Outcome::Calibrated)
        printWheel(context, doc.Device().m_settings);
    return statusFor(outcome);
}

} // namespace

int commandAutodetect(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    CThreadManager threads;
    CDoravineDoc doc(&threads);
    if (const int status = connectController(context, doc.Device()))
        return status;
    // The thread is joined below, so stopping need not wait for it.
    doc.Device().Timings().stopLiveSamplesWaitMs = 0;
    doc.ResumeLiveSamples();
    const int status = detect(context, doc);
    doc.StopLiveSamples();
    threads.joinAll();
    return status;
}

} // namespace cli
