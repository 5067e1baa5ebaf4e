// What lives once per run of the program rather than once per device object: the notice about a
// controller of another kind (shown once per run), the numbering of demo samples, the capture
// thread's state and the outcome of the last update started from the boot loader. One object
// holds them so that a test can start a run afresh instead of needing a process of its own.
#pragma once

#include <atomic>
#include <cstdint>

struct CRunContext {
    std::atomic<bool> unknownDeviceSeen{false};
    std::atomic<uint32_t> demoSampleNumber{0};
    std::atomic<int> captureState{kCaptureIdleValue};
    std::atomic<int> bootloaderOutcome{0}; // a CFirmwareUpdate::Outcome, None until an update ran

    // The capture thread's idle state: the value its stop writes.
    static constexpr int kCaptureIdleValue = 2;

    // Back to the state of a program that has just started.
    void reset();
};

// The context of this run.
CRunContext& runContext();
