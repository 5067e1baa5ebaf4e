// The map page (second tab): the map grid with the buttons "Definicja" (the axis definition),
// "Kasuj" (clear the map) and "Zapisz jako domyślną" (the default settings file). Usable only
// while the controller reports normal operation; marks the operating point on every tick.
#pragma once

#include "base/language.h"
#include "gui/skin/multi_page_dialog.h"
#include "records/map_history.h"

class CDoravineDoc;
class CDefinicjaDlg;
class CGDIpGradientButton;
class CMapAngle;
class CMapCurves;
class CMapOverlay;
class CTransparentStatic;
class QCheckBox;

class CMapAngleDlg : public CGDIpMultiPageDialog, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 310;
    static constexpr int kIdDefinition = 1000;
    static constexpr int kIdClear = 1001;
    static constexpr int kIdGrid = 1002;
    static constexpr int kIdSaveDefault = 1041;

    explicit CMapAngleDlg(CDoravineDoc& doc, QWidget* parent = nullptr);

    void v_init() override;
    // Refills the grid; the page is enabled only when workState is 173.
    void v_activate() override;
    // Marks the operating point from the newest live sample.
    void onTimer() override;
    void onLanguageChange() override;

    // "Definicja": the dialog, then the grid refilled whatever its result.
    void onDefinition();
    // "Kasuj".
    void onClear();
    // "Zapisz jako domyślną".
    void onSaveDefault();

    CMapAngle* grid() const { return m_grid; }
    CGDIpGradientButton* definitionButton() const { return m_definition; }
    CGDIpGradientButton* clearButton() const { return m_clear; }
    CGDIpGradientButton* saveDefaultButton() const { return m_saveDefault; }
    CTransparentStatic* limitsLabel() const { return m_limits; }
    // The part of the button column left free between "Kasuj" and the save button.
    QRect freeColumn() const;
    CMapCurves* curves() const { return m_curves; }
    CMapOverlay* overlay() const { return m_overlay; }
    QCheckBox* againstMapBox() const { return m_againstMap; }
    QCheckBox* trailBox() const { return m_trailBox; }
    QCheckBox* dwellBox() const { return m_dwellBox; }
    CGDIpGradientButton* resetDwellButton() const { return m_resetDwell; }
    // On every tick of the window, whichever page is shown: the trail and the dwell shading
    // count every live sample.
    void countSamples();

  protected:
    // Keys reaching the page, or any of its buttons, go to the grid's key table first.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showLimits();
    // Usable only with a controller's values in normal operation; greyed otherwise.
    void showUsable();
    // After the definition or the clear: written, the change is kept for undo and shown; not,
    // it is marked as not written and the controller's map is read again.
    void afterWrite(const CMapState& before, bool written);
    // The curves, the trail and the shading in the right column below "Kasuj".
    void createViews();
    void placeViews();
    void nameViews();

    CDoravineDoc& m_doc;
    CMapAngle* m_grid;
    CGDIpGradientButton* m_definition;
    CGDIpGradientButton* m_clear;
    CGDIpGradientButton* m_saveDefault;
    CTransparentStatic* m_limits;
    CMapCurves* m_curves = nullptr;
    CMapOverlay* m_overlay = nullptr;
    QCheckBox* m_againstMap = nullptr;
    QCheckBox* m_trailBox = nullptr;
    QCheckBox* m_dwellBox = nullptr;
    CGDIpGradientButton* m_resetDwell = nullptr;
};
