// One crank-wheel tooth as the controller timed it in signal-reading mode. The controller sends
// the records as they lie in its memory, little-endian, 4 bytes each, 50 to a block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct CPulse {
    uint16_t period = 0;   // start of this tooth's pulse to the start of the next, in timer ticks
    uint16_t highTime = 0; // high part of the pulse, same unit

    friend bool operator==(const CPulse&, const CPulse&) = default;
};
static_assert(sizeof(CPulse) == 4, "a pulse record is 4 bytes on the wire and in memory");

// The captured signal, in capture order.
using CPulseList = std::vector<CPulse>;

constexpr size_t kPulseRecordSize = 4;

// Byte order is assembled explicitly so that the host's own order never matters.
inline CPulse pulseFromBytes(const uint8_t* bytes)
{
    CPulse pulse;
    pulse.period = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    pulse.highTime = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
    return pulse;
}

inline void pulseToBytes(const CPulse& pulse, uint8_t* bytes)
{
    bytes[0] = static_cast<uint8_t>(pulse.period & 0xFF);
    bytes[1] = static_cast<uint8_t>(pulse.period >> 8);
    bytes[2] = static_cast<uint8_t>(pulse.highTime & 0xFF);
    bytes[3] = static_cast<uint8_t>(pulse.highTime >> 8);
}
