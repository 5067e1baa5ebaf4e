// The link's time-outs in one place. The program uses the defaults; tests may shorten them to keep
// the suite fast (and at least one test runs each failure path with the defaults).
#pragma once

#include <cstdint>

struct CLinkTimings {
    // A read of N bytes gives up after readConstantMs + N * readPerByteMs.
    uint32_t readConstantMs = 1000;
    uint32_t readPerByteMs = 1;
    // Pause before the one extra read of a reply payload that arrived short.
    uint32_t shortPayloadWaitMs = 50;
    // After a failed exchange: the quiet time that ends the draining of the line, and the most
    // the draining may take on a line that never falls quiet.
    uint32_t drainQuietMs = 50;
    uint32_t drainLimitMs = 1000;
    // Writes: 1 ms per byte plus 500 ms lets a whole 263-byte frame (about 69 ms at 38400 baud)
    // go out with a wide margin, yet a stuck line cannot hold the device mutex for long.
    uint32_t writeConstantMs = 500;
    uint32_t writePerByteMs = 1;

    // A search's port that answered waits this long for the ports before it in the table that
    // are still asking, before it wins over them.
    uint32_t searchGraceMs = 30;

    // Live samples and pulse capture: the pause before each live request, the pause after a
    // port error before the port is reopened, how long StopLiveSamples lets the thread notice,
    // and the pause between capture passes.
    uint32_t liveSampleIntervalMs = 50;
    uint32_t recoveryPauseMs = 700;
    uint32_t stopLiveSamplesWaitMs = 500;
    uint32_t capturePassPauseMs = 50;
};
