#include "gui/pages/map_angle.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"
#include "operations/map_operations.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QToolTip>

namespace {

CMapCell toMapCell(CCellPos cell)
{
    return {cell.column, cell.row};
}

std::optional<GridArrow> arrowOf(int key)
{
    switch (key) {
    case Qt::Key_Left:
        return GridArrow::Left;
    case Qt::Key_Right:
        return GridArrow::Right;
    case Qt::Key_Up:
        return GridArrow::Up;
    case Qt::Key_Down:
        return GridArrow::Down;
    default:
        return std::nullopt;
    }
}

} // namespace

CMapAngle::CMapAngle(CLPGDevice& device, IEditedRecord& target, QWidget* parent)
    : CCellArray(parent), m_device(device), m_editor(target)
{
    setCurrentColor(theme::fromColorRef(kOperatingPointColor));
}

void CMapAngle::fillFromRecord()
{
    // A change still on its way would be lost: its write's end shows the outcome.
    if (!m_editor.settled())
        return;
    m_editor.fillFromRecord();
    update();
}

void CMapAngle::changed(bool made)
{
    update();
    if (made)
        flushWrites();
}

void CMapAngle::flushWrites()
{
    CLinkGateway* gateway = CLinkGateway::instance();
    if (!gateway || !m_editor.writeDue())
        return;
    if (gateway->busy()) {
        // Another exchange of the window: the write follows once it has ended.
        connect(gateway, &CLinkGateway::busyChanged, this, &CMapAngle::flushWrites, Qt::UniqueConnection);
        return;
    }
    disconnect(gateway, &CLinkGateway::busyChanged, this, &CMapAngle::flushWrites);
    const CMapWrite write = m_editor.beginWrite();
    gateway->runInBackground(
        write.handler,
        [write](CLPGDevice& device) {
            CControllerRecord controller(device);
            return CMapEditor::send(controller, write);
        },
        this, [this, write](CLinkGateway::Outcome outcome) { writeEnded(write, static_cast<int>(outcome)); });
}

void CMapAngle::writeEnded(const CMapWrite& write, int outcome)
{
    const auto result = static_cast<CLinkGateway::Outcome>(outcome);
    m_editor.writeEnded(result == CLinkGateway::Outcome::Done);
    if (result == CLinkGateway::Outcome::Failed)
        userInteraction().showMessage(translateText(CMapEditor::refusedText(write)), MessageIcon::Error);
    update();
    if (!rereadIfDue())
        flushWrites();
}

bool CMapAngle::rereadIfDue()
{
    CLinkGateway* gateway = CLinkGateway::instance();
    if (!m_editor.rereadDue() || !gateway || gateway->busy() || !m_device.isConnected())
        return false;
    const auto read = gateway->run(nullptr, &readControllerMap);
    if (read != CLinkGateway::Outcome::Done)
        return false;
    m_editor.fillFromRecord();
    update();
    return true;
}

void CMapAngle::showOperatingPoint(double rpm, double mapVolts)
{
    const auto previous = m_editor.showOperatingPoint(rpm, mapVolts);
    const CMapCell now = *m_editor.operatingPoint();
    if (previous && *previous == now)
        return;
    if (previous)
        updateCell({previous->column, previous->row});
    updateCell({now.column, now.row});
}

void CMapAngle::hideOperatingPoint()
{
    if (const auto previous = m_editor.hideOperatingPoint())
        updateCell({previous->column, previous->row});
}

// ---- What the cells show ---------------------------------------------------------------------

bool CMapAngle::unwritten(CCellPos cell) const
{
    if (cell.isData())
        return m_editor.unwrittenCell(cell.column, cell.row);
    if (cell.isCorner())
        return false;
    return cell.column < 0 ? m_editor.unwrittenRow(cell.row) : m_editor.unwrittenColumn(cell.column);
}

