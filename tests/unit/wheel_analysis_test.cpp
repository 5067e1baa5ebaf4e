#include "diag/wheel_analysis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/wheel_signal.h"

using testsupport::makeWheelSignal;
using testsupport::parseWheel;
using testsupport::WheelSignalOptions;

namespace {

constexpr CPulse kTooth{1000, 500};

// A hand-made signal: normal teeth everywhere except a gap of the given records every d records,
// the first gap starting at first (first may exceed d; earlier gaps then appear too).
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

struct Result {
    bool found;
    int32_t pulseCount;
    int32_t pulseDeficit;
    int32_t algorithm;
};

// Runs the analysis on a holder preset to sentinels, so a failure that writes anything shows.
Result run(const CPulseList& records)
{
    CWheelAnalysis analysis;
    analysis.pulseCount = -11;
    analysis.pulseDeficit = -12;
    analysis.algorithm = -13;
    const bool found = analysis.analyse(records);
    return {found, analysis.pulseCount, analysis.pulseDeficit, analysis.algorithm};
}

void expectNothingFound(const CPulseList& records, const std::string& what)
{
    const Result r = run(records);
    EXPECT_FALSE(r.found) << what;
    EXPECT_EQ(r.pulseCount, -11) << what;
    EXPECT_EQ(r.pulseDeficit, -12) << what;
    EXPECT_EQ(r.algorithm, -13) << what;
}

void expectWheel(const CPulseList& records, int32_t count, int32_t deficit, int32_t algorithm,
                 const std::string& what)
{
    const Result r = run(records);
    ASSERT_TRUE(r.found) << what;
    EXPECT_EQ(r.pulseCount, count) << what;
    EXPECT_EQ(r.pulseDeficit, deficit) << what;
    EXPECT_EQ(r.algorithm, algorithm) << what;
}

} // namespace

// ---- Realistic signals of every wheel ----

TEST(WheelAnalysis, FindsEveryMissingToothWheelAtEverySpeedWithJitter)
{
    for (const char* name : {"60-2", "36-2", "36-4", "30-2", "36-6", "36-1"}) {
        const auto wheel = parseWheel(name);
        ASSERT_TRUE(wheel.has_value()) << name;
        for (double rpm : {500.0, 900.0, 3000.0, 6500.0}) {
            for (double jitter : {0.0, 0.03, 0.08}) {
                for (int start : {0, 5, wheel->positions - wheel->missing - 1}) {
                    WheelSignalOptions o;
                    o.wheel = *wheel;
                    o.rpm = rpm;
                    o.jitter = jitter;
                    o.startTooth = start;
                    o.seed = static_cast<uint64_t>(rpm * 100 + jitter * 1000 + start);
                    const std::string what = std::string(name) + " at " + std::to_string(rpm) +
                                             " rpm, jitter " + std::to_string(jitter) + ", start tooth " +
                                             std::to_string(start);
                    expectWheel(makeWheelSignal(o, 2000), wheel->positions, wheel->missing, 0, what);
                }
            }
        }
    }
}

TEST(WheelAnalysis, SensorPolarityClockRateAndSlowSpeedChangesDoNotMatter)
{
    for (const char* name : {"60-2", "36-1", "36-6"}) {
        const auto wheel = *parseWheel(name);
        WheelSignalOptions o;
        o.wheel = wheel;
        o.jitter = 0.04;
        o.gapHigh = true;
        expectWheel(makeWheelSignal(o, 1500), wheel.positions, wheel.missing, 0,
                    std::string(name) + " gap high");
        o.gapHigh = false;
        o.tickHz = 2'500'000;
        o.rpm = 700;
        expectWheel(makeWheelSignal(o, 1500), wheel.positions, wheel.missing, 0,
                    std::string(name) + " 2.5 MHz");
        o.tickHz = 1'000'000;
        // The typical tooth comes from the whole capture but the gaps from its first 500 records,
        // so a drifting speed shifts the gap's tooth count: with a 7-tooth gap a 7 % difference
        // already reads as 8. Keep the drift to what a steady engine does.
        o.rpm = 1500;
        o.rpmPerRevolution = 1;
        expectWheel(makeWheelSignal(o, 3000), wheel.positions, wheel.missing, 0,
                    std::string(name) + " accelerating");
        o.rpmPerRevolution = -1;
        expectWheel(makeWheelSignal(o, 3000), wheel.positions, wheel.missing, 0,
                    std::string(name) + " slowing down");
    }
}

