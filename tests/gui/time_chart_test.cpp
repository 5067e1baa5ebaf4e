// The time chart: which points its 30 s window keeps and drops, the pause, and that it paints
// its lanes and note where a person can see them.
#include "gui/skin/time_chart.h"

#include "gui/support/qt_app_environment.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

struct CChart {
    CChart()
    {
        chart.resize(300, 300);
        chart.setWindowSeconds(30);
        rpm = chart.addSeries({L"Obroty", QColor(255, 176, 59), 0, 7000, 0, L"RPM"});
        map = chart.addSeries({L"MAP", QColor(96, 196, 255), 0, 5, 2, L"V"});
    }
    QImage image()
    {
        QImage shot(chart.size(), QImage::Format_ARGB32);
        chart.render(&shot);
        return shot;
    }
    // How many pixels of the image are close to a colour.
    static int pixelsNear(const QImage& image, const QColor& color)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                         std::abs(c.blue() - color.blue()) < 40;
            }
        return n;
    }
    CTimeChart chart;
    int rpm = 0;
    int map = 0;
};

} // namespace

TEST(TimeChart, KeepsThirtySecondsAndOnePointBeforeTheLeftEdge)
{
    CChart c;
    const struct {
        double t;
        size_t count;
        double oldest;
    } steps[] = {
        {100.0, 1, 100.0}, {110.0, 2, 100.0}, {130.0, 3, 100.0}, // 100 is exactly 30 s old: kept
        {130.5, 4, 100.0}, // 100 now lies before the left edge and carries the line to it
        {139.0, 5, 100.0},
        {140.5, 5, 110.0},  // 110 also lies before the edge: 100 is no longer needed
        {161.0, 4, 130.5},  // edge 131: 110 and 130 go, 130.5 leads in
        {200.0, 2, 161.0},  // after a long gap one point stays before the edge
    };
    for (const auto& s : steps) {
        c.chart.addPoint(s.t, {1000 + s.t, s.t / 100});
        EXPECT_EQ(c.chart.pointCount(), s.count) << s.t;
        EXPECT_EQ(c.chart.oldestTime(), s.oldest) << s.t;
        EXPECT_EQ(c.chart.newestTime(), s.t);
    }
    EXPECT_EQ(c.chart.currentValue(c.rpm), 1200.0);
    EXPECT_EQ(c.chart.currentValue(c.map), 2.0);
    EXPECT_EQ(c.chart.currentValue(7), 0.0);

    // Twenty samples a second for a minute: 30 s and the point before the edge.
    c.chart.clear();
    for (int k = 0; k <= 1200; ++k)
        c.chart.addPoint(k * 0.05, {1000, 1});
    EXPECT_EQ(c.chart.pointCount(), 601u);
    EXPECT_NEAR(c.chart.oldestTime(), 30.0, 1e-9);
    // Points with the same time never pile up beyond the cap.
    for (size_t k = 0; k < CTimeChart::kMaxPoints + 10; ++k)
        c.chart.addPoint(60.0, {1000, 1});
    EXPECT_EQ(c.chart.pointCount(), CTimeChart::kMaxPoints);
}

TEST(TimeChart, PausedItTurnsGreyAndShowsItsNote)
{
    CChart c;
    for (int k = 0; k < 100; ++k)
        c.chart.addPoint(k * 0.1, {k % 2 ? 6000.0 : 500.0, 2.5});
    const QColor orange(255, 176, 59);
    EXPECT_GT(CChart::pixelsNear(c.image(), orange), 50);

    c.chart.setPaused(true, L"BRAK POŁĄCZENIA\nOstatni odczyt: 12:00:00");
    EXPECT_TRUE(c.chart.paused());
    const QImage paused = c.image();
    EXPECT_EQ(CChart::pixelsNear(paused, orange), 0) << "no colour left while paused";
    EXPECT_GT(CChart::pixelsNear(paused, QColor(235, 236, 238)), 200) << "the note's plate";
    EXPECT_EQ(c.chart.pointCount(), 100u) << "the picture stays";

    c.chart.setPaused(false, L"ignored");
    EXPECT_EQ(c.chart.note(), L"");
    EXPECT_GT(CChart::pixelsNear(c.image(), orange), 50);
}
