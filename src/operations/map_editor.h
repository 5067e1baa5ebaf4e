// What the map grid does, without the window: the cells it shows, the selection, the step keys,
// the in-place edits of cells and headers, set value, interpolation, copy and paste, undo and
// redo and the operating point. A change shows at once and is kept for undo; it reaches the
// controller through a write that the page runs off the window's thread (beginWrite, send,
// writeEnded). Changes made while a write is on the wire wait and go together in the next one,
// which sends the latest map. What the controller has not confirmed is told apart (unwritten),
// and a failed write asks for the controller's map to be read again. While no controller is
// connected every change is refused with a word, so the screen never shows what the controller
// does not have. While a settings file is open the edited record is the file's: each change goes
// into it at once, on the window's thread, and marks it for saving.
#pragma once

#include "records/map_grid_rules.h"
#include "records/map_history.h"
#include "records/map_model.h"
#include "records/map_selection.h"
#include "operations/edited_record.h"

#include <functional>
#include <optional>
#include <utility>
#include <string>

// What one write sends, and the action that asked for it last (named in a link-error box).
struct CMapWrite {
    bool map = false;  // SetMap, then SaveMap
    bool axes = false; // SetMapAxes
    const wchar_t* handler = nullptr;
    bool any() const { return map || axes; }
};

class CLPGDevice;

class CMapEditor {
  public:
    // Works on the edited record, which must outlive the editor; the limits are computed and the
    // cells filled at once.
    explicit CMapEditor(IEditedRecord& target);

    // ---- What the grid shows ------------------------------------------------------------------
    const CAngleLimits& limits() const { return m_limits; }
    // The angle of a data cell (one decimal), its "%.1f" text and its background (0x00BBGGRR).
    double cellValue(int column, int row) const { return m_shown.advanceMap[row][column]; }
    // The cell's text (and with it its colour) from an angle: one decimal is what the cell keeps.
    void setCellValue(int column, int row, double angle) { m_shown.advanceMap[row][column] = cellAngle(angle); }
    // Nothing was ever read from a controller: the grid has no values to show.
    bool blank() const { return !m_read; }
    std::wstring cellText(int column, int row) const;
    uint32_t cellColor(int column, int row) const;
    // "%.0f" of the RPM breakpoint, "%.2f" of the MAP breakpoint.
    std::wstring columnHeaderText(int column) const;
    std::wstring rowHeaderText(int row) const;
    CMapSelection& selection() { return m_selection; }
    const CMapSelection& selection() const { return m_selection; }
    // The cell the engine runs in; nothing before the first sample.
    std::optional<CMapCell> operatingPoint() const { return m_operating; }

    // updateLimits, then every cell and breakpoint from the record, all of it the controller's
    // again. The undo history is forgotten when the record was changed behind the editor's back
    // (a settings file, the factory reset). Demo values or a record not yet read from a
    // controller are not the controller's: the grid keeps the last values read.
    void fillFromRecord();
    // The edited record became another one (a file opened or closed): filled from it, with no
    // undo history, since a change of one record must never be replayed on the other.
    void recordSwitched();

    // ---- The way to the controller ----------------------------------------------------------
    // A change waits for its write and none is on the wire.
    bool writeDue() const { return (m_mapDue || m_axesDue) && !m_writing; }
    // No change waits or is on the wire: the grid may be refilled from the record.
    bool settled() const { return !m_mapDue && !m_axesDue && !m_writing; }
    // On the window's thread: the shown map into the record, which is not touched again until
    // writeEnded; answers what to send.
    CMapWrite beginWrite();
    // On the link's side (or the window's, for a file): sends what beginWrite answered (the map
    // first); true when all of it was accepted.
    static bool send(IEditedRecord& target, const CMapWrite& write);
    // The refusal's message for a write.
    static const wchar_t* refusedText(const CMapWrite& write);
    // The write's end: accepted, what it sent is the controller's; not, the controller's map is
    // to be read again (rereadDue) and the history of unwritten changes goes.
    void writeEnded(bool written);
    bool rereadDue() const { return m_rereadDue; }
    // The record was changed by a write that broke off (the axis definition): shown as not
    // written, and the controller's map to be read again.
    void showUnconfirmedRecord();
    // The cell or breakpoint shows a value the controller has not confirmed.
    bool unwrittenCell(int column, int row) const;
    bool unwrittenColumn(int column) const { return m_shown.rpmAxis[column] != m_confirmed.rpmAxis[column]; }
    bool unwrittenRow(int row) const { return m_shown.mapAxis[row] != m_confirmed.mapAxis[row]; }

