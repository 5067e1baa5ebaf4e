// The readings log's figures against the virtual controller pacing its bytes at 38400 baud with
// a revving engine:
//   samples written to the log against samples fetched, every one and in order,
//   the process's resident memory while it records (after one minute and at the end, with the
//   growth per hour that a straight line through the minute marks gives).
// The samples fetched are taken from the store every 10 ms by this program itself, twenty times
// more often than the recorder takes them; their numbers, 1 to N without a gap, show that it saw
// every one.
// Usage: measure_readings_measure [minutes, default 10]
#include "device/lpg_device.h"
#include "operations/live_samples.h"
#include "operations/readings_recorder.h"
#include "platform/port_table.h"
#include "records/readings_format.h"
#include "sim/virtual_controller.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

std::string afterTime(const std::string& line)
{
    return line.substr(line.find(';') + 1);
}

} // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "doravine-readings-measure";
    std::filesystem::create_directories(folder);

    sim::VirtualController sim;
    sim.setPacing(true);
    sim.setProfile(sim::Profile::Rev);
    if (!sim.start()) {
        std::fprintf(stderr, "cannot start the virtual controller: %s\n", sim.lastError().c_str());
        return 1;
    }
    porttable::setPortOverride({sim.path()});
    CLPGDevice device;
    device.Start();
    if (!device.m_connected) {
        std::fprintf(stderr, "no controller\n");
        return 1;
    }
    CThreadManager threads;
    CLiveSampleControl live(device, &threads);
    CReadingsRecorder recorder(device.m_diagData);
    uint64_t next = device.m_diagData.nextSerial();
    if (!recorder.start(folder.wstring() + L"/"))
        return 1;
    live.ResumeLiveSamples();

    std::vector<CDiagEntry> fetched;
    std::vector<std::pair<double, long>> memory; // minute, kB
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(minutes * 60);
    double nextMark = 1.0;
    while (Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        next = device.m_diagData.copySince(next, fetched);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count() / 60;
        if (elapsed >= nextMark) {
            memory.emplace_back(nextMark, residentKb());
            std::printf("minute %.0f: %zu samples, resident %ld kB\n", nextMark, fetched.size(), memory.back().second);
            std::fflush(stdout);
            nextMark += 1.0;
        }
    }
    live.StopLiveSamples();
    threads.joinAll();
    next = device.m_diagData.copySince(next, fetched);
    recorder.stop();

    bool gapless = true;
    for (size_t k = 0; k < fetched.size(); ++k)
        gapless = gapless && fetched[k].sample.sampleNumber() == k + 1;
    std::ifstream in(std::filesystem::path(recorder.path()));
    std::string line;
    std::getline(in, line);
    size_t written = 0;
    size_t inOrder = 0;
    while (std::getline(in, line)) {
        if (written < fetched.size() && afterTime(line) == afterTime(readingsCsvLine(0, fetched[written].sample)))
            ++inOrder;
        ++written;
    }
    std::printf("fetched %zu samples (numbers 1 to N without a gap: %s), written %zu, matching in order %zu, "
                "skipped %llu\n",
                fetched.size(), gapless ? "yes" : "no", written, inOrder,
                static_cast<unsigned long long>(recorder.skipped()));
    if (memory.size() >= 2) {
        // Least squares over the minute marks from the first on.
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (const auto& [x, y] : memory) {
            sx += x;
            sy += y;
            sxx += x * x;
            sxy += x * y;
        }
        const double n = static_cast<double>(memory.size());
        const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        std::printf("resident after 1 min %ld kB, after %.0f min %ld kB; growth %.1f kB/min, so about %.0f kB more "
                    "after 60 min than after 1\n",
                    memory.front().second, memory.back().first, memory.back().second, slope, slope * 59);
    }
    std::filesystem::remove(std::filesystem::path(recorder.path()));
    const bool ok = gapless && written == fetched.size() && inOrder == written && recorder.skipped() == 0;
    return ok ? 0 : 1;
}
