#include "records/settings_record.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <tuple>

TEST(Rounding, HalvesSignsAndTruncation)
{
    for (auto [in, out] : {std::pair{1.23449, 1.234},
                           {2.0625, 2.063},
                           {2.0624, 2.062},
                           {-0.0004, 0.0},
                           {-0.0006, -0.001}}) // 2.0625 is an exact half in binary and goes up
        EXPECT_DOUBLE_EQ(roundTo3Decimals(in), out) << in;
    for (auto [in, out] : {std::pair{2.5, 3}, {-2.5, -3}, {2.49, 2}, {-2.49, -2}})
        EXPECT_EQ(roundNearest(in), out) << in;
    // Truncation absorbs only arithmetic error, never a real fraction.
    const std::pair<double, int64_t> truncated[] = {
        {7.199999999999998 * 10, 72},
        {-7.199999999999998 * 10, -72},
        {123.5, 123},
        {71.99, 71},
        {71.9999999, 71},
        {-71.99, -71},
        {std::nan(""), 0},
        {1e300, std::numeric_limits<int64_t>::max()},
        {-1e300, std::numeric_limits<int64_t>::min()},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<int64_t>::max()}};
    for (auto [in, out] : truncated)
        EXPECT_EQ(truncateValue(in), out) << in;
}

TEST(Conversions, ExamplesAndOutOfRangeValuesStayWithinTheirField)
{
    EXPECT_EQ(tpsToWire(1.50), 100);
    EXPECT_DOUBLE_EQ(tpsFromWire(100), 1.5005);
    EXPECT_EQ(angleToWire(12.35), 123);
    EXPECT_EQ(angleToWire(12.36), 123);
    EXPECT_DOUBLE_EQ(angleFromWire(123), 12.3);
    EXPECT_EQ(mapPointToWire(2.5), 500);
    EXPECT_DOUBLE_EQ(mapPointFromWire(500), 2.5);
    EXPECT_EQ(mapPointToWire(0.0024), 0);
    EXPECT_EQ(rpmPointToWire(1499), 14);
    EXPECT_DOUBLE_EQ(rpmPointFromWire(14), 1400);

    EXPECT_EQ(angleToWire(-1.0), 0); // would wrap to 24.6 degrees as a bare byte
    EXPECT_EQ(angleToWire(30.0), 255);
    EXPECT_EQ(angleToWire(std::nan("")), 0);
    EXPECT_EQ(rpmPointToWire(30000), 255);
    EXPECT_EQ(rpmPointToWire(-100), 0);
    EXPECT_EQ(mapPointToWire(1000.0), std::numeric_limits<int16_t>::max());
    EXPECT_EQ(tpsToWire(1e9), std::numeric_limits<int16_t>::max());
    EXPECT_EQ(tpsToWire(-1e9), std::numeric_limits<int16_t>::min());
}

// Angles reached by pressing the step key again and again must go out as the tenth they show.
TEST(Conversions, RepeatedStepsAndHalfCountsReachTheirWireValue)
{
    for (int stepTenths : {6, 10, 12, 30}) {
        double angle = 0.0;
        for (int k = 1; k * stepTenths <= 255; ++k) {
            angle += stepTenths / 10.0;
            EXPECT_EQ(angleToWire(angle), k * stepTenths) << "step " << stepTenths << " k " << k;
        }
    }
    double seven = 0.0;
    for (int k = 0; k < 12; ++k)
        seven += 0.6;
    ASSERT_LT(seven, 7.2); // the trap is real in doubles
    EXPECT_EQ(angleToWire(seven), 72);

    // 12.5 mV is two and a half counts of 5 mV; in doubles the quotient lands just below 2.5.
    EXPECT_EQ(mapPointToWire(-0.0125), -3);
    for (int k = 0; k < 2000; ++k)
        ASSERT_EQ(mapPointToWire((2 * k + 1) * 0.0025), k + 1) << k;
}

