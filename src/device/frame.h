// The frame on the wire, as small pure functions shared by the exchange routines, the virtual
// controller and the fuzz harness:
//   AA 55 L T R(hi) R(lo) payload[n] Q(hi) Q(lo),  L = n + 2
// The payload's little-endian 16-bit words are rotated left by R mod 16 bits (an odd last byte
// travels as it is); Q sums L, T, both bytes of R, the plain payload and 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace frame {

constexpr uint8_t kStart1 = 0xAA;
constexpr uint8_t kStart2 = 0x55;
constexpr size_t kHeaderSize = 4;       // start bytes, length, type
constexpr size_t kMaxPayload = 253;     // L is one byte and counts the checksum
constexpr size_t kMaxFrame = 263;
constexpr size_t kBufferSize = 710;     // the callers' payload buffer

uint16_t checksum(uint8_t length, uint8_t type, uint16_t random, const uint8_t* plain, size_t n);
void scramble(uint8_t* payload, size_t n, uint16_t random);
void unscramble(uint8_t* payload, size_t n, uint16_t random);

// A whole frame ready for the wire. n must not exceed kMaxPayload.
std::vector<uint8_t> encode(uint8_t type, uint16_t random, const uint8_t* plain, size_t n);

struct Decoded {
    uint8_t type = 0;
    uint16_t random = 0;
    std::vector<uint8_t> payload;  // plain
};

// Decodes one complete frame that starts at bytes[0]; nothing when the start bytes, the length
// or the checksum are wrong. used is set to the frame's size on success.
std::optional<Decoded> decode(const uint8_t* bytes, size_t size, size_t* used = nullptr);

}  // namespace frame
