// The signal page's drawing worked out without the page (its points are checked on the page):
// what is not drawn, where the drawing stops, the anchor that zoom and drag rely on, the gap
// ratio and the gap marks.
#include "records/signal_trace.h"
#include "support/crank_pulses.h"

#include <gtest/gtest.h>

#include <random>

namespace {

CPulseList even(size_t count, CPulse pulse)
{
    return CPulseList(count, pulse);
}

} // namespace

TEST(SignalTrace, WhatIsNotDrawn)
{
    struct Case {
        const char* what;
        size_t size;
        size_t start;
        int divisor;
    };
    const Case cases[] = {
        {"fewer than 500 records", 499, 0, 20},
        {"exactly 500: 500 is not above start + 500", 500, 0, 20},
        {"start + 500 reaches the end", 700, 200, 20},
        {"a scale of 0 (average period below the divisor)", 600, 0, 41},
        {"a divisor of 0", 600, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(traceSignal(even(c.size, {40, 20}), c.start, c.divisor).empty()) << c.what;
    EXPECT_FALSE(traceSignal(even(701, {40, 20}), 200, 20).empty());
}

TEST(SignalTrace, DrawingStopsAtTheEndOfTheList)
{
    // The scale comes from the first 500 records; after them, periods below the scale take one
    // point each, so the 600 records from 500 on fill only 600 of the 2000 points.
    CPulseList pulses = even(500, {40, 0});
    pulses.insert(pulses.end(), 600, CPulse{1, 0});
    const CSignalTrace trace = traceSignal(pulses, 500, 20);
    ASSERT_FALSE(trace.empty());
    size_t past = 0;
    for (size_t i = 0; i < trace.values.size(); ++i) {
        if (trace.record[i] < 0) {
            ++past;
            EXPECT_EQ(trace.values[i], CSignalTrace::kEdge) << i;
        }
    }
    EXPECT_EQ(past, 1400u);
    EXPECT_EQ(trace.record[trace.values.size() - past - 1], static_cast<int64_t>(pulses.size() - 1));
}

TEST(SignalTrace, RecordPointsMatchTheDrawingAndTheAnchorPutsTheRecordUnderThePoint)
{
    const CPulseList pulses = testsupport::crankPulses(sim::Wheel::W60_2, 800, 3000, 0.05);
    for (int divisor : {2, 7, 20, 55}) {
        const uint32_t scale = signalScale(pulses, divisor);
        const CSignalTrace trace = traceSignal(pulses, 300, divisor);
        ASSERT_FALSE(trace.empty());
        // Each record's points, counted in the drawing, are what recordPoints says.
        size_t i = 0;
        for (size_t r = 300; i < trace.values.size() && trace.record.back() > static_cast<int64_t>(r); ++r) {
            const size_t span = recordPoints(pulses[r], scale, r == 300);
            for (size_t k = 0; k < span; ++k, ++i)
                ASSERT_EQ(trace.record[i], static_cast<int64_t>(r)) << divisor << " record " << r;
        }
        // The anchor starts the record at or before the point, and one record earlier would start
        // it after the point.
        std::mt19937 random(static_cast<unsigned>(divisor));
        for (int n = 0; n < 40; ++n) {
            const size_t record = 1500 + random() % 900;
            const size_t point = random() % CSignalTrace::kPoints;
            const size_t start = startForAnchor(pulses, scale, record, point);
            const CSignalTrace moved = traceSignal(pulses, start, divisor);
            ASSERT_FALSE(moved.empty());
            const int64_t drawn = moved.record[point];
            EXPECT_GE(drawn, static_cast<int64_t>(record)) << divisor << " " << record << "@" << point;
            EXPECT_LT(traceSignal(pulses, start - 1, divisor).record[point], static_cast<int64_t>(record))
                << divisor << " " << record << "@" << point;
        }
    }
}

TEST(SignalTrace, GapRatioIsThePeriodOverTheMeanOfTheThreeBefore)
{
    const CPulseList pulses = {{100, 50}, {110, 50}, {90, 50}, {300, 50}, {0, 0}, {0, 0}, {0, 0}, {5, 0}};
    EXPECT_FALSE(gapRatio(pulses, 2));
    EXPECT_DOUBLE_EQ(*gapRatio(pulses, 3), 3.0);
    EXPECT_FALSE(gapRatio(pulses, 7)) << "three empty periods before it have no mean";
    EXPECT_FALSE(gapRatio(pulses, 8));
}

TEST(SignalTrace, GapRecordsAreTheTeethInFrontOfEveryGap)
{
    const CPulseList pulses = testsupport::crankPulses(sim::Wheel::W36_1, 800, 1000, 0.02);
    const std::vector<bool> gaps = gapRecords(pulses);
    ASSERT_EQ(gaps.size(), pulses.size());
    size_t marked = 0;
    for (size_t i = 0; i < pulses.size(); ++i) {
        if (!gaps[i])
            continue;
        ++marked;
        if (i >= 3) {
            EXPECT_GT(*gapRatio(pulses, i), 1.5) << i;
        }
    }
    // 35 records per revolution, one of them before the gap.
    EXPECT_NEAR(static_cast<double>(marked), 1000.0 / 35, 1.0);
    EXPECT_EQ(gapRecords(CPulseList(600, CPulse{0, 0})), std::vector<bool>(600, false));
}
