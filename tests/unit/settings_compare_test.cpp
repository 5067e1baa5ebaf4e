// What a settings file would change on the controller: compared by wire value, listed in the
// load's order, printed in the formats of `settings` and `map`.
#include "records/settings_compare.h"

#include <gtest/gtest.h>

namespace {

// A record as the controller reports it: every value decoded from its wire form.
CSettingsRecord controllerRecord()
{
    CSettingsRecord r{};
    r.workState = kWorkStateNormal;
    for (int row = 0; row < kMapRows; ++row)
        for (int col = 0; col < kMapColumns; ++col)
            r.advanceMap[row][col] = angleFromWire(static_cast<uint8_t>(row * 3 + col));
    for (int j = 0; j < kMapRows; ++j)
        r.mapAxis[j] = mapPointFromWire(static_cast<int16_t>(30 + 200 * j));
    for (int i = 0; i < kMapColumns; ++i)
        r.rpmAxis[i] = rpmPointFromWire(static_cast<uint8_t>(5 + 3 * i));
    r.tpsThreshold = tpsFromWire(100);
    return r;
}

std::vector<std::string> lines(const CSettingsRecord& controller, const CSettingsRecord& file)
{
    std::vector<std::string> out;
    for (const CSettingsDifference& d : compareSettings(controller, file))
        out.push_back(differenceLine(d));
    return out;
}

} // namespace

TEST(SettingsCompare, ValuesTheWireCannotTellApartAreNoDifference)
{
    const CSettingsRecord c = controllerRecord();
    CSettingsRecord f = c;
    // 0.04 goes as 0 tenths; 1.5015 V as the same count of 15 mV; 1499 RPM as 14 hundreds.
    f.advanceMap[0][0] = 0.04;
    f.tpsThreshold = c.tpsThreshold + 0.001;
    f.rpmAxis[3] = c.rpmAxis[3] + 99;
    f.inputSource = 0.9;
    f.wheelType = 5; // not carried by the file
    EXPECT_TRUE(compareSettings(c, f).empty());
    f.advanceMap[2][3] = 8.4;
    EXPECT_EQ(lines(c, f), std::vector<std::string>{"advanceMap[2][3]: 0.9 -> 8.4"});
}

TEST(SettingsCompare, EveryKindOfFieldInTheLoadsOrder)
{
    const CSettingsRecord c = controllerRecord();
    CSettingsRecord f = c;
    // Set out of order on purpose: the list keeps its own order.
    f.advanceMap[15][14] = 25.5;
    f.advanceMap[0][1] = 0.0;
    f.mapAxis[15] = 5.2;
    f.mapAxis[0] = 0.2;
    f.rpmAxis[14] = 6000;
    f.rpmAxis[3] = 1500;
    f.inputSource = 1;
    f.tpsThreshold = 2.0;
    EXPECT_EQ(lines(c, f), (std::vector<std::string>{
                               "tpsThreshold: 1.5005 -> 2.0000",
                               "inputSource: 0 -> 1",
                               "rpmAxis[3]: 1400 -> 1500",
                               "rpmAxis[14]: 4700 -> 6000",
                               "mapAxis[0]: 0.15 -> 0.20",
                               "mapAxis[15]: 15.15 -> 5.20",
                               "advanceMap[0][1]: 0.1 -> 0.0",
                               "advanceMap[15][14]: 5.9 -> 25.5",
                           }));
}
