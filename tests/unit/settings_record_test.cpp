#include "settings/settings_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Rounding, FollowTheirRulesIncludingHalvesAndSigns)
{
    EXPECT_DOUBLE_EQ(roundTo3Decimals(1.23449), 1.234);
    EXPECT_DOUBLE_EQ(roundTo3Decimals(2.0625), 2.063);  // an exact half in binary goes up
    EXPECT_DOUBLE_EQ(roundTo3Decimals(2.0624), 2.062);
    EXPECT_DOUBLE_EQ(roundTo3Decimals(-0.0004), 0.0);
    EXPECT_DOUBLE_EQ(roundTo3Decimals(-0.0006), -0.001);

    EXPECT_EQ(roundNearest(2.5), 3);
    EXPECT_EQ(roundNearest(-2.5), -3);
    EXPECT_EQ(roundNearest(2.49), 2);
    EXPECT_EQ(roundNearest(-2.49), -2);

    EXPECT_DOUBLE_EQ(roundTo1Decimal(12.34), 12.3);
    EXPECT_DOUBLE_EQ(roundTo1Decimal(12.35), 12.4);
    EXPECT_DOUBLE_EQ(roundTo1Decimal(-12.35), -12.4);
}

TEST(Rounding, TruncationAbsorbsOnlyArithmeticError)
{
    EXPECT_EQ(truncateValue(7.199999999999998 * 10), 72);
    EXPECT_EQ(truncateValue(-7.199999999999998 * 10), -72);
    EXPECT_EQ(truncateValue(123.5), 123);
    EXPECT_EQ(truncateValue(71.99), 71);
    EXPECT_EQ(truncateValue(71.9999999), 71);
    EXPECT_EQ(truncateValue(-71.99), -71);
    EXPECT_EQ(truncateValue(std::nan("")), 0);
    EXPECT_EQ(truncateValue(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(truncateValue(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(truncateValue(std::numeric_limits<double>::infinity()), std::numeric_limits<int64_t>::max());
}

TEST(Conversions, DescribedExamples)
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
}

// Angles reached by pressing the step key again and again must go out as the tenth they show.
TEST(Conversions, AnglesBuiltByRepeatedStepsReachTheirTenth)
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
}

TEST(Conversions, MapPointsMeantAsHalfCountsRoundAwayFromZero)
{
    // 12.5 mV is two and a half counts of 5 mV; in doubles the quotient lands just below 2.5.
    EXPECT_EQ(mapPointToWire(0.0125), 3);
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

TEST(Conversions, OutOfRangeValuesStayWithinTheirField)
{
    EXPECT_EQ(angleToWire(-1.0), 0); // would wrap to 24.6 degrees as a bare byte
    EXPECT_EQ(angleToWire(30.0), 255);
    EXPECT_EQ(angleToWire(std::nan("")), 0);
    EXPECT_EQ(rpmPointToWire(30000), 255);
    EXPECT_EQ(rpmPointToWire(-100), 0);
    EXPECT_EQ(mapPointToWire(1000.0), std::numeric_limits<int16_t>::max());
    EXPECT_EQ(tpsToWire(1e9), std::numeric_limits<int16_t>::max());
    EXPECT_EQ(tpsToWire(-1e9), std::numeric_limits<int16_t>::min());
}

TEST(SettingsBlock, EncodesEveryFieldAtItsOffset)
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
    EXPECT_DOUBLE_EQ(back.tpsThreshold, 1.5005);
    EXPECT_EQ(back.wheelAlgorithm, 3);
    EXPECT_EQ(back.inputSource, 1);
    EXPECT_EQ(back.teethCount, 36);
    EXPECT_EQ(back.missingTeeth, 2);
    EXPECT_EQ(back.wheelType, 0x0102);
    EXPECT_EQ(back.sensorType, 1);
    EXPECT_EQ(back.wheelFactor, 10);
    EXPECT_EQ(back.signalCapture, 1);
    EXPECT_EQ(back.workState, 0xADu);
}

TEST(SettingsBlock, NegativeTpsAndReservedBytes)
{
    SettingsBlock wire{};
    wire[0] = 0xF6; // -10 counts
    wire[1] = 0xFF;
    wire[8] = 0x55; // reserved bytes are ignored
    wire[19] = 0x77;
    CSettingsRecord r;
    decodeSettingsBlock(wire.data(), wire.size(), r);
    EXPECT_DOUBLE_EQ(r.tpsThreshold, -0.15 + 0.0005);
    const auto out = encodeSettingsBlock(r);
    EXPECT_EQ(out[0], 0xF6);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out[8], 0);
    EXPECT_EQ(out[19], 0);
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

TEST(MapBlock, CellsTravelRowByRowInTenths)
{
    CSettingsRecord r;
    for (int i = 0; i < kMapRows; ++i)
        for (int j = 0; j < kMapColumns; ++j)
            r.advanceMap[i][j] = (i * kMapColumns + j) % 256 / 10.0;
    r.advanceMap[15][14] = 25.5;
    const auto block = encodeMapBlock(r);
    for (size_t k = 0; k + 1 < block.size(); ++k)
        ASSERT_EQ(block[k], k % 256) << k;
    EXPECT_EQ(block[239], 255);

    CSettingsRecord back;
    decodeMapBlock(block.data(), block.size(), back);
    EXPECT_DOUBLE_EQ(back.advanceMap[0][1], 0.1);
    EXPECT_DOUBLE_EQ(back.advanceMap[1][0], 1.5);
    EXPECT_DOUBLE_EQ(back.advanceMap[15][14], 25.5);
}

TEST(AxesBlock, LayoutAndRoundTrip)
{
    CSettingsRecord r;
    for (int i = 0; i < kMapRows; ++i)
        r.mapAxis[i] = 0.15 + i / 3.0;
    for (int j = 0; j < kMapColumns; ++j)
        r.rpmAxis[j] = 500 + 300 * j;
    const auto block = encodeAxesBlock(r);
    EXPECT_EQ(block[0], 30); // 0.15 V = 30 counts
    EXPECT_EQ(block[1], 0);
    EXPECT_EQ(block[30] | (block[31] << 8), 1030); // 5.15 V
    EXPECT_EQ(block[32], 5);
    EXPECT_EQ(block[46], 47);
    EXPECT_EQ(block[47], 0);

    CSettingsRecord back;
    decodeAxesBlock(block.data(), block.size(), back);
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
    const uint8_t reply[] = {0x52, 0x03, // 850 RPM
                             200,  0,    // TPS 3.0 V
                             0x00, 0x02, // MAP raw 512
                             9,    9,    // not used
                             0x4C, 0x02, // supply raw 588
                             123,  0,    // 12.3 degrees
                             2,          // switch
                             33,         // 3.3 V
                             0xAB, 0xCD, // checksum
                             0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    d.fill(reply, sizeof reply);
    EXPECT_EQ(d.rpm(), 850);
    EXPECT_DOUBLE_EQ(d.tpsVolts(), 3.0005);
    EXPECT_DOUBLE_EQ(d.mapVolts(), 1.652);
    EXPECT_NEAR(d.supplyVolts(), 11.9952, 1e-12);
    EXPECT_DOUBLE_EQ(d.advanceDegrees(), 12.3);
    EXPECT_TRUE(d.switchOn());
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
    EXPECT_FALSE(d.switchOn());
    EXPECT_EQ(switchText(d.switchOn()), L"Wyłączony");
}

TEST(Record, DemoDefaultsAndWheelTypes)
{
    const CSettingsRecord r = demoRecord();
    EXPECT_EQ(r.tpsThreshold, 0);
    EXPECT_EQ(r.inputSource, 1);
    EXPECT_EQ(r.teethCount, 60);
    EXPECT_EQ(r.missingTeeth, 2);
    EXPECT_EQ(r.sensorType, 1);
    EXPECT_EQ(r.wheelFactor, 10);
    EXPECT_EQ(r.signalCapture, 1);
    EXPECT_EQ(r.workState, 0u);
    EXPECT_EQ(workStateText(r.workState), L"Autodetekcja koła zamachowego");
    EXPECT_EQ(workStateText(kWorkStateNormal), L"Praca");
    for (const auto& row : r.advanceMap)
        for (double cell : row)
            EXPECT_EQ(cell, 10.0);
    EXPECT_EQ(r.mapAxis[15], 150.0);
    EXPECT_EQ(r.rpmAxis[14], 1400.0);

    ASSERT_EQ(wheelTypeNames().size(), static_cast<size_t>(kWheelTypeCount));
    EXPECT_EQ(wheelTypeNames()[0], L"TYP1: 60-2");
    EXPECT_EQ(wheelTypeNames()[kWheelType12Plus1], L"TYP6: 12+1");
    EXPECT_EQ(wheelFactorFor(kWheelType12Plus1), 1.0);
    EXPECT_EQ(wheelFactorFor(0), 10.0);
}
