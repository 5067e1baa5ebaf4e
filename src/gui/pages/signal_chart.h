// The signal page's chart: the scrolling chart with what a tooth logger adds to it. It marks the
// gaps, shows the tooth under the pointer with its readout, and turns the mouse into requests
// (zoom around a place, drag what is at one place along, go back to the first view) that the page, which
// owns the drawing, carries out.
#pragma once

#include "gui/skin/scroll_chart.h"

#include <QString>

#include <utility>
#include <vector>

class CSignalChart : public CScrollChart {
    Q_OBJECT
  public:
    explicit CSignalChart(QWidget* parent = nullptr);

    // Places of the shown span (first, last) drawn as gaps.
    void setGapSpans(std::vector<std::pair<int, int>> spans);
    const std::vector<std::pair<int, int>>& gapSpans() const { return m_gaps; }
    // The place under the pointer (-1: none) and the lines of its readout.
    void setReadout(int point, std::vector<QString> lines);
    int readoutPoint() const { return m_readoutPoint; }
    const std::vector<QString>& readoutLines() const { return m_readout; }

  signals:
    // Wheel notches at a place: positive zooms in.
    void zoomRequested(int point, int notches);
    // The left button went down on a place, and the pointer, held down, moved to another.
    void dragStarted(int point);
    void dragMoved(int point);
    void resetRequested();
    // The pointer is over a place; -1 when it left the chart.
    void pointerMoved(int point);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void paintGaps(QPainter& painter, const QRectF& plot) const;
    void paintReadout(QPainter& painter, const QRectF& plot) const;

    std::vector<std::pair<int, int>> m_gaps;
    int m_readoutPoint = -1;
    std::vector<QString> m_readout;
    bool m_dragging = false;
    int m_wheelRest = 0; // eighths of a degree not yet a whole notch (touchpads send small steps)
};
