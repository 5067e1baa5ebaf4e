#include "records/wheel_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "support/wheel_signal.h"

using testsupport::makeWheelSignal;
using testsupport::parseWheel;
using testsupport::WheelSignalOptions;

namespace {

constexpr CPulse kTooth{1000, 500};
const CPulse kGap{3000, 500};
const std::vector<CPulse> kGap2 = {{3000, 500}, {1000, 900}}; // the tooth after the gap reads differently

// Normal teeth everywhere except a gap of the given records every d records, the first gap
// starting at first (first may exceed d; earlier gaps then appear too).
CPulseList pattern(size_t count, uint32_t d, uint32_t first, const std::vector<CPulse>& gap,
                   CPulse normal = kTooth)
{
    CPulseList records(count, normal);
    for (size_t i = 0; i < count; ++i) {
        const size_t phase = (i + d - first % d) % d;
        if (phase < gap.size())
            records[i] = gap[phase];
    }
    return records;
}

// found, pulseCount, pulseDeficit, algorithm. The holder starts at sentinels, so a failure
// that writes anything shows.
using Result = std::tuple<bool, int32_t, int32_t, int32_t>;
const Result kNothing{false, -11, -12, -13};
Result wheel(int32_t count, int32_t deficit, int32_t algorithm)
{
    return {true, count, deficit, algorithm};
}

Result run(const CPulseList& records)
{
    CWheelAnalysis analysis;
    analysis.pulseCount = -11;
    analysis.pulseDeficit = -12;
    analysis.algorithm = -13;
    const bool found = analysis.analyse(records);
    return {found, analysis.pulseCount, analysis.pulseDeficit, analysis.algorithm};
}

} // namespace

TEST(WheelAnalysis, FindsEveryMissingToothWheelAtEverySpeedWithJitter)
{
    for (const char* name : {"60-2", "36-2", "36-4", "30-2", "36-6", "36-1"}) {
        const auto wheelType = parseWheel(name);
        ASSERT_TRUE(wheelType.has_value()) << name;
        for (double rpm : {500.0, 900.0, 3000.0, 6500.0})
            for (double jitter : {0.0, 0.03, 0.08})
                for (int start : {0, 5, wheelType->positions - wheelType->missing - 1}) {
                    WheelSignalOptions o;
                    o.wheel = *wheelType;
                    o.rpm = rpm;
                    o.jitter = jitter;
                    o.startTooth = start;
                    o.seed = static_cast<uint64_t>(rpm * 100 + jitter * 1000 + start);
                    EXPECT_EQ(run(makeWheelSignal(o, 2000)),
                              wheel(wheelType->positions, wheelType->missing, 0))
                        << name << " at " << rpm << " rpm, jitter " << jitter << ", start tooth " << start;
                }
    }
}

TEST(WheelAnalysis, SensorPolarityClockRateAndSlowSpeedChangesDoNotMatter)
{
    for (const char* name : {"60-2", "36-1", "36-6"}) {
        WheelSignalOptions o;
        o.wheel = *parseWheel(name);
        o.jitter = 0.04;
        const Result expected = wheel(o.wheel.positions, o.wheel.missing, 0);
        o.gapHigh = true;
        EXPECT_EQ(run(makeWheelSignal(o, 1500)), expected) << name << " gap high";
        o.gapHigh = false;
        o.tickHz = 2'500'000;
        o.rpm = 700;
        EXPECT_EQ(run(makeWheelSignal(o, 1500)), expected) << name << " 2.5 MHz";
        // The typical tooth comes from the whole capture but the gaps from its first 500 records,
        // so a drifting speed shifts a gap's tooth count: keep the drift to a steady engine's.
        o.tickHz = 1'000'000;
        o.rpm = 1500;
        for (int drift : {1, -1}) {
            o.rpmPerRevolution = drift;
            EXPECT_EQ(run(makeWheelSignal(o, 3000)), expected) << name << " drift " << drift;
        }
    }
}

TEST(WheelAnalysis, TwoAbnormalRecordsPerGapGiveAlgorithmFiveAndExtraToothWheelsFindNothing)
{
    for (const char* name : {"60-2", "36-1", "36-2"}) {
        WheelSignalOptions o;
        o.wheel = *parseWheel(name);
        o.rpm = 1200;
        o.jitter = 0.03;
        o.distortAfterGap = true;
        for (int start : {0, 3, o.wheel.positions - o.wheel.missing - 1}) {
            o.startTooth = start;
            EXPECT_EQ(run(makeWheelSignal(o, 2000)), wheel(o.wheel.positions, o.wheel.missing, 5))
                << name << " start " << start;
        }
    }
    // 12+1: the extra tooth shows as two short records, never longer than a tooth.
    WheelSignalOptions o;
    o.wheel = *parseWheel("12+1");
    for (double rpm : {600.0, 2500.0}) {
        o.rpm = rpm;
        EXPECT_EQ(run(makeWheelSignal(o, 2000)), kNothing) << "12+1 at " << rpm;
    }
}

