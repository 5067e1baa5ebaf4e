// Crank pulses of every wheel, read block by block over the pseudo-terminal as the capture does,
// and the engine profiles behind them.
#include "records/wheel_analysis.h"
#include "sim/pty_client.h"
#include "sim/virtual_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

using sim::PtyClient;
using sim::VirtualController;
using sim::Wheel;
using Bytes = std::vector<uint8_t>;

namespace {

class SimPulses : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(vc.start()) << vc.lastError();
        ASSERT_TRUE(port.open(vc.path())) << std::strerror(errno);
        vc.setProfile(sim::Profile::Fixed);
        vc.setFixedPoint({1500, 0.5, 1.2, 14.0, 2.5, true});
    }

    // Signal-reading mode as the signal page sets it: operating state 0 in the settings block.
    void signalMode(bool on)
    {
        auto s = vc.settings();
        s[13] = on ? 0 : 173;
        const auto reply = port.exchange(3, Bytes(s.begin(), s.end()));
        ASSERT_TRUE(reply && reply->payload[0] == 4);
    }

    Bytes block(unsigned index)
    {
        const auto reply = port.command(0x08, static_cast<uint16_t>(index));
        EXPECT_TRUE(reply && reply->type == 4) << "block " << index;
        if (!reply || reply->type != 4)
            return {};
        EXPECT_EQ(reply->payload.size(), 202u);
        EXPECT_EQ(reply->payload[200] | (reply->payload[201] << 8), static_cast<int>(index));
        return reply->payload;
    }

    CPulseList passes(int count)
    {
        CPulseList records;
        for (int p = 0; p < count; ++p)
            for (unsigned b = 0; b < 10; ++b) {
                const Bytes payload = block(b);
                for (size_t k = 0; k + 4 <= 200 && payload.size() >= 200; k += 4)
                    records.push_back(pulseFromBytes(&payload[k]));
            }
        return records;
    }

    VirtualController vc;
    PtyClient port;
};

double medianPeriod(const CPulseList& records)
{
    std::vector<double> v;
    for (const auto& r : records)
        v.push_back(r.period);
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

} // namespace

TEST_F(SimPulses, EveryWheelShowsItsTeethPerRevolutionAtTheEnginesSpeed)
{
    // One gap per revolution, as long as the missing teeth and the pitch they leave.
    const struct {
        Wheel wheel;
        int positions, missing, algorithm;
    } cases[] = {{Wheel::W60_2, 60, 2, 0},     {Wheel::W36_2, 36, 2, 0}, {Wheel::W36_4, 36, 4, 0},
                 {Wheel::W30_2, 30, 2, 0},     {Wheel::W36_6, 36, 6, 0}, {Wheel::W36_4Typ4, 36, 4, 5},
                 {Wheel::W36_4Typ5, 36, 4, 0}, {Wheel::W36_1, 36, 1, 0}};
    signalMode(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(sim::wheelInfo(c.wheel).name);
        vc.setWheel(c.wheel);
        const CPulseList records = passes(3);
        ASSERT_EQ(records.size(), 1500u);
        const double pitch = medianPeriod(records);
        EXPECT_NEAR(pitch, 60e6 / 1500 / c.positions, pitch * 0.01) << "1 tick = 1 us at 1500 RPM";

        // Any run of one revolution's records, also across block and pass boundaries, covers the
        // whole wheel and holds the one gap.
        const int teeth = c.positions - c.missing;
        for (size_t start = 0; start + teeth <= records.size(); start += 37) {
            int positions = 0;
            std::vector<int> longOnes;
            for (int k = 0; k < teeth; ++k) {
                const int n = static_cast<int>(std::lround(records[start + k].period / pitch));
                positions += n;
                if (n > 1)
                    longOnes.push_back(n);
            }
            ASSERT_EQ(positions, c.positions) << "from record " << start;
            ASSERT_EQ(longOnes, std::vector<int>{c.missing + 1}) << "from record " << start;
        }

        CWheelAnalysis analysis;
        ASSERT_TRUE(analysis.analyse(records));
        EXPECT_EQ(analysis.pulseCount, c.positions);
        EXPECT_EQ(analysis.pulseDeficit, c.missing);
        EXPECT_EQ(analysis.algorithm, c.algorithm);
    }
}

// Both fields of a record travel little-endian: a plain tooth at 1500 RPM on a 60-2 wheel lasts
// 667 us and is high for half of it.
TEST_F(SimPulses, RecordsCarryThePeriodAndTheHighTimeOfEachTooth)
{
    signalMode(true);
    vc.setWheel(Wheel::W60_2);
    const CPulseList r = passes(1);
    ASSERT_EQ(r.size(), 500u);
    const double pitch = 60e6 / 1500 / 60;
    for (const CPulse& p : r) {
        if (p.period > 1.5 * pitch)
            continue; // the gap
        ASSERT_NEAR(p.period, pitch, 0.1 * pitch);
        ASSERT_NEAR(p.highTime, pitch / 2, 0.1 * pitch);
    }
}

