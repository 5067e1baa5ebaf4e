// The small skinned controls: the value list, the described display, the spin arrows, the text
// list, the headings and the scrolling chart (its point limit and its drawing).
#include "gui/support/qt_app_environment.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/scroll_chart.h"
#include "gui/skin/statics.h"
#include "gui/skin/str_value_combo.h"
#include "gui/skin/text_list.h"
#include "gui/skin/theme.h"

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

TEST(ValueList, MapsIndicesToValuesAndSelectsTheFirstMatch)
{
    app();
    CStrValueCmbBox box;
    QSignalSpy changed(&box, &QComboBox::currentIndexChanged);
    EXPECT_EQ(box.addItem(0, 0.0, L"Halotronowy"), 0);
    EXPECT_EQ(box.addItem(0, 1.0, L"Indukcyjny"), 1);
    EXPECT_EQ(box.addItem(0, 1.0, L"Indukcyjny bis"), 2);
    EXPECT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(1), QStringLiteral("Indukcyjny"));

    EXPECT_EQ(changed.count(), 0) << "filling the list is not a change of choice";
    ASSERT_TRUE(box.selectValue(1.0));
    EXPECT_EQ(box.currentIndex(), 1) << "lowest index wins among equal values";
    EXPECT_DOUBLE_EQ(box.selectedValue(), 1.0);
    EXPECT_EQ(box.selectedText(), L"Indukcyjny");
    EXPECT_EQ(changed.count(), 1);

    // No entry holds the value: the selection stays where it was.
    EXPECT_FALSE(box.selectValue(7.0));
    EXPECT_EQ(box.currentIndex(), 1);

    box.clearItems();
    EXPECT_EQ(box.count(), 0);
    EXPECT_FALSE(box.hasSelection());
    EXPECT_EQ(box.entry(0), nullptr);
    EXPECT_DOUBLE_EQ(box.selectedValue(), 0.0);
    // After a clear, indices start from zero again.
    EXPECT_EQ(box.addItem(0, 5.0, L"x"), 0);
}

TEST(ValueList, ReadsValuesBackRoundedByTheirPrecision)
{
    app();
    CStrValueCmbBox box;
    box.addItem(0, 2.5, L"a");
    box.addItem(0, -2.5, L"b");
    box.addItem(1, 1.25, L"c");
    box.addItem(2, 0.125, L"d");
    box.addItem(3, 0.12349, L"e");
    box.addItem(1, -1.2, L"f");
    const double expected[] = {3.0, -3.0, 1.3, 0.13, 0.123, -1.2};
    for (int i = 0; i < 6; ++i) {
        box.setCurrentIndex(i);
        EXPECT_NEAR(box.selectedValue(), expected[i], 1e-12) << "entry " << i;
    }
    EXPECT_NEAR(CStrValueCmbBox::roundToPrecision(-1.25, 1), -1.3, 1e-12);
    EXPECT_NEAR(CStrValueCmbBox::roundToPrecision(-0.004, 2), 0.0, 1e-12);
    EXPECT_NEAR(CStrValueCmbBox::roundToPrecision(-0.006, 2), -0.01, 1e-12);
}

TEST(DescribedDisplay, KeepsItsTextsAndCopiesOnlyTheStyle)
{
    app();
    CGDIpDescribedDisplay map;
    map.setLabelText(L"MAP Podciśnienie");
    map.setValueText(L"0 bar");
    map.setRatio(0.65);
    map.setLabelFormat(0x8024);
    map.setColors(QColor(73, 119, 179), QColor(28, 41, 81));

    CGDIpDescribedDisplay tps;
    tps.setLabelText(L"TPS");
    tps.setValueText(L"0 V");
    tps.copyStyle(map);
    EXPECT_EQ(tps.labelText(), L"TPS");
    EXPECT_EQ(tps.valueText(), L"0 V");
    EXPECT_DOUBLE_EQ(tps.ratio(), 0.65);
    EXPECT_EQ(tps.labelFormat(), 0x8024u);
    EXPECT_EQ(tps.colorTop(), QColor(73, 119, 179));
    EXPECT_EQ(tps.colorBottom(), QColor(28, 41, 81));
    EXPECT_EQ(map.labelText(), L"MAP Podciśnienie");

    // The box is drawn in its gradient, with light text on it.
    tps.resize(300, 44);
    const QImage image = tps.grab().toImage();
    EXPECT_GT(countColor(image, QColor(73, 119, 179), 30), 50);
    EXPECT_GT(countColor(image, QColor(28, 41, 81), 30), 50);
    EXPECT_GT(countColor(image, Qt::white, 60), 10);
}

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

