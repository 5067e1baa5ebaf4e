// Works out the trigger wheel from a crank signal: tooth positions per revolution, missing teeth
// per gap and the decoding algorithm the controller needs. Pure computation on the records.
#pragma once

#include <cstdint>

#include "records/pulse.h"

class CWheelAnalysis {
  public:
    // Written only by a successful analyse; the caller reads them afterwards.
    int32_t pulseCount = 0;   // tooth positions per revolution, missing ones included
    int32_t pulseDeficit = 0; // missing teeth per gap
    int32_t algorithm = 0;    // 0 for a one-record gap, 5 for a two-record gap

    // The fewest records that the analysis looks at; only the first this many are searched for gaps.
    static constexpr size_t kWindow = 500;
    // Relative tolerance of every "near the mean" test.
    static constexpr double kTolerance = 0.3;

    // True when a pattern was found (the three results are then set); false leaves them untouched.
    bool analyse(const CPulseList& records);

    // The typical tooth of a signal: the mean period and high time after dropping, pass by pass,
    // every record outside the band around the mean, each truncated to an integer. False when
    // every record was dropped (there is no typical tooth).
    static bool referenceTooth(const CPulseList& records, uint16_t& period, uint16_t& highTime);

    // m - 0.3 m < v < 0.3 m + m: the test for a normal tooth.
    static bool strictlyNear(double value, double mean);
    // m - 0.3 m <= v <= 0.3 m + m: the test between gaps.
    static bool nearOrOnEnd(double value, double mean);
};
