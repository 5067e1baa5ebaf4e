// Faults the virtual controller can be told to show, each for the n-th request, for one command
// (or frame type), or always.
//
// Command-line form:  KIND[@WHEN][,OPTION=VALUE...]
//   KIND    noreply | checksum | garbage | split | wrongtype | unknown-device | stall | hangup
//           | damage | noise | twin
//   WHEN    N (the N-th request received, counting from 1) | cmd=HEX (a type-2 command code)
//           | type=HEX (a frame type) | always (the default)
//   OPTION  gap=MS (split, default 30) | bytes=N (garbage, 1..64, default 2) | back=MS (hangup:
//           reopen on a new pseudo-terminal after MS) | times=N (stop after N uses)
//           | byte=N (damage: the reply's byte N from its first start byte, default 0)
//           | xor=N (damage: the bits flipped, default 1) | ppm=N (noise: damaged bytes per
//           million in each direction) | seed=N (noise: the generator's seed, default 1)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class FaultKind {
    NoReply,       // the request is swallowed
    BadChecksum,   // the reply's checksum is off by one
    Garbage,       // a few bytes of line noise (never 0xAA) before the start bytes
    Split,         // the reply stops after its header and random word and the rest follows later
    WrongType,     // the reply carries frame type 5, which the command set does not use
    UnknownDevice, // identification answers 04 07: a controller of another kind
    Stall,         // from this request on nothing is answered: the cable looks pulled
    HangUp,        // the pseudo-terminal's master is closed: the program's side sees HUP / EIO
    Damage,        // one chosen byte of the reply is damaged (its bits xor-ed)
    Noise,         // a noisy line: bytes damaged at a rate, both directions, from a seed
    Twin,          // two payload bytes of the request (or reply) damaged so that the sum still holds
};

enum class FaultWhen { Always, NthRequest, Command, FrameType };

struct FaultRule {
    FaultKind kind = FaultKind::NoReply;
    FaultWhen when = FaultWhen::Always;
    unsigned nth = 0;          // NthRequest: 1-based request count
    uint8_t code = 0;          // Command: command byte of a type-2 request; FrameType: the type
    unsigned gapMs = 30;       // Split
    unsigned garbageBytes = 2; // Garbage
    int backAfterMs = -1;      // HangUp: reopen after this long, never when negative
    unsigned times = 0;        // uses left; 0 = no limit
    unsigned byteIndex = 0;    // Damage: which byte of the reply, 0 = the first start byte
    uint8_t xorMask = 0x01;    // Damage: the bits flipped
    unsigned ppm = 0;          // Noise: damaged bytes per million, in each direction
    uint32_t seed = 1;         // Noise: the same seed damages the same bytes
    bool reply = false;        // Twin: damage the reply rather than the request
};

// Damages two plain payload bytes, from byte `first` on, by +d and -d so that the additive
// checksum still passes: the damage a checksum cannot see. False when no pair can take it
// without wrapping (a payload of zeros).
bool twinDamage(std::vector<uint8_t>& payload, size_t first);

// The damage of a noisy line: a seeded generator that picks which bytes to damage and how.
class LineNoise {
  public:
    void reset(unsigned ppm, uint32_t seed);
    // Damages bytes in place at the rate; answers how many were damaged.
    size_t apply(uint8_t* bytes, size_t size);
    unsigned ppm() const { return ppm_; }

  private:
    uint32_t next();
    unsigned ppm_ = 0;
    uint64_t state_ = 1;
};

// Whether the rule applies to a request; count is the request's 1-based number.
bool faultMatches(const FaultRule& rule, unsigned count, uint8_t type, uint8_t command);

std::optional<FaultRule> parseFault(std::string_view text, std::string* error = nullptr);
const char* faultKindName(FaultKind kind);

} // namespace sim
