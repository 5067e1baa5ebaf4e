// Waiting for a condition instead of sleeping a fixed time: robust on a loaded machine.
#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

// Polls the condition every 5 ms; false when it did not hold within the limit.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

// Milliseconds since start on the steady clock: for the bounds of a timed wait.
long msSince(std::chrono::steady_clock::time_point start);

} // namespace testsupport
