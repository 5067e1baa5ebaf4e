// Figures of the readings-log replay: a one-hour log (72,000 samples at 20 a second, written by
// the program's own readings log) opened and drawn, a cursor move repainted, and the memory it
// takes. The window runs offscreen; each figure is one run on whatever machine runs it.
// Run: QT_QPA_PLATFORM=offscreen bench_window_replay_bench (one iteration, a few seconds)
#include "files/readings_log.h"
#include "gui/pages/readings_replay_dlg.h"
#include "gui/skin/log_chart.h"
#include "gui/skin/theme.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The resident memory of this process in kB.
long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

// An engine revving up and down, with the throttle and the vacuum following it.
CDiag revvingSample(int i)
{
    const double phase = std::sin(i * 0.004) * std::sin(i * 0.0007);
    const auto rpm = static_cast<uint16_t>(1800 + 1600 * phase);
    CDiag d;
    const auto put = [&d](size_t at, uint16_t v) {
        d.bytes[at] = static_cast<uint8_t>(v & 0xFF);
        d.bytes[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put(0, rpm);
    put(2, static_cast<uint16_t>(300 + 200 * phase));
    put(4, static_cast<uint16_t>(500 + 300 * phase));
    put(6, 588);
    put(8, static_cast<uint16_t>(120 + 60 * phase));
    d.bytes[10] = 1;
    return d;
}

void AnHourOfReadingsReplayed(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "bench_window_replay_bench";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    startupGDIp();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "doravine-bench-replay";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "hour.csv";
    std::filesystem::remove(file);
    {
        CReadingsLog log;
        if (!log.create(file)) {
            state.SkipWithError("cannot create the log");
            return;
        }
        const auto start = CDiagClock::now();
        std::vector<CDiagEntry> entries;
        for (int i = 0; i < 72000; ++i)
            entries.push_back({revvingSample(i), start + std::chrono::milliseconds(50 * i), 0});
        log.append(entries, start);
    }
    CSettingsRecord record;
    for (int c = 0; c < kMapColumns; ++c)
        record.rpmAxis[c] = 500 + 300 * c;
    for (int r = 0; r < kMapRows; ++r)
        record.mapAxis[r] = 0.15 + 0.33 * r;

    for (auto _ : state) {
    const long before = residentKb();
    QElapsedTimer clock;
    clock.start();
    CReadingsReplayDlg* dlg = CReadingsReplayDlg::open(file, record, nullptr);
    if (!dlg) {
        state.SkipWithError("the log was refused");
        return;
    }
    dlg->resize(1366, 768);
    // Painted into a picture: the offscreen platform exposes no window to repaint.
    (void)dlg->grab();
    const qint64 openMs = clock.elapsed();
    const long after = residentKb();

    // 50 cursor moves across the log, each painted at once: the median and the slowest by the
    // wall clock (a loaded machine shows in the slowest), and the painting thread's CPU for all.
    std::vector<qint64> moves;
    const auto cpuNow = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    const double cpuBefore = cpuNow();
    for (int k = 0; k < 50; ++k) {
        clock.restart();
        dlg->chart()->setCursorTime(dlg->series().endTime() * k / 50.0);
        (void)dlg->chart()->grab();
        moves.push_back(clock.nsecsElapsed() / 1000);
    }
    const double cpuPerMove = (cpuNow() - cpuBefore) / 50;
    std::sort(moves.begin(), moves.end());
    // A zoom redraws the lanes and shades the grid over the new span.
    clock.restart();
    dlg->chart()->zoomAt(dlg->series().endTime() / 2, 0.1);
    (void)dlg->grab();
    const qint64 zoomMs = clock.elapsed();

    state.counters["samples"] = static_cast<double>(dlg->series().size());
    state.counters["open_and_draw_ms"] = static_cast<double>(openMs);
    state.counters["cursor_move_median_ms"] = moves[moves.size() / 2] / 1000.0;
    state.counters["cursor_move_slowest_ms"] = moves.back() / 1000.0;
    state.counters["cursor_move_cpu_ms"] = cpuPerMove;
    state.counters["zoom_redraw_ms"] = static_cast<double>(zoomMs);
    state.counters["memory_mb"] = (after - before) / 1024.0;
    dlg->close();
    delete dlg;
    }
    std::filesystem::remove(file);
    shoutdownGDIp();
}
BENCHMARK(AnHourOfReadingsReplayed)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
