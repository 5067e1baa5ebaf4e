#include "records/wheel_analysis.h"

#include <vector>

namespace {

struct Means {
    double period = 0;
    double highTime = 0;
};

Means meansOf(const CPulseList& records)
{
    // Sums of 16-bit values stay exact in a double far beyond any capture's length.
    double period = 0;
    double highTime = 0;
    for (const CPulse& r : records) {
        period += r.period;
        highTime += r.highTime;
    }
    const double n = static_cast<double>(records.size());
    return {period / n, highTime / n};
}

} // namespace

bool CWheelAnalysis::strictlyNear(double value, double mean)
{
    return mean - kTolerance * mean < value && value < kTolerance * mean + mean;
}

bool CWheelAnalysis::nearOrOnEnd(double value, double mean)
{
    return mean - kTolerance * mean <= value && value <= kTolerance * mean + mean;
}

bool CWheelAnalysis::referenceTooth(const CPulseList& records, uint16_t& period, uint16_t& highTime)
{
    // Every pass drops at least one record, so the loop ends.
    CPulseList kept = records;
    for (;;) {
        if (kept.empty())
            return false;
        const Means m = meansOf(kept);
        const size_t before = kept.size();
        std::erase_if(kept, [&m](const CPulse& r) {
            return !(strictlyNear(r.period, m.period) && strictlyNear(r.highTime, m.highTime));
        });
        if (kept.size() == before) {
            period = static_cast<uint16_t>(m.period);
            highTime = static_cast<uint16_t>(m.highTime);
            return true;
        }
    }
}

bool CWheelAnalysis::analyse(const CPulseList& records)
{
    if (records.size() < kWindow)
        return false;

    uint16_t P = 0;
    uint16_t H = 0;
    if (!referenceTooth(records, P, H))
        return false;

    std::vector<uint32_t> abnormal;
    for (uint32_t i = 0; i < kWindow; ++i) {
        if (!(strictlyNear(records[i].period, P) && strictlyNear(records[i].highTime, H)))
            abnormal.push_back(i);
    }

    std::vector<uint32_t> gapStarts;
    std::vector<uint32_t> gapLengths;
    if (abnormal.size() >= 5) {
        // A run that starts at index 0 may be the tail of a gap the capture began inside.
        size_t k0 = 0;
        for (size_t k = 0; k < abnormal.size(); ++k) {
            if (abnormal[k] != k) {
                k0 = k;
                break;
            }
        }
        if (k0 + 1 < abnormal.size()) {
            uint32_t run = 0;
            // The run reaching the end of the list is never recorded: the capture may cut it.
            for (size_t j = k0; j + 1 < abnormal.size(); ++j) {
                if (abnormal[j + 1] != abnormal[j] + 1) {
                    gapStarts.push_back(abnormal[j - run]);
                    gapLengths.push_back(run + 1);
                    run = 0;
                } else {
                    ++run;
                }
            }
        }
    }

    // One revolution from gap to gap, the same every time.
    if (gapStarts.size() < 3)
        return false;
    const uint32_t d = gapStarts[1] - gapStarts[0];
    for (size_t k = 2; k < gapStarts.size(); ++k) {
        if (gapStarts[k] - gapStarts[k - 1] != d)
            return false;
    }
    if (d == 0)
        return false;

    if (gapLengths.size() < 3)
        return false;
    const uint32_t n = gapLengths[0];
    for (uint32_t length : gapLengths) {
        if (length != n)
            return false;
    }
    if (n == 0)
        return false;

    // Every gap must look like the others, record by record.
    const double gaps = static_cast<double>(gapStarts.size());
    for (uint32_t k = 0; k < n; ++k) {
        double period = 0;
        double highTime = 0;
        for (uint32_t start : gapStarts) {
            period += records[start + k].period;
            highTime += records[start + k].highTime;
        }
        const double meanPeriod = period / gaps;
        const double meanHighTime = highTime / gaps;
        for (uint32_t start : gapStarts) {
            if (!nearOrOnEnd(records[start + k].period, meanPeriod) ||
                !nearOrOnEnd(records[start + k].highTime, meanHighTime))
                return false;
        }
    }

    double sum = 0;
    for (uint32_t start : gapStarts) {
        for (uint32_t k = 0; k < n; ++k)
            sum += records[start + k].period;
    }
    const double S = sum / gaps;

    // A gap is longer than a tooth; a zero reference never gets here, but it must not divide.
    if (P == 0 || !(P < S / n))
        return false;
    const auto g = static_cast<int32_t>(S / P + 0.5);

    int32_t algorithmFound = 0;
    if (n == 1)
        algorithmFound = 0;
    else if (n == 2)
        algorithmFound = 5;
    else
        return false;

    pulseCount = static_cast<int32_t>(d) + g - static_cast<int32_t>(n);
    pulseDeficit = g - static_cast<int32_t>(n);
    algorithm = algorithmFound;
    return true;
}
