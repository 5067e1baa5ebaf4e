// Figures of the readings-log replay: a one-hour log (72,000 samples at 20 a second, written by
// the program's own readings log) opened and drawn, a cursor move repainted, and the memory it
// takes. The window runs offscreen; each figure is one run on whatever machine runs it.
// Usage: measure_replay_window [FOLDER]   (the log is written there; default: a temporary folder)
#include "files/readings_log.h"
#include "gui/pages/readings_replay_dlg.h"
#include "gui/skin/log_chart.h"
#include "gui/skin/theme.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

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

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    startupGDIp();
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path() / "doravine-replay-measure";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "hour.csv";
    std::filesystem::remove(file);
    {
        CReadingsLog log;
        if (!log.create(file)) {
            std::cerr << "cannot create " << file << "\n";
            return 1;
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

    const long before = residentKb();
    QElapsedTimer clock;
    clock.start();
    CReadingsReplayDlg* dlg = CReadingsReplayDlg::open(file, record, nullptr);
    if (!dlg)
        return 1;
    dlg->resize(1366, 768);
    // Painted into a picture: the offscreen platform exposes no window to repaint.
    (void)dlg->grab();
    const qint64 openMs = clock.elapsed();
    const long after = residentKb();

    // The slowest of 50 cursor moves across the log, each painted at once.
    qint64 slowestMove = 0;
    for (int k = 0; k < 50; ++k) {
        clock.restart();
        dlg->chart()->setCursorTime(dlg->series().endTime() * k / 50.0);
        (void)dlg->chart()->grab();
        slowestMove = std::max(slowestMove, clock.nsecsElapsed() / 1000);
    }
    // A zoom redraws the lanes and shades the grid over the new span.
    clock.restart();
    dlg->chart()->zoomAt(dlg->series().endTime() / 2, 0.1);
    (void)dlg->grab();
    const qint64 zoomMs = clock.elapsed();

    std::printf("log: %zu samples, %.1f MB on disk\n", dlg->series().size(),
                static_cast<double>(std::filesystem::file_size(file)) / 1e6);
    std::printf("opened and drawn at 1366x768: %lld ms\n", static_cast<long long>(openMs));
    std::printf("slowest of 50 cursor moves repainted: %.2f ms\n", slowestMove / 1000.0);
    std::printf("zoom to a tenth redrawn: %lld ms\n", static_cast<long long>(zoomMs));
    std::printf("memory for the open log and its window: %.1f MB (resident, after minus before)\n",
                (after - before) / 1024.0);
    dlg->close();
    std::filesystem::remove(file);
    shoutdownGDIp();
    return 0;
}
