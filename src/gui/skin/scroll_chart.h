// A line chart that scrolls: each line keeps at most a set number of points, the newest at the
// right; older points fall out as new ones arrive.
#pragma once

#include <QColor>
#include <QWidget>

#include <QFont>
#include <QRectF>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CScrollChart : public QWidget {
    Q_OBJECT
  public:
    // Text shown beside a horizontal grid line for its value; an empty text shows nothing.
    using ValueLabel = std::function<std::wstring(double)>;

    explicit CScrollChart(QWidget* parent = nullptr);

    // Takes the place of a placeholder widget: same parent and geometry; the placeholder is hidden.
    void createOver(QWidget* placeholder);

    // Number of horizontal divisions of the value range (the second argument is kept for callers
    // of the original interface and has no effect).
    void SetHorzDiv(unsigned divisions, int reserved = 0);
    // Non-zero draws the grid.
    void SetGrid(int on);
    // At most this many points per line; extra points fall out from the oldest end.
    void SetMaxPoints(unsigned maxPoints);
    // How many of the newest points are spread across the width (0: as many as are kept). A span
    // wider than the point limit raises the limit, so that a full span can always be shown.
    void SetPointSpan(unsigned span);
    // Fixed value range; when upper is not above lower the range follows the data.
    void SetUpperValue(double upper);
    void SetLowerValue(double lower);

    // Adds a line. colorRef is a Windows colour value (0x00BBGGRR); width is the pen width in
    // pixels; visible zero hides the line. Answers false when the id is already used.
    bool AddLine(int id, ValueLabel label, unsigned colorRef, unsigned secondColorRef = 0, int width = 2,
                 int visible = 1, int reserved = 10);
    void setLineColor(int id, const QColor& color);
    // Appends a point to a line; x is the caller's point number and only orders the points.
    // Answers false for an unknown line.
    bool AddData(int id, double x, double y, int reserved = 0);
    bool AddData(int id, double y) { return AddData(id, 0.0, y, 0); }
    // Empties one line, or every line for id -1.
    void ClearData(int id = -1);
    // Asks for a repaint.
    void Redraw();

    // Shares of the width and height left free around the plot (left, top, right, bottom).
    void setMargins(double left, double top, double right, double bottom);
    void setBackgroundColors(const QColor& top, const QColor& bottom);
    void setGridColor(const QColor& color);

    unsigned maxPoints() const { return m_maxPoints; }
    unsigned pointSpan() const { return m_span; }
    // The number of points a line keeps: the point limit, widened by the span.
    unsigned capacity() const;
    size_t pointCount(int id) const;
    // Point i of a line, oldest first.
    double pointValue(int id, size_t i) const;
    int lineCount() const { return static_cast<int>(m_lines.size()); }

    // The plotting area inside the margins and the value labels, in pixels of the chart.
    QRectF plotRect() const;
    // Points spread across the plot's width.
    unsigned shownSpan() const { return m_span ? m_span : capacity(); }
    // The horizontal pixel of place i of the shown span, and the place nearest to pixel x
    // (clamped to the span).
    double pointX(double i) const;
    int pointAt(double x) const;

    QSize sizeHint() const override { return {400, 160}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Line {
        ValueLabel label;
        QColor color;
        int width = 2;
        bool visible = true;
        std::deque<double> points;
    };
    void trim(Line& line) const;
    void range(double& low, double& high) const;
    // The value labels beside the grid lines, their font and the width they take.
    struct Labels {
        std::vector<QString> texts;
        QFont font;
        int width = 0;
    };
    Labels labels(double low, double high) const;
    QRectF plotRect(int labelWidth) const;

    std::map<int, Line> m_lines;
    unsigned m_divisions = 4;
    bool m_grid = true;
    unsigned m_maxPoints = 1000;
    unsigned m_span = 0;
    double m_upper = 0.0;
    double m_lower = 0.0;
    double m_margins[4] = {0.01, 0.01, 0.01, 0.01};
    QColor m_backTop{56, 57, 57};
    QColor m_backBottom{40, 41, 41};
    QColor m_gridColor{109, 110, 110};
};
