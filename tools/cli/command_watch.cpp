// watch: the live samples as the readings panel converts them, one line per new sample.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"
#include "stop_signals.h"

#include "device/lpg_device.h"
#include "operations/live_samples.h"
#include "platform/threads.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <thread>

namespace cli {

namespace {

// One sample with the readings panel's conversions and formats, without units.
std::string formatReading(const CDiag& sample)
{
    const auto word = [&](size_t at) {
        return static_cast<uint16_t>(sample.bytes[at] | (sample.bytes[at + 1] << 8));
    };
    const double rpm = static_cast<double>(word(0));
    const double tps = roundTo3Decimals(static_cast<int16_t>(word(2)) / 1000.0 * 5.0) * 3.0 + 0.0005;
    const double map = roundTo3Decimals(static_cast<int16_t>(word(4)) / 1023.0 * 3.3);
    const double advance = word(10) / 10.0;
    const double supply = 6.0 * word(8) * 3.4 / 1000.0;
    char line[160];
    std::snprintf(line, sizeof line, "rpm=%.0f tps=%.2f map=%.2f advance=%.2f supply=%.2f switch=%d", rpm,
                  tps, map, advance, supply, sample.bytes[12] != 0 ? 1 : 0);
    return line;
}

} // namespace

int commandWatch(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    CLPGDevice device;
    if (const int status = connectController(context, device))
        return status;
    if (!device.m_liveSamplesAllowed) {
        printRaw(context.err, "this controller's firmware does not send live samples");
        return kFailed;
    }

    CStopSignals signals;
    CThreadManager threads;
    CLiveSampleControl live(device, &threads);
    // The thread is joined below, so stopping need not wait for it.
    device.Timings().stopLiveSamplesWaitMs = 0;
    live.ResumeLiveSamples();

    long printed = 0;
    uint32_t lastNumber = 0;
    int status = kOk;
    while (!CStopSignals::requested() && (context.options.count < 0 || printed < context.options.count)) {
        CDiag sample{};
        if (device.m_diagData.getLast(sample) && sample.sampleNumber() != lastNumber) {
            lastNumber = sample.sampleNumber();
            context.out << formatReading(sample) << "\n";
            context.out.flush();
            ++printed;
            continue;
        }
        if (!live.running()) {
            printMessage(context.err, L"BRAK POŁĄCZENIA");
            status = kFailed;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    live.StopLiveSamples();
    threads.joinAll();
    return status;
}

} // namespace cli
