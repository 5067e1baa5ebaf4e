// The window's event loop while its actions wait for the controller, measured by the
// window's stall probe (a 5 ms beat on the window's thread; the longest stretch without
// a beat), in the whole window against the virtual controller pacing its bytes at 38400 baud:
//   "Wczytaj błędy" whose replies never come (its ten attempts at the link's real time-outs),
//   a capture on the signal page (mode on, fetch, 5000 records, save),
//   a firmware update from the menu (60 rows, progress shown),
//   saving and loading a settings file from the File menu,
// and the same probe over 3 s of an idle window first: what the machine's load alone costs.
// Run: QT_QPA_PLATFORM=offscreen bench_window_link_stall_bench (one iteration, about a minute)
#include "gui/pages/read_signal_dlg.h"
#include "gui/pages/version_dlg.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/image_check_box.h"
#include "support/firmware_files.h"
#include "window_bench.h"

#include <QAction>

namespace {

using benchwindow::waitFor;

void WindowActionsWaitingForTheController(benchmark::State& state)
{
    benchwindow::CBenchWindow w(state, "bench-link-stall", true);
    if (!w.connected())
        return;
    CDoravineView& view = w.view();
    CDoravineDoc* const doc = w.doc.get();
    CMainFrame* const frame = w.frame.get();
    sim::VirtualController& controller = w.controller;
    const auto home = w.home();
    view.revealHiddenTabs();

    // The probe over one action: its longest stall and how long the action took.
    auto measure = [&](const char* counter, const std::function<void()>& action) {
        QElapsedTimer took;
        took.start();
        state.counters[std::string(counter) + "_longest_stall_ms"] = static_cast<double>(w.longestStall(action));
        state.counters[std::string(counter) + "_s"] = took.nsecsElapsed() / 1e9;
    };

    for (auto _ : state) {
        measure("idle", [] { waitFor([] { return false; }, 3000); });

        view.pageCtrl()->activatePage(CDoravineView::TabVersion);
        controller.addFault({sim::FaultKind::NoReply, sim::FaultWhen::Command, 0, 0x05});
        measure("read_errors_unanswered", [&] { view.versionPage()->readButton()->click(); });
        controller.clearFaults();

        CReadSignalDlg& signal = *view.signalPage();
        view.pageCtrl()->activatePage(CDoravineView::TabSignal);
        if (!signal.modeTicked())
            signal.readModeBox()->click();
        measure("capture", [&] {
            signal.button(CReadSignalDlg::kIdFetch)->click();
            waitFor([&] { return signal.capture().recordCount() >= 5000; }, 60000);
            signal.button(CReadSignalDlg::kIdSave)->click();
        });
        state.counters["capture_records"] = static_cast<double>(signal.pulses().size());
        view.pageCtrl()->activatePage(CDoravineView::TabSettings);
        waitFor([&] { return doc->Device().m_connected.load(); }, 10000);

        w.user.file = (home / "bench.settings").wstring();
        measure("save_settings", [&] { frame->action(CMainFrame::CmdSaveSettings)->trigger(); });
        measure("load_settings", [&] { frame->action(CMainFrame::CmdLoadSettings)->trigger(); });
        waitFor([&] { return doc->Device().m_connected.load(); }, 10000);

        w.user.file = (home / "new.afm").wstring();
        testsupport::writeFirmware(home / "new.afm", {.version = 0x0160, .rows = 60});
        measure("firmware_update", [&] { frame->action(CMainFrame::CmdDeviceUpdate)->trigger(); });
        state.counters["firmware_programmed"] = doc->LastUpdateOutcome() == CFirmwareUpdate::Outcome::Programmed;
    }
}
BENCHMARK(WindowActionsWaitingForTheController)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
