#include "records/map_history.h"

#include <algorithm>
#include <iterator>

CMapState CMapState::of(const CSettingsRecord& record)
{
    CMapState s;
    std::copy(&record.advanceMap[0][0], &record.advanceMap[0][0] + kMapRows * kMapColumns, &s.advanceMap[0][0]);
    std::copy(std::begin(record.mapAxis), std::end(record.mapAxis), s.mapAxis);
    std::copy(std::begin(record.rpmAxis), std::end(record.rpmAxis), s.rpmAxis);
    return s;
}

void CMapState::applyTo(CSettingsRecord& record) const
{
    std::copy(&advanceMap[0][0], &advanceMap[0][0] + kMapRows * kMapColumns, &record.advanceMap[0][0]);
    std::copy(std::begin(mapAxis), std::end(mapAxis), record.mapAxis);
    std::copy(std::begin(rpmAxis), std::end(rpmAxis), record.rpmAxis);
}

bool CMapState::sameMap(const CMapState& other) const
{
    return std::equal(&advanceMap[0][0], &advanceMap[0][0] + kMapRows * kMapColumns, &other.advanceMap[0][0]);
}

bool CMapState::sameAxes(const CMapState& other) const
{
    return std::equal(std::begin(mapAxis), std::end(mapAxis), other.mapAxis) &&
           std::equal(std::begin(rpmAxis), std::end(rpmAxis), other.rpmAxis);
}

void CMapHistory::push(const CMapState& before, const CMapState& after)
{
    if (before == after)
        return;
    m_done.push_back({before, after});
    if (m_done.size() > kDepth)
        m_done.pop_front();
    m_undone.clear();
}

namespace {

std::optional<CMapChange> moveNewest(std::deque<CMapChange>& from, std::deque<CMapChange>& to)
{
    if (from.empty())
        return std::nullopt;
    to.push_back(from.back());
    from.pop_back();
    return to.back();
}

} // namespace

std::optional<CMapChange> CMapHistory::undo()
{
    return moveNewest(m_done, m_undone);
}

std::optional<CMapChange> CMapHistory::redo()
{
    return moveNewest(m_undone, m_done);
}

void CMapHistory::clear()
{
    m_done.clear();
    m_undone.clear();
}
