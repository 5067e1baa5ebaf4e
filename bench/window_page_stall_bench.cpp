// The window's stalls on the settings and map pages, with the link's real time-outs (1 s reads, 10
// attempts) against the virtual controller: the longest stretch without the window's event loop
// turning, seen by a 10 ms timer of the window's own thread, while
//   a map step's write goes unanswered (every SetMap frame swallowed, so all 10 attempts run out);
//   a TPS step's settings write goes unanswered the same way;
//   the wheel auto-detection runs from its button to its end (a steady engine on a 60-2 wheel).
// Run: bench_window_page_stall_bench (offscreen, one iteration of about 40 s; the figures are
// printed and kept as counters; on a shared machine a noisy figure)
#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/link_gateway.h"
#include "gui/shell/main_frame.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "operations/doravine_doc.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <functional>

namespace {

// Answers every question Yes and counts the messages, without a dialog.
class CYesUser : public IUserInteraction {
  public:
    CYesUser() { setUserInteraction(this); }
    ~CYesUser() override { setUserInteraction(nullptr); }
    void showMessage(const std::wstring&, MessageIcon) override { ++messages; }
    bool askYesNo(const std::wstring&) override { return true; }
    std::wstring pickFile(const FileRequest&) override { return {}; }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}
    int messages = 0;
};

// Runs the event loop until done() (or the limit), while a 10 ms timer notes the longest gap
// between its ticks; answers that gap in milliseconds.
qint64 longestStall(const std::function<void()>& start, const std::function<bool()>& done, int limitMs)
{
    qint64 longest = 0;
    QElapsedTimer sinceTick;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    sinceTick.start();
    probe.start(10);
    start();
    QElapsedTimer limit;
    limit.start();
    while (!done() && limit.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return std::max(longest, sinceTick.elapsed());
}

void swallow(sim::VirtualController& sim, uint8_t frameType)
{
    sim::FaultRule rule;
    rule.kind = sim::FaultKind::NoReply;
    rule.when = sim::FaultWhen::FrameType;
    rule.code = frameType;
    sim.clearFaults();
    sim.addFault(rule);
}

} // namespace

void PageStalls(benchmark::State& state)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_window_page_stall_bench";
    static char* argv[] = {name, nullptr};
    // The detection's settings copy and the last good port go to a home of their own.
    char home[] = "/tmp/doravine-stall-XXXXXX";
    if (!::mkdtemp(home)) {
        state.SkipWithError("no temporary home");
        return;
    }
    ::setenv("HOME", home, 1);
    ::setenv("XDG_CONFIG_HOME", (std::string(home) + "/.config").c_str(), 1);
    ::setenv("XDG_DOCUMENTS_DIR", (std::string(home) + "/Documents").c_str(), 1);
    QApplication app(argc, argv);
    sim::VirtualController sim;
    sim.setWheel(sim::Wheel::W60_2);
    sim.setProfile(sim::Profile::Steady);
    if (!sim.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    porttable::setPortOverride({sim.path()});
    CYesUser user;
    CThreadManager threads;
    CDoravineDoc doc(&threads);
    for (auto _ : state) {
        CMainFrame frame(doc);
        frame.initialUpdate();
        frame.resize(1366, 768);
        frame.show();
        CDoravineView& view = *frame.view();
        const auto idle = [] { return !CLinkGateway::instance()->busy() && !QApplication::activeModalWidget(); };
        longestStall([] {}, [&] { return !view.searching() && doc.Device().m_connected; }, 20000);
        if (!doc.Device().m_connected) {
            state.SkipWithError("no connection to the virtual controller");
            break;
        }

        view.pageCtrl()->activatePage(CDoravineView::TabMap);
        CMapAngle& grid = *static_cast<CMapAngleDlg*>(view.tabPage(CDoravineView::TabMap))->grid();
        grid.selectRect({5, 5}, {5, 5});
        swallow(sim, 9);
        QElapsedTimer took;
        took.start();
        const qint64 mapStall = longestStall(
            [&] {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier);
                QApplication::sendEvent(&grid, &press);
            },
            [&] { return !grid.writing() && idle(); }, 60000);
        std::printf("map step, SetMap unanswered (10 attempts, %.1f s): longest stall %lld ms, %d message(s)\n",
                    took.elapsed() / 1000.0, static_cast<long long>(mapStall), user.messages);

        view.pageCtrl()->activatePage(CDoravineView::TabSettings);
        auto& settings = *static_cast<CSettingsDlg*>(view.tabPage(CDoravineView::TabSettings));
        swallow(sim, 3);
        took.restart();
        const qint64 tpsStall = longestStall([&] { settings.tpsSpin()->upButton()->click(); }, idle, 60000);
        std::printf("TPS step, settings write unanswered (10 attempts, %.1f s): longest stall %lld ms\n",
                    took.elapsed() / 1000.0, static_cast<long long>(tpsStall));

        sim.clearFaults();
        took.restart();
        bool started = false;
        const qint64 detectStall = longestStall(
            [&] { QTimer::singleShot(0, [&] { started = true; settings.autoButton()->click(); }); },
            [&] { return started && !settings.autoCalibrationRunning() && idle(); }, 120000);
        std::printf("auto-detection, button to end (%.1f s): longest stall %lld ms\n", took.elapsed() / 1000.0,
                    static_cast<long long>(detectStall));
        state.counters["map_write_unanswered_longest_stall_ms"] = static_cast<double>(mapStall);
        state.counters["tps_write_unanswered_longest_stall_ms"] = static_cast<double>(tpsStall);
        state.counters["autodetection_longest_stall_ms"] = static_cast<double>(detectStall);
        doc.StopLiveSamples();
        threads.joinAll();
    }
    doc.StopLiveSamples();
    threads.joinAll();
    sim.stop();
    std::filesystem::remove_all(home);
}

BENCHMARK(PageStalls)->Iterations(1)->Unit(benchmark::kSecond);
