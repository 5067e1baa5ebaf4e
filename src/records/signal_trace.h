// The signal page's picture of a crank signal: 2000 points in which every tooth is a block at 2.0
// for its high part, a low line at 0.01 for the rest of its period and one point at 0.0 where the
// next tooth begins, stretched by a scale divisor. Beside the points, what a tooth logger needs to
// read it: which record each point shows, where a record starts for a given start index (so the
// mouse can zoom and drag around a tooth), the gap ratio and the records that open a gap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "records/pulse.h"

struct CSignalTrace {
    static constexpr size_t kPoints = 2000;
    // The scale is worked out from the first this many records; shorter lists are not drawn.
    static constexpr size_t kScaleRecords = 500;
    static constexpr double kHigh = 2.0;
    static constexpr double kLow = 0.01;
    static constexpr double kEdge = 0.0;

    // Empty when the list cannot be drawn from this start (see traceSignal).
    std::vector<double> values;
    // The record each point shows; -1 past the end of the list.
    std::vector<int64_t> record;

    bool empty() const { return values.empty(); }
};

// (sum of the first 500 periods / 500) / divisor, both integer divisions; 0 when the list holds
// fewer than 500 records or the divisor is not positive.
uint32_t signalScale(const CPulseList& pulses, int divisor);

// Whether the drawing shows anything from this start: at least 500 records and start + 500
// below the list's size.
bool signalDrawable(size_t size, size_t start);

// The 2000 points from record `start` with the given scale divisor. Empty when the list is not
// drawable from there or the scale comes out 0; the points after the list's end stay 0.0.
CSignalTrace traceSignal(const CPulseList& pulses, size_t start, int divisor);

// Points that one record takes in the drawing: the first drawn record starts its phase at 0,
// every later one at 1, so the first takes one point more.
size_t recordPoints(const CPulse& pulse, uint32_t scale, bool firstDrawn);

// The start index that draws record `record` across point `point` (as nearly as whole records
// allow): the anchor of zooming around the pointer and of dragging a tooth.
size_t startForAnchor(const CPulseList& pulses, uint32_t scale, size_t record, size_t point);

// This record's period over the mean period of the three before it; nothing for the first three
// records or when those three have no length.
std::optional<double> gapRatio(const CPulseList& pulses, size_t index);

// One flag per record: true where the period runs past the band of a typical tooth (the
// wheel analysis' reference tooth), i.e. the tooth in front of a missing-tooth gap. All false
// when the signal has no typical tooth.
std::vector<bool> gapRecords(const CPulseList& pulses);
