// A readings log drawn over its length: one lane per reading over a shared time axis, in the
// readings chart's look, with a cursor that the mouse moves and the values at the cursor in the
// lanes' headers; the mouse wheel zooms around the pointer. The lanes are drawn once into a
// picture for each span and size, so moving the cursor repaints only the cursor and the values.
#pragma once

#include "records/readings_series.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>

#include <string>
#include <vector>

class QPainter;

class CLogChart : public QWidget {
    Q_OBJECT
  public:
    struct Lane {
        LogLane lane;
        std::wstring label; // already translated
        QColor color;
        double low = 0; // the lane's scale
        double high = 1;
        int decimals = 0;
        std::wstring unit;
    };
    // The narrowest span the wheel zooms to, in seconds.
    static constexpr double kNarrowestSpan = 2.0;

    explicit CLogChart(QWidget* parent = nullptr);

    // The series must outlive the chart (or be replaced first); shows it whole.
    void setSeries(const CReadingsSeries* series, std::vector<Lane> lanes);
    void setLaneLabel(int index, const std::wstring& label);

    // The span shown, kept inside the log and no narrower than kNarrowestSpan.
    void setSpan(double from, double to);
    void showWhole();
    double spanFrom() const { return m_from; }
    double spanTo() const { return m_to; }
    // Zooms by factor (below 1: closer) keeping time t where it is on screen.
    void zoomAt(double t, double factor);

    void setCursorTime(double t);
    double cursorTime() const { return m_cursor; }
    // The time under an x position of the widget, and the x of a time.
    double timeAt(double x) const;
    double xOf(double t) const;

  signals:
    void cursorMoved(double t);
    void spanChanged(double from, double to);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    struct Layout {
        QRectF plots; // the lanes' plots together: left and right edge of the time axis
        std::vector<QRectF> lanes, headers, plotsOfLanes;
    };
    Layout layout() const;
    void drawLanes(QPainter& painter, const Layout& l) const;
    void drawLane(QPainter& painter, size_t index, const QRectF& plot) const;
    void drawTimeAxis(QPainter& painter, const Layout& l) const;
    void drawCursor(QPainter& painter, const Layout& l) const;
    QFont smallFont() const;

    const CReadingsSeries* m_series = nullptr;
    std::vector<Lane> m_lanes;
    double m_from = 0;
    double m_to = 1;
    double m_cursor = 0;
    QPixmap m_picture; // the lanes of the current span and size
    bool m_pictureValid = false;
};
