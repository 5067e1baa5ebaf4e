// Feeds arbitrary bytes to the signal-file reader, writes what it read back out and reads it
// again (it must come back unchanged), then runs the wheel analysis on the records.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/signal_file.h"
#include "records/wheel_analysis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CPulseList pulses;
    SignalReadReport report;
    readSignalBytes(std::string(reinterpret_cast<const char*>(data), size), pulses, &report);
    if (pulses.size() + report.skipped != report.lines || report.notNumbers > pulses.size())
        std::abort();

    std::string written;
    for (size_t i = 0; i < pulses.size(); ++i)
        written += formatSignalLine(i, pulses[i]);
    CPulseList again;
    readSignalBytes(written, again);
    if (again != pulses)
        std::abort();

    // Short inputs are repeated up to the analysis' window so that it gets past its first test.
    if (!pulses.empty()) {
        CPulseList records = pulses;
        while (records.size() < CWheelAnalysis::kWindow)
            records.push_back(records[records.size() % pulses.size()]);
        CWheelAnalysis analysis;
        analysis.pulseCount = analysis.pulseDeficit = analysis.algorithm = -1;
        if (analysis.analyse(records)) {
            if (analysis.algorithm != 0 && analysis.algorithm != 5)
                std::abort();
            if (analysis.pulseDeficit < 0 || analysis.pulseCount <= analysis.pulseDeficit)
                std::abort();
        } else if (analysis.pulseCount != -1 || analysis.pulseDeficit != -1 || analysis.algorithm != -1) {
            std::abort();
        }
    }
    return 0;
}
