// What the map grid does, without the window: the cells it shows, the selection, the step keys,
// the in-place edits of cells and headers, set value, interpolation, copy and paste, undo and
// redo, the clear step and the operating point. Every change goes to the edited record at once
// (for the controller: SetMap and SaveMap for cells, SetMapAxes for breakpoints; for an open
// settings file: marked for saving) and is kept for undo; while the controller's record is edited
// and no controller is connected every change is refused with a word, so the screen never shows
// what the controller does not have.
#pragma once

#include "records/map_grid_rules.h"
#include "records/map_history.h"
#include "records/map_model.h"
#include "records/map_selection.h"
#include "operations/edited_record.h"

#include <functional>
#include <optional>
#include <string>

class CMapEditor {
  public:
    // Works on the edited record, which must outlive the editor; the limits are computed and the
    // cells filled at once.
    explicit CMapEditor(IEditedRecord& target);

    // ---- What the grid shows ------------------------------------------------------------------
    const CAngleLimits& limits() const { return m_limits; }
    // The angle of a data cell (one decimal), its "%.1f" text and its background (0x00BBGGRR).
    double cellValue(int column, int row) const { return m_cells[row][column]; }
    // The cell's text (and with it its colour) from an angle: one decimal is what the cell keeps.
    void setCellValue(int column, int row, double angle) { m_cells[row][column] = cellAngle(angle); }
    std::wstring cellText(int column, int row) const;
    uint32_t cellColor(int column, int row) const;
    // "%.0f" of the RPM breakpoint, "%.2f" of the MAP breakpoint.
    std::wstring columnHeaderText(int column) const;
    std::wstring rowHeaderText(int row) const;
    CMapSelection& selection() { return m_selection; }
    const CMapSelection& selection() const { return m_selection; }
    // The cell the engine runs in; nothing before the first sample.
    std::optional<CMapCell> operatingPoint() const { return m_operating; }

    // updateLimits, then every cell from the record. The undo history is forgotten when the
    // record was changed behind the editor's back (a settings file, the factory reset).
    void fillFromRecord();
    // The edited record became another one (a file opened or closed): filled from it, with no
    // undo history, since a change of one record must never be replayed on the other.
    void recordSwitched();

    // ---- Changes --------------------------------------------------------------------------------
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
    // The page's "Kasuj": ClearMap and SaveMap, then every cell 0.0.
    bool clearMap();
    // A change made elsewhere (the axis definition) since `before`: kept for undo.
    void recordChange(const CMapState& before);

    // Marks the cell of this engine speed and MAP voltage; answers the one marked before.
    std::optional<CMapCell> showOperatingPoint(double rpm, double mapVolts);

  private:
    // False, with the reason shown, while no controller is connected.
    bool connectedOrSay() const;
    // Runs change on the cells, copies them into the record, keeps the change for undo and
    // writes the map. handler names the operation in a link-error box.
    bool changeCells(const wchar_t* handler, const std::function<void(AdvanceMap&)>& change);
    // A write to the controller: its refusal shows the text `refused`, a link error the handler.
    bool send(const wchar_t* handler, const wchar_t* refused, const std::function<bool()>& write);
    // SetMap then SaveMap; a refusal or a link error is shown.
    bool sendMap(const wchar_t* handler);
    // SetMapAxes; a refusal or a link error is shown.
    bool sendAxes(const wchar_t* handler);
    // Undo (back) or redo: the change's state restored in the record and written.
    bool replay(bool back);
    bool restore(const CMapState& target, const CMapState& from, const wchar_t* handler);
    // A typed breakpoint under the header rules, written when the controller can tell it apart.
    std::wstring editHeader(CMapCell cell, double typed);
    // The text of a row header (column -1) or a column header (row -1).
    std::wstring headerText(CMapCell cell) const;
    void copyCellsToRecord();
    CMapModel model() const { return CMapModel(m_target.record()); }

    IEditedRecord& m_target;
    CAngleLimits m_limits;
    double m_cells[kMapRows][kMapColumns] = {};
    CMapSelection m_selection;
    CMapHistory m_history;
    CMapState m_known;
    std::optional<CMapCell> m_operating;
};
