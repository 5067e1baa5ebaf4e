#include "support/wheel_signal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace testsupport {

namespace {

// splitmix64: the same numbers from the same seed on every compiler and library.
class Random {
  public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    // Uniform in [-1, 1].
    double symmetric()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) / static_cast<double>(1ull << 52) - 1.0;
    }

  private:
    uint64_t m_state;
};

uint16_t ticks(double value)
{
    return static_cast<uint16_t>(std::clamp(std::lround(value), 1l, 65535l));
}

struct Tooth {
    double spacings; // period in tooth spacings
    double high;     // high time in tooth spacings
};

// One revolution's records, starting with the first tooth after the gap.
std::vector<Tooth> revolution(const WheelSignalOptions& o)
{
    std::vector<Tooth> teeth;
    const WheelShape& w = o.wheel;
    const int present = w.positions - w.missing;
    for (int t = 0; t < present; ++t) {
        double spacing = 1.0;
        double high = o.duty;
        if (t == present - 1 && w.missing > 0) {
            spacing = 1.0 + w.missing;
            if (o.gapHigh)
                high = spacing - (1.0 - o.duty);
        }
        if (t == 0 && o.distortAfterGap && w.missing > 0)
            high = std::min(o.duty * 1.8, 0.95);
        if (w.extra && t == 0) {
            // The extra tooth halves the first spacing; it is narrower than a normal tooth.
            teeth.push_back({0.5, o.duty * 0.5});
            teeth.push_back({0.5, o.duty * 0.5});
            continue;
        }
        teeth.push_back({spacing, high});
    }
    return teeth;
}

} // namespace

std::optional<WheelShape> parseWheel(std::string_view name)
{
    const size_t op = name.find_first_of("-+");
    if (op == std::string_view::npos || op == 0 || op + 1 >= name.size())
        return std::nullopt;
    int positions = 0;
    int other = 0;
    const char* begin = name.data();
    const char* end = begin + name.size();
    auto first = std::from_chars(begin, begin + op, positions);
    auto second = std::from_chars(begin + op + 1, end, other);
    if (first.ec != std::errc() || first.ptr != begin + op || second.ec != std::errc() || second.ptr != end)
        return std::nullopt;
    if (positions < 2)
        return std::nullopt;
    if (name[op] == '+') {
        if (other != 1)
            return std::nullopt;
        return WheelShape{positions, 0, true};
    }
    if (other < 0 || other >= positions - 1)
        return std::nullopt;
    return WheelShape{positions, other, false};
}

int recordsPerRevolution(const WheelShape& wheel)
{
    return wheel.positions - wheel.missing + (wheel.extra ? 1 : 0);
}

CPulseList makeWheelSignal(const WheelSignalOptions& options, size_t count)
{
    const std::vector<Tooth> teeth = revolution(options);
    Random random(options.seed);
    CPulseList out;
    out.reserve(count);
    const int perRevolution = static_cast<int>(teeth.size());
    // startTooth counts present teeth from the first one after the gap.
    size_t position =
        static_cast<size_t>(((options.startTooth % perRevolution) + perRevolution) % perRevolution);
    double rpm = options.rpm;
    while (out.size() < count) {
        const double spacingTicks = 60.0 / (rpm * options.wheel.positions) * options.tickHz;
        const Tooth& tooth = teeth[position];
        const double period = tooth.spacings * spacingTicks * (1.0 + options.jitter * random.symmetric());
        const double high = tooth.high * spacingTicks * (1.0 + options.jitter * random.symmetric());
        CPulse pulse;
        pulse.period = ticks(period);
        pulse.highTime = std::min(ticks(high), pulse.period);
        out.push_back(pulse);
        if (++position == teeth.size()) {
            position = 0;
            rpm = std::max(rpm + options.rpmPerRevolution, 1.0);
        }
    }
    return out;
}

} // namespace testsupport
