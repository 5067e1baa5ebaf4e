// What the map grid shows of where the engine has been: the operating point's fading trail and
// the time spent in each cell since the shading was switched on (the time on hover). The live
// samples are taken on every tick of the window, whichever page is shown, so no time is lost
// while the mechanic looks at the settings.
#pragma once

#include "records/diag_data.h"
#include "records/map_dwell.h"
#include "records/map_trail.h"

#include <QObject>
#include <QString>

class CCellArray;
class QPainter;
class QRect;
class IEditedRecord;

// The shading of a cell by its share of the longest stay (0: none), and the hover text of a time
// in a cell; the replayed log's grid draws the same.
void paintDwellShade(QPainter& painter, const QRect& cell, double shade);
QString dwellTipText(double seconds, double total);

class CMapOverlay : public QObject {
    Q_OBJECT
  public:
    // Paints on grid through its cell overlay; the cells are found on record's axes.
    CMapOverlay(CCellArray& grid, IEditedRecord& edited);

    void setTrailShown(bool shown);
    bool trailShown() const { return m_trailShown; }
    // Switching the shading on starts its count from nothing.
    void setDwellShown(bool shown);
    bool dwellShown() const { return m_dwellShown; }
    void resetDwell();

    // Takes the samples that arrived since the last call.
    void countSamples(CDiagData& store);
    const CMapDwell& dwell() const { return m_dwell; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void paintCell(QPainter& painter, int column, int row, const QRect& rect) const;
    void repaintTrail(double now);

    CCellArray& m_grid;
    // The controller's record or the open file's: the operating point lands on the grid shown.
    IEditedRecord& m_edited;
    CMapDwell m_dwell;
    CMapTrail m_trail;
    bool m_trailShown = true;
    bool m_dwellShown = false;
    uint64_t m_next = 0;
    bool m_started = false;
    int m_ticks = 0;
    bool m_trailPainted[kMapRows][kMapColumns] = {};
};
