#include "sim/engine.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Named {
    Profile profile;
    const char* name;
};
constexpr Named kNames[] = {{Profile::Idle, "idle"},   {Profile::Start, "start"},
                            {Profile::Rev, "rev"},     {Profile::Steady, "steady"},
                            {Profile::Stall, "stall"}, {Profile::Fixed, "fixed"}};

double lerp(double a, double b, double f)
{
    return a + (b - a) * std::clamp(f, 0.0, 1.0);
}

// A running engine's manifold pressure follows the throttle and falls a little with speed at a
// closed throttle; the alternator holds the supply near 14 V once it turns fast enough.
OperatingPoint running(double rpm, double tps, double wobble)
{
    OperatingPoint p;
    p.rpm = rpm + wobble;
    p.tpsVolts = tps;
    const double load = std::clamp((tps - 0.45) / 3.5, 0.0, 1.0);
    p.mapVolts = std::clamp(1.1 + 3.2 * load - 0.00005 * (rpm - 850), 0.5, 4.6);
    p.supplyVolts = rpm > 600 ? 14.0 : 12.2;
    return p;
}

// Idle is never perfectly still: a slow hunt of a few tens of RPM.
double idleHunt(double t)
{
    return 15.0 * std::sin(2 * kPi * t / 1.7) + 6.0 * std::sin(2 * kPi * t / 0.37);
}

} // namespace

std::optional<Profile> profileFromName(std::string_view name)
{
    for (const auto& n : kNames)
        if (name == n.name)
            return n.profile;
    return std::nullopt;
}

const char* profileName(Profile profile)
{
    for (const auto& n : kNames)
        if (n.profile == profile)
            return n.name;
    return "idle";
}

OperatingPoint EngineModel::at(double t) const
{
    switch (profile_) {
    case Profile::Fixed:
        return fixed_;
    case Profile::Idle:
        return running(850, 0.45, idleHunt(t));
    case Profile::Steady:
        return running(2500, 1.6, 0.0);
    case Profile::Start: {
        if (t < 1.5) {
            OperatingPoint p;
            p.rpm = 220 + 25 * std::sin(2 * kPi * t * 7.0); // compression strokes pull the speed about
            p.tpsVolts = 0.45;
            p.mapVolts = 3.9; // hardly any vacuum while cranking
            p.supplyVolts = 10.1;
            return p;
        }
        if (t < 2.3)
            return running(lerp(220, 1300, (t - 1.5) / 0.8), 0.45, 0.0);
        if (t < 5.0)
            return running(lerp(1300, 850, (t - 2.3) / 2.7), 0.45, 0.0);
        return running(850, 0.45, idleHunt(t));
    }
    case Profile::Rev: {
        const double c = std::fmod(t, 7.0);
        if (c < 2.0)
            return running(850, 0.45, idleHunt(t));
        if (c < 4.0)
            return running(lerp(850, 4000, (c - 2.0) / 2.0), lerp(0.45, 3.6, (c - 2.0) / 0.5), 0.0);
        if (c < 5.0)
            return running(4000, 3.6, 0.0);
        return running(lerp(4000, 850, (c - 5.0) / 2.0), 0.45, 0.0);
    }
    case Profile::Stall: {
        if (t < 2.0)
            return running(850, 0.45, idleHunt(t));
        if (t < 3.0) {
            OperatingPoint p = running(lerp(850, 0, t - 2.0), 0.45, 0.0);
            p.supplyVolts = 12.4;
            return p;
        }
        OperatingPoint off;
        off.rpm = 0;
        off.tpsVolts = 0.45;
        off.mapVolts = 4.1; // atmospheric pressure in a stopped manifold
        off.supplyVolts = 12.4;
        return off;
    }
    }
    return fixed_;
}

} // namespace sim