TEST(Conversions, EveryWireValueSurvivesReadThenWrite)
{
    for (int w = std::numeric_limits<int16_t>::min(); w <= std::numeric_limits<int16_t>::max(); ++w) {
        ASSERT_EQ(tpsToWire(tpsFromWire(static_cast<int16_t>(w))), w);
        ASSERT_EQ(mapPointToWire(mapPointFromWire(static_cast<int16_t>(w))), w);
    }
    for (int w = 0; w <= 255; ++w) {
        ASSERT_EQ(angleToWire(angleFromWire(static_cast<uint8_t>(w))), w);
        ASSERT_EQ(rpmPointToWire(rpmPointFromWire(static_cast<uint8_t>(w))), w);
    }
}

TEST(SettingsBlock, EncodesEveryFieldAtItsOffsetAndDecodesItBack)
{
    CSettingsRecord r;
    r.tpsThreshold = 1.5;
    r.wheelAlgorithm = 3;
    r.inputSource = 1;
    r.teethCount = 36;
    r.missingTeeth = 2;
    r.wheelType = 0x0102;
    r.sensorType = 1;
    r.wheelFactor = 10;
    r.signalCapture = 1;
    r.workState = 0x1AD; // only the low byte travels
    const SettingsBlock expected = {100, 0, 3, 1, 36, 2, 0x02, 0x01, 0, 0, 1, 10, 1, 0xAD, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(encodeSettingsBlock(r), expected);

    CSettingsRecord back;
    decodeSettingsBlock(expected.data(), expected.size(), back);
    r.tpsThreshold = 1.5005;
    r.workState = 0xAD;
    EXPECT_EQ(encodeSettingsBlock(back), expected);
    EXPECT_DOUBLE_EQ(back.tpsThreshold, 1.5005);
    EXPECT_EQ(std::tie(back.wheelAlgorithm, back.inputSource, back.teethCount, back.missingTeeth,
                       back.wheelType, back.sensorType, back.wheelFactor, back.signalCapture, back.workState),
              std::tie(r.wheelAlgorithm, r.inputSource, r.teethCount, r.missingTeeth, r.wheelType,
                       r.sensorType, r.wheelFactor, r.signalCapture, r.workState));

    // Negative TPS travels as two's complement; reserved bytes are ignored and written as zero.
    SettingsBlock wire{};
    wire[0] = 0xF6;
    wire[1] = 0xFF;
    wire[8] = 0x55;
    wire[19] = 0x77;
    decodeSettingsBlock(wire.data(), wire.size(), back);
    EXPECT_DOUBLE_EQ(back.tpsThreshold, -0.15 + 0.0005);
    const auto out = encodeSettingsBlock(back);
    EXPECT_EQ((std::array{out[0], out[1], out[8], out[19]}), (std::array<uint8_t, 4>{0xF6, 0xFF, 0, 0}));

    // The 12+1 wheel is the only one that does not count in tenths.
    EXPECT_EQ(wheelFactorFor(kWheelType12Plus1), 1.0);
    EXPECT_EQ(wheelFactorFor(0), 10.0);
}

TEST(SettingsBlock, ShortReplyReadsMissingFieldsAsZero)
{
    CSettingsRecord r = demoRecord();
    const uint8_t reply[] = {100, 0, 5, 1, 60};
    decodeSettingsBlock(reply, sizeof reply, r);
    EXPECT_DOUBLE_EQ(r.tpsThreshold, 1.5005);
    EXPECT_EQ(r.wheelAlgorithm, 5);
    EXPECT_EQ(r.teethCount, 60);
    EXPECT_EQ(r.missingTeeth, 0);
    EXPECT_EQ(r.sensorType, 0);
    EXPECT_EQ(r.wheelFactor, 0);
    EXPECT_EQ(r.workState, 0u);
    decodeSettingsBlock(nullptr, 0, r);
    EXPECT_DOUBLE_EQ(r.tpsThreshold, 0.0005);
}

TEST(MapAndAxesBlocks, LayoutAndRoundTrip)
{
    CSettingsRecord r;
    for (int i = 0; i < kMapRows; ++i) {
        r.mapAxis[i] = 0.15 + i / 3.0;
        for (int j = 0; j < kMapColumns; ++j)
            r.advanceMap[i][j] = (i * kMapColumns + j) % 256 / 10.0;
    }
    for (int j = 0; j < kMapColumns; ++j)
        r.rpmAxis[j] = 500 + 300 * j;
    r.advanceMap[15][14] = 25.5;
    // Cells travel row by row in tenths.
    const auto map = encodeMapBlock(r);
    for (size_t k = 0; k + 1 < map.size(); ++k)
        ASSERT_EQ(map[k], k % 256) << k;
    EXPECT_EQ(map[239], 255);
    CSettingsRecord back;
    decodeMapBlock(map.data(), map.size(), back);
    EXPECT_DOUBLE_EQ(back.advanceMap[0][1], 0.1);
    EXPECT_DOUBLE_EQ(back.advanceMap[1][0], 1.5);
    EXPECT_DOUBLE_EQ(back.advanceMap[15][14], 25.5);

    const auto axes = encodeAxesBlock(r);
    EXPECT_EQ(axes[0], 30); // 0.15 V = 30 counts
    EXPECT_EQ(axes[1], 0);
    EXPECT_EQ(axes[30] | (axes[31] << 8), 1030); // 5.15 V
    EXPECT_EQ(axes[32], 5);
    EXPECT_EQ(axes[46], 47);
    EXPECT_EQ(axes[47], 0);
    decodeAxesBlock(axes.data(), axes.size(), back);
    EXPECT_DOUBLE_EQ(back.mapAxis[0], 0.15);
    EXPECT_DOUBLE_EQ(back.mapAxis[1], 0.485); // 0.48333 V is 97 counts
    EXPECT_DOUBLE_EQ(back.mapAxis[15], 5.15);
    EXPECT_DOUBLE_EQ(back.rpmAxis[14], 4700);

    AxesBlock negative{};
    negative[0] = 0x9C; // -100 counts
    negative[1] = 0xFF;
    decodeAxesBlock(negative.data(), negative.size(), back);
    EXPECT_DOUBLE_EQ(back.mapAxis[0], -0.5);
}

TEST(LiveSample, DecodesEveryFieldAndKeepsTheSampleNumber)
{
    CDiag d;
    d.setSampleNumber(0x01020304);
    const uint8_t reply[] = {0x52, 0x03, 200, 0,    0x00, 0x02, 9,    9,    0x4C, 0x02, 123,
                             0,    2,    33,  0xAB, 0xCD, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    d.fill(reply, sizeof reply);
    EXPECT_EQ(d.rpm(), 850);
    EXPECT_DOUBLE_EQ(d.tpsVolts(), 3.0005);
    EXPECT_DOUBLE_EQ(d.mapVolts(), 1.652);        // raw 512
    EXPECT_NEAR(d.supplyVolts(), 11.9952, 1e-12); // raw 588
    EXPECT_DOUBLE_EQ(d.advanceDegrees(), 12.3);
    EXPECT_EQ(switchText(d.switchOn()), L"Włączony");
    EXPECT_DOUBLE_EQ(d.potentiometerVolts(), 3.3);
    EXPECT_EQ(d.bytes[14], 0xAB);
    EXPECT_EQ(d.bytes[15], 0xCD);
    EXPECT_EQ(d.sampleNumber(), 0x01020304u) << "a long reply must not overwrite the sample number";
    EXPECT_EQ(d.bytes[16], 0x04);

    const uint8_t shortReply[] = {1, 0};
    d.fill(shortReply, sizeof shortReply);
    EXPECT_EQ(d.rpm(), 1);
    EXPECT_EQ(d.advanceTenths(), 0);
    EXPECT_EQ(switchText(d.switchOn()), L"Wyłączony");
}
