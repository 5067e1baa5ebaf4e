#include "records/signal_trace.h"

#include "records/wheel_analysis.h"

#include <algorithm>

uint32_t signalScale(const CPulseList& pulses, int divisor)
{
    if (pulses.size() < CSignalTrace::kScaleRecords || divisor <= 0)
        return 0;
    uint32_t sum = 0; // 500 periods of 16 bits fit easily
    for (size_t i = 0; i < CSignalTrace::kScaleRecords; ++i)
        sum += pulses[i].period;
    return sum / static_cast<uint32_t>(CSignalTrace::kScaleRecords) / static_cast<uint32_t>(divisor);
}

bool signalDrawable(size_t size, size_t start)
{
    return size >= CSignalTrace::kScaleRecords && start + CSignalTrace::kScaleRecords < size;
}

CSignalTrace traceSignal(const CPulseList& pulses, size_t start, int divisor)
{
    CSignalTrace trace;
    if (!signalDrawable(pulses.size(), start))
        return trace;
    const uint32_t scale = signalScale(pulses, divisor);
    if (scale == 0)
        return trace;
    trace.values.assign(CSignalTrace::kPoints, CSignalTrace::kEdge);
    trace.record.assign(CSignalTrace::kPoints, -1);
    size_t p = start;
    double t = 0.0;
    for (size_t i = 0; i < CSignalTrace::kPoints && p < pulses.size(); ++i) {
        const uint32_t h = pulses[p].highTime / scale;
        const uint32_t q = pulses[p].period / scale;
        trace.record[i] = static_cast<int64_t>(p);
        if (h > t) {
            trace.values[i] = CSignalTrace::kHigh;
        } else if (q > t) {
            trace.values[i] = CSignalTrace::kLow;
        } else {
            trace.values[i] = CSignalTrace::kEdge;
            t = 0.0;
            ++p;
        }
        t += 1.0;
    }
    return trace;
}

size_t recordPoints(const CPulse& pulse, uint32_t scale, bool firstDrawn)
{
    if (scale == 0)
        return 1;
    const size_t longest = std::max(pulse.highTime / scale, pulse.period / scale);
    return firstDrawn ? longest + 1 : std::max<size_t>(longest, 1);
}

size_t startForAnchor(const CPulseList& pulses, uint32_t scale, size_t record, size_t point)
{
    if (record >= pulses.size())
        return 0;
    // Walk back from the record while the records in front of it still fit before the point.
    size_t start = record;
    size_t before = 0; // points of the records start .. record - 1, start not drawn first
    while (start > 0) {
        const size_t offset = before + recordPoints(pulses[start - 1], scale, true);
        if (offset > point)
            break;
        before += recordPoints(pulses[start - 1], scale, false);
        --start;
    }
    return start;
}

std::optional<double> gapRatio(const CPulseList& pulses, size_t index)
{
    if (index < 3 || index >= pulses.size())
        return std::nullopt;
    const double mean = (pulses[index - 1].period + pulses[index - 2].period + pulses[index - 3].period) / 3.0;
    if (mean <= 0.0)
        return std::nullopt;
    return pulses[index].period / mean;
}

std::vector<bool> gapRecords(const CPulseList& pulses)
{
    std::vector<bool> gaps(pulses.size(), false);
    uint16_t period = 0;
    uint16_t highTime = 0;
    if (!CWheelAnalysis::referenceTooth(pulses, period, highTime))
        return gaps;
    const double longest = CWheelAnalysis::kTolerance * period + period;
    for (size_t i = 0; i < pulses.size(); ++i)
        gaps[i] = pulses[i].period >= longest;
    return gaps;
}