QString CMapAngle::cellText(CCellPos cell) const
{
    if (cell.isCorner())
        return {};
    if (m_editor.blank())
        return toQString(kNoValue);
    if (cell.column < 0)
        return toQString(m_editor.rowHeaderText(cell.row));
    if (cell.row < 0)
        return toQString(m_editor.columnHeaderText(cell.column));
    return toQString(m_editor.cellText(cell.column, cell.row));
}

QColor CMapAngle::cellBackground(CCellPos cell) const
{
    if (!m_editor.blank() && unwritten(cell))
        return QColor(kUnwrittenColor);
    if (!cell.isData() || m_editor.blank()) {
        // The headers of the selected lines stand out, as in a spreadsheet.
        const auto rect = m_editor.selection().scan();
        const bool marked = rect && ((cell.column < 0 && cell.row >= rect->r0 && cell.row <= rect->r1) ||
                                     (cell.row < 0 && cell.column >= rect->c0 && cell.column <= rect->c1));
        return marked ? colors().headerBackground.darker(118) : colors().headerBackground;
    }
    return theme::fromColorRef(m_editor.cellColor(cell.column, cell.row));
}

bool CMapAngle::cellSelected(CCellPos cell) const
{
    return m_editor.selection().selected(cell.column, cell.row);
}

bool CMapAngle::cellCurrent(CCellPos cell) const
{
    const auto point = m_editor.operatingPoint();
    return point && point->column == cell.column && point->row == cell.row;
}

CCellPos CMapAngle::editTarget() const
{
    const CMapCell anchor = m_editor.selection().anchor();
    if (m_editor.selection().selected(anchor.column, anchor.row))
        return {anchor.column, anchor.row};
    if (const auto rect = m_editor.selection().scan())
        return {rect->c0, rect->r0};
    return {};
}

// ---- Mouse -----------------------------------------------------------------------------------

void CMapAngle::cellPressed(CCellPos cell, Qt::KeyboardModifiers modifiers)
{
    if (!cell.isData())
        return;
    CMapSelection& selection = m_editor.selection();
    const CMapCell anchor = selection.anchor();
    if ((modifiers & Qt::ShiftModifier) && anchor.column >= 0)
        selection.selectRect(anchor, toMapCell(cell));
    else
        selection.selectCell(toMapCell(cell));
    update();
}

void CMapAngle::cellDragged(CCellPos cell)
{
    const CMapCell anchor = m_editor.selection().anchor();
    if (anchor.column < 0)
        return;
    const auto before = m_editor.selection().scan();
    m_editor.selection().selectRect(anchor, toMapCell(cell));
    if (m_editor.selection().scan() != before)
        update();
}

void CMapAngle::selectRect(CMapCell from, CMapCell to)
{
    m_editor.selection().selectCell(from);
    m_editor.selection().selectRect(from, to);
    update();
}

void CMapAngle::editFinished(CCellPos cell, const QString& text)
{
    m_editor.getText(toMapCell(cell), toWString(text));
    changed(!m_editor.settled());
}

// ---- Keys ------------------------------------------------------------------------------------

bool CMapAngle::stepKeys(int key, Qt::KeyboardModifiers modifiers)
{
    const auto arrow = arrowOf(key);
    if (!arrow)
        return false;
    clearHeaderFocus();
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool vertical = *arrow == GridArrow::Up || *arrow == GridArrow::Down;
    CMapSelection& selection = m_editor.selection();
    if (ctrl && vertical) {
        // The step in force when the key is pressed.
        const double step = m_editor.limits().step;
        incrementSelected(*arrow == GridArrow::Up ? step : -step);
    } else if (shift) {
        if (selection.resize(*arrow))
            update();
    } else if (selection.move(*arrow)) {
        update();
    }
    return true;
}

bool CMapAngle::handleKey(QKeyEvent* event)
{
    if (stepKeys(event->key(), event->modifiers()))
        return true;
    if (event->matches(QKeySequence::Undo)) {
        undo();
        return true;
    }
    if (event->matches(QKeySequence::Redo) ||
        (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier)) {
        redo();
        return true;
    }
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return true;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteClipboard();
        return true;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectRect({0, 0}, {kMapColumns - 1, kMapRows - 1});
        return true;
    }
    return CCellArray::handleKey(event);
}

