#include "sim/controller.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {

namespace {

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void put16(uint8_t* p, unsigned v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

uint32_t le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Position of x between the breakpoints: the lower index and the fraction towards the next one,
// held at the ends.
std::pair<size_t, double> locate(const std::vector<double>& points, double x)
{
    if (x <= points.front())
        return {0, 0.0};
    for (size_t k = 0; k + 1 < points.size(); ++k) {
        if (x < points[k + 1]) {
            const double span = points[k + 1] - points[k];
            return {k, span > 0 ? (x - points[k]) / span : 0.0};
        }
    }
    return {points.size() - 1, 0.0};
}

} // namespace

std::array<uint8_t, kSettingsSize> defaultSettings()
{
    std::array<uint8_t, kSettingsSize> s{};
    put16(&s[0], 100); // TPS threshold 1.50 V in 15 mV counts
    s[2] = 0;          // wheel algorithm
    s[3] = 1;          // input source: application
    s[4] = 60;         // teeth
    s[5] = 2;          // missing teeth
    put16(&s[6], 0);   // wheel type "TYP1: 60-2"
    s[10] = 0;         // Hall sensor
    s[11] = 10;        // wheel factor
    s[12] = 0;         // no signal capture pending
    s[13] = kWorkStateNormal;
    return s;
}

std::array<uint8_t, kAxesSize> defaultAxes()
{
    std::array<uint8_t, kAxesSize> a{};
    double volts = 0.15;
    for (size_t i = 0; i < 16; ++i) {
        put16(&a[2 * i], static_cast<unsigned>(std::lround(volts / 5.0 * 1000.0)));
        volts += (5.15 - 0.15) / 15.0;
    }
    double rpm = 500;
    for (size_t j = 0; j < 15; ++j) {
        a[32 + j] = static_cast<uint8_t>(static_cast<int>(rpm + 0.5) / 100);
        rpm += (4800.0 - 500.0) / 14.0;
    }
    return a;
}

std::array<uint8_t, kMapSize> defaultMap()
{
    // More advance as the engine turns faster (LPG burns slower than petrol), less as the load
    // grows; capped at the 60-2 Hall wheel's 24 degrees and kept on its 0.6 degree step.
    const std::array<uint8_t, kAxesSize> axes = defaultAxes();
    std::array<uint8_t, kMapSize> m{};
    for (size_t i = 0; i < 16; ++i) {
        const double mapVolts = le16(&axes[2 * i]) * 0.005;
        const double unload = 1.0 - std::clamp((mapVolts - 0.15) / 5.0, 0.0, 1.0);
        for (size_t j = 0; j < 15; ++j) {
            const double rpm = axes[32 + j] * 100.0;
            const double base = 3.0 + 12.0 * std::clamp((rpm - 500.0) / 2500.0, 0.0, 1.0);
            double degrees = base * (0.45 + 0.55 * unload) + 1.2;
            degrees = std::min(24.0, std::floor(degrees / 0.6) * 0.6);
            m[i * 15 + j] = static_cast<uint8_t>(std::lround(degrees * 10.0));
        }
    }
    return m;
}

Controller::Controller()
    : settings(defaultSettings()), map(defaultMap()), axes(defaultAxes()), flash(kFlashBytes)
{
    savedMap = map;
    // The boot loader area is opaque to us; the application area starts erased.
    for (size_t k = 2 * kFirstAppAddress; k < flash.size(); k += 4) {
        flash[k] = flash[k + 1] = flash[k + 2] = 0xFF;
        flash[k + 3] = 0x00;
    }
    storeIdentityInFlash();
}

void Controller::storeIdentityInFlash()
{
    const size_t at = 2 * kIdentityAddress;
    flash[at] = static_cast<uint8_t>(firmwareVersion & 0xFF);
    flash[at + 1] = static_cast<uint8_t>(firmwareVersion >> 8);
    flash[at + 2] = deviceType;
    flash[at + 3] = 0x00;
}

void Controller::enterBootloader(bool eraseApplication)
{
    if (eraseApplication)
        for (uint32_t a = kFirstAppAddress; 2 * a < flash.size(); a += kEraseBlock)
            eraseBlock(a);
    bootloader = true;
}

void Controller::setProfile(Profile profile, double nowSeconds)
{
    engine_.setProfile(profile);
    profileStart_ = nowSeconds;
}

void Controller::setWheel(Wheel wheel)
{
    signal_.setWheel(wheel);
    pass_.clear();
    lastBlock_ = -1;
}

OperatingPoint Controller::operatingPoint(double nowSeconds) const
{
    return engine_.at(std::max(0.0, nowSeconds - profileStart_));
}

bool Controller::recordingPulses() const
{
    return settings[13] != kWorkStateNormal || deviceType == 30;
}

std::array<uint8_t, kVersionSize> Controller::versionBlock() const
{
    std::array<uint8_t, kVersionSize> v{};
    put16(&v[8], dayCount);
    put16(&v[10], firmwareVersion);
    for (size_t k = 0; k < 16 && k < serial.size(); ++k)
        v[12 + k] = static_cast<uint8_t>(serial[k]);
    v[29] = deviceType;
    return v;
}

unsigned Controller::advanceTenths(double rpm, double mapVolts) const
{
    std::vector<double> mapPoints(16), rpmPoints(15);
    for (size_t i = 0; i < 16; ++i)
        mapPoints[i] = static_cast<int16_t>(le16(&axes[2 * i])) * 0.005;
    for (size_t j = 0; j < 15; ++j)
        rpmPoints[j] = axes[32 + j] * 100.0;
    const auto [i, fi] = locate(mapPoints, mapVolts);
    const auto [j, fj] = locate(rpmPoints, rpm);
    const size_t i1 = std::min<size_t>(i + 1, 15), j1 = std::min<size_t>(j + 1, 14);
    auto cell = [&](size_t r, size_t c) { return static_cast<double>(map[r * 15 + c]); };
    const double low = cell(i, j) + (cell(i, j1) - cell(i, j)) * fj;
    const double high = cell(i1, j) + (cell(i1, j1) - cell(i1, j)) * fj;
    return static_cast<unsigned>(std::lround(low + (high - low) * fi));
}

std::array<uint8_t, kSampleSize> Controller::sample(double nowSeconds) const
{
    const OperatingPoint p = operatingPoint(nowSeconds);
    std::array<uint8_t, kSampleSize> s{};
    put16(&s[0], static_cast<unsigned>(std::lround(std::max(0.0, p.rpm))));
    put16(&s[2], static_cast<unsigned>(static_cast<int16_t>(std::lround(p.tpsVolts / 0.015))));
    put16(&s[4], static_cast<unsigned>(static_cast<int16_t>(std::lround(p.mapVolts / 3.3 * 1023.0))));
    // Bytes 6 and 7 carry nothing here.
    put16(&s[8], static_cast<unsigned>(std::lround(p.supplyVolts * 1000.0 / (6.0 * 3.4))));
    // The controller shifts the timing only on gas, with the engine turning, in normal operation.
    const bool advancing = p.switchOn && p.rpm >= 1.0 && settings[13] == kWorkStateNormal;
    put16(&s[10], advancing ? advanceTenths(p.rpm, p.mapVolts) : 0);
    s[12] = p.switchOn ? 1 : 0;
    s[13] = static_cast<uint8_t>(std::clamp(std::lround(p.potVolts * 10.0), 0L, 255L));
    return s;
}

Reply Controller::status(uint8_t first, uint8_t second) const
{
    return Reply{2, {first, second, 0, 0, 0, 0}};
}

void Controller::latchFaults(double now)
{
    // In normal operation a wheel other than the one configured shows as a tooth-count fault.
    const WheelInfo& w = wheelInfo(signal_.wheel());
    if (!recordingPulses() && operatingPoint(now).rpm >= 1.0 &&
        (settings[4] != w.teeth || settings[5] != w.missing))
        errors[1] |= 0x02;
}

Reply Controller::pulseBlock(unsigned block, double now)
{
    // A new pass starts with block 0, unless block 0 is asked again straight away (a retry after
    // a lost reply must see the same records).
    if (pass_.empty() || (block == 0 && lastBlock_ != 0) || passRecorded_ != recordingPulses()) {
        pass_.assign(kRecordsPerBlock * kBlocksPerPass, PulseRecord{});
        passRecorded_ = recordingPulses();
        if (passRecorded_) {
            signalClock_ = std::max(signalClock_, now);
            for (auto& record : pass_) {
                record = signal_.next(operatingPoint(signalClock_).rpm);
                // A stopped engine leaves the timer running over, 65.5 ms per empty record.
                signalClock_ += (record.period ? record.period : 65535) / 1e6;
            }
        }
    }
    lastBlock_ = static_cast<int>(block);
    const std::vector<PulseRecord> slice(pass_.begin() + block * kRecordsPerBlock,
                                         pass_.begin() + (block + 1) * kRecordsPerBlock);
    Reply r{4, encodeRecords(slice)};
    // The two bytes after the records repeat the block index.
    r.payload.push_back(static_cast<uint8_t>(block & 0xFF));
    r.payload.push_back(static_cast<uint8_t>(block >> 8));
    return r;
}

bool Controller::eraseBlock(uint32_t address)
{
    if (address < kFirstAppAddress || address % kEraseBlock != 0 ||
        2ull * (address + kEraseBlock) > flash.size())
        return false;
    for (size_t k = 2ull * address; k < 2ull * (address + kEraseBlock); k += 4) {
        flash[k] = flash[k + 1] = flash[k + 2] = 0xFF;
        flash[k + 3] = 0x00; // the phantom byte of a program word always reads 0
    }
    return true;
}

bool Controller::writeRow(uint32_t address, const uint8_t* data)
{
    if (address < kFirstAppAddress || address % kRowAddresses != 0 ||
        2ull * (address + kRowAddresses) > flash.size())
        return false;
    // Programming flash can only clear bits: a row written over old contents without an erase
    // comes out as the AND of both, as on the chip.
    uint8_t* word = &flash[2ull * address];
    for (size_t k = 0; k < 64; ++k, word += 4, data += 3) {
        word[0] &= data[0];
        word[1] &= data[1];
        word[2] &= data[2];
    }
    return true;
}

bool Controller::leaveBootloader()
{
    const uint8_t* id = &flash[2ull * kIdentityAddress];
    if (id[2] != 29 && id[2] != 30)
        return false;
    firmwareVersion = static_cast<uint16_t>(id[0] | (id[1] << 8));
    deviceType = id[2];
    bootloader = false;
    errors.fill(0);
    pass_.clear();
    lastBlock_ = -1;
    return true;
}

Reply Controller::handle(uint8_t type, const std::vector<uint8_t>& payload, double now)
{
    return bootloader ? handleBootloader(type, payload) : handleApplication(type, payload, now);
}

Reply Controller::handleBootloader(uint8_t type, const std::vector<uint8_t>& payload)
{
    switch (type) {
    case 2: {
        const uint8_t command = payload.empty() ? 0 : payload[0];
        if (command == 0xC4)
            return status(kStatusAccepted, kBootloaderAnswer);
        if (command == 0x60 || command == 0x0A) {
            leaveBootloader(); // a broken image keeps it here; the next identification says so
            return status(kStatusAccepted);
        }
        return status(kStatusBootloader); // identification and everything else the loader does not know
    }
    case 0xF6:
        return status(payload.size() == 8 && std::memcmp(payload.data(), kAccessCode, 8) == 0
                          ? kStatusAccepted
                          : kStatusRefused);
    case 0xF9:
        return status(payload.size() == 4 && eraseBlock(le32(payload.data())) ? kStatusAccepted
                                                                              : kStatusRefused);
    case 0xF7:
        return status(payload.size() == 196 && writeRow(le32(payload.data()), payload.data() + 4)
                          ? kStatusAccepted
                          : kStatusRefused);
    default:
        return status(kStatusBootloader);
    }
}

Reply Controller::handleApplication(uint8_t type, const std::vector<uint8_t>& payload, double now)
{
    latchFaults(now);
    auto store = [&](auto& block) {
        if (payload.size() != block.size())
            return status(kStatusRefused);
        std::copy(payload.begin(), payload.end(), block.begin());
        return status(kStatusAccepted);
    };
    switch (type) {
    case 2:
        break;
    case 3: {
        Reply r = store(settings);
        pass_.clear(); // a change of operating state starts a fresh recording
        lastBlock_ = -1;
        return r;
    }
    case 9:
        return store(map);
    case 11:
        return store(axes);
    case 0xF6:
        if (payload.size() == 8 && std::memcmp(payload.data(), kAccessCode, 8) == 0) {
            bootloader = true;
            return status(kStatusAccepted);
        }
        return status(kStatusRefused);
    default:
        return status(kStatusRefused); // programming frames are the boot loader's
    }

    if (payload.empty())
        return status(kStatusRefused);
    switch (payload[0]) {
    case 0x05:
        return Reply{6, {errors.begin(), errors.end()}};
    case 0x06: {
        const auto s = sample(now);
        return Reply{1, {s.begin(), s.end()}};
    }
    case 0x07:
        return Reply{3, {settings.begin(), settings.end()}};
    case 0x08: {
        const unsigned block = payload.size() >= 4 ? le16(&payload[2]) : 0;
        if (block >= kBlocksPerPass)
            return status(kStatusRefused);
        return pulseBlock(block, now);
    }
    case 0x0A:
        errors.fill(0);
        pass_.clear();
        lastBlock_ = -1;
        return status(kStatusAccepted);
    case 0x0D: {
        const auto v = versionBlock();
        return Reply{8, {v.begin(), v.end()}};
    }
    case 0x0E:
        return Reply{9, {map.begin(), map.end()}};
    case 0x0F:
        savedMap = map;
        return status(kStatusAccepted);
    case 0x10:
        map.fill(0);
        return status(kStatusAccepted);
    case 0x11:
        return Reply{11, {axes.begin(), axes.end()}};
    case 0x60:
        return status(kStatusAccepted);
    case 0xC4:
        return status(kStatusAccepted, 0x00); // the application is not the boot loader
    case 0xCC: {
        Reply r = status(kStatusAccepted, deviceType);
        r.payload[2] = liveSamplesAllowed ? 0x55 : 0x00;
        return r;
    }
    default:
        return status(kStatusRefused);
    }
}

} // namespace sim
