// What the small skinned controls show and propose: the described display's value after its
// ratio, the spin arrows' steps, and the scrolling chart's drawing. Their set-up by the pages is
// what the pages' own tests and the screenshots in docs/ show.
#include "gui/support/qt_app_environment.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/scroll_chart.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Plain);

// Pixels of the given colour (within a small tolerance) in an image.
int countColor(const QImage& image, const QColor& color, int tolerance = 40)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                    std::abs(c.blue() - color.blue()) <=
                tolerance)
                ++n;
        }
    }
    return n;
}

} // namespace

TEST(DescribedDisplay, ValueIsDrawnInTheRightPartAfterTheRatio)
{
    app();
    CGDIpDescribedDisplay d;
    d.setRatio(0.65);
    d.resize(400, 40);
    d.setLabelText(L"");
    d.setValueText(L"8888 RPM");
    const QImage image = d.grab().toImage();
    int leftMost = image.width();
    // Inside the rounded border only: the corners show whatever lies behind the box.
    for (int y = 8; y < image.height() - 8; ++y)
        for (int x = 8; x < image.width() - 8; ++x)
            if (image.pixelColor(x, y).lightness() > 200)
                leftMost = std::min(leftMost, x);
    EXPECT_GT(leftMost, static_cast<int>(400 * 0.65)) << "value text starts after the label part";
}

TEST(SpinButton, UpProposesMinusOneAndDownPlusOne)
{
    app();
    CGDIpGradientSpinButtonCtrl spin;
    spin.resize(20, 40);
    spin.show();
    QSignalSpy deltas(&spin, &CGDIpGradientSpinButtonCtrl::deltaPos);
    QTest::mouseClick(spin.upButton(), Qt::LeftButton);
    QTest::mouseClick(spin.downButton(), Qt::LeftButton);
    QTest::keyClick(&spin, Qt::Key_Up);
    ASSERT_EQ(deltas.count(), 3);
    EXPECT_EQ(deltas[0][0].toInt(), -1);
    EXPECT_EQ(deltas[1][0].toInt(), 1);
    EXPECT_EQ(deltas[2][0].toInt(), -1);
    // A disabled control proposes nothing.
    spin.setEnabled(false);
    QTest::mouseClick(spin.upButton(), Qt::LeftButton);
    EXPECT_EQ(deltas.count(), 3);
}

TEST(ScrollChart, DrawsTheLineAtItsValueInTheFixedRange)
{
    app();
    CScrollChart chart;
    chart.resize(400, 200);
    chart.setMargins(0.0, 0.0, 0.0, 0.0);
    chart.SetGrid(0);
    chart.SetUpperValue(2.5);
    chart.SetLowerValue(0.0);
    chart.SetMaxPoints(200);
    chart.AddLine(1, nullptr, 0x0000FF /* red as a Windows colour */, 0, 2, 1, 10);
    // Left half at 2.0, right half at 0.5.
    for (int i = 0; i < 200; ++i)
        chart.AddData(1, i, i < 100 ? 2.0 : 0.5, 0);
    const QImage image = chart.grab().toImage();
    const QColor red(255, 0, 0);
    // Columns between x0 and x1 with red within two pixels of row y.
    const auto redInRow = [&](int y, int x0, int x1) {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            if (countColor(image.copy(x, y - 2, 1, 5), red, 60))
                ++n;
        return n;
    };
    const int yHigh = static_cast<int>(200 - 2.0 / 2.5 * 200); // 40
    const int yLow = static_cast<int>(200 - 0.5 / 2.5 * 200);  // 160
    EXPECT_GT(redInRow(yHigh, 20, 180), 100);
    EXPECT_EQ(redInRow(yHigh, 220, 380), 0);
    EXPECT_GT(redInRow(yLow, 220, 380), 100);
    EXPECT_EQ(redInRow(yLow, 20, 180), 0);
}

TEST(ScrollChart, DenseDataStillShowsEverySpike)
{
    app();
    CScrollChart chart;
    chart.resize(200, 100);
    chart.setMargins(0.0, 0.0, 0.0, 0.0);
    chart.SetGrid(0);
    chart.SetUpperValue(2.5);
    chart.SetLowerValue(0.0);
    chart.SetMaxPoints(5000);
    chart.AddLine(1, nullptr, 0x00FF00, 0, 1, 1, 10);
    // One single-point spike among thousands of flat points, far more points than pixels.
    for (int i = 0; i < 5000; ++i)
        chart.AddData(1, i, i == 3333 ? 2.4 : 0.1, 0);
    const QImage image = chart.grab().toImage();
    const int spikeX = static_cast<int>(3333.0 / 4999 * 199);
    bool highFound = false;
    for (int x = spikeX - 2; x <= spikeX + 2; ++x)
        highFound = highFound || countColor(image.copy(x, 5, 1, 10), QColor(0, 255, 0), 80) > 0;
    EXPECT_TRUE(highFound);
}