TEST(TextList, HoldsLinesInOrderUntilCleared)
{
    app();
    CGDIpTextListCtrl list;
    list.addLine(L"Brak błędów");
    list.addLine(L"EEPROM: zły zapis");
    EXPECT_EQ(list.lineCount(), 2);
    EXPECT_EQ(list.line(0), L"Brak błędów");
    EXPECT_EQ(list.line(1), L"EEPROM: zły zapis");
    EXPECT_EQ(list.line(2), L"");
    list.clearLines();
    list.addLine(L"Błędy skasowane");
    EXPECT_EQ(list.lineCount(), 1);
    EXPECT_EQ(list.line(0), L"Błędy skasowane");
}

TEST(Buttons, CopyStyleTakesColoursButNotText)
{
    app();
    CGDIpGradientButton clear(L"Kasuj błędy");
    clear.setColors(QColor(50, 50, 50), QColor(36, 36, 36), QColor(90, 90, 90), QColor(60, 60, 60));
    CGDIpGradientButton read(L"Wczytaj błędy");
    read.copyStyle(clear);
    EXPECT_EQ(read.caption(), L"Wczytaj błędy");
    EXPECT_EQ(read.colorTop(), QColor(50, 50, 50));
    EXPECT_EQ(read.hoverBottom(), QColor(60, 60, 60));

    CGDIpStatic heading;
    heading.setCaption(L"Kody błędów");
    heading.setGradientProportions({0.15, 0.15, 0.15, 0.15});
    heading.setColors(Qt::white, Qt::white);
    CGDIpStatic other;
    other.setCaption(L"Dane sterownika");
    other.copyStyle(heading);
    EXPECT_EQ(other.caption(), L"Dane sterownika");
}

TEST(ScrollChart, KeepsAtMostTheSetNumberOfPointsDroppingTheOldest)
{
    app();
    CScrollChart chart;
    chart.SetMaxPoints(1000);
    ASSERT_TRUE(chart.AddLine(
        1, [](double) { return std::wstring(); }, 255, 0, 2, 1, 10));
    EXPECT_FALSE(chart.AddLine(1, nullptr, 0)) << "a line id is used once";
    for (int i = 0; i < 2500; ++i)
        ASSERT_TRUE(chart.AddData(1, i, i * 0.5, 0));
    EXPECT_EQ(chart.pointCount(1), 1000u);
    EXPECT_DOUBLE_EQ(chart.pointValue(1, 0), 1500 * 0.5) << "the oldest points fall out";
    EXPECT_DOUBLE_EQ(chart.pointValue(1, 999), 2499 * 0.5);

    // Lowering the limit trims the kept points at once.
    chart.SetMaxPoints(10);
    EXPECT_EQ(chart.pointCount(1), 10u);
    EXPECT_DOUBLE_EQ(chart.pointValue(1, 0), 2490 * 0.5);

    EXPECT_FALSE(chart.AddData(7, 0, 1.0, 0)) << "unknown line";
    EXPECT_EQ(chart.pointCount(7), 0u);
}

TEST(ScrollChart, ASpanWiderThanTheLimitKeepsAWholeSpan)
{
    app();
    CScrollChart chart;
    chart.SetHorzDiv(4, 0);
    chart.SetGrid(1);
    chart.SetMaxPoints(1000);
    chart.AddLine(1, nullptr, 255, 0, 2, 1, 10);
    chart.SetUpperValue(2.5);
    chart.SetLowerValue(0.0);
    chart.SetPointSpan(2000);
    EXPECT_EQ(chart.capacity(), 2000u);
    // Two drawings of 2000 points: the second replaces the first entirely.
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < 2000; ++i)
            chart.AddData(1, i, pass == 0 ? 2.0 : 0.01, 0);
    EXPECT_EQ(chart.pointCount(1), 2000u);
    EXPECT_DOUBLE_EQ(chart.pointValue(1, 0), 0.01);
    chart.ClearData();
    EXPECT_EQ(chart.pointCount(1), 0u);
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
