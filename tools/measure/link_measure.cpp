// The link's figures against the virtual controller pacing its bytes at 38400 baud:
//   live samples per second against 1 / (50 ms + request and reply wire time),
//   the GetSettings round trip against its wire time,
//   the time from Start to connected when only the last of four ports has a controller,
//   the process's CPU time while disconnected and rescanning,
//   success rate and time per command on a line that damages 1e-3 and 1e-2 of its bytes,
//   the time from a controller's come-back to connected, in the window's logic, notice open.
//   wrong maps shown or stored over many map reads and writes on a line that damages 1e-2 and
//   1e-3 of its bytes, checked against the simulator's own state, and the frames of a refresh.
// Usage: measure_link_measure [seconds of live samples, default 30]
//        measure_link_measure noise [commands per kind at 1e-3, default 200]
//        measure_link_measure comeback [cycles, default 10]
//        measure_link_measure verify [map reads, default 2000] [map writes, default 500] [ppm: only it]
//        measure_link_measure refresh
#include "device/connection_watchdog.h"
#include "device/lpg_device.h"
#include "operations/live_samples.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"
#include "window_logic.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

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

// The controller pacing its bytes at 38400 baud, as the only port of the table.
void startAsOnlyPort(sim::VirtualController& sim)
{
    sim.setPacing(true);
    if (!sim.start())
        std::abort();
    porttable::setPortOverride({sim.path()});
}

