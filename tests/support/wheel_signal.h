// Synthetic crank signals of the usual trigger wheels, as the controller would time them: one
// record per passing tooth, the period from this tooth's start to the next one's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/pulse.h"

namespace testsupport {

struct WheelShape {
    int positions = 0;  // tooth positions per revolution (60 for 60-2, 12 for 12+1)
    int missing = 0;    // missing teeth in the one gap (2 for 60-2)
    bool extra = false; // one extra tooth halfway between the first two (12+1)
};

// "60-2", "36-1", "12+1" and the like; nothing for anything else.
std::optional<WheelShape> parseWheel(std::string_view name);

struct WheelSignalOptions {
    WheelShape wheel{60, 2, false};
    double rpm = 800;
    double tickHz = 1'000'000;   // controller timer ticks per second
    double jitter = 0;           // each period and high time varies by up to this fraction
    double duty = 0.5;           // high part of a tooth, as a fraction of the tooth spacing
    double rpmPerRevolution = 0; // steady acceleration (negative: slowing down)
    int startTooth = 0;          // the first record is this tooth (the tooth before the gap is
                                 // the last present one, so positions - missing - 1 starts in it)
    bool gapHigh = false;        // the sensor stays high across the gap instead of low
    // The first tooth after the gap reads differently (a distorted edge after the long gap), so
    // each gap shows as two abnormal records.
    bool distortAfterGap = false;
    uint64_t seed = 1;
};

// count records of the wheel's signal, clamped to the 16-bit range of the records.
CPulseList makeWheelSignal(const WheelSignalOptions& options, size_t count);

// Present teeth per revolution, i.e. records per revolution.
int recordsPerRevolution(const WheelShape& wheel);

} // namespace testsupport