TEST_F(SimPulses, WideMarkerTeethAndTheTwelvePlusOneWheel)
{
    signalMode(true);
    vc.setWheel(Wheel::W36_4Typ4);
    CPulseList r = passes(1);
    for (size_t k = 0; k + 1 < r.size(); ++k)
        if (r[k].period > 3 * r[k + 1].period) {
            EXPECT_GT(r[k + 1].highTime, 1.5 * r[k].highTime) << "the tooth after the gap is wide";
        }

    // 12+1: eleven full pitches and the pitch split in two by the extra narrow tooth (that the
    // analysis refuses it is the auto-detection's test).
    vc.setWheel(Wheel::W12_1);
    r = passes(1);
    const double pitch = 60e6 / 1500 / 12;
    for (size_t start = 0; start + 13 <= r.size(); start += 5) {
        int halves = 0, shortOnes = 0;
        for (size_t k = start; k < start + 13; ++k) {
            const int n = static_cast<int>(std::lround(r[k].period / (pitch / 2)));
            halves += n;
            shortOnes += n == 1;
        }
        ASSERT_EQ(halves, 24);
        ASSERT_EQ(shortOnes, 2);
    }
}

TEST_F(SimPulses, RecordsOnlyInSignalModeOrWithTheSignalFirmware)
{
    auto empty = [&](unsigned index) {
        const Bytes b = block(index);
        return b.size() >= 200 && std::all_of(b.begin(), b.begin() + 200, [](uint8_t x) { return x == 0; });
    };
    EXPECT_TRUE(empty(0)) << "normal operation records nothing";
    vc.setDeviceType(30);
    EXPECT_FALSE(empty(3));
    vc.setDeviceType(29);
    signalMode(true);
    EXPECT_FALSE(empty(0));
    vc.setFixedPoint({0, 0.5, 4.1, 12.4, 2.5, true});
    for (unsigned k = 1; k < 10; ++k)
        block(k);
    EXPECT_TRUE(empty(0)) << "a stopped engine shows no edge";

    const auto refused = port.command(0x08, 10);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->type, 2);
    EXPECT_EQ(refused->payload[0], 0);
}

TEST_F(SimPulses, ARetriedBlockZeroRepeatsAndEveryPassContinues)
{
    signalMode(true);
    const Bytes first = block(0);
    EXPECT_EQ(block(0), first) << "a retry after a lost reply sees the same records";
    for (unsigned b = 1; b < 10; ++b)
        block(b);
    EXPECT_NE(block(0), first) << "the next pass brings the next 500 records";
}

TEST_F(SimPulses, PulsesFollowTheEnginesSpeed)
{
    signalMode(true);
    auto pitchAt = [&](double rpm) {
        vc.setFixedPoint({rpm, 0.5, 1.2, 14.0, 2.5, true});
        return medianPeriod(passes(1));
    };
    EXPECT_NEAR(pitchAt(800), 1250, 15);
    EXPECT_NEAR(pitchAt(4000), 250, 4);
    // Cranking speed on a 60-2 wheel: a gap record of three pitches still fits 16 bits.
    vc.setFixedPoint({250, 0.5, 3.9, 10.1, 2.5, true});
    for (const auto& x : passes(1))
        EXPECT_LT(x.period, 65535);
}

TEST(SimEngine, ProfilesRunWhereAnEngineWould)
{
    using P = sim::Profile;
    const struct {
        P profile;
        double at, rpm, tolerance;
    } points[] = {{P::Start, 0.5, 220, 30}, {P::Start, 20, 850, 30},   {P::Rev, 4.5, 4000, 1},
                  {P::Rev, 7.5, 850, 30},   {P::Stall, 1.0, 850, 30},  {P::Stall, 4.0, 0, 0},
                  {P::Stall, 100.0, 0, 0},  {P::Steady, 1.0, 2500, 0}, {P::Steady, 99.0, 2500, 0}};
    // Cranking, idle after the start, revving and back, stalling for good, steady.
    for (const auto& p : points)
        EXPECT_NEAR(sim::EngineModel(p.profile).at(p.at).rpm, p.rpm, p.tolerance)
            << sim::profileName(p.profile) << " at " << p.at << " s";

    sim::EngineModel engine(sim::Profile::Start);
    EXPECT_LT(engine.at(0.5).supplyVolts, 11.0) << "the starter pulls the battery down";
    EXPECT_GT(engine.at(2.3).rpm, 1200) << "the flare after the first firing";
    EXPECT_NEAR(engine.at(20).supplyVolts, 14.0, 0.01);
    engine.setProfile(sim::Profile::Rev);
    EXPECT_GT(engine.at(4.5).mapVolts, engine.at(1.0).mapVolts) << "open throttle, higher manifold pressure";

    for (const char* name : {"idle", "start", "rev", "steady", "stall"}) {
        const auto p = sim::profileFromName(name);
        ASSERT_TRUE(p) << name;
        EXPECT_STREQ(sim::profileName(*p), name);
    }
    EXPECT_FALSE(sim::profileFromName("drift"));
}

TEST(SimEngine, WheelNamesFromTheCommandLineAndTheSettingsList)
{
    const std::pair<const char*, std::optional<Wheel>> names[] = {
        {"60-2", Wheel::W60_2},  {"TYP4: 36-4", Wheel::W36_4Typ4}, {"typ6: 12+1", Wheel::W12_1},
        {"6", Wheel::W36_4Typ5}, {"36-1", Wheel::W36_1},           {"8", std::nullopt},
        {"58-2", std::nullopt}};
    for (const auto& [name, wheel] : names)
        EXPECT_EQ(sim::wheelFromName(name), wheel) << name;
}
