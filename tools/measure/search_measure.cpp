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
// Usage: measure_search_measure [path of doravine, default: beside this program]
#include "device/protocol.h"
#include "sim/virtual_controller.h"

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
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A pseudo-terminal whose far end is held open and never answers; it counts what it was sent.
struct SilentPort {
    SilentPort()
    {
        std::array<char, 256> name{};
        if (::openpty(&master, &slave, name.data(), nullptr, nullptr) == 0)
            path = name.data();
    }
    ~SilentPort()
    {
        ::close(slave);
        ::close(master);
    }
    // Identification requests received so far (14 bytes each).
    size_t requests()
    {
        std::array<char, 4096> scrap{};
        for (;;) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(master, &set);
            timeval none{0, 0};
            if (::select(master + 1, &set, nullptr, nullptr, &none) <= 0)
                break;
            const ssize_t n = ::read(master, scrap.data(), scrap.size());
            if (n <= 0)
                break;
            received += static_cast<size_t>(n);
        }
        return received / 14;
    }
    int master = -1;
    int slave = -1;
    size_t received = 0;
    std::string path;
};

// The controller's side: when the first request of a kind arrived.
struct Watch {
    explicit Watch(sim::VirtualController& controller)
    {
        controller.setRequestListener([this](const sim::LoggedRequest& r) {
            if (r.type == protocol::kTypeCommand && !r.payload.empty() &&
                r.payload[0] == protocol::kCmdGetDiagSample && !sampled.exchange(true))
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
    std::atomic<bool> sampled{false};
    Clock::time_point firstSample{};
};

struct Window {
    Window(const fs::path& program, const std::string& ports, const std::string& name)
    {
        home = fs::temp_directory_path() / ("doravine-search-" + std::to_string(::getpid()) + name);
        fs::remove_all(home);
        fs::create_directories(home);
        probe = home / "stall.txt";
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
    std::map<std::string, long long> figures() const
    {
        std::map<std::string, long long> out;
        std::ifstream in(probe);
        std::string key;
        long long value = 0;
        while (in >> key >> value)
            out[key] = value;
        return out;
    }
    void printStall(const char* what) const
    {
        auto f = figures();
        std::printf("  %s: longest stall %lld ms (began %lld ms after launch; event loop first turned at %lld ms, "
                    "%lld turns of the 5 ms probe)\n",
                    what, f["longest_stall_ms"], f["longest_stall_at_ms"], f["first_turn_ms"], f["turns"]);
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
        std::printf("  plugged in %.0f ms after launch, first live-sample request %.0f ms after plugging in\n",
                    w.sinceLaunch(plugged), msBetween(plugged, watch.firstSample));
    else
        std::printf("  not connected within 10 s of plugging in\n");
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
        std::printf("  first live-sample request %.0f ms after launch\n", w.sinceLaunch(watch.firstSample));
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
    rescanStall(program);
    pluggedInLater(program, false);
    pluggedInLater(program, true);
    newInstallation(program);
    return 0;
}
