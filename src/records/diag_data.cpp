#include "records/diag_data.h"

#include <utility>

void CDiagData::add(const CDiag& sample)
{
    CMutexGuard guard(&m_mutex);
    if (m_samples.size() > kTrimAbove)
        m_samples.erase(m_samples.begin(), m_samples.begin() + kTrimCount);
    m_samples.push_back(sample);
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
    out = m_samples.back();
    return true;
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
