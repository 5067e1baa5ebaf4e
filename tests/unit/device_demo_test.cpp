// The device object without a controller: demo mode's fixed answers, the identity texts, the
// map-command view and the error texts that follow a language switch. The port is never opened,
// so any command that tried to send would raise a link error and fail its test.
#include "app/language.h"
#include "device/lpg_device.h"
#include "support/recording_user.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace {

class DeviceDemoTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        device.m_demo = true;
        device.m_connected = false;
    }
    CRecordingUser user;
    CLPGDevice device;
};

TEST_F(DeviceDemoTest, ReadingCommandsAnswerTheFixedValues)
{
    device.m_settings.teethCount = 12;
    device.m_settings.advanceMap[2][3] = 1.2;
    device.m_settings.mapAxis[4] = 0.7;
    device.m_serialNumber = L"kept";

    ASSERT_TRUE(device.GetVersion());
    EXPECT_EQ(device.m_firmwareVersion, 256);
    EXPECT_EQ(device.VersionText(), L"v 1.0");
    EXPECT_EQ(device.m_deviceType, 29);
    EXPECT_EQ(device.m_productionDays, 4200);
    EXPECT_EQ(device.ProductionDateText(), L"02/10/2015");
    EXPECT_EQ(device.m_serialNumber, L"kept");

    ASSERT_TRUE(device.GetSettings());
    EXPECT_EQ(device.m_settings.teethCount, 60);
    EXPECT_EQ(device.m_settings.missingTeeth, 2);
    EXPECT_EQ(device.m_settings.inputSource, 1);
    EXPECT_EQ(device.m_settings.sensorType, 1);
    EXPECT_EQ(device.m_settings.wheelFactor, 10);
    EXPECT_EQ(device.m_settings.workState, 0u);
    // Each read sets its own part only.
    EXPECT_DOUBLE_EQ(device.m_settings.advanceMap[2][3], 1.2);
    EXPECT_DOUBLE_EQ(device.m_settings.mapAxis[4], 0.7);

    ASSERT_TRUE(device.GetMap());
    for (const auto& row : device.m_settings.advanceMap)
        for (double cell : row)
            ASSERT_DOUBLE_EQ(cell, 10.0);
    EXPECT_DOUBLE_EQ(device.m_settings.mapAxis[4], 0.7);

    ASSERT_TRUE(device.GetMapAxes());
    for (int i = 0; i < kMapRows; ++i)
        EXPECT_DOUBLE_EQ(device.m_settings.mapAxis[i], 10.0 * i);
    for (int j = 0; j < kMapColumns; ++j)
        EXPECT_DOUBLE_EQ(device.m_settings.rpmAxis[j], 100.0 * j);

    uint8_t errors[kErrorModuleCount] = {9, 9, 9, 9};
    ASSERT_TRUE(device.GetErrors(errors));
    EXPECT_EQ(std::vector<uint8_t>(errors, errors + 4), (std::vector<uint8_t>{0, 3, 0, 0}));
    EXPECT_TRUE(user.messages().empty());
}

TEST_F(DeviceDemoTest, WritesAndPulseReadsSucceedWithoutChange)
{
    device.m_settings.teethCount = 36;
    EXPECT_TRUE(device.SetSettings());
    EXPECT_TRUE(device.SetMap());
    EXPECT_TRUE(device.SetMapAxes());
    EXPECT_TRUE(device.SaveMap());
    EXPECT_TRUE(device.ClearMap());
    EXPECT_TRUE(device.ResetDevice());
    EXPECT_EQ(device.m_settings.teethCount, 36);
    uint8_t block[CLPGDevice::kReadDiagSize];
    std::memset(block, 0x3C, sizeof block);
    EXPECT_TRUE(device.GetReadDiag(4, block));
    EXPECT_EQ(block[0], 0x3C);
    EXPECT_EQ(block[201], 0x3C);
    EXPECT_TRUE(device.ReadSignalPass());
    EXPECT_EQ(device.m_pulses.size(), 0u);
}

