// The engine the virtual controller is bolted to: where it runs (speed, throttle, manifold
// pressure, supply) as a function of the time since its profile was chosen.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sim {

enum class Profile {
    Idle,   // a warm engine idling at about 850 RPM
    Start,  // cranking for 1.5 s, a flare to 1300 RPM, then settling to idle
    Rev,    // idle, blip to 4000 RPM and back, over and over (7 s cycle)
    Steady, // cruising at a constant 2500 RPM
    Stall,  // idles for 2 s, dies within 1 s and stays off
    Fixed,  // exactly the operating point given with setFixed, without any wobble
};

std::optional<Profile> profileFromName(std::string_view name);
const char* profileName(Profile profile);

struct OperatingPoint {
    double rpm = 0;
    double tpsVolts = 0;
    double mapVolts = 0; // manifold pressure sensor output
    double supplyVolts = 0;
    double potVolts = 2.5; // the controller's potentiometer
    bool switchOn = true;  // the LPG switch
};

class EngineModel {
  public:
    explicit EngineModel(Profile profile = Profile::Idle) : profile_(profile) {}

    void setProfile(Profile profile) { profile_ = profile; }
    Profile profile() const { return profile_; }
    void setFixed(const OperatingPoint& point) { fixed_ = point; }

    // Where the engine runs t seconds after its profile started.
    OperatingPoint at(double seconds) const;

  private:
    Profile profile_;
    OperatingPoint fixed_{850, 0.45, 1.1, 14.0, 2.5, true};
};

} // namespace sim
