// The device object without a controller: demo mode's fixed answers, the identity texts, the
// map-command view and the error texts that follow a language switch. The port is never opened,
// so any command that tried to send would raise a link error and fail its test.
#include "base/language.h"
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

// Each read fills its own part of the record only; the values are the demo's fixed ones.
TEST_F(DeviceDemoTest, ReadingCommandsAnswerWithoutAPortEachSettingItsOwnPart)
{
    device.m_settings.advanceMap[2][3] = 1.2;
    device.m_settings.mapAxis[4] = 0.7;
    device.m_serialNumber = L"kept";
    ASSERT_TRUE(device.GetVersion());
    EXPECT_EQ(device.m_serialNumber, L"kept");
    ASSERT_TRUE(device.GetSettings());
    EXPECT_EQ(device.m_settings.teethCount, 60.0);
    EXPECT_DOUBLE_EQ(device.m_settings.advanceMap[2][3], 1.2);
    ASSERT_TRUE(device.GetMap());
    EXPECT_DOUBLE_EQ(device.m_settings.advanceMap[2][3], 10.0);
    EXPECT_DOUBLE_EQ(device.m_settings.mapAxis[4], 0.7);
    ASSERT_TRUE(device.GetMapAxes());
    EXPECT_DOUBLE_EQ(device.m_settings.mapAxis[4], 40.0);
    uint8_t errors[kErrorModuleCount] = {9, 9, 9, 9};
    ASSERT_TRUE(device.GetErrors(errors));
    EXPECT_EQ(std::vector<uint8_t>(errors, errors + 4), (std::vector<uint8_t>{0, 3, 0, 0}));
    EXPECT_TRUE(user.messages().empty());
}

TEST_F(DeviceDemoTest, WritesAndPulseReadsSucceedWithoutChange)
{
    device.m_settings.teethCount = 36;
    for (auto op : {&CLPGDevice::SetSettings, &CLPGDevice::SetMap, &CLPGDevice::SetMapAxes,
                    &CLPGDevice::SaveMap, &CLPGDevice::ClearMap, &CLPGDevice::ResetDevice})
        EXPECT_TRUE((device.*op)());
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
    EXPECT_EQ(std::vector<uint8_t>(sample.bytes.begin(), sample.bytes.begin() + 16),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0}));
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
        IMapCommands& commands = device;
        EXPECT_FALSE(commands.isConnected());
        EXPECT_FALSE(commands.SaveMap()); // disconnected, not demo: nothing is sent
        device.m_demo = true;
        EXPECT_TRUE(commands.ClearMap());
        device.m_connected = true;
        EXPECT_TRUE(commands.isConnected());
    }
    EXPECT_EQ(CLPGDevice::instance(), nullptr);
}

TEST(DeviceObject, ProductionDatesAndVersionTexts)
{
    CLPGDevice device;
    for (auto [days, text] : {std::pair{0, L"02/04/2004"}, {4200, L"02/10/2015"}, {65535, L"06/09/2183"}}) {
        device.m_productionDays = days;
        EXPECT_EQ(device.ProductionDateText(), text) << days;
    }
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
    EXPECT_EQ(english, std::vector<std::wstring>{L"EEPROM write error"});
    EXPECT_EQ(device.errorModuleCount(), kErrorModuleCount);
    EXPECT_EQ(device.decodeErrors(bytes), (std::vector<std::wstring>{L"Błąd zapisu do pamięci EEPROM"}));
}

} // namespace
