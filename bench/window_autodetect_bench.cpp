// The window's responsiveness during the wheel auto-detection, against the virtual controller
// pacing its bytes at 38400 baud with a steady engine:
//   the longest time the GUI thread's event loop was blocked during a whole run from the settings
//   page's button (a 1 ms heartbeat timer; a gap above its period is a block), and
//   the same over 5 s of an idle loop first, which is what the machine's load alone costs, and
//   for both the most CPU time the GUI thread spent between two beats (its own work);
//   the time from a click on Cancel (while a pass of 500 records is on the line) to the dialog
//   being closed, and on to the run's end.
// Run: QT_QPA_PLATFORM=offscreen bench_window_autodetect_bench (one iteration, about 20 s)
#include "base/user_interaction.h"
#include "gui/pages/autokalibracja_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/gradient_button.h"
#include "operations/doravine_doc.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressBar>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <time.h>

namespace {

// Answers Yes to everything and lets every message pass, like a user who clicks through.
class CYesUser : public IUserInteraction {
  public:
    void showMessage(const std::wstring& text, MessageIcon) override
    {
        std::fprintf(stderr, "message: %ls\n", text.c_str());
    }
    bool askYesNo(const std::wstring&) override { return true; }
    std::wstring pickFile(const FileRequest&) override { return {}; }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}
};

// The longest gap between two beats of a 1 ms timer, less the period.
class CHeartbeat {
  public:
    CHeartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last - 1'000'000);
            m_last = now;
            const qint64 cpu = threadCpuNanos();
            m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
            m_lastCpu = cpu;
        });
    }
    void start()
    {
        m_longest = 0;
        m_longestCpu = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNanos();
        m_timer.start();
    }
    double longestMs() const { return m_longest / 1e6; }
    // The most CPU time the GUI thread itself spent between two beats: its own work, without the
    // time it waited for a processor on a loaded machine.
    double longestCpuMs() const { return m_longestCpu / 1e6; }

  private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestCpu = 0;

    static qint64 threadCpuNanos()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    }
};

// One whole detection, then one cancelled while its passes run.
void AutoDetectionFromTheSettingsPage(benchmark::State& state)
{
    const auto home = std::filesystem::temp_directory_path() / "doravine-bench-autodetect";
    std::filesystem::create_directories(home);
    setenv("XDG_DOCUMENTS_DIR", home.c_str(), 1);
    static int argc = 1;
    static char name[] = "bench_window_autodetect_bench";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    CYesUser user;
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
        CHeartbeat idle;
        idle.start();
        QEventLoop wait;
        QTimer::singleShot(5000, &wait, &QEventLoop::quit);
        wait.exec();
        state.counters["idle_longest_block_ms"] = idle.longestMs();
        state.counters["idle_longest_gui_cpu_ms"] = idle.longestCpuMs();

        CHeartbeat beat;
        beat.start();
        QElapsedTimer run;
        run.start();
        page.runAutoCalibration();
        state.counters["run_s"] = run.nsecsElapsed() / 1e9;
        state.counters["longest_block_ms"] = beat.longestMs();
        state.counters["longest_gui_cpu_ms"] = beat.longestCpuMs();
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
    setUserInteraction(nullptr);
    porttable::setPortOverride({});
    std::filesystem::remove_all(home);
}
BENCHMARK(AutoDetectionFromTheSettingsPage)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
