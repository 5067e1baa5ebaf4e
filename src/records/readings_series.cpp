#include "records/readings_series.h"

#include <algorithm>

double laneValue(const CLogSample& sample, LogLane lane)
{
    switch (lane) {
    case LogLane::Rpm:
        return sample.rpm;
    case LogLane::Advance:
        return sample.advance;
    case LogLane::Map:
        return sample.map;
    case LogLane::Tps:
        return sample.tps;
    case LogLane::Supply:
        return sample.supply;
    }
    return 0.0;
}

bool CReadingsSeries::append(const CLogSample& sample)
{
    if (!m_samples.empty() && sample.time < m_samples.back().time)
        return false;
    m_samples.push_back(sample);
    return true;
}

size_t CReadingsSeries::indexAt(double t) const
{
    const auto after = std::upper_bound(m_samples.begin(), m_samples.end(), t,
                                        [](double time, const CLogSample& s) { return time < s.time; });
    return after == m_samples.begin() ? 0 : static_cast<size_t>(after - m_samples.begin()) - 1;
}

std::vector<std::pair<float, float>> CReadingsSeries::envelope(LogLane lane, double from, double to,
                                                               int columns) const
{
    std::vector<std::pair<float, float>> out;
    if (m_samples.empty() || columns <= 0 || !(to > from))
        return out;
    out.reserve(static_cast<size_t>(columns));
    const double width = (to - from) / columns;
    size_t k = indexAt(from);
    for (int c = 0; c < columns; ++c) {
        const double end = from + width * (c + 1);
        auto v = static_cast<float>(laneValue(m_samples[k], lane));
        std::pair<float, float> slice{v, v};
        while (k + 1 < m_samples.size() && m_samples[k + 1].time < end) {
            ++k;
            v = static_cast<float>(laneValue(m_samples[k], lane));
            slice.first = std::min(slice.first, v);
            slice.second = std::max(slice.second, v);
        }
        out.push_back(slice);
    }
    return out;
}

CMapDwell CReadingsSeries::dwell(double from, double to, const std::function<CMapCell(double, double)>& cellOf) const
{
    CMapDwell dwell;
    if (m_samples.empty())
        return dwell;
    size_t k = indexAt(from);
    CMapCell cell{};
    for (; k < m_samples.size() && m_samples[k].time <= to; ++k) {
        const CLogSample& s = m_samples[k];
        cell = cellOf(s.rpm, s.map);
        dwell.add(cell, std::max(s.time, from));
    }
    // The engine stayed in the last cell until the span's end when the log goes on past it.
    if (k < m_samples.size() && k > 0)
        dwell.add(cell, to);
    return dwell;
}