// The only test of this program that fetches demo samples: the counter is process-wide, and the
// first call of the run is the one that empties the sample store.
TEST_F(DeviceDemoTest, SamplesAreNumberedAcrossTheRunAndPaced)
{
    CDiag old;
    device.m_diagData.add(old);
    device.m_diagData.add(old);

    CDiag sample;
    sample.bytes.fill(0xFF);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(device.m_diagData.count(), 0u);
    EXPECT_EQ(sample.sampleNumber(), 1u);
    for (size_t k = 0; k < 16; ++k)
        EXPECT_EQ(sample.bytes[k], k == 12 ? 2 : 0) << k;
    EXPECT_TRUE(sample.switchOn());

    // Later calls, from any device object, go on counting and leave the store alone.
    device.m_diagData.add(sample);
    CLPGDevice other;
    other.m_demo = true;
    ASSERT_EQ(other.GetDiagSample(sample), CLPGDevice::kSampleOk);
    EXPECT_EQ(sample.sampleNumber(), 2u);
    ASSERT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
    EXPECT_EQ(sample.sampleNumber(), 3u);
    EXPECT_EQ(device.m_diagData.count(), 1u);
}

TEST(DeviceObject, PublishesItselfAndAnswersTheMapCommands)
{
    EXPECT_EQ(CLPGDevice::instance(), nullptr);
    {
        CLPGDevice device;
        EXPECT_EQ(CLPGDevice::instance(), &device);
        EXPECT_FALSE(device.m_demo);
        EXPECT_FALSE(device.m_connected);
        EXPECT_TRUE(device.m_noConnectionNoticePending);
        EXPECT_TRUE(device.m_liveSamplesAllowed);

        IMapCommands& commands = device;
        EXPECT_FALSE(commands.isConnected());
        EXPECT_FALSE(commands.SaveMap()); // disconnected, not demo: nothing is sent
        device.m_demo = true;
        EXPECT_TRUE(commands.SetMapAxes());
        EXPECT_TRUE(commands.ClearMap());
        device.m_connected = true;
        EXPECT_TRUE(commands.isConnected());
    }
    EXPECT_EQ(CLPGDevice::instance(), nullptr);
}

TEST(DeviceObject, ProductionDatesAndVersionTexts)
{
    CLPGDevice device;
    device.m_productionDays = 0;
    EXPECT_EQ(device.ProductionDateText(), L"02/04/2004");
    device.m_productionDays = 4200;
    EXPECT_EQ(device.ProductionDateText(), L"02/10/2015");
    device.m_productionDays = 65535;
    EXPECT_EQ(device.ProductionDateText(), L"06/09/2183");
    device.m_firmwareVersion = 0x0A0F;
    EXPECT_EQ(device.VersionText(), L"v 10.15");
}

TEST(DeviceObject, ErrorTextsFollowTheLanguageSwitch)
{
    setCurrentLanguage(kLanguagePolish);
    openLanguageFiles();
    CLPGDevice device;
    device.buildErrorModules();
    const uint8_t bytes[kErrorModuleCount] = {0x01, 0, 0, 0};
    ASSERT_EQ(device.decodeErrors(bytes), (std::vector<std::wstring>{L"Błąd zapisu do pamięci EEPROM"}));

    ASSERT_TRUE(switchLanguage(kLanguageEnglish));
    const auto english = device.decodeErrors(bytes);
    ASSERT_TRUE(switchLanguage(kLanguagePolish));
    ASSERT_EQ(english.size(), 1u);
    EXPECT_EQ(english[0], L"EEPROM write error");
    EXPECT_EQ(device.errorModuleCount(), kErrorModuleCount);
    EXPECT_EQ(device.decodeErrors(bytes), (std::vector<std::wstring>{L"Błąd zapisu do pamięci EEPROM"}));
}

} // namespace
