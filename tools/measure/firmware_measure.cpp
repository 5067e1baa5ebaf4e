// Measures ProgramImage over the full programming area (224 rows, 14 erases) against the virtual
// controller pacing its replies at 38400 baud, and compares it with the time the frames alone
// need on such a line in both directions. Run by hand: measure_firmware_measure [runs].
#include "device/lpg_device.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint32_t kFirst = 0x1800;
constexpr uint32_t kEnd = 0x8800;
constexpr uint32_t kBlock = 0x800;
constexpr int kRows = 224;
constexpr int kErases = 14;
// A frame: 2 start bytes, type, length, 2 random bytes, payload, 2 checksum bytes.
constexpr int kFrameOverhead = 8;
constexpr double kSecondsPerByte = 10.0 / 38400.0; // 8 data bits, start and stop bit

// The simulator paces only what it sends (the replies); requests cross the pseudo-terminal at once.
double pacedSeconds()
{
    return (kRows + kErases) * (kFrameOverhead + 6) * kSecondsPerByte;
}

double wireSeconds()
{
    const int replyBytes = kFrameOverhead + 6; // a status reply
    const int rowBytes = kFrameOverhead + 196 + replyBytes;
    const int eraseBytes = kFrameOverhead + 4 + replyBytes;
    return (kRows * rowBytes + kErases * eraseBytes) * kSecondsPerByte;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    sim::VirtualController controller;
    if (!controller.start()) {
        std::fprintf(stderr, "virtual controller: %s\n", controller.lastError().c_str());
        return 1;
    }
    controller.setPacing(true);
    porttable::setPortOverride({controller.path()});

    std::vector<uint8_t> image(512 * 1024);
    for (size_t k = 0; k < image.size(); ++k)
        image[k] = static_cast<uint8_t>(k * 31 + 7);
    image[0x3000] = 0x40;
    image[0x3001] = 0x01;
    image[0x3002] = 29;

    CLPGDevice device;
    device.Port().open(1);
    device.ConfigurePort();
    const double wire = wireSeconds();
    const double paced = pacedSeconds();
    std::printf("wire time of the frames at 38400 baud (both directions): %.3f s\n", wire);
    std::printf("of which the replies, the part the simulator paces: %.3f s\n", paced);
    for (int run = 0; run < runs; ++run) {
        controller.enterBootloader(false);
        const auto start = std::chrono::steady_clock::now();
        const bool ok = device.ProgramImage(kFirst, kEnd, kBlock, image, 300);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("run %d: %s in %.3f s; %.3f s beyond the paced replies (%.2f ms per exchange); "
                    "a real line would need about %.3f s, %.2f %% beyond its wire time\n",
                    run + 1, ok ? "programmed" : "FAILED", seconds, seconds - paced,
                    (seconds - paced) * 1000.0 / (kRows + kErases), wire + (seconds - paced),
                    (seconds - paced) / wire * 100.0);
    }
    device.Port().close();
    controller.stop();
    porttable::setPortOverride({});
    return 0;
}