TEST(WheelAnalysis, TwoAbnormalRecordsPerGapGiveAlgorithmFive)
{
    // The tooth after the gap reads differently, so each gap covers the gap tooth and the next.
    for (const char* name : {"60-2", "36-1", "36-2"}) {
        const auto wheel = *parseWheel(name);
        for (int start : {0, 3, wheel.positions - wheel.missing - 1}) {
            WheelSignalOptions o;
            o.wheel = wheel;
            o.rpm = 1200;
            o.jitter = 0.03;
            o.distortAfterGap = true;
            o.startTooth = start;
            expectWheel(makeWheelSignal(o, 2000), wheel.positions, wheel.missing, 5,
                        std::string(name) + " start " + std::to_string(start));
        }
    }
}

TEST(WheelAnalysis, AnExtraToothWheelIsNotAPatternItKnows)
{
    // 12+1: the extra tooth shows as two short records, never longer than a tooth.
    WheelSignalOptions o;
    o.wheel = *parseWheel("12+1");
    for (double rpm : {600.0, 2500.0}) {
        o.rpm = rpm;
        expectNothingFound(makeWheelSignal(o, 2000), "12+1 at " + std::to_string(rpm));
    }
}

// ---- Hand-made corner cases ----

TEST(WheelAnalysis, NeedsFiveHundredRecords)
{
    const CPulseList full = pattern(500, 58, 50, {{3000, 500}});
    expectWheel(full, 60, 2, 0, "exactly 500 records");
    expectNothingFound(CPulseList(full.begin(), full.begin() + 499), "499 records");
    expectNothingFound({}, "no records");
}

TEST(WheelAnalysis, SignalsWithoutAPatternFindNothing)
{
    expectNothingFound(CPulseList(2000, kTooth), "all records equal");
    expectNothingFound(CPulseList(2000, CPulse{0, 0}), "all records zero");
    // Four gaps only: fewer than five abnormal records.
    CPulseList four(500, kTooth);
    for (size_t i : {40u, 140u, 240u, 340u})
        four[i] = {3000, 500};
    expectNothingFound(four, "four abnormal records");
}

TEST(WheelAnalysis, AReferenceLoopThatRejectsEverythingFindsNothing)
{
    // Two equal clusters: every record lies outside the band around their common mean.
    CPulseList twoClusters;
    for (size_t i = 0; i < 1000; ++i)
        twoClusters.push_back(i % 2 ? CPulse{1000, 500} : CPulse{100, 50});
    expectNothingFound(twoClusters, "two clusters");
}

TEST(WheelAnalysis, ACaptureBeginningInsideAGapIgnoresTheLeadingRun)
{
    // One-record gaps with the capture starting on the gap tooth.
    expectWheel(pattern(1000, 58, 0, {{3000, 500}}), 60, 2, 0, "starts on the gap record");
    // Two-record gaps, the capture starting on either record of a gap.
    const std::vector<CPulse> gap2 = {{3000, 500}, {1000, 900}};
    expectWheel(pattern(1000, 58, 0, gap2), 60, 2, 5, "starts on the first record of a gap");
    expectWheel(pattern(1000, 58, 57, gap2), 60, 2, 5, "starts on the second record of a gap");
    expectWheel(pattern(1000, 58, 20, gap2), 60, 2, 5, "starts between gaps");
}

TEST(WheelAnalysis, OneMissedOrExtraAbnormalRecordBreaksTheSpacing)
{
    WheelSignalOptions o;
    o.jitter = 0.02;
    const CPulseList clean = makeWheelSignal(o, 2000); // gap records at 57, 115, 173, ...
    ASSERT_GT(clean[173].period, 2 * clean[172].period);

    CPulseList missed = clean;
    missed[173] = clean[172];
    expectNothingFound(missed, "one gap record reads as a normal tooth");

    CPulseList extra = clean;
    extra[100].period = static_cast<uint16_t>(extra[100].period * 2);
    expectNothingFound(extra, "one stray long record");

    // Only the first 500 records are searched for gaps, so damage further on does no harm.
    CPulseList late = clean;
    late[1000] = clean[999];
    late[1300].period = static_cast<uint16_t>(late[1300].period * 2);
    expectWheel(late, 60, 2, 0, "damage after the window");
}

TEST(WheelAnalysis, TheRunReachingTheEndOfTheWindowIsNeverCounted)
{
    // Two-record gaps every 160 records. With gaps at 10, 170, 330 and 490 three are counted;
    // without the one at 490 only two are, which is too few even though that gap was complete.
    const std::vector<CPulse> gap2 = {{3000, 500}, {1000, 900}};
    expectWheel(pattern(500, 160, 10, gap2), 162, 2, 5, "four gaps");
    CPulseList three = pattern(500, 160, 10, gap2);
    three[490] = kTooth;
    three[491] = kTooth;
    expectNothingFound(three, "three gaps, the last one complete");
}

