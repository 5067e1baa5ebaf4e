// Undo and redo of the map grid: every change to cells or axes as the state before and after it.
#pragma once

#include "records/settings_record.h"

#include <cstddef>
#include <deque>
#include <optional>

// The part of the record that the map grid edits.
struct CMapState {
    double advanceMap[kMapRows][kMapColumns] = {};
    double mapAxis[kMapRows] = {};
    double rpmAxis[kMapColumns] = {};

    static CMapState of(const CSettingsRecord& record);
    void applyTo(CSettingsRecord& record) const;
    bool sameMap(const CMapState& other) const;
    bool sameAxes(const CMapState& other) const;
    bool operator==(const CMapState& other) const { return sameMap(other) && sameAxes(other); }
};

struct CMapChange {
    CMapState before;
    CMapState after;
};

class CMapHistory {
  public:
    // Changes kept; the oldest go first.
    static constexpr size_t kDepth = 100;

    // A new change; forgets whatever was undone. A change that changes nothing is not kept.
    void push(const CMapState& before, const CMapState& after);
    bool canUndo() const { return !m_done.empty(); }
    bool canRedo() const { return !m_undone.empty(); }
    size_t undoCount() const { return m_done.size(); }
    // The change to take back (restore its `before`), moved to the redo side; nothing if none.
    std::optional<CMapChange> undo();
    // The change to make again (restore its `after`), moved back to the undo side.
    std::optional<CMapChange> redo();
    void clear();

  private:
    std::deque<CMapChange> m_done;
    std::deque<CMapChange> m_undone;
};
