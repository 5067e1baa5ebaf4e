#include "records/settings_record.h"

#include "base/language.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Relative size of the double-arithmetic error that a conversion absorbs before it truncates.
// Repeated addition of an angle step over the whole map leaves errors of a few ulps (about 1e-15
// relative); anything a user can type with a handful of decimals lies far above this.
constexpr double kAbsorbedError = 1e-12;

int64_t saturate(double t)
{
    if (std::isnan(t))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (t >= kLimit)
        return std::numeric_limits<int64_t>::max();
    if (t < -kLimit)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(t);
}

template <class T> T clampTo(int64_t v)
{
    return static_cast<T>(
        std::clamp<int64_t>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

// Nearest whole number, halves away from zero, absorbing the arithmetic error that would push a
// true half just below it (0.0125 V / 5 mV is 2.4999999999999996 in doubles, yet stands for 2.5).
int64_t nearestValue(double x)
{
    return x >= 0 ? truncateValue(x + 0.5) : truncateValue(x - 0.5);
}

uint16_t readWord(const uint8_t* b, size_t offset)
{
    return static_cast<uint16_t>(b[offset] | (b[offset + 1] << 8));
}

void writeWord(uint8_t* b, size_t offset, uint16_t value)
{
    b[offset] = static_cast<uint8_t>(value & 0xFF);
    b[offset + 1] = static_cast<uint8_t>(value >> 8);
}

// A short reply reads as the zero-cleared buffer it was copied into.
template <size_t N> std::array<uint8_t, N> padded(const uint8_t* data, size_t size)
{
    std::array<uint8_t, N> block{};
    if (data != nullptr && size > 0)
        std::memcpy(block.data(), data, std::min(size, N));
    return block;
}

uint8_t byteField(double v)
{
    return clampTo<uint8_t>(truncateValue(v));
}

} // namespace

double roundTo3Decimals(double x)
{
    return std::floor((x + 0.0005) * 1000) / 1000;
}

double roundNearest(double x)
{
    return x >= 0 ? std::trunc((x * 10 + 5) / 10) : std::trunc((x * 10 - 5) / 10);
}

int64_t truncateValue(double x)
{
    if (std::isnan(x))
        return 0;
    double t = std::trunc(x);
    const double next = x >= 0 ? t + 1 : t - 1;
    if (std::fabs(next - x) <= kAbsorbedError * std::max(1.0, std::fabs(x)))
        t = next;
    return saturate(t);
}

// ---- Demo values ----

void setDemoSettings(CSettingsRecord& r)
{
    r.tpsThreshold = 0;
    r.inputSource = 1;
    r.teethCount = 60;
    r.missingTeeth = 2;
    r.wheelAlgorithm = 0;
    r.wheelType = 0;
    r.sensorType = 1;
    r.wheelFactor = 10;
    r.signalCapture = 1;
    r.workState = 0;
}

void setDemoMap(CSettingsRecord& r)
{
    for (auto& row : r.advanceMap)
        for (double& cell : row)
            cell = 10.0;
}

void setDemoAxes(CSettingsRecord& r)
{
    for (int i = 0; i < kMapRows; ++i)
        r.mapAxis[i] = 10.0 * i;
    for (int j = 0; j < kMapColumns; ++j)
        r.rpmAxis[j] = 100.0 * j;
}

CSettingsRecord demoRecord()
{
    CSettingsRecord r;
    setDemoSettings(r);
    setDemoMap(r);
    setDemoAxes(r);
    return r;
}

// ---- Field conversions ----

double tpsFromWire(int16_t counts)
{
    return roundTo3Decimals(counts / 1000.0 * 5) * 3 + 0.0005;
}

int16_t tpsToWire(double volts)
{
    // The +0.005 and the nearest rounding already absorb arithmetic error; the division by 3 is
    // exact for every multiple of 3, so a plain truncation is safe here.
    const double counts5mV = roundNearest(volts / 5 * 1000 + 0.005);
    return clampTo<int16_t>(saturate(std::trunc(counts5mV / 3)));
}

double angleFromWire(uint8_t tenths)
{
    return tenths / 10.0;
}

uint8_t angleToWire(double degrees)
{
    return clampTo<uint8_t>(truncateValue(degrees * 10));
}

double mapPointFromWire(int16_t counts)
{
    return roundTo3Decimals(counts / 1000.0 * 5);
}

int16_t mapPointToWire(double volts)
{
    return clampTo<int16_t>(nearestValue(volts / 5 * 1000));
}

double rpmPointFromWire(uint8_t hundreds)
{
    return hundreds * 100.0;
}

uint8_t rpmPointToWire(double rpm)
{
    return clampTo<uint8_t>(truncateValue(rpm / 100));
}

double liveMapFromWire(int16_t raw)
{
    return roundTo3Decimals(raw / 1023.0 * 3.3);
}

double supplyFromWire(uint16_t raw)
{
    return 6.0 * raw * 3.4 / 1000;
}

// ---- Blocks ----

SettingsBlock encodeSettingsBlock(const CSettingsRecord& r)
{
    SettingsBlock b{};
    writeWord(b.data(), 0, static_cast<uint16_t>(tpsToWire(r.tpsThreshold)));
    b[3] = byteField(r.inputSource);
    writeWord(b.data(), 6, clampTo<uint16_t>(truncateValue(r.wheelType)));
    b[4] = byteField(r.teethCount);
    b[2] = byteField(r.wheelAlgorithm);
    b[5] = byteField(r.missingTeeth);
    b[11] = byteField(r.wheelFactor);
    b[12] = byteField(r.signalCapture);
    b[13] = static_cast<uint8_t>(r.workState & 0xFF);
    b[10] = byteField(r.sensorType);
    return b;
}

void decodeSettingsBlock(const uint8_t* data, size_t size, CSettingsRecord& r)
{
    const auto b = padded<kSettingsBlockSize>(data, size);
    r.tpsThreshold = tpsFromWire(static_cast<int16_t>(readWord(b.data(), 0)));
    r.wheelAlgorithm = b[2];
    r.inputSource = b[3];
    r.teethCount = b[4];
    r.missingTeeth = b[5];
    r.wheelType = readWord(b.data(), 6);
    r.sensorType = b[10];
    r.wheelFactor = b[11];
    r.signalCapture = b[12];
    r.workState = b[13];
}

MapBlock encodeMapBlock(const CSettingsRecord& r)
{
    MapBlock b{};
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapColumns; ++j)
            b[i * kMapColumns + j] = angleToWire(r.advanceMap[i][j]);
    return b;
}

