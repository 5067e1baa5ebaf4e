#include "records/map_model.h"

#include "base/user_interaction.h"
#include "support/recording_user.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// The controller side of the map: answers from a script and keeps the order of the commands.
class CScriptedMapCommands : public IMapCommands {
  public:
    bool connected = true, acceptClear = true, acceptSave = true, acceptAxes = true;
    std::vector<std::string> sent;
    const CSettingsRecord* record = nullptr;
    AxesBlock axesSent{};

    bool isConnected() const override { return connected; }
    bool SetMapAxes() override
    {
        sent.push_back("SetMapAxes");
        if (record)
            axesSent = encodeAxesBlock(*record);
        return acceptAxes;
    }
    bool ClearMap() override { return sent.push_back("ClearMap"), acceptClear; }
    bool SaveMap() override { return sent.push_back("SaveMap"), acceptSave; }
};

} // namespace

TEST(AngleLimits, FollowWheelAndSensorType)
{
    const struct {
        double wheel, sensor, highest, step;
    } rows[] = {{0, 0, 24.0, 0.6},   {1, 0, 25.0, 1.0},  {2, 0, 25.0, 1.0},   {3, 0, 24.0, 1.2},
                {4, 0, 18.0, 1.0},   {5, 0, 18.0, 1.0},  {6, 0, 19.0, 1.0},   {7, 0, 15.0, 3.0},
                {8, 0, 17.4, 0.6},   {-1, 0, 17.4, 0.6}, {1.5, 0, 17.4, 0.6}, {1, 1, 25.0, 1.0},
                {1, 2.5, 25.0, 1.0}, {0, 1, 17.4, 0.6},  {7, 1, 17.4, 0.6},   {NAN, 0, 17.4, 0.6}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "wheel " << row.wheel << " sensor " << row.sensor);
        const CAngleLimits limits = angleLimitsFor(row.wheel, row.sensor);
        EXPECT_EQ(limits.lowest, 0.0);
        EXPECT_EQ(limits.highest, row.highest);
        EXPECT_EQ(limits.step, row.step);
    }
}

TEST(MapModel, RoundToStepSnapsUpCapsAndFollowsAWheelChange)
{
    CSettingsRecord r;
    r.sensorType = 1; // inductive, wheel 0: 17.4 / 0.6
    CMapModel model(r);
    EXPECT_NEAR(model.roundToStep(0.5), 0.6, 1e-12);
    for (auto [in, out] : {std::pair{17.5, 17.4}, {-3.0, 0.0}, {0.0, 0.0}, {NAN, 0.0}, {1e300, 17.4}})
        EXPECT_EQ(model.roundToStep(in), out) << in;
    // Repeated addition, not multiplication: the grid and the wire see exactly this value.
    double twelveSteps = 0.0;
    for (int k = 0; k < 12; ++k)
        twelveSteps += 0.6;
    EXPECT_EQ(model.roundToStep(7.0), twelveSteps);
    // Every angle already on the step, as the controller reports it, stays where it is.
    for (uint8_t tenths = 0; tenths <= 174; tenths += 6)
        EXPECT_EQ(angleToWire(model.roundToStep(angleFromWire(tenths))), tenths) << int(tenths);

    r.sensorType = 0;
    r.wheelType = 4;
    model.updateLimits();
    EXPECT_EQ(model.roundToStep(18.0), 18.0);
    EXPECT_EQ(model.roundToStep(17.01), 18.0);

    r.wheelType = 1; // 36-2: 25.0 / 1.0
    r.advanceMap[0][0] = 7.0;
    r.advanceMap[15][14] = 25.0;
    r.advanceMap[3][4] = -2.0;
    model.roundMapToStep();
    EXPECT_EQ(r.advanceMap[0][0], 7.0);
    EXPECT_EQ(r.advanceMap[15][14], 25.0);
    r.wheelType = 0; // 60-2: 24.0 / 0.6, picked up by roundMapToStep itself
    model.roundMapToStep();
    EXPECT_NEAR(r.advanceMap[0][0], 7.2, 1e-9);
    EXPECT_EQ(r.advanceMap[15][14], 24.0);
    EXPECT_EQ(r.advanceMap[3][4], 0.0);
    EXPECT_EQ(model.limits().step, 0.6);
    const MapBlock wire = encodeMapBlock(r);
    EXPECT_EQ(wire[0], 72);
    EXPECT_EQ(wire[239], 240);
}

