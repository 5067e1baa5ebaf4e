// The link's figures against the virtual controller pacing its bytes at 38400 baud:
//   live samples per second against 1 / (50 ms + request and reply wire time),
//   the GetSettings round trip against its wire time,
//   the time from Start to connected when only the last of four ports has a controller,
//   the process's CPU time while disconnected and rescanning.
// Usage: measure_link_measure [seconds of live samples, default 30]
#include "device/connection_watchdog.h"
#include "device/lpg_device.h"
#include "operations/live_samples.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBitsPerByte = 10.0; // start, 8 data, stop
constexpr double kBaud = 38400.0;
constexpr size_t kRequestBytes = 4 + 2 + 6 + 2;

double wireSeconds(size_t bytes)
{
    return bytes * kBitsPerByte / kBaud;
}

double seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A port that exists and takes bytes but never answers.
struct SilentPort {
    int master = -1;
    std::string path;
    SilentPort()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            std::abort();
        path = ptsname(master);
    }
    ~SilentPort() { close(master); }
};

void measureLiveSamples(double duration)
{
    sim::VirtualController sim;
    sim.setPacing(true);
    if (!sim.start())
        std::abort();
    porttable::setPortOverride({sim.path()});
    CLPGDevice device;
    device.Start();
    if (!device.m_connected) {
        std::printf("live samples: no connection\n");
        return;
    }
    CThreadManager threads;
    CLiveSampleControl live(device, &threads);
    live.ResumeLiveSamples();
    std::this_thread::sleep_for(std::chrono::seconds(1)); // past the thread's start
    CDiag first, last;
    device.m_diagData.getLast(first);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(duration));
    device.m_diagData.getLast(last);
    const double elapsed = seconds(start);
    live.StopLiveSamples();
    threads.joinAll();

    const double rate = (last.sampleNumber() - first.sampleNumber()) / elapsed;
    const double wire = wireSeconds(kRequestBytes) + wireSeconds(4 + 2 + 14 + 2);
    const double bound = 1.0 / (0.050 + wire);
    std::printf(
        "live samples: %.2f per second over %.1f s; bound 1/(50 ms + %.2f ms) = %.2f; %.1f %% of the bound\n",
        rate, elapsed, wire * 1e3, bound, 100.0 * rate / bound);

    // GetSettings: one request, a reply of 20 payload bytes.
    const int rounds = 100;
    const auto t0 = Clock::now();
    int good = 0;
    for (int i = 0; i < rounds; ++i)
        good += device.GetSettings() ? 1 : 0;
    const double each = seconds(t0) / rounds;
    const double settingsWire = wireSeconds(kRequestBytes) + wireSeconds(4 + 2 + 20 + 2);
    std::printf("GetSettings round trip: %.2f ms (%d of %d good); wire time %.2f ms; %.2f ms above it\n",
                each * 1e3, good, rounds, settingsWire * 1e3, (each - settingsWire) * 1e3);
    device.Close();
    sim.stop();
}

void measureScan()
{
    SilentPort a, b, c;
    sim::VirtualController sim;
    sim.setPacing(true);
    if (!sim.start())
        std::abort();
    porttable::setPortOverride({a.path, b.path, c.path, sim.path()});
    CLPGDevice::SaveLastPort(0);
    CLPGDevice device;
    const auto t0 = Clock::now();
    device.Start();
    std::printf("Start to connected, controller on the 4th of 4 ports: %.2f s (connected: %s, port COM%d)\n",
                seconds(t0), device.m_connected ? "yes" : "no", device.Port().portNumber());
    device.Close();
    sim.stop();
}

void measureDisconnectedCpu(bool silentPortPresent)
{
    sim::VirtualController sim;
    if (!sim.start())
        std::abort();
    SilentPort silent;
    std::vector<std::string> table{sim.path()};
    if (silentPortPresent)
        table.push_back(silent.path);
    porttable::setPortOverride(table);
    CLPGDevice device;
    device.Start();
    CThreadManager threads;
    CLiveSampleControl live(device, &threads);
    live.ResumeLiveSamples();
    CConnectionWatchdog watchdog(device, {nullptr, [&] { live.ResumeLiveSamples(); }});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sim.hangUp(); // the cable is pulled and stays out

    const double cpu0 = cpuSeconds();
    const auto t0 = Clock::now();
    while (seconds(t0) < 10.0) {
        watchdog.tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double wall = seconds(t0);
    const double cpu = cpuSeconds() - cpu0;
    live.StopLiveSamples();
    threads.joinAll();
    std::printf("disconnected and rescanning%s: %d rescans in %.1f s, CPU %.3f s (%.2f %% of one core)\n",
                silentPortPresent ? " (a silent port in the table)" : "", watchdog.rescans(), wall, cpu,
                100.0 * cpu / wall);
    sim.stop();
}

} // namespace

int main(int argc, char** argv)
{
    const double duration = argc > 1 ? std::atof(argv[1]) : 30.0;
    // Keep the remembered port away from the user's own.
    char home[] = "/tmp/doravine-measure-XXXXXX";
    if (!mkdtemp(home))
        return 1;
    setenv("XDG_CONFIG_HOME", home, 1);

    measureLiveSamples(duration > 0 ? duration : 30.0);
    measureScan();
    measureDisconnectedCpu(false);
    measureDisconnectedCpu(true);
    porttable::setPortOverride({});
    return 0;
}
