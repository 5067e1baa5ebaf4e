// Soak: unplug / replug cycles of the virtual controller against the window's logic (document,
// watchdog on the 100 ms tick, live samples, the open notice), with the process's threads, file
// descriptors and memory every ten cycles. What a day of pulled cables would leave behind shows
// here as a count that grows.
// Usage: measure_link_soak [cycles, default 100]
#include "platform/port_table.h"
#include "sim/virtual_controller.h"
#include "window_logic.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

size_t entries(const char* folder)
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

// A field of /proc/self/status in kB.
long statusKb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

bool waitFor(const std::function<bool()>& condition, double limitSeconds)
{
    const auto t0 = Clock::now();
    while (!condition()) {
        if (std::chrono::duration<double>(Clock::now() - t0).count() > limitSeconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct Snapshot {
    size_t threads, fds, held;
    long rssKb, vmKb;
};

Snapshot snapshot(CWindowLogic& window)
{
    return {entries("/proc/self/task"), entries("/proc/self/fd"), window.threads.held(), statusKb("VmRSS"),
            statusKb("VmSize")};
}

void print(const char* label, const Snapshot& s, const Snapshot& base)
{
    std::printf("%-10s threads %zu (%+ld), descriptors %zu (%+ld), held by the manager %zu, RSS %ld kB (%+ld), "
                "address space %ld kB (%+ld)\n",
                label, s.threads, static_cast<long>(s.threads - base.threads), s.fds,
                static_cast<long>(s.fds - base.fds), s.held, s.rssKb, s.rssKb - base.rssKb, s.vmKb,
                s.vmKb - base.vmKb);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    char home[] = "/tmp/doravine-soak-XXXXXX";
    if (!mkdtemp(home))
        return 1;
    setenv("XDG_CONFIG_HOME", home, 1);
    const std::string link = std::string(home) + "/ttyDoravine";

    sim::VirtualController sim;
    sim.setPacing(true);
    sim.setLinkPath(link);
    if (!sim.start())
        return 1;
    porttable::setPortOverride({link});
    int status = 0;
    {
        CWindowLogic window;
        // The baseline: connected and sampling, as after every replug.
        if (!waitFor([&] { return window.device().m_diagData.count() > 2; }, 10)) {
            std::printf("no connection at the start\n");
            return 1;
        }
        const Snapshot base = snapshot(window);
        print("start", base, base);
        Snapshot last = base;
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            sim.hangUp();
            if (!waitFor([&] { return !window.device().m_connected && window.user.noticeOpen; }, 15)) {
                std::printf("cycle %d: the pull was not noticed\n", cycle);
                status = 1;
                break;
            }
            if (!sim.comeBack() ||
                !waitFor([&] { return window.device().m_connected && window.device().m_diagData.count() > 2; },
                         15)) {
                std::printf("cycle %d: not connected again\n", cycle);
                status = 1;
                break;
            }
            if (cycle % 10 == 0) {
                last = snapshot(window);
                print(("cycle " + std::to_string(cycle)).c_str(), last, base);
            }
        }
        const bool back = last.threads == base.threads && last.fds == base.fds && last.rssKb - base.rssKb <= 1024;
        std::printf("%s: threads and descriptors %s their starting count, memory %s 1 MB\n",
                    back ? "PASS" : "FAIL", last.threads == base.threads && last.fds == base.fds ? "at" : "NOT at",
                    last.rssKb - base.rssKb <= 1024 ? "within" : "NOT within");
        status = status != 0 ? status : (back ? 0 : 1);
    }
    sim.stop();
    porttable::setPortOverride({});
    return status;
}
