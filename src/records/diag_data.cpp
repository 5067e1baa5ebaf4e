#include "records/diag_data.h"

#include <utility>
#include <algorithm>

void CDiagData::add(const CDiag& sample)
{
    add(sample, CDiagClock::now());
}

void CDiagData::add(const CDiag& sample, CDiagClock::time_point time)
{
    CMutexGuard guard(&m_mutex);
    if (m_samples.size() > kTrimAbove)
        m_samples.erase(m_samples.begin(), m_samples.begin() + kTrimCount);
    m_samples.push_back({sample, time, m_nextSerial++});
}

size_t CDiagData::count()
{
    CMutexGuard guard(&m_mutex);
    return m_samples.size();
}

bool CDiagData::getLast(CDiag& out)
{
    CMutexGuard guard(&m_mutex);
    if (m_samples.empty())
        return false;
    out = m_samples.back().sample;
    return true;
}

uint64_t CDiagData::copySince(uint64_t from, std::vector<CDiagEntry>& out)
{
    CMutexGuard guard(&m_mutex);
    // Serials rise by one along the store, so the first wanted record is found by subtraction.
    if (!m_samples.empty()) {
        const uint64_t oldest = m_samples.front().serial;
        const size_t skip = from > oldest ? static_cast<size_t>(std::min<uint64_t>(from - oldest, m_samples.size())) : 0;
        out.insert(out.end(), m_samples.begin() + static_cast<std::ptrdiff_t>(skip), m_samples.end());
    }
    return std::max(from, m_nextSerial);
}

uint64_t CDiagData::nextSerial()
{
    CMutexGuard guard(&m_mutex);
    return m_nextSerial;
}

void CDiagData::clear()
{
    CMutexGuard guard(&m_mutex);
    m_samples.clear();
}

void CSharedPulseList::append(const CPulse* pulses, size_t count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_closed)
        m_pulses.insert(m_pulses.end(), pulses, pulses + count);
}

size_t CSharedPulseList::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pulses.size();
}

CPulseList CSharedPulseList::copy() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pulses;
}

void CSharedPulseList::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pulses.clear();
}

CPulseList CSharedPulseList::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    return std::exchange(m_pulses, {});
}

void CSharedPulseList::putBack(CPulseList records)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    records.insert(records.end(), m_pulses.begin(), m_pulses.end());
    m_pulses = std::move(records);
}

void CSharedPulseList::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = false;
}
