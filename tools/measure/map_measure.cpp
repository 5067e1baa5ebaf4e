// The map grid's write figure against the virtual controller pacing its bytes at 38400 baud:
// from Ctrl+Up (the grid's incrementSelected) to SaveMap accepted, against the wire time of the
// three exchanges (SetMap with its 240 bytes, the map read back to check it, SaveMap), alone and
// with the live samples running beside it as in the window.
// Usage: measure_map_measure [presses, default 60]
#include "device/lpg_device.h"
#include "operations/live_samples.h"
#include "operations/map_editor.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBitsPerByte = 10.0; // start, 8 data, stop
constexpr double kBaud = 38400.0;
// A frame: start bytes, length, type, random word, payload, checksum.
constexpr size_t frameBytes(size_t payload)
{
    return 4 + 2 + payload + 2;
}

double wireMs(size_t bytes)
{
    return bytes * kBitsPerByte / kBaud * 1e3;
}

struct Figures {
    double median = 0, worst = 0;
    int good = 0;
};

Figures pressCtrlUp(IEditedRecord& target, CMapEditor& editor, int presses)
{
    std::vector<double> ms;
    Figures f;
    for (int i = 0; i < presses; ++i) {
        // Up and down in turn, so the cell never sits at its cap.
        const double step = editor.limits().step * (i % 2 == 0 ? 1 : -1);
        const auto t0 = Clock::now();
        editor.incrementSelected(step);
        const bool written = CMapEditor::send(target, editor.beginWrite());
        editor.writeEnded(written);
        f.good += written ? 1 : 0;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        // Let the live samples take their turn, as between two presses of a hand.
        std::this_thread::sleep_for(std::chrono::milliseconds(37));
    }
    std::sort(ms.begin(), ms.end());
    f.median = ms[ms.size() / 2];
    f.worst = ms.back();
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    const int presses = argc > 1 ? std::max(2, std::atoi(argv[1])) : 60;
    sim::VirtualController sim;
    sim.setPacing(true);
    if (!sim.start())
        return 1;
    porttable::setPortOverride({sim.path()});
    CLPGDevice device;
    device.Start();
    if (!device.m_connected) {
        std::printf("no connection to the virtual controller\n");
        return 1;
    }
    CControllerRecord target(device);
    CMapEditor editor(target);
    editor.selection().selectCell({7, 5});

    const double wire = wireMs(frameBytes(kMapBlockSize)) + wireMs(frameBytes(6)) + // SetMap and its status
                        wireMs(frameBytes(6)) + wireMs(frameBytes(kMapBlockSize)) + // the map read back
                        wireMs(frameBytes(6)) + wireMs(frameBytes(6));               // SaveMap and its status
    const Figures alone = pressCtrlUp(target, editor, presses);

    CThreadManager threads;
    CLiveSampleControl live(device, &threads);
    live.ResumeLiveSamples();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Figures beside = pressCtrlUp(target, editor, presses);
    live.StopLiveSamples();
    threads.joinAll();

    std::printf("Ctrl+Up to SaveMap accepted, wire time of the three exchanges %.2f ms (limit %.2f ms)\n", wire,
                wire + 20.0);
    // The simulator paces only the bytes it sends; the program's requests reach it at once.
    const double paced = 2 * wireMs(frameBytes(6)) + wireMs(frameBytes(kMapBlockSize));
    std::printf("  the controller's three paced replies alone take %.2f ms of it\n", paced);
    std::printf("  alone:                median %.2f ms, worst %.2f ms (%d of %d accepted)\n", alone.median,
                alone.worst, alone.good, presses);
    std::printf("  with live samples:    median %.2f ms, worst %.2f ms (%d of %d accepted)\n", beside.median,
                beside.worst, beside.good, presses);
    std::printf("  above the paced replies: median %.2f ms alone, %.2f ms with live samples\n",
                alone.median - paced, beside.median - paced);
    device.Close();
    sim.stop();
    return 0;
}
