// doravine-sim: the virtual controller as a program. Prints the pseudo-terminal's path as its
// first line and answers on it until SIGINT or SIGTERM.
#include "sim/virtual_controller.h"
#include "doravine_version.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

namespace {

const char* const kUsage =
    R"(Usage: doravine-sim [OPTIONS]

A virtual ignition-advance controller on a pseudo-terminal. The first line on standard output is
the path of the terminal to open (38400 baud, raw); a new line follows whenever the controller
comes back on a new terminal. Runs until SIGINT or SIGTERM.

Options:
  --wheel NAME            trigger wheel: 60-2 (default), 36-2, 36-4, 30-2, 36-6, 36-4-typ4,
                          36-4-typ5, 12+1, 36-1; also the list texts ("TYP4: 36-4") or 0..7
  --profile NAME          engine: idle (default), start, rev, steady, stall
  --device-type 29|30     29: regular firmware (default); 30: signal-reading firmware
  --firmware-version X.Y  reported firmware version (default 1.55)
  --serial TEXT           serial number, up to 16 characters
  --bootloader            start in the boot loader with an erased application, as a controller
                          that needs programming
  --no-live-samples       identification forbids live samples (bytes 2-3 = 0)
  --no-pacing             send replies at once instead of ~260 us per byte (38400 baud)
  --fault RULE            inject a fault; may be repeated. RULE = KIND[@WHEN][,OPTION=VALUE...]
                            KIND: noreply, checksum, garbage, split, wrongtype, unknown-device,
                                  stall, hangup, damage, noise, twin
                            WHEN: N (the N-th request), cmd=HEX (a command code, e.g. cmd=0x0D),
                                  type=HEX (a frame type, e.g. type=9), always (default)
                            OPTION: gap=MS (split, default 30), bytes=N (garbage, default 2),
                                    back=MS (hangup: reopen on a new terminal after MS),
                                    times=N (use the fault N times),
                                    byte=N, xor=N (damage: flip bits of the reply's byte N),
                                    ppm=N, seed=N (noise: damage N bytes per million in both
                                    directions, repeatably for one seed)
                                    byte=N, reply=1 (twin: two payload bytes from byte N of
                                    the request, or of its reply, damaged so that the
                                    checksum still passes)
                          Examples: --fault noreply@3  --fault split@cmd=0x0E,gap=80
                                    --fault hangup@40,back=2000  --fault unknown-device
                                    --fault damage@2,byte=0  --fault noise,ppm=1000,seed=7
                                    --fault twin@type=9,times=1  --fault twin@cmd=0E,reply=1
  --link PATH             keep a symbolic link at PATH pointing to the terminal (for
                          DORAVINE_PORTS); removed on exit
  --verbose               log every request on standard error
  --version               the program's version
  --help                  this text
)";

bool parseVersion(const std::string& text, uint16_t& out)
{
    unsigned major = 0, minor = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u%c", &major, &minor, &tail) != 2 || major > 255 || minor > 255)
        return false;
    out = static_cast<uint16_t>((major << 8) | minor);
    return true;
}

int usageError(const std::string& message)
{
    std::cerr << "doravine-sim: " << message << "\nTry 'doravine-sim --help'.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    sim::VirtualController controller;
    controller.setPacing(true);
    bool verbose = false;
    std::string link;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "doravine-sim " << kDoravineVersion << '\n';
            return 0;
        } else if (arg == "--wheel") {
            if (!value(v))
                return usageError("--wheel needs a name");
            const auto wheel = sim::wheelFromName(v);
            if (!wheel)
                return usageError("unknown wheel '" + v + "'");
            controller.setWheel(*wheel);
        } else if (arg == "--profile") {
            if (!value(v))
                return usageError("--profile needs a name");
            const auto profile = sim::profileFromName(v);
            if (!profile || *profile == sim::Profile::Fixed)
                return usageError("unknown profile '" + v + "'");
            controller.setProfile(*profile);
        } else if (arg == "--device-type") {
            if (!value(v) || (v != "29" && v != "30"))
                return usageError("--device-type takes 29 or 30");
            controller.setDeviceType(static_cast<uint8_t>(std::stoi(v)));
        } else if (arg == "--firmware-version") {
            uint16_t version = 0;
            if (!value(v) || !parseVersion(v, version))
                return usageError("--firmware-version takes MAJOR.MINOR");
            controller.setFirmwareVersion(version);
        } else if (arg == "--serial") {
            if (!value(v) || v.size() > 16)
                return usageError("--serial takes up to 16 characters");
            controller.setSerial(v);
        } else if (arg == "--bootloader") {
            controller.enterBootloader(true);
        } else if (arg == "--no-live-samples") {
            controller.setLiveSamplesAllowed(false);
        } else if (arg == "--no-pacing") {
            controller.setPacing(false);
        } else if (arg == "--fault") {
            std::string error;
            if (!value(v))
                return usageError("--fault needs a rule");
            const auto rule = sim::parseFault(v, &error);
            if (!rule)
                return usageError("--fault " + v + ": " + error);
            controller.addFault(*rule);
        } else if (arg == "--link") {
            if (!value(link) || link.empty())
                return usageError("--link needs a path");
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            return usageError("unknown option '" + arg + "'");
        }
    }

    // Block the stop signals before any thread exists, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    static std::mutex outputMutex;
    controller.setPathListener([](const std::string& path) {
        std::lock_guard<std::mutex> lock(outputMutex);
        std::cout << path << std::endl;
    });
    if (verbose) {
        controller.setRequestListener([](const sim::LoggedRequest& r) {
            std::lock_guard<std::mutex> lock(outputMutex);
            std::fprintf(stderr, "#%u T=%02X", r.number, r.type);
            for (size_t k = 0; k < r.payload.size() && k < 8; ++k)
                std::fprintf(stderr, " %02X", r.payload[k]);
            std::fprintf(stderr, r.payload.size() > 8 ? " ... (%zu bytes)\n" : "\n", r.payload.size());
        });
    }
    if (!link.empty())
        controller.setLinkPath(link);
    if (!controller.start()) {
        std::cerr << "doravine-sim: " << controller.lastError() << "\n";
        return 1;
    }
    {
        std::lock_guard<std::mutex> lock(outputMutex);
        std::cout << controller.path() << std::endl;
    }
    if (!controller.lastError().empty())
        std::cerr << "doravine-sim: " << controller.lastError() << "\n";

    int received = 0;
    sigwait(&stopSignals, &received);
    controller.stop();
    return 0;
}
