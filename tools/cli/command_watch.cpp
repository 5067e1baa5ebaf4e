// watch: the live samples as the readings panel converts them, one line per new sample, as
// key=value lines or (--csv) as the readings log writes them.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"
#include "stop_signals.h"

#include "device/lpg_device.h"
#include "operations/live_samples.h"
#include "platform/threads.h"
#include "records/readings_format.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <thread>
#include <vector>

namespace cli {

namespace {

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
    // Only samples of this run are printed.
    uint64_t next = device.m_diagData.nextSerial();
    live.ResumeLiveSamples();

    const bool csv = context.options.csv;
    if (csv)
        context.out << kReadingsCsvHeader << "\n" << std::flush;
    long printed = 0;
    CDiagClock::time_point first{};
    std::vector<CDiagEntry> entries;
    int status = kOk;
    const auto wanted = [&] { return context.options.count < 0 || printed < context.options.count; };
    while (!CStopSignals::requested() && wanted()) {
        entries.clear();
        next = device.m_diagData.copySince(next, entries);
        for (size_t k = 0; k < entries.size() && wanted(); ++k) {
            const CDiagEntry& e = entries[k];
            if (printed == 0)
                first = e.time;
            if (csv)
                context.out << readingsCsvLine(std::chrono::duration<double>(e.time - first).count(), e.sample);
            else
                context.out << readingsWatchLine(e.sample);
            context.out << "\n";
            ++printed;
        }
        if (!entries.empty()) {
            context.out.flush();
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
