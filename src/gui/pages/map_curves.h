// The map as curves beside its grid: the advance against engine speed, one line per MAP row, on
// the RPM axis's real spacing (or against MAP, one line per RPM column). The selection's lines
// are drawn strong and the others faint, so a step or a wrong bend in the rows being tuned shows
// at once; the operating point sits on its interpolated place. It repaints when what it shows
// changed, whichever way the map was changed (an edit, undo, a file).
#pragma once

#include "operations/edited_record.h"
#include "records/map_model.h"

#include <QPixmap>
#include <QPointF>
#include <QWidget>

#include <array>
#include <optional>
#include <utility>

class CMapEditor;

class CMapCurves : public QWidget {
    Q_OBJECT
  public:
    CMapCurves(const CMapEditor& editor, IEditedRecord& edited, QWidget* parent = nullptr);

    // Against MAP: one line per RPM column instead of one per MAP row.
    void setAgainstMap(bool againstMap);
    bool againstMap() const { return m_againstMap; }
    // The engine's speed and MAP voltage, or none while no engine is reporting.
    void setOperatingPoint(std::optional<std::pair<double, double>> point);
    // Repaints when the map, its axes, the limits or the selection changed since the last look.
    void refresh();

    // Where a cell's value is drawn, and the operating point's marker (nothing before a sample).
    QPointF cellPoint(int column, int row) const;
    std::optional<QPointF> markerPoint() const;
    // Whether a cell's line is drawn strong (its row, or against MAP its column, is selected).
    bool strongLine(int column, int row) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Shown {
        std::array<double, kMapRows * kMapColumns> cells{};
        std::array<double, kMapColumns> rpm{};
        std::array<double, kMapRows> map{};
        std::array<bool, kMapRows + kMapColumns> strong{};
        double highest = 0;
        bool operator==(const Shown&) const = default;
    };
    Shown current() const;
    QRectF plotRect() const;
    double xOf(double axisValue) const;
    double yOf(double angle) const;
    void paintLines(QPainter& painter) const;
    void paintMarker(QPainter& painter) const;
    void paintScale(QPainter& painter, const QRectF& plot) const;

    const CMapEditor& m_editor;
    // The controller's record or the open file's, whichever the grid edits now.
    IEditedRecord& m_edited;
    Shown m_shown;
    // The lines and the scale of m_shown at the widget's size: a moving marker is drawn over it.
    QPixmap m_picture;
    bool m_pictureValid = false;
    bool m_againstMap = false;
    std::optional<std::pair<double, double>> m_point; // rpm, MAP volts
};
