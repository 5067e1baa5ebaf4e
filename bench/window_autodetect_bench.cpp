// The window's responsiveness during the wheel auto-detection, against the virtual controller
// pacing its bytes at 38400 baud with a steady engine:
//   the longest time the GUI thread's event loop was blocked during a whole run from the settings
//   page's button (the window's stall probe: a 5 ms beat, its period included), and the same over
//   5 s of an idle loop first, which is what the machine's load alone costs;
//   the time from a click on Cancel (while a pass of 500 records is on the line) to the dialog
//   being closed, and on to the run's end.
// Run: QT_QPA_PLATFORM=offscreen bench_window_autodetect_bench (one iteration, about 20 s)
#include "gui/pages/autokalibracja_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/gradient_button.h"
#include "window_bench.h"

#include <QApplication>
#include <QProgressBar>

namespace {

// One whole detection, then one cancelled while its passes run.
void AutoDetectionFromTheSettingsPage(benchmark::State& state)
{
    benchwindow::CBenchEnvironment env(state, "bench-autodetect", true);
    if (!env.ok())
        return;
    CThreadManager threads;
    CDoravineDoc doc(&threads);
    doc.Device().Start();
    doc.ResumeLiveSamples();
    // The page reaches the controller through the window's gateway.
    CLinkGateway gateway(doc.Device());
    CSettingsDlg page(doc);
    page.resize(800, 600);
    page.initialiseOnce();
    page.show();

    for (auto _ : state) {
        // The same measure over an idle loop: what the machine's load alone costs.
        state.counters["idle_longest_block_ms"] =
            static_cast<double>(env.longestStall([] { benchwindow::waitFor([] { return false; }, 5000); }));

        QElapsedTimer run;
        run.start();
        state.counters["longest_block_ms"] = static_cast<double>(env.longestStall([&] { page.runAutoCalibration(); }));
        state.counters["run_s"] = run.nsecsElapsed() / 1e9;
        state.counters["calibrated"] = doc.Device().m_settings.workState == kWorkStateNormal ? 1 : 0;

        QElapsedTimer sinceCancel;
        double closedMs = -1;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CAutokalibracjaDlg*>(QApplication::activeModalWidget());
            if (!dialog || dialog->progressBar()->value() < 85 || sinceCancel.isValid())
                return;
            QObject::connect(dialog, &QDialog::finished, [&] { closedMs = sinceCancel.nsecsElapsed() / 1e6; });
            sinceCancel.start();
            dialog->cancelButton()->click();
        });
        poll.start();
        page.runAutoCalibration();
        state.counters["cancel_to_close_ms"] = closedMs;
        state.counters["cancel_to_end_ms"] = sinceCancel.nsecsElapsed() / 1e6;
    }

    doc.StopLiveSamples();
    threads.joinAll();
}
BENCHMARK(AutoDetectionFromTheSettingsPage)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
