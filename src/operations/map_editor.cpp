#include "operations/map_editor.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "operations/map_operations.h"
#include "platform/ierror.h"

#include <algorithm>

namespace {

const wchar_t* const kMapWriteFailed = TR_KEY(L"Nie powiodło się wpisanie ustawień do urządzenia!");
const wchar_t* const kAxesWriteFailed = TR_KEY(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
const wchar_t* const kIncrementHandler = L"CMapAngle::incrementSelected()";
const wchar_t* const kEditHandler = L"CMapEdit::getText()";

void showError(const wchar_t* key)
{
    userInteraction().showMessage(translateText(key), MessageIcon::Error);
}

} // namespace

CMapEditor::CMapEditor(IEditedRecord& target) : m_target(target)
{
    fillFromRecord();
}

std::wstring CMapEditor::cellText(int column, int row) const
{
    return formatDecimal(m_cells[row][column], 1);
}

uint32_t CMapEditor::cellColor(int column, int row) const
{
    return cellColorRef(m_cells[row][column]);
}

std::wstring CMapEditor::columnHeaderText(int column) const
{
    return formatDecimal(m_target.record().rpmAxis[column], 0);
}

std::wstring CMapEditor::rowHeaderText(int row) const
{
    return formatDecimal(m_target.record().mapAxis[row], 2);
}

void CMapEditor::recordSwitched()
{
    m_history.clear();
    fillFromRecord();
}

void CMapEditor::fillFromRecord()
{
    m_limits = model().limits();
    const CSettingsRecord& record = m_target.record();
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapColumns; ++c)
            setCellValue(c, r, record.advanceMap[r][c]);
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

void CMapEditor::copyCellsToRecord()
{
    const CAngleLimits& l = m_limits;
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapColumns; ++c)
            m_target.record().advanceMap[r][c] = std::clamp(m_cells[r][c], l.lowest, l.highest);
}

bool CMapEditor::send(const wchar_t* handler, const wchar_t* refused, const std::function<bool()>& write)
{
    try {
        if (write())
            return true;
        showError(refused);
        return false;
    } catch (IError* error) {
        showLinkError(handler, error);
        return false;
    }
}

bool CMapEditor::sendMap(const wchar_t* handler)
{
    return send(handler, kMapWriteFailed, [this] { return m_target.SetMap() && m_target.SaveMap(); });
}

bool CMapEditor::sendAxes(const wchar_t* handler)
{
    return send(handler, kAxesWriteFailed, [this] { return m_target.SetMapAxes(); });
}

bool CMapEditor::changeCells(const wchar_t* handler, const std::function<void(AdvanceMap&)>& change)
{
    if (!connectedOrSay())
        return false;
    CWaitCursor wait;
    const CMapState before = CMapState::of(m_target.record());
    change(m_cells);
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapColumns; ++c)
            setCellValue(c, r, m_cells[r][c]);
    copyCellsToRecord();
    // The record keeps the change even when the controller refuses it, so undo must know it too.
    m_known = CMapState::of(m_target.record());
    m_history.push(before, m_known);
    return sendMap(handler);
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
    CSettingsRecord& record = m_target.record();
    const bool rowHeader = cell.column < 0;
    const auto point = rowHeader ? mapBreakpoint(record.mapAxis, cell.row, typed)
                                 : rpmBreakpoint(record.rpmAxis, cell.column, typed);
    if (!point)
        return headerText(cell);
    double& stored = rowHeader ? record.mapAxis[cell.row] : record.rpmAxis[cell.column];
    // The controller keeps MAP breakpoints in 5 mV counts: a change it cannot hold is no change.
    const bool same = rowHeader ? mapPointToWire(*point) == mapPointToWire(stored) : *point == stored;
    if (same || !connectedOrSay())
        return headerText(cell);
    const CMapState before = CMapState::of(record);
    stored = *point;
    m_known = CMapState::of(record);
    m_history.push(before, m_known);
    sendAxes(kEditHandler);
    fillFromRecord();
    return headerText(cell);
}

bool CMapEditor::interpolate(InterpolationDirection direction)
{
    const auto rect = m_selection.scan();
    if (!rect || (rect->columns() < 2 && rect->rows() < 2))
        return false;
    const CSettingsRecord& record = m_target.record();
    return changeCells(L"CMapAngle::interpolateSelected()", [&](AdvanceMap& cells) {
        double filled[kMapRows][kMapColumns];
        std::copy(&cells[0][0], &cells[0][0] + kMapRows * kMapColumns, &filled[0][0]);
        interpolateMap(filled, *rect, direction, record.rpmAxis, record.mapAxis);
        for (int c = rect->c0; c <= rect->c1; ++c)
            for (int r = rect->r0; r <= rect->r1; ++r)
                if (m_selection.selected(c, r))
                    cells[r][c] = snapAngle(m_limits, filled[r][c]);
    });
}

std::wstring CMapEditor::copySelection() const
{
    const auto rect = m_selection.scan();
    return rect ? formatTsv(m_cells, *rect) : std::wstring();
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

bool CMapEditor::restore(const CMapState& target, const CMapState& from, const wchar_t* handler)
{
    target.applyTo(m_target.record());
    m_known = target;
    fillFromRecord();
    bool ok = true;
    if (!target.sameMap(from))
        ok = sendMap(handler);
    if (ok && !target.sameAxes(from))
        ok = sendAxes(handler);
    return ok;
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
    CWaitCursor wait;
    const auto change = back ? m_history.undo() : m_history.redo();
    return back ? restore(change->before, change->after, L"CMapAngle::undo()")
                : restore(change->after, change->before, L"CMapAngle::redo()");
}

bool CMapEditor::clearMap()
{
    if (!connectedOrSay())
        return false;
    const CMapState before = CMapState::of(m_target.record());
    if (!clearMapStep(m_target))
        return false;
    recordChange(before);
    fillFromRecord();
    return true;
}

void CMapEditor::recordChange(const CMapState& before)
{
    m_known = CMapState::of(m_target.record());
    m_history.push(before, m_known);
}

std::optional<CMapCell> CMapEditor::showOperatingPoint(double rpm, double mapVolts)
{
    const auto previous = m_operating;
    m_operating = model().findCell(rpm, mapVolts);
    return previous;
}
