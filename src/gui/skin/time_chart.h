// A chart of a few values over the last seconds: one lane per value, stacked over a shared time
// axis, each with its own colour, scale and current value. New points enter at the right; points
// older than the window fall out. Paused, the chart turns grey and shows a note (why, and since
// when) over the frozen picture.
#pragma once

#include "gui/skin/text_fit.h"

#include <QColor>
#include <QWidget>

#include <deque>
#include <string>
#include <utility>
#include <vector>

class QPainter;

class CTimeChart : public QWidget, public ITextBoxes, public IRoleFonts {
    Q_OBJECT
  public:
    struct Series {
        std::wstring label; // already translated
        QColor color;
        double low = 0;  // the lane's scale
        double high = 1;
        int decimals = 0; // of the current value and the scale
        std::wstring unit;
    };
    // More points than this are never kept, whatever their times.
    static constexpr size_t kMaxPoints = 4096;
    // Points further apart than this are not joined: the line breaks where samples were missing.
    static constexpr double kGapSeconds = 1.0;

    explicit CTimeChart(QWidget* parent = nullptr);

    // Answers the new series' index.
    int addSeries(Series series);
    void setSeriesLabel(int index, const std::wstring& label);
    int seriesCount() const { return static_cast<int>(m_series.size()); }
    void setWindowSeconds(double seconds);
    double windowSeconds() const { return m_window; }

    // One point of every series at time t (seconds on any steady clock, rising). Points that
    // fall out of the window are dropped, all but the newest one before its left edge, which
    // carries the line to the edge.
    void addPoint(double t, const std::vector<double>& values);
    void clear();

    // Paused: grey, frozen, with the note (one or more lines) over it.
    void setPaused(bool paused, const std::wstring& note = std::wstring());
    bool paused() const { return m_paused; }
    const std::wstring& note() const { return m_note; }

    size_t pointCount() const { return m_times.size(); }
    double oldestTime() const { return m_times.empty() ? 0.0 : m_times.front(); }
    double newestTime() const { return m_times.empty() ? 0.0 : m_times.back(); }
    // The newest value of a series (0 when there is none).
    double currentValue(int series) const;

    QSize sizeHint() const override { return {300, 240}; }

    // The page's small font for the labels and scales (no larger than the chart's height allows).
    void setRoleFonts(const CRoleFonts& fonts) override;
    // Each lane's label, in the room its current value leaves.
    std::vector<CTextBox> textBoxes() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QFont smallFont() const;
    // Each lane and its plot, top to bottom, under the header of the lane.
    std::vector<std::pair<QRectF, QRectF>> lanes() const;
    void paintLane(QPainter& painter, int index, const QRectF& plot) const;
    void paintLine(QPainter& painter, int index, const QRectF& plot, const QColor& color) const;
    void paintTimeAxis(QPainter& painter, const QRectF& plot, double bottom) const;
    QColor shown(const QColor& color) const;

    std::vector<Series> m_series;
    std::deque<double> m_times;
    std::vector<std::deque<double>> m_values; // one per series, parallel to m_times
    double m_window = 30.0;
    bool m_paused = false;
    std::wstring m_note;
    QFont m_small;
};
