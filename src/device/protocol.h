// The controller's protocol numbers as the program speaks them: frame types, command codes and
// status bytes. The virtual controller keeps its own copy on purpose: it is the other side of
// the wire, and a wrong number here must show up as a failed exchange, not pass on both sides.
#pragma once

#include <cstddef>
#include <cstdint>

namespace protocol {

// Frame types.
constexpr uint8_t kTypeSample = 1;
constexpr uint8_t kTypeCommand = 2;
constexpr uint8_t kTypeSettings = 3;
constexpr uint8_t kTypePulseBlock = 4;
constexpr uint8_t kTypeErrors = 6;
constexpr uint8_t kTypeVersion = 8;
constexpr uint8_t kTypeMap = 9;
constexpr uint8_t kTypeAxes = 11;
constexpr uint8_t kTypeAccess = 0xF6;
constexpr uint8_t kTypeWriteRow = 0xF7;
constexpr uint8_t kTypeEraseBlock = 0xF9;

// A command frame's payload: code, a spare byte, the argument (little-endian), two spare bytes.
constexpr uint8_t kCommandSize = 6;

// Command codes.
constexpr uint8_t kCmdGetErrors = 0x05;
constexpr uint8_t kCmdGetDiagSample = 0x06;
constexpr uint8_t kCmdGetSettings = 0x07;
constexpr uint8_t kCmdGetReadDiag = 0x08;
constexpr uint8_t kCmdResetDevice = 0x0A;
constexpr uint8_t kCmdResetAfterBoot = 0x0A; // the same code, sent to a controller leaving its loader
constexpr uint8_t kCmdGetVersion = 0x0D;
constexpr uint8_t kCmdGetMap = 0x0E;
constexpr uint8_t kCmdSaveMap = 0x0F;
constexpr uint8_t kCmdClearMap = 0x10;
constexpr uint8_t kCmdGetMapAxes = 0x11;
constexpr uint8_t kCmdExitBootloader = 0x60;
constexpr uint8_t kCmdQueryBootloader = 0xC4;
constexpr uint8_t kCmdIdentify = 0xCC;

// Status bytes of a command's reply, and the boot loader's confirmation.
constexpr uint8_t kStatusAccepted = 4;
constexpr uint8_t kStatusBootloader = 5;
constexpr uint8_t kBootloaderConfirm = 0xE9;

// What a query answers when no reply arrived.
constexpr uint16_t kNoAnswer = 0xFFFF;

} // namespace protocol
