#include "operations/map_editor.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "operations/settings_backup.h"

#include <algorithm>

namespace {

const wchar_t* const kMapWriteFailed = TR_KEY(L"Nie powiodło się wpisanie ustawień do urządzenia!");
const wchar_t* const kAxesWriteFailed = TR_KEY(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
const wchar_t* const kIncrementHandler = L"CMapAngle::incrementSelected()";
const wchar_t* const kEditHandler = L"CMapEdit::getText()";

} // namespace

CMapEditor::CMapEditor(IEditedRecord& target) : m_target(target)
{
    fillFromRecord();
}

std::wstring CMapEditor::cellText(int column, int row) const
{
    return formatDecimal(m_shown.advanceMap[row][column], 1);
}

uint32_t CMapEditor::cellColor(int column, int row) const
{
    return cellColorRef(m_shown.advanceMap[row][column]);
}

std::wstring CMapEditor::columnHeaderText(int column) const
{
    return formatDecimal(m_shown.rpmAxis[column], 0);
}

std::wstring CMapEditor::rowHeaderText(int row) const
{
    return formatDecimal(m_shown.mapAxis[row], 2);
}

bool CMapEditor::unwrittenCell(int column, int row) const
{
    return m_shown.advanceMap[row][column] != m_confirmed.advanceMap[row][column];
}

void CMapEditor::fillFromRecord()
{
    m_limits = model().limits();
    // Demo values, or a record not read from a controller yet, are nobody's map.
    if (!m_target.holdsValues())
        return;
    copyRecord();
}

void CMapEditor::recordSwitched()
{
    m_history.clear();
    m_limits = model().limits();
    copyRecord();
    m_read = m_target.holdsValues();
}

void CMapEditor::copyRecord()
{
    const CSettingsRecord& record = m_target.record();
    m_shown = CMapState::of(record);
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapColumns; ++c)
            setCellValue(c, r, record.advanceMap[r][c]);
    m_confirmed = m_shown;
    m_mapDue = m_axesDue = m_rereadDue = false;
    m_read = true;
    const CMapState now = CMapState::of(record);
    if (!(now == m_known))
        m_history.clear();
    m_known = now;
}

bool CMapEditor::connectedOrSay() const
{
    if (m_target.isConnected())
        return true;
    userInteraction().showMessage(translateText(L"BRAK POŁĄCZENIA"), MessageIcon::Warning);
    return false;
}

CMapWrite CMapEditor::beginWrite()
{
    CMapWrite write{m_mapDue, m_axesDue, m_handler};
    CSettingsRecord& record = m_target.record();
    const CAngleLimits& l = m_limits;
    m_shown.applyTo(record);
    for (auto& row : record.advanceMap)
        for (double& cell : row)
            cell = std::clamp(cell, l.lowest, l.highest);
    m_writing = m_shown;
    m_known = CMapState::of(record);
    m_mapDue = m_axesDue = false;
    return write;
}

bool CMapEditor::send(IEditedRecord& target, const CMapWrite& write)
{
    if (write.map && !(target.SetMap() && target.SaveMap()))
        return false;
    return !write.axes || target.SetMapAxes();
}

const wchar_t* CMapEditor::refusedText(const CMapWrite& write)
{
    return write.map ? kMapWriteFailed : kAxesWriteFailed;
}

void CMapEditor::writeEnded(bool written)
{
    if (written) {
        m_confirmed = *m_writing;
    } else {
        m_rereadDue = true;
        // Its changes never reached the controller: nothing of them to take back.
        m_history.clear();
    }
    m_writing.reset();
}

void CMapEditor::showUnconfirmedRecord()
{
    const CMapState confirmed = m_confirmed;
    copyRecord();
    m_confirmed = confirmed;
    m_rereadDue = true;
    m_history.clear();
}

bool CMapEditor::show(const CMapState& before, const CMapState& to, const wchar_t* handler, bool keep)
{
    if (to == m_shown)
        return false;
    // before may be m_shown itself: kept before it changes.
    if (keep)
        m_history.push(before, to);
    m_mapDue = m_mapDue || !to.sameMap(m_shown);
    m_axesDue = m_axesDue || !to.sameAxes(m_shown);
    m_shown = to;
    m_handler = handler;
    // A file takes the change at once: there is no wire to wait for.
    if (m_target.file() && !m_writing)
        writeEnded(send(m_target, beginWrite()));
    return true;
}

bool CMapEditor::changeCells(const wchar_t* handler, const std::function<void(AdvanceMap&)>& change)
{
    if (!connectedOrSay())
        return false;
    CMapState after = m_shown;
    change(after.advanceMap);
    const CAngleLimits& l = m_limits;
    for (auto& row : after.advanceMap)
        for (double& cell : row)
            cell = cellAngle(std::clamp(cell, l.lowest, l.highest));
    return show(m_shown, after, handler, true);
}

bool CMapEditor::incrementSelected(double delta)
{
    if (!m_selection.any())
        return false;
    const CAngleLimits l = m_limits;
    return changeCells(kIncrementHandler, [&](AdvanceMap& cells) {
        for (int c = 0; c < kMapColumns; ++c)
            for (int r = 0; r < kMapRows; ++r)
                if (m_selection.selected(c, r))
                    cells[r][c] = std::clamp(cells[r][c] + delta, l.lowest, l.highest);
    });
}