TEST(WheelAnalysis, GapsOfThreeRecordsHaveNoAlgorithm)
{
    expectNothingFound(pattern(1000, 58, 20, {{3000, 500}, {1000, 900}, {1000, 900}}), "three-record gaps");
}

TEST(WheelAnalysis, GapsOfUnequalLengthOrShapeFindNothing)
{
    CPulseList lengths = pattern(1000, 58, 20, {{3000, 500}});
    lengths[137] = {1000, 900}; // the gap at 136 now spans two records
    expectNothingFound(lengths, "one gap longer than the others");

    CPulseList shape = pattern(1000, 58, 20, {{3000, 500}});
    shape[194] = {3000, 200}; // still abnormal, but its high time is far from the other gaps'
    expectNothingFound(shape, "one gap shaped differently");
}

// ---- Band ends: outside while finding the typical tooth and the abnormal records, inside
// when comparing gaps ----

TEST(WheelAnalysis, ABandEndMarksARecordAbnormal)
{
    ASSERT_EQ(0.3 * 1000.0 + 1000.0, 1300.0);
    ASSERT_EQ(1000.0 - 0.3 * 1000.0, 700.0);
    ASSERT_EQ(0.3 * 500.0 + 500.0, 650.0);
    // A stray record at index 20 leaves the reference tooth at (1000, 500); it is a normal tooth
    // only strictly inside the band, otherwise it is one abnormal record too many.
    struct Case {
        CPulse stray;
        bool found;
    };
    for (const Case& c : {Case{{1299, 500}, true}, Case{{1300, 500}, false}, Case{{701, 500}, true},
                          Case{{700, 500}, false}, Case{{1000, 649}, true}, Case{{1000, 650}, false}}) {
        CPulseList records = pattern(500, 58, 50, {{3000, 500}});
        records[20] = c.stray;
        const std::string what =
            "stray " + std::to_string(c.stray.period) + "/" + std::to_string(c.stray.highTime);
        if (c.found)
            expectWheel(records, 60, 2, 0, what);
        else
            expectNothingFound(records, what);
    }
}

TEST(WheelAnalysis, ABandEndRejectsARecordFromTheReferenceTooth)
{
    // Gaps of 2700 at 50 + 58k. Records after the window bring the teeth of period 1000 and
    // records of 1430 into the ratio 33 : 10, whose mean is exactly 1100 with 1430 on the band's
    // upper end. Rejecting them leaves a reference of 1000 and a gap of 2.7 -> 3 teeth: 60-2.
    // Keeping them would give a reference of 1100 and 2.45 -> 2 teeth: 59-1.
    ASSERT_EQ(0.3 * 1100.0 + 1100.0, 1430.0);
    CPulseList records = pattern(500, 58, 50, {{2700, 500}});
    size_t teeth = 0;
    for (const CPulse& r : records)
        teeth += r.period == 1000;
    ASSERT_EQ(teeth, 492u);
    records.insert(records.end(), 495 - teeth, kTooth);
    records.insert(records.end(), 150, CPulse{1430, 500});
    expectWheel(records, 60, 2, 0, "1430 on the band end");
}

TEST(WheelAnalysis, ABandEndBetweenGapsCountsAsInside)
{
    // Seven counted gaps (50 ... 398; the one at 456 ends the window). Six of 2850 and one of
    // 3900 average 3000, whose band reaches exactly 3900; likewise six of 3150 and one of 2100.
    ASSERT_EQ(0.3 * 3000.0 + 3000.0, 3900.0);
    ASSERT_EQ(3000.0 - 0.3 * 3000.0, 2100.0);
    auto gaps = [](uint16_t usual, uint16_t odd) {
        CPulseList records = pattern(500, 58, 50, {{usual, 500}});
        records[282] = {odd, 500};
        return records;
    };
    expectWheel(gaps(2850, 3900), 60, 2, 0, "upper end");
    expectWheel(gaps(3150, 2100), 60, 2, 0, "lower end");
    expectNothingFound(gaps(2850, 3901), "just above the upper end");
    expectNothingFound(gaps(3150, 2099), "just below the lower end");
}

TEST(WheelAnalysis, ARunAtTheStartLongerThanOneIsSkippedWhole)
{
    // Abnormal records 0, 1, 2 (the tail of a noisy start), then regular gaps.
    CPulseList records = pattern(1000, 58, 30, {{3000, 500}});
    records[0] = {5000, 500};
    records[1] = {5000, 500};
    records[2] = {5000, 500};
    expectWheel(records, 60, 2, 0, "noisy start");
}
