// The window's event loop while its actions wait for the controller, measured by the
// application's own stall probe (a 2 ms beat in CDoravineApplication; the longest stretch without
// a beat), in the whole window against the virtual controller pacing its bytes at 38400 baud:
//   "Wczytaj błędy" whose replies never come (its ten attempts at the link's real time-outs),
//   a capture on the signal page (mode on, fetch, 5000 records, save),
//   a firmware update from the menu (60 rows, progress shown),
//   saving and loading a settings file from the File menu,
// and the same probe over 3 s of an idle window first: what the machine's load alone costs.
// Run: QT_QPA_PLATFORM=offscreen bench_window_link_stall_bench (one iteration, about a minute)
#include "base/user_interaction.h"
#include "gui/pages/read_signal_dlg.h"
#include "gui/pages/version_dlg.h"
#include "gui/shell/doravine_app.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/image_check_box.h"
#include "operations/diag_threads.h"
#include "operations/doravine_doc.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"
#include "support/firmware_files.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;

// Answers Yes, picks the file it was given, and lets every message pass.
class CClickThroughUser : public IUserInteraction {
  public:
    void showMessage(const std::wstring& text, MessageIcon) override
    {
        std::fprintf(stderr, "message: %ls\n", text.c_str());
    }
    bool askYesNo(const std::wstring&) override { return true; }
    std::wstring pickFile(const FileRequest&) override { return file; }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}

    std::wstring file;
};

// Runs the event loop until done() holds or the limit passes.
bool waitFor(const std::function<bool()>& done, int limitMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void WindowActionsWaitingForTheController(benchmark::State& state)
{
    const fs::path home = fs::temp_directory_path() / "doravine-bench-link-stall";
    fs::remove_all(home);
    fs::create_directories(home);
    setenv("XDG_DOCUMENTS_DIR", home.c_str(), 1);
    static int argc = 1;
    static char name[] = "bench_window_link_stall_bench";
    static char* argv[] = {name, nullptr};
    CDoravineApplication app(argc, argv);
    CClickThroughUser user;
    setUserInteraction(&user);

    sim::VirtualController controller;
    if (!controller.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    controller.setPacing(true);
    controller.setProfile(sim::Profile::Steady);
    porttable::setPortOverride({controller.path()});

    CThreadManager threads;
    auto doc = std::make_unique<CDoravineDoc>(&threads);
    auto frame = std::make_unique<CMainFrame>(*doc);
    frame->initialUpdate();
    frame->resize(1366, 768);
    frame->show();
    CDoravineView& view = *frame->view();
    if (!waitFor([&] { return !view.searching(); }, 20000) || !doc->Device().m_connected) {
        state.SkipWithError("no controller found");
        return;
    }
    view.revealHiddenTabs();

    // The probe over one action: its longest stall and how long the action took.
    auto measure = [&](const char* counter, const std::function<void()>& action) {
        QElapsedTimer took;
        took.start();
        app.resetStallProbe();
        action();
        state.counters[std::string(counter) + "_longest_stall_ms"] = app.longestStallMs();
        state.counters[std::string(counter) + "_s"] = took.nsecsElapsed() / 1e9;
    };

    for (auto _ : state) {
        app.startStallProbe();
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

        user.file = (home / "bench.settings").wstring();
        measure("save_settings", [&] { frame->action(CMainFrame::CmdSaveSettings)->trigger(); });
        measure("load_settings", [&] { frame->action(CMainFrame::CmdLoadSettings)->trigger(); });
        waitFor([&] { return doc->Device().m_connected.load(); }, 10000);

        user.file = (home / "new.afm").wstring();
        testsupport::writeFirmware(home / "new.afm", {.version = 0x0160, .rows = 60});
        measure("firmware_update", [&] { frame->action(CMainFrame::CmdDeviceUpdate)->trigger(); });
        state.counters["firmware_programmed"] = doc->LastUpdateOutcome() == CFirmwareUpdate::Outcome::Programmed;
    }

    frame.reset();
    doc->StopLiveSamples();
    threads.joinAll();
    doc.reset();
    setUserInteraction(nullptr);
    porttable::setPortOverride({});
    fs::remove_all(home);
}
BENCHMARK(WindowActionsWaitingForTheController)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