TEST(WheelAnalysis, HandMadeCornerCases)
{
    const CPulseList full = pattern(500, 58, 50, {kGap});
    CPulseList four(500, kTooth); // fewer than five abnormal records
    for (size_t i : {40u, 140u, 240u, 340u})
        four[i] = kGap;
    CPulseList twoClusters; // every record lies outside the band around the common mean
    for (size_t i = 0; i < 1000; ++i)
        twoClusters.push_back(i % 2 ? kTooth : CPulse{100, 50});
    // Two-record gaps every 160: the run reaching the end of the window (at 490) is never counted,
    // so without it only two gaps are, too few even though the one at 490 was complete.
    CPulseList threeGaps = pattern(500, 160, 10, kGap2);
    threeGaps[490] = threeGaps[491] = kTooth;
    CPulseList longerGap = pattern(1000, 58, 20, {kGap});
    longerGap[137] = {1000, 900}; // the gap at 136 now spans two records
    CPulseList shapedGap = pattern(1000, 58, 20, {kGap});
    shapedGap[194] = {3000, 200}; // still abnormal, but its high time is far from the other gaps'
    CPulseList noisyStart = pattern(1000, 58, 30, {kGap}); // a leading run longer than one is skipped whole
    noisyStart[0] = noisyStart[1] = noisyStart[2] = {5000, 500};

    const struct {
        const char* what;
        CPulseList records;
        Result expected;
    } cases[] = {
        {"exactly 500 records", full, wheel(60, 2, 0)},
        {"499 records", CPulseList(full.begin(), full.begin() + 499), kNothing},
        {"no records", {}, kNothing},
        {"all records equal", CPulseList(2000, kTooth), kNothing},
        {"all records zero", CPulseList(2000, CPulse{0, 0}), kNothing},
        {"four abnormal records", four, kNothing},
        {"five abnormal records, the fewest", pattern(500, 100, 50, {kGap}), wheel(102, 2, 0)},
        {"two clusters", twoClusters, kNothing},
        {"starts on the gap record", pattern(1000, 58, 0, {kGap}), wheel(60, 2, 0)},
        {"starts on the first record of a gap", pattern(1000, 58, 0, kGap2), wheel(60, 2, 5)},
        {"starts on the second record of a gap", pattern(1000, 58, 57, kGap2), wheel(60, 2, 5)},
        {"starts between gaps", pattern(1000, 58, 20, kGap2), wheel(60, 2, 5)},
        {"four gaps, the last reaching the window's end", pattern(500, 160, 10, kGap2), wheel(162, 2, 5)},
        {"three gaps, the last one complete", threeGaps, kNothing},
        {"three-record gaps", pattern(1000, 58, 20, {kGap, {1000, 900}, {1000, 900}}), kNothing},
        {"one gap longer than the others", longerGap, kNothing},
        {"one gap shaped differently", shapedGap, kNothing},
        {"noisy start", noisyStart, wheel(60, 2, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run(c.records), c.expected) << c.what;
}

TEST(WheelAnalysis, OneMissedOrExtraAbnormalRecordBreaksTheSpacing)
{
    WheelSignalOptions o;
    o.jitter = 0.02;
    const CPulseList clean = makeWheelSignal(o, 2000); // gap records at 57, 115, 173, ...
    ASSERT_GT(clean[173].period, 2 * clean[172].period);

    CPulseList missed = clean;
    missed[173] = clean[172];
    EXPECT_EQ(run(missed), kNothing) << "one gap record reads as a normal tooth";
    CPulseList extra = clean;
    extra[100].period = static_cast<uint16_t>(extra[100].period * 2);
    EXPECT_EQ(run(extra), kNothing) << "one stray long record";
    // Only the first 500 records are searched for gaps, so damage further on does no harm.
    CPulseList late = clean;
    late[1000] = clean[999];
    late[1300].period = static_cast<uint16_t>(late[1300].period * 2);
    EXPECT_EQ(run(late), wheel(60, 2, 0)) << "damage after the window";
}

// Band ends: outside while finding the typical tooth and the abnormal records, inside when
// comparing gaps.
TEST(WheelAnalysis, BandEnds)
{
    // A stray record at 20 leaves the reference tooth at (1000, 500); it is a normal tooth only
    // strictly inside the band (700..1300, high time up to 650), otherwise one abnormal record too many.
    for (auto [stray, found] : {std::pair{CPulse{1299, 500}, true},
                                {CPulse{1300, 500}, false},
                                {CPulse{701, 500}, true},
                                {CPulse{700, 500}, false},
                                {CPulse{1000, 649}, true},
                                {CPulse{1000, 650}, false}}) {
        CPulseList records = pattern(500, 58, 50, {kGap});
        records[20] = stray;
        EXPECT_EQ(run(records), found ? wheel(60, 2, 0) : kNothing) << stray.period << "/" << stray.highTime;
    }

    // Gaps of 2700; records after the window bring teeth of 1000 and 1430 into the ratio 33 : 10,
    // mean exactly 1100 with 1430 on the band's upper end. Rejecting them leaves a reference of
    // 1000 and a gap of 2.7 -> 3 teeth: 60-2. Keeping them would give 2.45 -> 2 teeth: 59-1.
    CPulseList records = pattern(500, 58, 50, {{2700, 500}});
    const auto teeth = static_cast<size_t>(
        std::count_if(records.begin(), records.end(), [](const CPulse& r) { return r.period == 1000; }));
    ASSERT_EQ(teeth, 492u);
    records.insert(records.end(), 495 - teeth, kTooth);
    records.insert(records.end(), 150, CPulse{1430, 500});
    EXPECT_EQ(run(records), wheel(60, 2, 0)) << "1430 on the band end";

    // Seven counted gaps (50 ... 398). Six of 2850 and one of 3900 average 3000, whose band
    // reaches exactly 3900; likewise six of 3150 and one of 2100.
    auto gaps = [](uint16_t usual, uint16_t odd) {
        CPulseList r = pattern(500, 58, 50, {{usual, 500}});
        r[282] = {odd, 500};
        return run(r);
    };
    EXPECT_EQ(gaps(2850, 3900), wheel(60, 2, 0)) << "upper end";
    EXPECT_EQ(gaps(3150, 2100), wheel(60, 2, 0)) << "lower end";
    EXPECT_EQ(gaps(2850, 3901), kNothing) << "just above the upper end";
    EXPECT_EQ(gaps(3150, 2099), kNothing) << "just below the lower end";
}
