// The controller's side of the command set, without any I/O: a request (frame type and plain
// payload) goes in, the reply the controller would send comes out. All blocks are kept as the
// raw bytes that travel on the wire.
//
// Firmware identity in program memory: the application's first program word, at address 0x1800
// (image bytes 0x3000..0x3002), holds the firmware version (low byte = minor, then major) and the
// device type (29 or 30). When the boot loader is left (command 0x60 or 0x0A) the controller
// starts the application only if that word names type 29 or 30, and then reports that version
// and type; otherwise it stays in its boot loader, as a controller with a broken image would.
#pragma once

#include "sim/engine.h"
#include "sim/wheel.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr size_t kSettingsSize = 20;
constexpr size_t kMapSize = 240;
constexpr size_t kAxesSize = 48;
constexpr size_t kErrorsSize = 4;
constexpr size_t kVersionSize = 30;
constexpr size_t kSampleSize = 14;
constexpr size_t kRecordsPerBlock = 50;
constexpr size_t kBlocksPerPass = 10;

constexpr uint8_t kWorkStateNormal = 173;
constexpr uint8_t kStatusAccepted = 4;
constexpr uint8_t kStatusBootloader = 5;
constexpr uint8_t kStatusRefused = 0;
constexpr uint8_t kBootloaderAnswer = 0xE9;
constexpr const char* kAccessCode = "QK318264";

constexpr size_t kFlashBytes = 512 * 1024;    // image bytes; address a is image byte 2a
constexpr uint32_t kFirstAppAddress = 0x1800; // below it lives the boot loader, never written
constexpr uint32_t kEraseBlock = 0x800;       // address units
constexpr uint32_t kRowAddresses = 0x80;      // one row: 64 words, 192 bytes on the wire
constexpr uint32_t kIdentityAddress = 0x1800;

struct Reply {
    uint8_t type = 2;
    std::vector<uint8_t> payload;
};

class Controller {
  public:
    Controller();

    // nowSeconds: any steady clock in seconds; the engine and the crank signal follow it.
    Reply handle(uint8_t type, const std::vector<uint8_t>& payload, double nowSeconds);

    // Raw state, as the wire carries it.
    std::array<uint8_t, kSettingsSize> settings{};
    std::array<uint8_t, kMapSize> map{};
    std::array<uint8_t, kMapSize> savedMap{}; // what SaveMap last stored
    std::array<uint8_t, kAxesSize> axes{};
    std::array<uint8_t, kErrorsSize> errors{};
    uint16_t dayCount = 4200;
    uint16_t firmwareVersion = 0x0137;
    uint8_t deviceType = 29;
    std::string serial = "DV29SIM000000001";
    bool liveSamplesAllowed = true;
    bool bootloader = false;
    std::vector<uint8_t> flash; // kFlashBytes

    std::array<uint8_t, kVersionSize> versionBlock() const;
    // The live sample the controller would send at this moment.
    std::array<uint8_t, kSampleSize> sample(double nowSeconds) const;
    bool recordingPulses() const;
    OperatingPoint operatingPoint(double nowSeconds) const;
    // Advance in tenths of a degree that the map gives at the operating point.
    unsigned advanceTenths(double rpm, double mapVolts) const;

    void setProfile(Profile profile, double nowSeconds);
    Profile profile() const { return engine_.profile(); }
    void setFixedPoint(const OperatingPoint& point) { engine_.setFixed(point); }
    void setWheel(Wheel wheel);
    Wheel wheel() const { return signal_.wheel(); }
    void setJitter(double fraction) { signal_.setJitter(fraction); }

    // Writes the running version and type into the identity word of the flash image.
    void storeIdentityInFlash();
    // Goes to the boot loader; with eraseApplication the application area is blank, so that the
    // controller cannot leave it before it has been programmed.
    void enterBootloader(bool eraseApplication);

  private:
    Reply handleApplication(uint8_t type, const std::vector<uint8_t>& payload, double now);
    Reply handleBootloader(uint8_t type, const std::vector<uint8_t>& payload);
    Reply status(uint8_t first, uint8_t second = 0) const;
    Reply pulseBlock(unsigned block, double now);
    bool eraseBlock(uint32_t address);
    bool writeRow(uint32_t address, const uint8_t* data);
    bool leaveBootloader();
    void latchFaults(double now);

    EngineModel engine_;
    double profileStart_ = 0;
    CrankSignal signal_;
    double signalClock_ = 0; // same clock as nowSeconds: where the recorded signal has got to
    std::vector<PulseRecord> pass_;
    bool passRecorded_ = false; // whether pass_ was taken in signal-reading mode
    int lastBlock_ = -1;
};

// The factory blocks: a settings block for a 60-2 Hall wheel in normal operation, the factory
// axes (RPM 500..4800, MAP 0.15..5.15 V) and an advance map that rises with speed and falls with
// load, on the 0.6 degree step of that wheel.
std::array<uint8_t, kSettingsSize> defaultSettings();
std::array<uint8_t, kAxesSize> defaultAxes();
std::array<uint8_t, kMapSize> defaultMap();

} // namespace sim