    // ---- Changes --------------------------------------------------------------------------------
    // Each change answers whether it changed something (and so made a write due).
    // Ctrl+Up / Ctrl+Down: delta added to every selected cell, capped at the angle limits.
    bool incrementSelected(double delta);
    // The end of an in-place edit of a data cell (column and row >= 0), a row header (column -1)
    // or a column header (row -1). A data cell's number is set on every selected cell and on the
    // edited one; a header's becomes the breakpoint under the header rules. Text that is not a
    // number changes nothing. Answers the text the edited cell shows afterwards.
    std::wstring getText(CMapCell cell, const std::wstring& typed);
    // The selection's bounding rectangle filled from its edges.
    bool interpolate(InterpolationDirection direction);
    // The selection's bounding rectangle as tab-separated text; empty when nothing is selected.
    std::wstring copySelection() const;
    // Tab-separated text from the selection's top-left cell on (a single number fills the whole
    // selection); the pasted cells become the selection.
    bool paste(const std::wstring& text);
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    bool undo();
    bool redo();
    // "Kasuj" on the controller asks first and writes a dated backup of its settings before
    // anything is sent: the backup's path, or empty when the answer was No or the backup could
    // not be written (said already).
    std::wstring prepareClear(const CLPGDevice& device);
    // The message over the emptied grid, naming the backup.
    void reportCleared(const std::wstring& backup) const;
    // A change made elsewhere (the axis definition, the clear) since `before`, now in the record
    // and the controller's: kept for undo, and shown.
    void recordChange(const CMapState& before);
    // The map and axes as the grid shows them.
    const CMapState& shown() const { return m_shown; }
    // False, with the reason shown, while no controller is connected.
    bool connectedOrSay() const;

    // Marks the cell of this engine speed and MAP voltage; answers the one marked before.
    std::optional<CMapCell> showOperatingPoint(double rpm, double mapVolts);
    // No engine is reporting: no cell marked. Answers the one marked before.
    std::optional<CMapCell> hideOperatingPoint() { return std::exchange(m_operating, std::nullopt); }

  private:
    // Runs change on the shown cells, keeps the change for undo and makes the map's write due.
    // handler names the operation in a link-error box.
    bool changeCells(const wchar_t* handler, const std::function<void(AdvanceMap&)>& change);
    // The shown state becomes `to` (kept for undo from `before` unless replaying), its write due.
    bool show(const CMapState& before, const CMapState& to, const wchar_t* handler, bool keep);
    // Undo (back) or redo: the change's state shown and its write due.
    bool replay(bool back);
    // Every cell and breakpoint from the record, all of it the controller's again.
    void copyRecord();
    // A typed breakpoint under the header rules, written when the controller can tell it apart.
    std::wstring editHeader(CMapCell cell, double typed);
    // The text of a row header (column -1) or a column header (row -1).
    std::wstring headerText(CMapCell cell) const;
    CMapModel model() const { return CMapModel(m_target.record()); }

    IEditedRecord& m_target;
    CAngleLimits m_limits;
    // What the grid shows; the record is written from it only when a write begins.
    CMapState m_shown;
    // What the controller holds as far as the page knows (read, or a write it accepted).
    CMapState m_confirmed;
    // The record as the editor last saw it, to tell a change made behind its back.
    CMapState m_known;
    // The state on the wire, while a write runs.
    std::optional<CMapState> m_writing;
    bool m_mapDue = false;
    bool m_axesDue = false;
    bool m_rereadDue = false;
    bool m_read = false;
    const wchar_t* m_handler = nullptr;
    CMapSelection m_selection;
    CMapHistory m_history;
    std::optional<CMapCell> m_operating;
};
