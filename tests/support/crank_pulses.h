// Crank records of a trigger wheel as the program keeps them, from the simulator's generator.
#pragma once

#include "records/pulse.h"
#include "sim/wheel.h"

namespace testsupport {

inline CPulseList crankPulses(sim::Wheel wheel, double rpm, size_t count, double jitter, uint32_t seed = 1)
{
    sim::CrankSignal signal(wheel, seed);
    signal.setJitter(jitter);
    CPulseList out;
    while (out.size() < count) {
        const sim::PulseRecord r = signal.next(rpm);
        out.push_back({r.period, r.highTime});
    }
    return out;
}

} // namespace testsupport
