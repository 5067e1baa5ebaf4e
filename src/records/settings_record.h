// The controller's configuration as the program holds it (engineering units, doubles), the wire
// blocks that carry it (settings 20 bytes, map 240, axes 48, live sample 20) and the conversions
// between the two. Every block is assembled byte by byte, little-endian, whatever the host's order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Shape of the advance map: rows follow the MAP axis, columns the RPM axis.
constexpr int kMapRows = 16;
constexpr int kMapColumns = 15;

constexpr size_t kSettingsBlockSize = 20;
constexpr size_t kMapBlockSize = kMapRows * kMapColumns; // 240
constexpr size_t kAxesBlockSize = 48;
constexpr size_t kDiagRecordSize = 20;

// workState value of normal operation ("Praca"); anything else is wheel auto-detection.
constexpr uint32_t kWorkStateNormal = 173;

using SettingsBlock = std::array<uint8_t, kSettingsBlockSize>;
using MapBlock = std::array<uint8_t, kMapBlockSize>;
using AxesBlock = std::array<uint8_t, kAxesBlockSize>;

// ---- Rounding rules shared by every conversion of engineering values ----

// floor((x + 0.0005) * 1000) / 1000
double roundTo3Decimals(double x);
// Nearest whole number, halves away from zero: trunc((10x + 5) / 10), or (10x - 5) / 10 below 0.
double roundNearest(double x);
// Truncation toward zero that first absorbs the rounding error of double arithmetic: a value
// built by repeated addition (0.6 + 0.6 + ... = 7.199999999999998) stands for 7.2, so 72.0 - 1e-14
// truncates to 72, while 71.99 still truncates to 71. The result saturates at the int64 range and
// NaN gives 0, so no input makes the conversion undefined.
int64_t truncateValue(double x);

// ---- The record ----

struct CSettingsRecord {
    double tpsThreshold = 0; // volts
    double inputSource = 0;  // nonzero: application, 0: switch
    double teethCount = 0;
    double missingTeeth = 0;
    double wheelAlgorithm = 0;
    double wheelType = 0;  // index into wheelTypeNames()
    double sensorType = 0; // 0: Hall, nonzero: inductive
    double wheelFactor = 0;
    double signalCapture = 0;
    uint32_t workState = 0;
    double advanceMap[kMapRows][kMapColumns] = {}; // degrees
    double mapAxis[kMapRows] = {};                 // volts, rising
    double rpmAxis[kMapColumns] = {};              // RPM, rising
};

// Demo-mode values: the settings fields, the map (every cell 10.0) and the axes (10 * i, 100 * j).
void setDemoSettings(CSettingsRecord& record);
void setDemoMap(CSettingsRecord& record);
void setDemoAxes(CSettingsRecord& record);
CSettingsRecord demoRecord();

// ---- Field conversions (wire value <-> engineering value) ----

double tpsFromWire(int16_t counts); // counts of 15 mV
int16_t tpsToWire(double volts);
double angleFromWire(uint8_t tenths);
uint8_t angleToWire(double degrees);     // kept within the byte: below 0 gives 0, above 25.5 gives 255
double mapPointFromWire(int16_t counts); // counts of 5 mV
int16_t mapPointToWire(double volts);
double rpmPointFromWire(uint8_t hundreds);
uint8_t rpmPointToWire(double rpm);  // kept within the byte: 0 to 25500 RPM
double liveMapFromWire(int16_t raw); // 10-bit reading of a 3.3 V converter
double supplyFromWire(uint16_t raw);

// ---- Blocks ----

SettingsBlock encodeSettingsBlock(const CSettingsRecord& record);
// A reply shorter than the block is read as if the missing bytes were 0.
void decodeSettingsBlock(const uint8_t* data, size_t size, CSettingsRecord& record);

MapBlock encodeMapBlock(const CSettingsRecord& record);
void decodeMapBlock(const uint8_t* data, size_t size, CSettingsRecord& record);

AxesBlock encodeAxesBlock(const CSettingsRecord& record);
void decodeAxesBlock(const uint8_t* data, size_t size, CSettingsRecord& record);

// ---- Live sample ----

// One live sample as the sample store keeps it: the reply bytes from offset 0 (bytes 14-15 are
// the reply's checksum) and the capture thread's sample number in bytes 16-19.
struct CDiag {
    std::array<uint8_t, kDiagRecordSize> bytes{};

    // Clears bytes 0-13 and copies the reply (payload and checksum) from offset 0, at most up to
    // the sample number, which it never overwrites.
    void fill(const uint8_t* reply, size_t size);

    uint16_t rpm() const { return word(0); }
    int16_t tpsRaw() const { return static_cast<int16_t>(word(2)); }
    double tpsVolts() const { return tpsFromWire(tpsRaw()); }
    int16_t mapRaw() const { return static_cast<int16_t>(word(4)); }
    double mapVolts() const { return liveMapFromWire(mapRaw()); }
    uint16_t supplyRaw() const { return word(8); }
    double supplyVolts() const { return supplyFromWire(supplyRaw()); }
    uint16_t advanceTenths() const { return word(10); }
    double advanceDegrees() const { return advanceTenths() / 10.0; }
    bool switchOn() const { return bytes[12] != 0; }
    double potentiometerVolts() const { return bytes[13] / 10.0; }
    uint32_t sampleNumber() const;
    void setSampleNumber(uint32_t number);

  private:
    uint16_t word(size_t offset) const
    {
        return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
    }
};

// The switch as the readings show it: "Włączony" or "Wyłączony" (untranslated key).
std::wstring switchText(bool on);
// "Praca" for normal operation, else "Autodetekcja koła zamachowego" (untranslated key).
std::wstring workStateText(uint32_t workState);

// ---- Wheel types ----

constexpr int kWheelTypeCount = 8;
constexpr int kWheelType12Plus1 = 7;
// The list texts of the wheel types, index = wheelType (untranslated keys).
const std::vector<std::wstring>& wheelTypeNames();
// The wheel constant that goes with a wheel type: 1 for "TYP6: 12+1", 10 for every other.
double wheelFactorFor(int wheelType);
