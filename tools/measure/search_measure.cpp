// The search for the controller as the window's user meets it, measured from outside: the real
// `doravine` started against the virtual controller and silent pseudo-terminals (ports that
// nobody answers), its event loop watched by its own stall probe (DORAVINE_STALL_PROBE) and its
// requests seen from the controller's side.
//   1. connected, then the controller lost for good with two silent ports in the table: the
//      longest stretch without the window's event loop turning while it rescans;
//   2. started without a controller, which is plugged in later (the no-connection notice left
//      open, then closed first): plug-in to the first live-sample request;
//   3. a new installation with the controller behind two silent ports: launch to the first
//      live-sample request.
// "Connected" is the first live-sample request: the window has then taken the controller's
// answers to the search and started serving it, a little after the connected flag was set.
// Run it under X: xvfb-run -a -s "-screen 0 1366x768x24" build/bin/measure_search_measure
// Usage: measure_search_measure [path of doravine, default: beside this program] [scenario 1, 2 or 3]
#include "device/protocol.h"
#include "sim/virtual_controller.h"
#include "silent_port.h"

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The controller's side: when the first request of a kind arrived.
struct Watch {
    explicit Watch(sim::VirtualController& controller)
    {
        controller.setRequestListener([this](const sim::LoggedRequest& r) {
            if (r.type != protocol::kTypeCommand || r.payload.empty())
                return;
            if (r.payload[0] == protocol::kCmdIdentify && !identified.exchange(true))
                firstIdentify = Clock::now();
            if (r.payload[0] == protocol::kCmdGetMapAxes && !axes.exchange(true))
                firstAxes = Clock::now();
            if (r.payload[0] == protocol::kCmdGetDiagSample && !sampled.exchange(true))
                firstSample = Clock::now();
        });
    }
    bool waitForSample(double limitMs) const
    {
        const auto until = Clock::now() + std::chrono::milliseconds(static_cast<long>(limitMs));
        while (!sampled && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return sampled;
    }
    std::atomic<bool> identified{false};
    std::atomic<bool> axes{false};
    std::atomic<bool> sampled{false};
    Clock::time_point firstIdentify{};
    Clock::time_point firstAxes{}; // the last of the reads that connecting makes
    Clock::time_point firstSample{};
};

struct Window {
    Window(const fs::path& program, const std::string& ports, const std::string& name)
    {
        home = fs::temp_directory_path() / ("doravine-search-" + std::to_string(::getpid()) + name);
        fs::remove_all(home);
        fs::create_directories(home);
        probe = home / "stall.txt";
        // Nothing buffered may be written twice by the child.
        std::fflush(nullptr);
        launched = Clock::now();
        pid = ::fork();
        if (pid == 0) {
            ::setenv("HOME", home.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
            ::setenv("DORAVINE_PORTS", ports.c_str(), 1);
            ::setenv("DORAVINE_STALL_PROBE", probe.c_str(), 1);
            const std::string out = (home / "out.txt").string();
            std::freopen(out.c_str(), "w", stdout);
            std::freopen(out.c_str(), "a", stderr);
            ::execl(program.c_str(), program.c_str(), "--lang", "en", "--size", "1366x768", nullptr);
            std::_Exit(127);
        }
    }
    ~Window()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        fs::remove_all(home);
    }
    // The probe's figures; its listed stalls (50 ms or more) as (began at, length).
    std::map<std::string, long long> figures(std::vector<std::pair<long long, long long>>* stalls = nullptr) const
    {
        std::map<std::string, long long> out;
        std::ifstream in(probe);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string key;
            long long value = 0, length = 0;
            fields >> key >> value;
            if (key == "stall" && (fields >> length) && stalls)
                stalls->emplace_back(value, length);
            else
                out[key] = value;
        }
        return out;
    }
    void printStall(const char* what) const
    {
        auto f = figures();
        std::printf("  %s: longest stall %lld ms (began %lld ms after launch; event loop first turned at %lld ms, "
                    "%lld turns of the 5 ms probe)\n",
                    what, f["longest_stall_ms"], f["longest_stall_at_ms"], f["first_turn_ms"], f["turns"]);
    }
    // The longest stall that began at or after fromMs (ms after launch); below 50 ms the probe
    // lists none, so the answer is then "under 50".
    void printStallSince(double fromMs, const char* what) const
    {
        std::vector<std::pair<long long, long long>> stalls;
        auto f = figures(&stalls);
        long long longest = 0, at = 0;
        int count = 0;
        for (const auto& [began, length] : stalls) {
            if (began < fromMs)
                continue;
            ++count;
            if (length > longest)
                longest = length, at = began;
        }
        std::string list;
        for (const auto& [began, length] : stalls)
            if (began >= fromMs)
                list += " " + std::to_string(length) + "@" + std::to_string(began);
        if (count == 0)
            std::printf("  %s: no stall of 50 ms or more (%lld turns of the 5 ms probe in the whole run)\n", what,
                        f["turns"]);
        else
            std::printf("  %s: longest stall %lld ms (began %lld ms after launch), %d stalls of 50 ms or more "
                        "(length@began, ms):%s\n",
                        what, longest, at, count, list.c_str());
    }
    double sinceLaunch(Clock::time_point t) const { return msBetween(launched, t); }

