// Trigger wheels and the crank signal the controller records from them in signal-reading mode.
//
// A wheel is described on a grid of equal angular positions with a mark for every position that
// carries a tooth. Each recorded pulse (4 bytes on the wire) is one tooth: its period runs from
// this tooth's rising edge to the next tooth's, its high time is the tooth's own width. A tooth in
// front of a gap of m missing positions therefore shows a period of m + 1 pitches. One timer tick
// of this controller is 1 microsecond; a period that would not fit 16 bits saturates at 0xFFFF.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class Wheel {
    W60_2,     // "TYP1: 60-2"
    W36_2,     // "TYP1: 36-2"
    W36_4,     // "TYP1: 36-4": one gap of four positions
    W30_2,     // "TYP2: 30-2"
    W36_6,     // "TYP3: 36-6": one gap of six positions
    W36_4Typ4, // "TYP4: 36-4": two gaps of two positions, half a turn apart
    W36_4Typ5, // "TYP5: 36-4": four single gaps, a quarter turn apart
    W12_1,     // "TYP6: 12+1": twelve teeth and one extra narrow tooth between two of them
    W36_1,     // not in the settings page's list; common on the road
};

struct WheelInfo {
    Wheel wheel;
    const char* name;               // the name the command line takes
    const char* listText;           // the settings page's list text, empty when the wheel is not listed
    int wheelType;                  // index in that list, -1 when not listed
    int teeth;                      // first number of the wheel's name (settings teethCount)
    int missing;                    // second number (settings missingTeeth)
    int wheelFactor;                // 10, except 1 for the 12+1 wheel
    int grid;                       // angular positions per revolution
    std::vector<double> toothWidth; // per grid position: the tooth's width in positions, 0 = none
};

const std::vector<WheelInfo>& wheels();
const WheelInfo& wheelInfo(Wheel wheel);
// Accepts the command-line name ("60-2", "36-4-typ4", ...), the list text ("TYP4: 36-4") or the
// list index ("0".."7"), case-insensitively.
std::optional<Wheel> wheelFromName(std::string_view name);

struct PulseRecord {
    uint16_t period = 0;
    uint16_t highTime = 0;
};

// A continuous pulse stream: every call continues where the previous one stopped, so consecutive
// blocks join up into one signal whatever the engine speed does in between.
class CrankSignal {
  public:
    explicit CrankSignal(Wheel wheel = Wheel::W60_2, uint32_t seed = 1);

    void setWheel(Wheel wheel);
    Wheel wheel() const { return wheel_; }
    void setJitter(double fraction) { jitter_ = fraction; }

    // The next record at the given engine speed. A stopped engine (rpm below 1) gives an empty
    // record: no edge was seen, the timer ran over.
    PulseRecord next(double rpm);

    // Microseconds of crank rotation the stream has covered so far.
    double elapsedMicros() const { return elapsed_; }

  private:
    Wheel wheel_;
    std::vector<int> teeth_; // grid index of every tooth
    std::vector<double> width_;
    size_t tooth_ = 0; // index into teeth_ of the next tooth to report
    double jitter_ = 0.002;
    double elapsed_ = 0;
    std::mt19937 rng_;
};

// Little-endian wire form of a run of records, 4 bytes each.
std::vector<uint8_t> encodeRecords(const std::vector<PulseRecord>& records);
std::vector<PulseRecord> decodeRecords(const uint8_t* bytes, size_t size);

} // namespace sim
