#include "records/diag_data.h"

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