std::wstring CMapEditor::getText(CMapCell cell, const std::wstring& typed)
{
    const bool header = cell.column < 0 || cell.row < 0;
    if (cell.column >= kMapColumns || cell.row >= kMapRows || (cell.column < 0 && cell.row < 0))
        return {};
    // A decimal comma reads as a point; text that is not a number changes nothing.
    const auto value = parseDecimal(typed);
    if (header)
        return value ? editHeader(cell, *value) : headerText(cell);
    if (value) {
        const double angle = snapAngle(m_limits, *value);
        changeCells(kEditHandler, [&](AdvanceMap& cells) {
            cells[cell.row][cell.column] = angle;
            for (int c = 0; c < kMapColumns; ++c)
                for (int r = 0; r < kMapRows; ++r)
                    if (m_selection.selected(c, r))
                        cells[r][c] = angle;
        });
    }
    return cellText(cell.column, cell.row);
}

std::wstring CMapEditor::headerText(CMapCell cell) const
{
    return cell.column < 0 ? rowHeaderText(cell.row) : columnHeaderText(cell.column);
}

std::wstring CMapEditor::editHeader(CMapCell cell, double typed)
{
    const bool rowHeader = cell.column < 0;
    const auto point = rowHeader ? mapBreakpoint(m_shown.mapAxis, cell.row, typed)
                                 : rpmBreakpoint(m_shown.rpmAxis, cell.column, typed);
    if (!point)
        return headerText(cell);
    CMapState after = m_shown;
    double& stored = rowHeader ? after.mapAxis[cell.row] : after.rpmAxis[cell.column];
    // The controller keeps MAP breakpoints in 5 mV counts: a change it cannot hold is no change.
    const bool same = rowHeader ? mapPointToWire(*point) == mapPointToWire(stored) : *point == stored;
    if (same || !connectedOrSay())
        return headerText(cell);
    stored = *point;
    show(m_shown, after, kEditHandler, true);
    return headerText(cell);
}

bool CMapEditor::interpolate(InterpolationDirection direction)
{
    const auto rect = m_selection.scan();
    if (!rect || (rect->columns() < 2 && rect->rows() < 2))
        return false;
    return changeCells(L"CMapAngle::interpolateSelected()", [&](AdvanceMap& cells) {
        double filled[kMapRows][kMapColumns];
        std::copy(&cells[0][0], &cells[0][0] + kMapRows * kMapColumns, &filled[0][0]);
        interpolateMap(filled, *rect, direction, m_shown.rpmAxis, m_shown.mapAxis);
        for (int c = rect->c0; c <= rect->c1; ++c)
            for (int r = rect->r0; r <= rect->r1; ++r)
                if (m_selection.selected(c, r))
                    cells[r][c] = snapAngle(m_limits, filled[r][c]);
    });
}

std::wstring CMapEditor::copySelection() const
{
    const auto rect = m_selection.scan();
    return rect ? formatTsv(m_shown.advanceMap, *rect) : std::wstring();
}

bool CMapEditor::paste(const std::wstring& text)
{
    const auto rect = m_selection.scan();
    if (!rect)
        return false;
    const auto block = parseTsv(text);
    if (!block) {
        userInteraction().showMessage(translateText(L"Schowek nie zawiera wartości mapy do wklejenia"),
                                      MessageIcon::Error);
        return false;
    }
    const bool fill = block->rows.size() == 1 && block->columns() == 1;
    CMapRect target = *rect;
    if (!fill) {
        target.c1 = std::min(rect->c0 + block->columns() - 1, kMapColumns - 1);
        target.r1 = std::min(rect->r0 + static_cast<int>(block->rows.size()) - 1, kMapRows - 1);
    }
    const bool changed = changeCells(L"CMapAngle::pasteSelected()", [&](AdvanceMap& cells) {
        for (int r = target.r0; r <= target.r1; ++r) {
            const auto& line = block->rows[fill ? 0 : static_cast<size_t>(r - target.r0)];
            for (int c = target.c0; c <= target.c1; ++c) {
                const size_t at = fill ? 0 : static_cast<size_t>(c - target.c0);
                if (at < line.size() && line[at] && (!fill || m_selection.selected(c, r)))
                    cells[r][c] = snapAngle(m_limits, *line[at]);
            }
        }
    });
    if (!fill && m_target.isConnected())
        m_selection.selectRect({target.c0, target.r0}, {target.c1, target.r1});
    return changed;
}

bool CMapEditor::undo()
{
    return replay(true);
}

bool CMapEditor::redo()
{
    return replay(false);
}

bool CMapEditor::replay(bool back)
{
    if (!(back ? m_history.canUndo() : m_history.canRedo()) || !connectedOrSay())
        return false;
    const auto change = back ? m_history.undo() : m_history.redo();
    return back ? show(m_shown, change->before, L"CMapAngle::undo()", false)
                : show(m_shown, change->after, L"CMapAngle::redo()", false);
}

std::wstring CMapEditor::prepareClear(const CLPGDevice& device)
{
    // Undo lasts only while the program runs: the backup outlives it.
    if (!userInteraction().askYesNo(translateText(
            L"Skasowanie mapy ustawi kąt 0° we wszystkich punktach mapy w sterowniku! Czy chcesz kontynuować?")))
        return {};
    return saveRequiredSettingsBackup(device);
}

void CMapEditor::reportCleared(const std::wstring& backup) const
{
    userInteraction().showMessage(translateText(L"Mapa została skasowana.") + L"\n" + backupSavedLine(backup),
                                  MessageIcon::Information);
}

void CMapEditor::recordChange(const CMapState& before)
{
    const CMapState after = CMapState::of(m_target.record());
    fillFromRecord();
    m_history.push(before, after);
}

std::optional<CMapCell> CMapEditor::showOperatingPoint(double rpm, double mapVolts)
{
    const auto previous = m_operating;
    m_operating = model().findCell(rpm, mapVolts);
    return previous;
}