void decodeMapBlock(const uint8_t* data, size_t size, CSettingsRecord& r)
{
    const auto b = padded<kMapBlockSize>(data, size);
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapColumns; ++j)
            r.advanceMap[i][j] = angleFromWire(b[i * kMapColumns + j]);
}

AxesBlock encodeAxesBlock(const CSettingsRecord& r)
{
    AxesBlock b{};
    for (int i = 0; i < kMapRows; ++i)
        writeWord(b.data(), 2 * i, static_cast<uint16_t>(mapPointToWire(r.mapAxis[i])));
    for (int j = 0; j < kMapColumns; ++j)
        b[32 + j] = rpmPointToWire(r.rpmAxis[j]);
    return b;
}

void decodeAxesBlock(const uint8_t* data, size_t size, CSettingsRecord& r)
{
    const auto b = padded<kAxesBlockSize>(data, size);
    for (int i = 0; i < kMapRows; ++i)
        r.mapAxis[i] = mapPointFromWire(static_cast<int16_t>(readWord(b.data(), 2 * i)));
    for (int j = 0; j < kMapColumns; ++j)
        r.rpmAxis[j] = rpmPointFromWire(b[32 + j]);
}

// ---- Live sample ----

void CDiag::fill(const uint8_t* reply, size_t size)
{
    std::fill(bytes.begin(), bytes.begin() + 14, uint8_t{0});
    if (reply != nullptr)
        std::memcpy(bytes.data(), reply, std::min<size_t>(size, 16));
}

uint32_t CDiag::sampleNumber() const
{
    return static_cast<uint32_t>(bytes[16]) | (static_cast<uint32_t>(bytes[17]) << 8) |
           (static_cast<uint32_t>(bytes[18]) << 16) | (static_cast<uint32_t>(bytes[19]) << 24);
}

void CDiag::setSampleNumber(uint32_t number)
{
    for (int k = 0; k < 4; ++k)
        bytes[16 + k] = static_cast<uint8_t>(number >> (8 * k));
}

std::wstring switchText(bool on)
{
    return on ? TR_KEY(L"Włączony") : TR_KEY(L"Wyłączony");
}

std::wstring workStateText(uint32_t workState)
{
    return workState == kWorkStateNormal ? TR_KEY(L"Praca") : TR_KEY(L"Autodetekcja koła zamachowego");
}

// ---- Wheel types ----

const std::vector<std::wstring>& wheelTypeNames()
{
    static const std::vector<std::wstring> names = {
        TR_KEY(L"TYP1: 60-2"), TR_KEY(L"TYP1: 36-2"), TR_KEY(L"TYP1: 36-4"), TR_KEY(L"TYP2: 30-2"),
        TR_KEY(L"TYP3: 36-6"), TR_KEY(L"TYP4: 36-4"), TR_KEY(L"TYP5: 36-4"), TR_KEY(L"TYP6: 12+1")};
    return names;
}

double wheelFactorFor(int wheelType)
{
    return wheelType == kWheelType12Plus1 ? 1.0 : 10.0;
}
