// The time chart: which points its 30 s window keeps and drops, and the pause, seen on its image.
#include "gui/skin/time_chart.h"

#include "gui/support/qt_app_environment.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);
const QColor kOrange(255, 176, 59);

// How many pixels of the chart's image are close to a colour.
int pixelsNear(CTimeChart& chart, const QColor& color)
{
    QImage image(chart.size(), QImage::Format_ARGB32);
    chart.render(&image);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                     std::abs(c.blue() - color.blue()) < 40;
        }
    return n;
}

struct CChart : CTimeChart {
    CChart()
    {
        resize(300, 300);
        setWindowSeconds(30);
        addSeries({L"Obroty", kOrange, 0, 7000, 0, L"RPM"});
        addSeries({L"MAP", QColor(96, 196, 255), 0, 5, 2, L"V"});
    }
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
        {140.5, 4, 110.0}, // 110 also lies before the edge: 100 is no longer needed
        {200.0, 2, 140.5}, // after a long gap one point stays before the edge
    };
    for (const auto& s : steps) {
        c.addPoint(s.t, {1000 + s.t, s.t / 100});
        EXPECT_EQ(c.pointCount(), s.count) << s.t;
        EXPECT_EQ(c.oldestTime(), s.oldest) << s.t;
    }
    EXPECT_EQ(c.currentValue(0), 1200.0);
    EXPECT_EQ(c.currentValue(1), 2.0);
    // Points with the same time never pile up beyond the cap.
    for (size_t k = 0; k < CTimeChart::kMaxPoints + 10; ++k)
        c.addPoint(300.0, {1000, 1});
    EXPECT_EQ(c.pointCount(), CTimeChart::kMaxPoints);
}

TEST(TimeChart, PausedItTurnsGreyAndShowsItsNote)
{
    CChart c;
    for (int k = 0; k < 100; ++k)
        c.addPoint(k * 0.1, {k % 2 ? 6000.0 : 500.0, 2.5});
    EXPECT_GT(pixelsNear(c, kOrange), 50);
    c.setPaused(true, L"BRAK POŁĄCZENIA\nOstatni odczyt: 12:00:00");
    EXPECT_EQ(pixelsNear(c, kOrange), 0) << "no colour left while paused";
    EXPECT_GT(pixelsNear(c, QColor(235, 236, 238)), 200) << "the note's plate";
    EXPECT_EQ(c.pointCount(), 100u) << "the picture stays";
    c.setPaused(false, L"ignored");
    EXPECT_EQ(c.note(), L"");
    EXPECT_GT(pixelsNear(c, kOrange), 50);
}
