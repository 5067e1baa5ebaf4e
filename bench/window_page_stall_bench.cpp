// The window's stalls on the settings and map pages, with the link's real time-outs (1 s reads, 10
// attempts) against the virtual controller: the longest stretch without the window's event loop
// turning, seen by the window's stall probe (a 5 ms beat, its period included), while
//   a map step's write goes unanswered (every SetMap frame swallowed, so all 10 attempts run out);
//   a TPS step's settings write goes unanswered the same way;
//   the wheel auto-detection runs from its button to its end (a steady engine on a 60-2 wheel).
// Run: bench_window_page_stall_bench (offscreen, one iteration of about 40 s; the figures are
// printed and kept as counters; on a shared machine a noisy figure)
#include "device/lpg_device.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "window_bench.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>

namespace {

using benchwindow::waitFor;

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
    benchwindow::CBenchWindow w(state, "bench-page-stall", false);
    if (!w.connected())
        return;
    sim::VirtualController& sim = w.controller;
    sim.setWheel(sim::Wheel::W60_2);
    CDoravineView& view = w.view();
    const auto idle = [] { return !CLinkGateway::instance()->busy() && !QApplication::activeModalWidget(); };
    for (auto _ : state) {
        view.pageCtrl()->activatePage(CDoravineView::TabMap);
        CMapAngle& grid = *static_cast<CMapAngleDlg*>(view.tabPage(CDoravineView::TabMap))->grid();
        grid.selectRect({5, 5}, {5, 5});
        swallow(sim, 9);
        QElapsedTimer took;
        took.start();
        const qint64 mapStall = w.longestStall([&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier);
            QApplication::sendEvent(&grid, &press);
            waitFor([&] { return !grid.writing() && idle(); }, 60000);
        });
        std::printf("map step, SetMap unanswered (10 attempts, %.1f s): longest stall %lld ms, %d message(s)\n",
                    took.elapsed() / 1000.0, static_cast<long long>(mapStall), w.user.messages);

        view.pageCtrl()->activatePage(CDoravineView::TabSettings);
        auto& settings = *static_cast<CSettingsDlg*>(view.tabPage(CDoravineView::TabSettings));
        swallow(sim, 3);
        took.restart();
        const qint64 tpsStall = w.longestStall([&] {
            settings.tpsSpin()->upButton()->click();
            waitFor(idle, 60000);
        });
        std::printf("TPS step, settings write unanswered (10 attempts, %.1f s): longest stall %lld ms\n",
                    took.elapsed() / 1000.0, static_cast<long long>(tpsStall));

        sim.clearFaults();
        took.restart();
        bool started = false;
        const qint64 detectStall = w.longestStall([&] {
            QTimer::singleShot(0, [&] {
                started = true;
                settings.autoButton()->click();
            });
            waitFor([&] { return started && !settings.autoCalibrationRunning() && idle(); }, 120000);
        });
        std::printf("auto-detection, button to end (%.1f s): longest stall %lld ms\n", took.elapsed() / 1000.0,
                    static_cast<long long>(detectStall));
        state.counters["map_write_unanswered_longest_stall_ms"] = static_cast<double>(mapStall);
        state.counters["tps_write_unanswered_longest_stall_ms"] = static_cast<double>(tpsStall);
        state.counters["autodetection_longest_stall_ms"] = static_cast<double>(detectStall);
    }
}

BENCHMARK(PageStalls)->Iterations(1)->Unit(benchmark::kSecond);
