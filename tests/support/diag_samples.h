// Live samples as the controller sends them: little-endian words at their offsets.
#pragma once

#include "records/settings_record.h"

#include <cstdint>

namespace testsupport {

inline CDiag diagSample(uint16_t rpm, uint16_t tps, uint16_t map, uint16_t supply, uint16_t advance, uint8_t state)
{
    CDiag d;
    const auto put = [&d](size_t at, uint16_t v) {
        d.bytes[at] = static_cast<uint8_t>(v & 0xFF);
        d.bytes[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put(0, rpm);
    put(2, tps);
    put(4, map);
    put(8, supply);
    put(10, advance);
    d.bytes[12] = state;
    return d;
}

} // namespace testsupport
