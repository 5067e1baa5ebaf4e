// Faults the virtual controller can be told to show, each for the n-th request, for one command
// (or frame type), or always.
//
// Command-line form:  KIND[@WHEN][,OPTION=VALUE...]
//   KIND    noreply | checksum | garbage | split | wrongtype | unknown-device | stall | hangup
//   WHEN    N (the N-th request received, counting from 1) | cmd=HEX (a type-2 command code)
//           | type=HEX (a frame type) | always (the default)
//   OPTION  gap=MS (split, default 30) | bytes=N (garbage, 1..64, default 2) | back=MS (hangup:
//           reopen on a new pseudo-terminal after MS) | times=N (stop after N uses)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
};

// Whether the rule applies to a request; count is the request's 1-based number.
bool faultMatches(const FaultRule& rule, unsigned count, uint8_t type, uint8_t command);

std::optional<FaultRule> parseFault(std::string_view text, std::string* error = nullptr);
const char* faultKindName(FaultKind kind);

} // namespace sim