// ---- Commands --------------------------------------------------------------------------------

void CMapAngle::incrementSelected(double delta)
{
    changed(m_editor.incrementSelected(delta));
}

void CMapAngle::interpolate(InterpolationDirection direction)
{
    changed(m_editor.interpolate(direction));
}

void CMapAngle::copySelection()
{
    const std::wstring text = m_editor.copySelection();
    if (!text.empty())
        QApplication::clipboard()->setText(toQString(text));
}

void CMapAngle::pasteClipboard()
{
    changed(m_editor.paste(toWString(QApplication::clipboard()->text())));
}

void CMapAngle::undo()
{
    changed(m_editor.undo());
}

void CMapAngle::redo()
{
    changed(m_editor.redo());
}

QMenu* CMapAngle::buildContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    const bool selected = m_editor.selection().any();
    auto add = [&](const wchar_t* key, const QKeySequence& keys, bool enabled, auto slot) {
        QAction* action = menu->addAction(toQString(translateText(key)), this, slot);
        action->setShortcut(keys);
        action->setEnabled(enabled && isEnabled());
        return action;
    };
    const double step = m_editor.limits().step;
    add(TR_KEY(L"Cofnij"), QKeySequence::Undo, m_editor.canUndo(), [this] { undo(); });
    add(TR_KEY(L"Ponów"), QKeySequence(Qt::CTRL | Qt::Key_Y), m_editor.canRedo(), [this] { redo(); });
    menu->addSeparator();
    add(TR_KEY(L"Zwiększ o krok"), QKeySequence(Qt::CTRL | Qt::Key_Up), selected,
        [this, step] { incrementSelected(step); });
    add(TR_KEY(L"Zmniejsz o krok"), QKeySequence(Qt::CTRL | Qt::Key_Down), selected,
        [this, step] { incrementSelected(-step); });
    add(TR_KEY(L"Ustaw wartość..."), QKeySequence(Qt::Key_F2), selected,
        [this] { beginEdit(editTarget(), cellText(editTarget()), true); });
    menu->addSeparator();
    add(TR_KEY(L"Interpoluj w wierszach (wzdłuż RPM)"), {}, selected,
        [this] { interpolate(InterpolationDirection::Rows); });
    add(TR_KEY(L"Interpoluj w kolumnach (wzdłuż MAP)"), {}, selected,
        [this] { interpolate(InterpolationDirection::Columns); });
    add(TR_KEY(L"Interpoluj w obu kierunkach"), {}, selected,
        [this] { interpolate(InterpolationDirection::Both); });
    menu->addSeparator();
    add(TR_KEY(L"Kopiuj"), QKeySequence::Copy, selected, [this] { copySelection(); });
    add(TR_KEY(L"Wklej"), QKeySequence::Paste, selected, [this] { pasteClipboard(); });
    add(TR_KEY(L"Zaznacz wszystko"), QKeySequence::SelectAll, true,
        [this] { selectRect({0, 0}, {kMapColumns - 1, kMapRows - 1}); });
    return menu;
}

bool CMapAngle::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        CCellPos cell;
        if (!m_editor.blank() && cellAt(help->pos(), cell) && unwritten(cell))
            QToolTip::showText(help->globalPos(), toQString(translateText(L"Nie wpisano do sterownika")), this);
        else
            QToolTip::hideText();
        return true;
    }
    return CCellArray::event(event);
}

void CMapAngle::contextMenuEvent(QContextMenuEvent* event)
{
    // A right click outside the selection selects the cell under it first, as spreadsheets do.
    CCellPos cell;
    if (cellAt(event->pos(), cell) && cell.isData() && !cellSelected(cell))
        cellPressed(cell, Qt::NoModifier);
    QMenu* menu = buildContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