TEST(MapModel, AxesAreGeneratedWrittenAndKeptWhenRefused)
{
    CSettingsRecord r;
    CMapModel model(r);
    CScriptedMapCommands device;
    device.record = &r;
    EXPECT_TRUE(model.generateAxes(device, 500, 4800, 0.15, 5.15));
    EXPECT_EQ(device.sent, std::vector<std::string>{"SetMapAxes"});
    const double factoryRpm[kMapColumns] = {500,  800,  1100, 1400, 1700, 2000, 2300, 2600,
                                            2900, 3200, 3500, 3800, 4100, 4400, 4800};
    for (int j = 0; j < kMapColumns; ++j)
        EXPECT_EQ(r.rpmAxis[j], factoryRpm[j]) << j;
    for (int i = 0; i < kMapRows; ++i)
        EXPECT_NEAR(r.mapAxis[i], 0.15 + i / 3.0, 1e-12) << i;
    EXPECT_EQ(device.axesSent[32], 5);
    EXPECT_EQ(device.axesSent[46], 48);
    EXPECT_EQ(device.axesSent[0] | (device.axesSent[1] << 8), 30);

    device.acceptAxes = false;
    EXPECT_FALSE(model.generateAxes(device, 1000, 8000, 0.5, 4.0));
    EXPECT_EQ(r.rpmAxis[0], 1000);
    EXPECT_EQ(r.rpmAxis[14], 8000);
    EXPECT_EQ(r.mapAxis[0], 0.5);

    // RPM breakpoints are rounded down to hundreds: 500 + 464.29 = 964.29 -> 900.
    model.fillAxes(500, 7000, 0.0, 4.5);
    EXPECT_EQ(r.rpmAxis[14], 7000);
    EXPECT_EQ(r.rpmAxis[1], 900);
    for (int j = 0; j < kMapColumns; ++j)
        EXPECT_EQ(std::fmod(r.rpmAxis[j], 100.0), 0.0) << j;
    EXPECT_NEAR(r.mapAxis[1], 0.3, 1e-12);
    model.fillAxes(500, 500, 1.0, 1.0);
    for (int j = 0; j < kMapColumns; ++j)
        EXPECT_EQ(r.rpmAxis[j], 500);
    for (int i = 0; i < kMapRows; ++i)
        EXPECT_EQ(r.mapAxis[i], 1.0);
}

TEST(MapModel, FindCellOnTheFactoryAxes)
{
    CSettingsRecord r;
    CMapModel model(r);
    model.fillAxes(500, 4800, 0.15, 5.15);
    for (auto [rpm, column] : {std::pair{450, 0}, {500, 1}, {799, 1}, {4799, 14}, {4800, 14}, {9000, 14}})
        EXPECT_EQ(model.findCell(rpm, 0.0).column, column) << rpm;
    for (auto [volts, row] :
         {std::pair{0.1, 0}, {r.mapAxis[3], 4}, {r.mapAxis[3] - 1e-9, 3}, {6.0, 15}, {r.mapAxis[15], 15}})
        EXPECT_EQ(model.findCell(0, volts).row, row) << volts;
    EXPECT_EQ(model.findCell(2000, 1.0), (CMapCell{6, 3}));

    // A live sample's MAP reading: raw 512 is 1.652 V, between breakpoints 4 and 5.
    CDiag sample;
    const uint8_t reply[] = {0xD0, 0x07, 0, 0, 0x00, 0x02};
    sample.fill(reply, sizeof reply);
    EXPECT_EQ(model.findCell(sample.rpm(), sample.mapVolts()), (CMapCell{6, 5}));
}

TEST(MapModel, EraseMapClearsOnlyAfterTheControllerAccepted)
{
    CRecordingUser user;
    CSettingsRecord r = demoRecord();
    CMapModel model(r);
    CScriptedMapCommands device;

    device.connected = false;
    EXPECT_FALSE(model.eraseMap(device));
    EXPECT_TRUE(device.sent.empty());
    EXPECT_TRUE(user.messages().empty());

    device.connected = true;
    device.acceptClear = false;
    EXPECT_FALSE(model.eraseMap(device));
    EXPECT_EQ(device.sent, std::vector<std::string>{"ClearMap"});
    ASSERT_EQ(user.messages().size(), 1u);
    EXPECT_EQ(user.messages()[0].text, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
    EXPECT_EQ(user.messages()[0].icon, MessageIcon::Error);

    for (bool acceptSave : {false, true}) {
        device.sent.clear();
        device.acceptClear = true;
        device.acceptSave = acceptSave;
        EXPECT_EQ(model.eraseMap(device), acceptSave);
        EXPECT_EQ(device.sent, (std::vector<std::string>{"ClearMap", "SaveMap"}));
        EXPECT_EQ(r.advanceMap[5][5], acceptSave ? 0.0 : 10.0);
        EXPECT_EQ(user.messages().size(), 2u);
    }
    for (const auto& row : r.advanceMap)
        for (double cell : row)
            ASSERT_EQ(cell, 0.0);
}