    fs::path home;
    fs::path probe;
    pid_t pid = -1;
    Clock::time_point launched;
};

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Closes the no-connection notice as a person would, with its OK button's key.
void closeNotice()
{
    std::system("for w in $(xdotool search --name '^Doravine$' 2>/dev/null); do "
                "xdotool windowfocus --sync $w key Return 2>/dev/null; done");
}

void rescanStall(const fs::path& program)
{
    std::printf("1. connected, then the controller lost for good, two silent ports in the table:\n");
    SilentPort a, b;
    sim::VirtualController controller;
    const fs::path link = fs::temp_directory_path() / ("doravine-search-link-" + std::to_string(::getpid()));
    controller.setLinkPath(link.string());
    controller.setPacing(true);
    Watch watch(controller);
    if (!controller.start()) {
        std::printf("  virtual controller: %s\n", controller.lastError().c_str());
        return;
    }
    // The controller first: the start-up connects at once and the silent ports are not asked.
    Window w(program, link.string() + ":" + a.path + ":" + b.path, "-rescan");
    if (!watch.waitForSample(10000)) {
        std::printf("  never connected\n");
        return;
    }
    std::printf("  connected %.0f ms after launch\n", w.sinceLaunch(watch.firstSample));
    sleepMs(1000);
    w.printStall("before the loss");
    const size_t beforeA = a.requests(), beforeB = b.requests();
    controller.stop();
    const auto lost = Clock::now();
    sleepMs(12000);
    std::printf("  controller stopped %.0f ms after launch; in the 12 s after it the silent ports got %zu and %zu "
                "identification requests (3 per rescan)\n",
                w.sinceLaunch(lost), a.requests() - beforeA, b.requests() - beforeB);
    w.printStallSince(w.sinceLaunch(lost), "from the loss on");
    w.printStall("whole run");
}

void pluggedInLater(const fs::path& program, bool noticeClosed)
{
    std::printf("2. started without a controller, plugged in later, notice %s:\n", noticeClosed ? "closed" : "open");
    const fs::path link =
        fs::temp_directory_path() / ("doravine-search-later-" + std::to_string(::getpid()) + (noticeClosed ? "c" : "o"));
    fs::remove(link);
    Window w(program, link.string(), noticeClosed ? "-later-closed" : "-later-open");
    sleepMs(3000);
    if (noticeClosed)
        closeNotice();
    sleepMs(1500);
    // Plugged in at a moment unrelated to the window's rescans.
    sleepMs(static_cast<int>(std::chrono::steady_clock::now().time_since_epoch().count() % 1100000000 / 1000000));
    sim::VirtualController controller;
    controller.setLinkPath(link.string());
    controller.setPacing(true);
    Watch watch(controller);
    const auto plugged = Clock::now();
    if (!controller.start()) {
        std::printf("  virtual controller: %s\n", controller.lastError().c_str());
        return;
    }
    if (watch.waitForSample(10000))
        std::printf("  plugged in %.0f ms after launch; after plugging in: identification request %.0f ms, "
                    "last read of connecting %.0f ms, first live-sample request %.0f ms\n",
                    w.sinceLaunch(plugged), msBetween(plugged, watch.firstIdentify), msBetween(plugged, watch.firstAxes),
                    msBetween(plugged, watch.firstSample));
    else
        std::printf("  not connected within 10 s of plugging in\n");
    w.printStallSince(4000, "from 4 s after launch on");
    w.printStall("whole run");
    controller.stop();
}

void newInstallation(const fs::path& program)
{
    std::printf("3. new installation, the controller behind two silent ports:\n");
    SilentPort a, b;
    sim::VirtualController controller;
    controller.setPacing(true);
    Watch watch(controller);
    if (!controller.start()) {
        std::printf("  virtual controller: %s\n", controller.lastError().c_str());
        return;
    }
    Window w(program, a.path + ":" + b.path + ":" + controller.path(), "-new");
    if (watch.waitForSample(10000))
        std::printf("  after launch: identification request %.0f ms, last read of connecting (the axes) %.0f ms, "
                    "first live-sample request %.0f ms\n",
                    w.sinceLaunch(watch.firstIdentify), w.sinceLaunch(watch.firstAxes),
                    w.sinceLaunch(watch.firstSample));
    else
        std::printf("  not connected within 10 s\n");
    sleepMs(3500);
    std::printf("  the silent ports got %zu and %zu identification requests\n", a.requests(), b.requests());
    w.printStall("whole run");
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path program = argc > 1 ? fs::path(argv[1]) : fs::path(argv[0]).parent_path() / "doravine";
    if (!fs::exists(program)) {
        std::fprintf(stderr, "no program at %s\n", program.c_str());
        return 2;
    }
    if (!std::getenv("DISPLAY"))
        std::fprintf(stderr, "no DISPLAY: run this under xvfb-run\n");
    const std::string only = argc > 2 ? argv[2] : "";
    if (only.empty() || only == "1")
        rescanStall(program);
    if (only.empty() || only == "2") {
        pluggedInLater(program, false);
        pluggedInLater(program, true);
    }
    if (only.empty() || only == "3")
        newInstallation(program);
    return 0;
}
