// The window's first impression: the real `doravine` started offscreen against silent
// pseudo-terminals standing in for built-in UARTs, with and without the virtual controller (pacing
// its bytes at 38400 baud) on a port of its own.
//   launch to first paint with 1, 2 and 4 silent ports, and the longest event-loop stall while
//   they are searched;
//   launch to connected with the controller first in the table (a USB adapter sorts before the
//   built-in UARTs) and two silent UARTs behind it, on a new installation (no last port saved);
//   launch to connected with the controller behind the UARTs, without and with its port saved as
//   the last good one.
// Usage: measure_startup_measure [path of doravine, default: beside this program]
#include "sim/virtual_controller.h"
#include "silent_port.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs doravine with the given port table in a fresh home and answers what it printed.
std::string runWindow(const fs::path& program, const std::string& ports, const fs::path& home,
                      const char* option)
{
    const std::string command = "env QT_QPA_PLATFORM=offscreen HOME='" + home.string() +
                                "' XDG_CONFIG_HOME='" + (home / ".config").string() + "' DORAVINE_PORTS='" +
                                ports + "' '" + program.string() + "' --lang en --size 1366x768 " + option +
                                " 2>&1";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 512> line{};
        while (std::fgets(line.data(), line.size(), pipe))
            out += line.data();
        ::pclose(pipe);
    }
    return out;
}

std::string joined(const std::vector<std::unique_ptr<SilentPort>>& silent, const std::string& first)
{
    std::string ports = first;
    for (const auto& p : silent)
        ports += (ports.empty() ? "" : ":") + p->path;
    return ports;
}

fs::path freshHome(const char* name)
{
    const fs::path home =
        fs::temp_directory_path() / ("doravine-startup-" + std::to_string(::getpid()) + name);
    fs::remove_all(home);
    fs::create_directories(home);
    return home;
}

void printLines(const char* heading, const std::string& output)
{
    std::printf("%s\n", heading);
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = output.find('\n', start);
        const std::string line = output.substr(start, end - start);
        if (line.find("first paint") != std::string::npos ||
            line.find("search answered") != std::string::npos)
            std::printf("  %s\n", line.c_str());
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path program = argc > 1 ? fs::path(argv[1]) : fs::path(argv[0]).parent_path() / "doravine";
    if (!fs::exists(program)) {
        std::fprintf(stderr, "no program at %s\n", program.c_str());
        return 2;
    }

    for (int count : {1, 2, 4}) {
        std::vector<std::unique_ptr<SilentPort>> silent;
        for (int i = 0; i < count; ++i)
            silent.push_back(std::make_unique<SilentPort>());
        const fs::path home = freshHome("-silent");
        const std::string heading = std::to_string(count) + " silent port(s), no controller:";
        printLines(heading.c_str(), runWindow(program, joined(silent, ""), home, "--quit-after-search"));
        fs::remove_all(home);
    }

    sim::VirtualController controller;
    controller.setPacing(true);
    if (!controller.start()) {
        std::fprintf(stderr, "virtual controller: %s\n", controller.lastError().c_str());
        return 1;
    }
    std::vector<std::unique_ptr<SilentPort>> uarts;
    for (int i = 0; i < 2; ++i)
        uarts.push_back(std::make_unique<SilentPort>());
    const fs::path home = freshHome("-controller");
    printLines("controller on the first port, two silent UARTs behind it, new installation:",
               runWindow(program, joined(uarts, controller.path()), home, "--quit-after-search"));
    fs::remove_all(home);

    // Behind the UARTs (a table in another order), first without and then with its port saved.
    std::string behind = joined(uarts, "") + ":" + controller.path();
    printLines("controller behind two silent UARTs, new installation:",
               runWindow(program, behind, home, "--quit-after-search"));
    printLines("the same with its port saved as the last good one:",
               runWindow(program, behind, home, "--quit-after-search"));
    fs::remove_all(home);
    controller.stop();
    return 0;
}
