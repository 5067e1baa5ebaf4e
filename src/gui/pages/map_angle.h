// The map grid on the map page: the cell grid over the map editor. It shows the advance map with
// its value colours and the operating point, takes the key table (Ctrl+arrows step the selected
// cells, Shift+arrows resize the selection, arrows move it), the mouse, the in-place edits, undo
// and redo, copy and paste, and offers the editing commands in a context menu. Its changes go to
// the controller through the link gateway in the background, so that a held key keeps stepping
// while a write is on the wire; a value the controller has not confirmed is drawn apart. While a
// settings file is open its changes go into the file's record instead, with no gateway.
#pragma once

#include "gui/skin/cell_array.h"
#include "operations/map_editor.h"

#include <QColor>

class CLPGDevice;
class QMenu;

class CMapAngle : public CCellArray {
    Q_OBJECT
  public:
    // The operating point's colour (Windows colour value 120: dark red).
    static constexpr unsigned kOperatingPointColor = 120;
    // A value the controller has not confirmed: a violet no angle colour uses.
    static constexpr QRgb kUnwrittenColor = 0xC8A0FF;
    // What a cell shows without a value read from a controller.
    static constexpr const wchar_t* kNoValue = L"-";

    // device is the controller the grid reads again after a failed write; target what it edits.
    CMapAngle(CLPGDevice& device, IEditedRecord& target, QWidget* parent = nullptr);

    CMapEditor& mapEditor() { return m_editor; }
    const CMapEditor& mapEditor() const { return m_editor; }

    // updateLimits, every cell and header from the record, and a repaint.
    void fillFromRecord();
    // Marks the running cell, repainting only the cell that lost the mark and the one that got it.
    void showOperatingPoint(double rpm, double mapVolts);
    void hideOperatingPoint();
    // The key table, undo and redo, copy and paste; true when the key was taken.
    bool handleKey(QKeyEvent* event) override;
    // The editing commands as the context menu offers them (texts looked up when built).
    QMenu* buildContextMenu(QWidget* parent);

    void incrementSelected(double delta);
    void interpolate(InterpolationDirection direction);
    void copySelection();
    void pasteClipboard();
    void undo();
    void redo();
    // Starts the write of the changes that wait, unless one is on the wire: its end starts the
    // next, which then carries every change made meanwhile.
    void flushWrites();
    // After a failed write, the controller's map read again if the link allows; true when read.
    bool rereadIfDue();
    // A write of the grid is due or on the wire.
    bool writing() const { return !m_editor.settled(); }
    // Selects a rectangle as the mouse would: from `from` (the anchor) to `to`.
    void selectRect(CMapCell from, CMapCell to);

  protected:
    QString cellText(CCellPos cell) const override;
    QColor cellBackground(CCellPos cell) const override;
    bool cellSelected(CCellPos cell) const override;
    bool cellCurrent(CCellPos cell) const override;
    CCellPos editTarget() const override;
    void cellPressed(CCellPos cell, Qt::KeyboardModifiers modifiers) override;
    void cellDragged(CCellPos cell) override;
    void editFinished(CCellPos cell, const QString& text) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

  private:
    bool stepKeys(int key, Qt::KeyboardModifiers modifiers);
    // Repaints after a change; a change that was made goes to the controller.
    void changed(bool made);
    void writeEnded(const CMapWrite& write, int outcome);
    bool unwritten(CCellPos cell) const;

    CLPGDevice& m_device;
    CMapEditor m_editor;
};