void measureLiveSamples(double duration)
{
    sim::VirtualController sim;
    startAsOnlyPort(sim);
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
    CConnectionWatchdog watchdog(device, {nullptr, [&] { live.ResumeLiveSamples(); }, nullptr});
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

// ---- Damaged bytes ---------------------------------------------------------------------------

struct CommandKind {
    const char* name;
    int count;
    std::function<bool(CLPGDevice&)> run;
    // The block as read, to compare with the controller's.
    std::function<std::vector<uint8_t>(const CLPGDevice&)> block;
};

template <class Block> std::vector<uint8_t> bytesOf(const Block& b)
{
    return std::vector<uint8_t>(b.begin(), b.end());
}

void measureDamagedBytes(unsigned ppm, int scale)
{
    sim::VirtualController sim;
    startAsOnlyPort(sim);
    CLPGDevice device;
    device.Start();
    uint8_t errorsReference[kErrorModuleCount] = {};
    if (!device.m_connected || !device.GetErrors(errorsReference)) {
        std::printf("damaged bytes: no connection\n");
        return;
    }
    const CSettingsRecord reference = device.m_settings;
    // Before each read the record holds other values: a read that succeeds must bring the
    // controller's back, or it showed a wrong value.
    CSettingsRecord poisoned = reference;
    poisoned.tpsThreshold += 1.0;
    poisoned.teethCount += 1.0;
    for (auto& row : poisoned.advanceMap)
        for (double& cell : row)
            cell = cell < 20.0 ? cell + 1.0 : cell - 1.0;
    for (double& v : poisoned.mapAxis)
        v += 0.05;
    for (double& v : poisoned.rpmAxis)
        v = v < 25000.0 ? v + 100.0 : v - 100.0;

    uint8_t errors[kErrorModuleCount] = {};
    const std::vector<CommandKind> kinds = {
        {"settings", 2 * scale, [](CLPGDevice& d) { return d.GetSettings(); },
         [](const CLPGDevice& d) { return bytesOf(encodeSettingsBlock(d.m_settings)); }},
        {"map", scale, [](CLPGDevice& d) { return d.GetMap(); },
         [](const CLPGDevice& d) { return bytesOf(encodeMapBlock(d.m_settings)); }},
        {"axes", scale, [](CLPGDevice& d) { return d.GetMapAxes(); },
         [](const CLPGDevice& d) { return bytesOf(encodeAxesBlock(d.m_settings)); }},
        {"errors", scale,
         [&](CLPGDevice& d) {
             std::memset(errors, 0xEE, sizeof errors);
             return d.GetErrors(errors);
         },
         [&](const CLPGDevice&) { return std::vector<uint8_t>(errors, errors + kErrorModuleCount); }},
    };
    CLPGDevice expected;
    expected.m_settings = reference;

    sim::FaultRule noise;
    noise.kind = sim::FaultKind::Noise;
    noise.ppm = ppm;
    noise.seed = 20261207u + ppm;
    sim.addFault(noise);
    std::printf("damaged bytes %.0e (ppm %u, seed %u), commands back to back:\n", ppm / 1e6, ppm, noise.seed);
    int wrongTotal = 0, failedAfterFailure = 0, failures = 0;
    bool lastFailed = false;
    for (const CommandKind& kind : kinds) {
        const std::vector<uint8_t> want = kind.name == std::string("errors")
                                              ? std::vector<uint8_t>(errorsReference, errorsReference + 4)
                                              : kind.block(expected);
        int good = 0, wrong = 0;
        const auto t0 = Clock::now();
        for (int i = 0; i < kind.count; ++i) {
            device.m_settings = poisoned;
            const bool ok = kind.run(device);
            if (ok) {
                ++good;
                wrong += kind.block(device) != want ? 1 : 0;
            } else {
                ++failures;
                failedAfterFailure += lastFailed ? 1 : 0;
            }
            lastFailed = !ok;
        }
        const double each = seconds(t0) / kind.count;
        wrongTotal += wrong;
        std::printf("  %-8s %4d of %4d (%6.2f %%), %7.1f ms per command, wrong values %d\n", kind.name, good,
                    kind.count, 100.0 * good / kind.count, each * 1e3, wrong);
    }
    const auto [in, out] = sim.damagedBytes();
    const auto [passedIn, passedOut] = sim.undetectedFrames();
    std::printf("  wrong values %d; failed commands %d, of them right after another failure %d; bytes damaged: "
                "%zu received by the controller, %zu sent; damaged frames past the checksum: %zu requests, "
                "%zu replies\n",
                wrongTotal, failures, failedAfterFailure, in, out, passedIn, passedOut);
    device.Close();
    sim.stop();
}

// ---- Wrong values shown or stored ------------------------------------------------------------

struct Tally {
    int runs = 0, good = 0, wrong = 0;
    void print(const char* name, double secondsTaken) const
    {
        std::printf("  %-22s %5d of %5d (%6.2f %%), %6.1f ms each, wrong %d\n", name, good, runs,
                    runs ? 100.0 * good / runs : 0.0, runs ? secondsTaken / runs * 1e3 : 0.0, wrong);
    }
};

template <class Block> bool sameBytes(const Block& a, const std::array<uint8_t, sizeof(Block)>& b)
{
    return std::memcmp(a.data(), b.data(), b.size()) == 0;
}

// A map on the 60-2 wheel's 0.6 degree step, every cell drawn afresh.
void drawMap(std::mt19937& rng, CSettingsRecord& record)
{
    for (auto& row : record.advanceMap)
        for (double& cell : row)
            cell = 0.6 * static_cast<double>(rng() % 41);
}

// The simulator answers at once (no 38400-baud pacing) and the program's read time-out is short,
// so that tens of thousands of exchanges fit in minutes: the damage is per byte and does not
// depend on the pace.
void measureWrongValues(unsigned ppm, int reads, int writes)
{
    sim::VirtualController sim;
    if (!sim.start())
        std::abort();
    porttable::setPortOverride({sim.path()});
    CLPGDevice device;
    device.Timings().readConstantMs = 60;
    device.Timings().drainQuietMs = 10;
    device.Start();
    if (!device.m_connected) {
        std::printf("wrong values: no connection\n");
        return;
    }
    const CSettingsRecord reference = device.m_settings;
    sim::FaultRule noise;
    noise.kind = sim::FaultKind::Noise;
    noise.ppm = ppm;
    noise.seed = 20261209u + ppm;
    sim.addFault(noise);
    std::printf("wrong values at %.0e damaged bytes (ppm %u, seed %u), both directions, back to back:\n", ppm / 1e6,
                ppm, noise.seed);

    // Reads: before each the record holds another map, so an accepted read must bring the
    // controller's map back (compared with the simulator's state, which the noise never touches).
    std::mt19937 rng(ppm);
    Tally mapReads;
    auto t0 = Clock::now();
    for (int i = 0; i < reads; ++i) {
        drawMap(rng, device.m_settings);
        ++mapReads.runs;
        if (device.GetMap()) {
            ++mapReads.good;
            mapReads.wrong += sameBytes(encodeMapBlock(device.m_settings), sim.map()) ? 0 : 1;
        }
    }
    mapReads.print("map reads", seconds(t0));

    // Writes as the map page sends them: SetMap, then SaveMap. After each, the stored map must be
    // the one meant (write done) or the last good one (write failed).
    Tally mapWrites;
    int wrongInUse = 0;
    MapBlock lastGood{};
    std::memcpy(lastGood.data(), sim.savedMap().data(), lastGood.size());
    t0 = Clock::now();
    for (int i = 0; i < writes; ++i) {
        drawMap(rng, device.m_settings);
        const MapBlock meant = encodeMapBlock(device.m_settings);
        ++mapWrites.runs;
        const bool done = device.SetMap() && device.SaveMap();
        mapWrites.good += done ? 1 : 0;
        mapWrites.wrong += sameBytes(done ? meant : lastGood, sim.savedMap()) ? 0 : 1;
        wrongInUse += done && !sameBytes(meant, sim.map()) ? 1 : 0;
        if (done)
            lastGood = meant;
    }
    mapWrites.print("map writes (+SaveMap)", seconds(t0));

    // The other blocks and commands, for their success rate.
    Tally others[5];
    const char* names[5] = {"settings reads", "axes reads", "error reads", "settings writes", "axes writes"};
    uint8_t errors[kErrorModuleCount] = {};
    const std::function<bool()> runs[5] = {
        [&] { return device.GetSettings(); }, [&] { return device.GetMapAxes(); },
        [&] { return device.GetErrors(errors); },
        [&] {
            device.m_settings.tpsThreshold = reference.tpsThreshold;
            device.m_settings.inputSource = rng() % 2;
            return device.SetSettings();
        },
        [&] {
            device.m_settings.rpmAxis[14] = reference.rpmAxis[14] + 100.0 * (rng() % 20);
            return device.SetMapAxes();
        }};
    for (int k = 0; k < 5; ++k) {
        const int count = writes;
        t0 = Clock::now();
        for (int i = 0; i < count; ++i) {
            ++others[k].runs;
            others[k].good += runs[k]() ? 1 : 0;
        }
        others[k].print(names[k], seconds(t0));
    }
    const auto [in, out] = sim.damagedBytes();
    const auto [passedIn, passedOut] = sim.undetectedFrames();
    std::printf("  wrong maps shown %d, stored %d, in use after a done write %d; bytes damaged: %zu received, %zu "
                "sent; damaged frames past the checksum: %zu requests, %zu replies\n",
                mapReads.wrong, mapWrites.wrong, wrongInUse, in, out, passedIn, passedOut);
    device.Close();
    sim.stop();
}

// Frames of a refresh (settings, map, axes) on a clean line: once with nothing changed, once
// after the controller's map changed behind the program's back.
void measureRefreshFrames()
{
    sim::VirtualController sim;
    if (!sim.start())
        std::abort();
    porttable::setPortOverride({sim.path()});
    CLPGDevice device;
    device.Start();
    if (!device.m_connected) {
        std::printf("refresh: no connection\n");
        return;
    }
    auto refresh = [&] {
        const unsigned before = sim.requestCount();
        const bool ok = device.GetSettings() && device.GetMap() && device.GetMapAxes();
        return std::make_pair(ok, sim.requestCount() - before);
    };
    const auto same = refresh();
    auto map = sim.map();
    map[17] = static_cast<uint8_t>(map[17] + 6);
    sim.setMap(map);
    const auto changed = refresh();
    std::printf("refresh on a clean line (GetSettings, GetMap, GetMapAxes): %u frames with nothing changed (%s), "
                "%u after the controller's map changed (%s)\n",
                same.second, same.first ? "done" : "failed", changed.second, changed.first ? "done" : "failed");
    device.Close();
    sim.stop();
}

// ---- Come-back to connected --------------------------------------------------------------------

bool waitFor(const std::function<bool()>& condition, double limitSeconds)
{
    const auto t0 = Clock::now();
    while (!condition()) {
        if (seconds(t0) > limitSeconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void measureComeBack(int cycles)
{
    const std::filesystem::path link = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "ttyDoravine";
    sim::VirtualController sim;
    sim.setPacing(true);
    sim.setLinkPath(link.string());
    if (!sim.start())
        std::abort();
    porttable::setPortOverride({link.string()});
    CWindowLogic window;
    if (!waitFor([&] { return window.device().m_connected.load(); }, 5)) {
        std::printf("come-back: no connection\n");
        return;
    }
    std::mt19937 phase(7);
    double least = 1e9, most = 0, sum = 0;
    int measured = 0, withNotice = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        sim.hangUp();
        // The cable stays out until the search has failed once and the notice is open.
        if (!waitFor([&] { return window.user.noticeOpen.load(); }, 10)) {
            std::printf("come-back: no notice after a pull\n");
            break;
        }
        // Back at any moment of the watchdog's eleven-tick countdown.
        std::this_thread::sleep_for(std::chrono::milliseconds(phase() % 1100));
        const bool noticeOpen = window.user.noticeOpen;
        const auto t0 = Clock::now();
        if (!sim.comeBack() || !waitFor([&] { return window.device().m_connected.load(); }, 10)) {
            std::printf("come-back: not connected within 10 s\n");
            break;
        }
        const double dt = seconds(t0);
        least = std::min(least, dt);
        most = std::max(most, dt);
        sum += dt;
        ++measured;
        withNotice += noticeOpen ? 1 : 0;
        waitFor([&] { return window.device().m_diagData.count() > 0; }, 5);
    }
    std::printf("come-back to connected (window logic, %d of %d with the notice open): min %.2f s, mean %.2f s, "
                "max %.2f s over %d cycles; notice open afterwards: %s\n",
                withNotice, measured, least, measured ? sum / measured : 0.0, most, measured,
                window.user.noticeOpen ? "yes" : "no");
    sim.stop();
}

} // namespace

int main(int argc, char** argv)
{
    // Keep the remembered port away from the user's own.
    char home[] = "/tmp/doravine-measure-XXXXXX";
    if (!mkdtemp(home))
        return 1;
    setenv("XDG_CONFIG_HOME", home, 1);
    const std::string mode = argc > 1 ? argv[1] : "";
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // long runs show their progress in a file

    if (mode == "noise") {
        const int scale = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
        measureDamagedBytes(1000, scale);
        measureDamagedBytes(10000, std::max(1, scale / 2));
    } else if (mode == "verify") {
        const int reads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
        const int writes = argc > 3 ? std::max(1, std::atoi(argv[3])) : 500;
        const unsigned only = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 0;
        for (const unsigned ppm : {10000u, 1000u})
            if (only == 0 || only == ppm)
                measureWrongValues(ppm, reads, writes);
    } else if (mode == "refresh") {
        measureRefreshFrames();
    } else if (mode == "comeback") {
        measureComeBack(argc > 2 ? std::max(1, std::atoi(argv[2])) : 10);
    } else {
        const double duration = argc > 1 ? std::atof(argv[1]) : 30.0;
        measureLiveSamples(duration > 0 ? duration : 30.0);
        measureScan();
        measureDisconnectedCpu(false);
        measureDisconnectedCpu(true);
    }
    porttable::setPortOverride({});
    return 0;
}
