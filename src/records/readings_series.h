// A readings log in memory: the samples in time order, found by time with a binary search, and
// what the replay view draws from them: a lane's lowest and highest value per pixel column over
// a span, and the time the engine spent in each map cell over a span. Kept compact (a sample is
// 32 bytes), so an hour at 20 samples a second stays under 3 MB.
#pragma once

#include "records/map_dwell.h"
#include "records/map_model.h"

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

struct CLogSample {
    double time = 0; // seconds since the start of the log
    float rpm = 0;
    float tps = 0;
    float map = 0;
    float advance = 0;
    float supply = 0;
    bool switchOn = false;
};

// The lanes of the replay view, top to bottom.
enum class LogLane { Rpm, Advance, Map, Tps, Supply };
constexpr int kLogLaneCount = 5;
double laneValue(const CLogSample& sample, LogLane lane);

class CReadingsSeries {
  public:
    void clear() { m_samples.clear(); }
    void reserve(size_t n) { m_samples.reserve(n); }
    // Appends a sample; its time must not be before the last one's (false, nothing kept).
    bool append(const CLogSample& sample);

    const std::vector<CLogSample>& samples() const { return m_samples; }
    bool empty() const { return m_samples.empty(); }
    size_t size() const { return m_samples.size(); }
    double startTime() const { return empty() ? 0.0 : m_samples.front().time; }
    double endTime() const { return empty() ? 0.0 : m_samples.back().time; }

    // The sample in force at time t: the last one at or before it (the first before the start).
    // Needs a sample.
    size_t indexAt(double t) const;

    // The lowest and highest value of lane for each of `columns` equal slices of [from, to];
    // a slice without a sample carries the one in force at its start, so the line stays whole.
    std::vector<std::pair<float, float>> envelope(LogLane lane, double from, double to, int columns) const;

    // The time spent in each cell between from and to; cellOf finds the cell of a speed and a
    // MAP voltage.
    CMapDwell dwell(double from, double to, const std::function<CMapCell(double, double)>& cellOf) const;

  private:
    std::vector<CLogSample> m_samples;
};
