#include "sim/wheel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace sim {

namespace {

// A plain wheel: every position has a half-pitch tooth except the listed gaps.
WheelInfo plainWheel(Wheel w, const char* name, const char* listText, int type, int teeth, int missing,
                     std::vector<std::pair<int, int>> gaps /* first missing position, length */)
{
    WheelInfo info{w, name, listText, type, teeth, missing, 10, teeth, std::vector<double>(teeth, 0.5)};
    for (const auto& [first, length] : gaps)
        for (int k = 0; k < length; ++k)
            info.toothWidth[(first + k) % teeth] = 0.0;
    return info;
}

std::vector<WheelInfo> buildWheels()
{
    std::vector<WheelInfo> list;
    list.push_back(plainWheel(Wheel::W60_2, "60-2", "TYP1: 60-2", 0, 60, 2, {{58, 2}}));
    list.push_back(plainWheel(Wheel::W36_2, "36-2", "TYP1: 36-2", 1, 36, 2, {{34, 2}}));
    list.push_back(plainWheel(Wheel::W36_4, "36-4", "TYP1: 36-4", 2, 36, 4, {{32, 4}}));
    list.push_back(plainWheel(Wheel::W30_2, "30-2", "TYP2: 30-2", 3, 30, 2, {{28, 2}}));
    list.push_back(plainWheel(Wheel::W36_6, "36-6", "TYP3: 36-6", 4, 36, 6, {{30, 6}}));
    // The other two 36-4 wheels mark their gap with a wide tooth: type 4 right after the gap (so
    // the gap spans two odd records), type 5 right before it.
    WheelInfo typ4 = plainWheel(Wheel::W36_4Typ4, "36-4-typ4", "TYP4: 36-4", 5, 36, 4, {{32, 4}});
    typ4.toothWidth[0] = 0.85;
    list.push_back(typ4);
    WheelInfo typ5 = plainWheel(Wheel::W36_4Typ5, "36-4-typ5", "TYP5: 36-4", 6, 36, 4, {{32, 4}});
    typ5.toothWidth[31] = 0.85;
    list.push_back(typ5);
    // Twelve teeth on a grid of 24 half pitches, the extra narrow tooth half way after tooth 0.
    WheelInfo twelve{Wheel::W12_1, "12+1", "TYP6: 12+1", 7, 12, 1, 1, 24, std::vector<double>(24, 0.0)};
    for (int k = 0; k < 24; k += 2)
        twelve.toothWidth[k] = 1.0;
    twelve.toothWidth[1] = 0.5;
    list.push_back(twelve);
    list.push_back(plainWheel(Wheel::W36_1, "36-1", "", -1, 36, 1, {{35, 1}}));
    return list;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

const std::vector<WheelInfo>& wheels()
{
    static const std::vector<WheelInfo> list = buildWheels();
    return list;
}

const WheelInfo& wheelInfo(Wheel wheel)
{
    for (const auto& w : wheels())
        if (w.wheel == wheel)
            return w;
    return wheels().front();
}

std::optional<Wheel> wheelFromName(std::string_view name)
{
    const std::string wanted = lower(name);
    for (const auto& w : wheels()) {
        if (wanted == w.name || (*w.listText && wanted == lower(w.listText)) ||
            (w.wheelType >= 0 && wanted == std::to_string(w.wheelType)))
            return w.wheel;
    }
    return std::nullopt;
}

CrankSignal::CrankSignal(Wheel wheel, uint32_t seed) : wheel_(wheel), rng_(seed)
{
    setWheel(wheel);
}

void CrankSignal::setWheel(Wheel wheel)
{
    wheel_ = wheel;
    const WheelInfo& info = wheelInfo(wheel);
    teeth_.clear();
    width_.clear();
    for (int k = 0; k < info.grid; ++k) {
        if (info.toothWidth[k] > 0) {
            teeth_.push_back(k);
            width_.push_back(info.toothWidth[k]);
        }
    }
    tooth_ = 0;
}

PulseRecord CrankSignal::next(double rpm)
{
    if (rpm < 1.0)
        return {};
    const int grid = wheelInfo(wheel_).grid;
    const size_t i = tooth_;
    tooth_ = (tooth_ + 1) % teeth_.size();
    int span = teeth_[tooth_] - teeth_[i];
    if (span <= 0)
        span += grid;
    const double positionMicros = 60e6 / rpm / grid;
    std::uniform_real_distribution<double> wobble(-jitter_, jitter_);
    const double period = span * positionMicros * (1.0 + wobble(rng_));
    const double high = width_[i] * positionMicros * (1.0 + wobble(rng_));
    elapsed_ += period;
    auto ticks = [](double us) { return static_cast<uint16_t>(std::clamp(std::lround(us), 1L, 65535L)); };
    return {ticks(period), ticks(high)};
}

std::vector<uint8_t> encodeRecords(const std::vector<PulseRecord>& records)
{
    std::vector<uint8_t> out;
    out.reserve(records.size() * 4);
    for (const auto& r : records) {
        out.push_back(static_cast<uint8_t>(r.period & 0xFF));
        out.push_back(static_cast<uint8_t>(r.period >> 8));
        out.push_back(static_cast<uint8_t>(r.highTime & 0xFF));
        out.push_back(static_cast<uint8_t>(r.highTime >> 8));
    }
    return out;
}

std::vector<PulseRecord> decodeRecords(const uint8_t* bytes, size_t size)
{
    std::vector<PulseRecord> out;
    for (size_t k = 0; k + 3 < size; k += 4)
        out.push_back({static_cast<uint16_t>(bytes[k] | (bytes[k + 1] << 8)),
                       static_cast<uint16_t>(bytes[k + 2] | (bytes[k + 3] << 8))});
    return out;
}

} // namespace sim
