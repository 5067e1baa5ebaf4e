// The configuration and reading commands of the real device object against the virtual controller
// over a pseudo-terminal; every request is checked byte for byte in the controller's request log.
#include "device/lpg_device.h"
#include "platform/port_table.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

// A type-2 command as the program sends it: the code, a zero, a little-endian argument, zeros.
Bytes command(uint8_t code, uint16_t argument = 0)
{
    return {code, 0, static_cast<uint8_t>(argument & 0xFF), static_cast<uint8_t>(argument >> 8), 0, 0};
}

sim::FaultRule faultOn(sim::FaultKind kind, unsigned nth)
{
    sim::FaultRule rule;
    rule.kind = kind;
    rule.when = sim::FaultWhen::NthRequest;
    rule.nth = nth;
    return rule;
}

bool sameRecord(const CSettingsRecord& a, const CSettingsRecord& b)
{
    return a.tpsThreshold == b.tpsThreshold && a.inputSource == b.inputSource &&
           a.teethCount == b.teethCount && a.missingTeeth == b.missingTeeth &&
           a.wheelAlgorithm == b.wheelAlgorithm && a.wheelType == b.wheelType &&
           a.sensorType == b.sensorType && a.wheelFactor == b.wheelFactor &&
           a.signalCapture == b.signalCapture && a.workState == b.workState &&
           std::memcmp(a.advanceMap, b.advanceMap, sizeof a.advanceMap) == 0 &&
           std::memcmp(a.mapAxis, b.mapAxis, sizeof a.mapAxis) == 0 &&
           std::memcmp(a.rpmAxis, b.rpmAxis, sizeof a.rpmAxis) == 0;
}

sim::FaultRule faultAlways(sim::FaultKind kind)
{
    sim::FaultRule rule;
    rule.kind = kind;
    return rule;
}

class DeviceCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        // Shortened before the open, which applies the time-outs to the port.
        CSimFixture::shortenTimeouts(device);
        fx.openDirect(device);
    }

    std::vector<sim::LoggedRequest> requests() { return fx.sim().requests(); }

    // Every logged request has this frame type and payload.
    void expectAllRequests(uint8_t type, const Bytes& payload, size_t count)
    {
        const auto log = requests();
        ASSERT_EQ(log.size(), count);
        for (const auto& r : log) {
            EXPECT_EQ(r.type, type);
            EXPECT_EQ(r.payload, payload);
        }
    }

    CRecordingUser user;
    CSimFixture fx;
    CLPGDevice device;
};

TEST_F(DeviceCommandsTest, ReadingCommandsSendTheirRequestsAndDecodeTheBlocks)
{
    std::array<uint8_t, sim::kSettingsSize> settings{};
    settings[0] = 100; // 1.50 V
    settings[2] = 3;   // wheel algorithm
    settings[3] = 1;
    settings[4] = 36;
    settings[5] = 4;
    settings[6] = 5;    // wheel type 5, little-endian
    settings[8] = 0x77; // reserved bytes are ignored
    settings[10] = 1;
    settings[11] = 10;
    settings[12] = 1;
    settings[13] = 173;
    fx.sim().setSettings(settings);
    std::array<uint8_t, sim::kMapSize> map{};
    for (size_t k = 0; k < map.size(); ++k)
        map[k] = static_cast<uint8_t>(k);
    fx.sim().setMap(map);
    std::array<uint8_t, sim::kAxesSize> axes{};
    axes[0] = 0xF4; // 500 counts = 2.5 V
    axes[1] = 0x01;
    axes[30] = 0xE8; // 1000 counts = 5.0 V
    axes[31] = 0x03;
    axes[32] = 5;
    axes[46] = 48;
    fx.sim().setAxes(axes);
    fx.sim().setErrors({0x81, 0x02, 0x00, 0x01});
    fx.sim().setDayCount(4200);
    fx.sim().setFirmwareVersion(0x0213);
    fx.sim().setSerial("SN-42");
    device.m_serialNumber = L"a much longer old serial";

    ASSERT_TRUE(device.GetVersion());
    ASSERT_TRUE(device.GetSettings());
    ASSERT_TRUE(device.GetMap());
    ASSERT_TRUE(device.GetMapAxes());
    uint8_t errors[kErrorModuleCount] = {};
    ASSERT_TRUE(device.GetErrors(errors));

    const auto log = requests();
    ASSERT_EQ(log.size(), 5u);
    const Bytes expected[] = {command(0x0D), command(0x07), command(0x0E), command(0x11), command(0x05)};
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(log[k].type, 2);
        EXPECT_EQ(log[k].payload, expected[k]) << "request " << k;
    }

    EXPECT_EQ(device.m_productionDays, 4200);
    EXPECT_EQ(device.ProductionDateText(), L"02/10/2015");
    EXPECT_EQ(device.m_firmwareVersion, 0x0213);
    EXPECT_EQ(device.VersionText(), L"v 2.19");
    EXPECT_EQ(device.m_serialNumber, L"SN-42");
    EXPECT_EQ(device.m_deviceType, 29);

    const CSettingsRecord& s = device.m_settings;
    EXPECT_DOUBLE_EQ(s.tpsThreshold, 1.5005);
    EXPECT_EQ(s.wheelAlgorithm, 3);
    EXPECT_EQ(s.inputSource, 1);
    EXPECT_EQ(s.teethCount, 36);
    EXPECT_EQ(s.missingTeeth, 4);
    EXPECT_EQ(s.wheelType, 5);
    EXPECT_EQ(s.sensorType, 1);
    EXPECT_EQ(s.wheelFactor, 10);
    EXPECT_EQ(s.signalCapture, 1);
    EXPECT_EQ(s.workState, 173u);
    EXPECT_DOUBLE_EQ(s.advanceMap[0][0], 0.0);
    EXPECT_DOUBLE_EQ(s.advanceMap[1][2], 1.7);    // byte 17
    EXPECT_DOUBLE_EQ(s.advanceMap[15][14], 23.9); // byte 239
    EXPECT_DOUBLE_EQ(s.mapAxis[0], 2.5);
    EXPECT_DOUBLE_EQ(s.mapAxis[15], 5.0);
    EXPECT_DOUBLE_EQ(s.rpmAxis[0], 500);
    EXPECT_DOUBLE_EQ(s.rpmAxis[14], 4800);
    EXPECT_EQ(Bytes(errors, errors + 4), (Bytes{0x81, 0x02, 0x00, 0x01}));
}

TEST_F(DeviceCommandsTest, SerialNumberOfSixteenCharactersWithoutTerminator)
{
    fx.sim().setSerial("ABCDEFGHIJKLMNOP");
    ASSERT_TRUE(device.GetVersion());
    EXPECT_EQ(device.m_serialNumber, L"ABCDEFGHIJKLMNOP");
}

TEST_F(DeviceCommandsTest, WritingCommandsSendTheEncodedBlocks)
{
    CSettingsRecord& s = device.m_settings;
    s = demoRecord();
    s.tpsThreshold = 1.50;
    s.inputSource = 1;
    s.teethCount = 36;
    s.missingTeeth = 2;
    s.wheelAlgorithm = 4;
    s.wheelType = 1;
    s.sensorType = 0;
    s.wheelFactor = 10;
    s.signalCapture = 0;
    s.workState = 0x1AD; // only the low byte travels
    // A cell reached by the grid's repeated addition of the 0.6 step: 7.199999999999998.
    double cell = 0;
    for (int k = 0; k < 12; ++k)
        cell += 0.6;
    s.advanceMap[3][4] = cell;
    s.advanceMap[15][14] = 12.35;

    ASSERT_TRUE(device.SetSettings());
    const auto log = requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].type, 3);
    EXPECT_EQ(log[0].payload, (Bytes{100, 0, 4, 1, 36, 2, 1, 0, 0, 0, 0, 10, 0, 0xAD, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(log[1].type, 9);
    ASSERT_EQ(log[1].payload.size(), 240u);
    EXPECT_EQ(log[1].payload[3 * 15 + 4], 72);
    EXPECT_EQ(log[1].payload[239], 123);
    EXPECT_EQ(log[1].payload[0], 100); // the demo map's 10.0
    const auto simSettings = fx.sim().settings();
    EXPECT_EQ(Bytes(simSettings.begin(), simSettings.end()), log[0].payload);
    EXPECT_EQ(fx.sim().map()[3 * 15 + 4], 72);

    fx.sim().clearRequests();
    s.mapAxis[0] = 2.5;
    s.mapAxis[1] = 0.0024;
    s.mapAxis[15] = -0.01;
    s.rpmAxis[0] = 1499;
    s.rpmAxis[14] = 4800;
    ASSERT_TRUE(device.SetMapAxes());
    ASSERT_TRUE(device.SaveMap());
    const auto mapBeforeClear = fx.sim().map();
    EXPECT_EQ(fx.sim().savedMap(), mapBeforeClear);
    ASSERT_TRUE(device.ClearMap());
    fx.sim().setErrors({1, 2, 3, 4});
    ASSERT_TRUE(device.ResetDevice());

    const auto writes = requests();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0].type, 11);
    ASSERT_EQ(writes[0].payload.size(), 48u);
    EXPECT_EQ(writes[0].payload[0], 0xF4); // 500 counts
    EXPECT_EQ(writes[0].payload[1], 0x01);
    EXPECT_EQ(writes[0].payload[2], 0x00); // 0.0024 V rounds to 0
    EXPECT_EQ(writes[0].payload[3], 0x00);
    EXPECT_EQ(writes[0].payload[30], 0xFE); // -2 counts, signed
    EXPECT_EQ(writes[0].payload[31], 0xFF);
    EXPECT_EQ(writes[0].payload[32], 14);
    EXPECT_EQ(writes[0].payload[46], 48);
    EXPECT_EQ(writes[0].payload[47], 0);
    EXPECT_EQ(writes[1].type, 2);
    EXPECT_EQ(writes[1].payload, command(0x0F));
    EXPECT_EQ(writes[2].payload, command(0x10));
    EXPECT_EQ(writes[3].payload, command(0x0A));
    const auto simAxes = fx.sim().axes();
    EXPECT_EQ(Bytes(simAxes.begin(), simAxes.end()), writes[0].payload);
    for (uint8_t b : fx.sim().map())
        ASSERT_EQ(b, 0);
    EXPECT_EQ(fx.sim().errors(), (std::array<uint8_t, 4>{0, 0, 0, 0}));
}

TEST_F(DeviceCommandsTest, RefusedSettingsStopBeforeTheMapAndKeepTheRecord)
{
    sim::FaultRule rule = faultAlways(sim::FaultKind::WrongType);
    rule.when = sim::FaultWhen::FrameType;
    rule.code = 3;
    fx.sim().addFault(rule);
    device.m_settings.teethCount = 36;
    EXPECT_FALSE(device.SetSettings());
    const auto log = requests();
    ASSERT_EQ(log.size(), 10u);
    for (const auto& r : log)
        EXPECT_EQ(r.type, 3);
    // Writes are never rolled back.
    EXPECT_EQ(device.m_settings.teethCount, 36);
}

TEST_F(DeviceCommandsTest, AcceptedSettingsAnswerTrueEvenWhenTheMapIsRefused)
{
    sim::FaultRule rule = faultAlways(sim::FaultKind::WrongType);
    rule.when = sim::FaultWhen::FrameType;
    rule.code = 9;
    fx.sim().addFault(rule);
    EXPECT_TRUE(device.SetSettings());
    const auto log = requests();
    ASSERT_EQ(log.size(), 11u);
    EXPECT_EQ(log[0].type, 3);
    for (size_t k = 1; k < log.size(); ++k)
        EXPECT_EQ(log[k].type, 9);
    EXPECT_FALSE(device.SetMap());
}

TEST_F(DeviceCommandsTest, DisconnectedCommandsAnswerFalseWithoutSending)
{
    device.m_connected = false;
    device.m_settings = demoRecord();
    device.m_settings.teethCount = 12;
    const CSettingsRecord before = device.m_settings;
    device.m_serialNumber = L"kept";

    EXPECT_FALSE(device.GetSettings());
    EXPECT_FALSE(device.GetMap());
    EXPECT_FALSE(device.GetMapAxes());
    uint8_t errors[kErrorModuleCount] = {9, 9, 9, 9};
    EXPECT_FALSE(device.GetErrors(errors));
    EXPECT_FALSE(device.SetSettings());
    EXPECT_FALSE(device.SetMap());
    EXPECT_FALSE(device.SetMapAxes());
    EXPECT_FALSE(device.SaveMap());
    EXPECT_FALSE(device.ClearMap());
    EXPECT_FALSE(device.ResetDevice());
    EXPECT_FALSE(device.isConnected());
    CDiag sample;
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleFailed);
    EXPECT_TRUE(sameRecord(device.m_settings, before));
    EXPECT_EQ(Bytes(errors, errors + 4), (Bytes{9, 9, 9, 9}));

    // The version has defaults to show instead.
    EXPECT_TRUE(device.GetVersion());
    EXPECT_EQ(device.m_firmwareVersion, 256);
    EXPECT_EQ(device.m_deviceType, 29);
    EXPECT_EQ(device.m_productionDays, 4200);
    EXPECT_EQ(device.m_serialNumber, L"kept");
    EXPECT_EQ(fx.sim().requestCount(), 0u);

    // The pulse blocks look only at the demo flag.
    uint8_t block[CLPGDevice::kReadDiagSize] = {};
    EXPECT_TRUE(device.GetReadDiag(1, block));
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].payload, command(0x08, 1));
}

TEST_F(DeviceCommandsTest, RetriesRebuildTheRequestAndSucceedOnTheThirdAttempt)
{
    fx.sim().addFault(faultOn(sim::FaultKind::BadChecksum, 1));
    fx.sim().addFault(faultOn(sim::FaultKind::NoReply, 2));
    ASSERT_TRUE(device.GetSettings());
    expectAllRequests(2, command(0x07), 3);

    fx.sim().clearRequests();
    fx.sim().addFault(faultOn(sim::FaultKind::BadChecksum, 4));
    fx.sim().addFault(faultOn(sim::FaultKind::WrongType, 5));
    device.m_settings.advanceMap[0][0] = 4.2;
    ASSERT_TRUE(device.SetMap());
    const auto log = requests();
    ASSERT_EQ(log.size(), 3u);
    for (const auto& r : log) {
        EXPECT_EQ(r.type, 9);
        ASSERT_EQ(r.payload.size(), 240u);
        EXPECT_EQ(r.payload[0], 42);
    }
}

TEST_F(DeviceCommandsTest, TenFailedAttemptsAnswerFalseAndChangeNothing)
{
    device.m_firmwareVersion = 0x0101;
    device.m_serialNumber = L"old";
    device.m_settings.teethCount = 99;
    fx.sim().addFault(faultAlways(sim::FaultKind::BadChecksum));
    EXPECT_FALSE(device.GetVersion());
    EXPECT_EQ(requests().size(), 10u);
    EXPECT_FALSE(device.GetSettings());
    EXPECT_EQ(requests().size(), 20u);
    EXPECT_EQ(device.m_firmwareVersion, 0x0101);
    EXPECT_EQ(device.m_serialNumber, L"old");
    EXPECT_EQ(device.m_settings.teethCount, 99);

    fx.sim().clearFaults();
    fx.sim().clearRequests();
    fx.sim().addFault(faultAlways(sim::FaultKind::WrongType));
    EXPECT_FALSE(device.SaveMap());
    expectAllRequests(2, command(0x0F), 10);
}

TEST_F(DeviceCommandsTest, LiveSampleCopiesTheReplyAndKeepsTheSampleNumber)
{
    sim::OperatingPoint point;
    point.rpm = 2500;
    point.tpsVolts = 1.5;
    point.mapVolts = 1.65;
    point.supplyVolts = 13.6;
    point.potVolts = 2.5;
    point.switchOn = true;
    fx.sim().setFixedPoint(point);
    fx.sim().setProfile(sim::Profile::Fixed);

    CDiag sample;
    sample.bytes.fill(0xEE);
    sample.setSampleNumber(77);
    ASSERT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
    expectAllRequests(2, command(0x06), 1);
    EXPECT_EQ(sample.rpm(), 2500);
    EXPECT_EQ(sample.tpsRaw(), 100);
    EXPECT_EQ(sample.mapRaw(), 512);
    EXPECT_EQ(sample.supplyRaw(), 667);
    EXPECT_TRUE(sample.switchOn());
    EXPECT_EQ(sample.bytes[13], 25);
    EXPECT_EQ(sample.sampleNumber(), 77u);

    fx.sim().addFault(faultOn(sim::FaultKind::WrongType, 2));
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOther);
    fx.sim().addFault(faultOn(sim::FaultKind::BadChecksum, 3));
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleFailed);
    EXPECT_EQ(sample.sampleNumber(), 77u);
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
}

TEST_F(DeviceCommandsTest, SignalPassReadsTenBlocksInOrder)
{
    fx.sim().setDeviceType(30); // the signal-reading firmware records the crank signal
    fx.sim().setProfile(sim::Profile::Steady);
    uint8_t first[CLPGDevice::kReadDiagSize] = {};
    ASSERT_TRUE(device.GetReadDiag(0, first));
    EXPECT_EQ(first[200], 0); // the controller repeats the block index after the records
    ASSERT_TRUE(device.ReadSignalPass());

    const auto log = requests();
    ASSERT_EQ(log.size(), 11u);
    for (uint16_t k = 0; k < 10; ++k)
        EXPECT_EQ(log[k + 1].payload, command(0x08, k));

    const CPulseList pulses = device.m_pulses.copy();
    ASSERT_EQ(pulses.size(), 500u);
    // Block 0 asked twice in a row is the same recording: the pass starts with those records.
    for (size_t k = 0; k < 50; ++k)
        ASSERT_EQ(pulses[k], pulseFromBytes(first + 4 * k)) << k;
    uint8_t sixth[CLPGDevice::kReadDiagSize] = {};
    ASSERT_TRUE(device.GetReadDiag(5, sixth));
    EXPECT_EQ(sixth[200], 5);
    for (size_t k = 0; k < 50; ++k)
        ASSERT_EQ(pulses[250 + k], pulseFromBytes(sixth + 4 * k)) << k;
    size_t nonzero = 0;
    for (const CPulse& p : pulses)
        nonzero += p.period != 0;
    EXPECT_GT(nonzero, 400u);

    ASSERT_TRUE(device.ReadSignalPass());
    EXPECT_EQ(device.m_pulses.size(), 1000u);
}

TEST_F(DeviceCommandsTest, SignalPassStopsAtTheFirstFailingBlockAndAppendsNothing)
{
    fx.sim().setDeviceType(30);
    const CPulse marker{1234, 567};
    device.m_pulses.append(&marker, 1);
    // Blocks 0 and 1 arrive; every attempt at block 2 fails.
    for (unsigned n = 3; n <= 12; ++n)
        fx.sim().addFault(faultOn(sim::FaultKind::BadChecksum, n));
    EXPECT_FALSE(device.ReadSignalPass());
    const auto log = requests();
    ASSERT_EQ(log.size(), 12u);
    EXPECT_EQ(log[0].payload, command(0x08, 0));
    EXPECT_EQ(log[1].payload, command(0x08, 1));
    for (size_t k = 2; k < 12; ++k)
        EXPECT_EQ(log[k].payload, command(0x08, 2));
    const CPulseList pulses = device.m_pulses.copy();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_EQ(pulses[0], marker);
}

TEST_F(DeviceCommandsTest, LinkErrorInAPulseBlockIsShownAndStopsThePass)
{
    device.Port().close();
    uint8_t block[CLPGDevice::kReadDiagSize];
    std::memset(block, 0x5A, sizeof block);
    EXPECT_FALSE(device.GetReadDiag(0, block));
    ASSERT_EQ(user.messages().size(), 1u);
    const auto message = user.messages()[0];
    EXPECT_EQ(message.icon, MessageIcon::Error);
    EXPECT_EQ(message.text.rfind(L"CLPGDevice::GetReadDiag()\n", 0), 0u);
    EXPECT_GT(message.text.size(), std::wstring(L"CLPGDevice::GetReadDiag()\n").size());
    EXPECT_EQ(block[0], 0x5A);

    user.clear();
    EXPECT_FALSE(device.ReadSignalPass());
    EXPECT_EQ(user.messages().size(), 1u); // one block tried, then the pass stops
    EXPECT_EQ(device.m_pulses.size(), 0u);

    // Other commands let the link error travel to their caller.
    bool raised = false;
    try {
        device.GetSettings();
    } catch (IError* e) {
        adoptError(e);
        raised = true;
    }
    EXPECT_TRUE(raised);
}

TEST_F(DeviceCommandsTest, SampleThreadAndConfigurationCommandsShareTheLine)
{
    // The live-sample thread and the GUI thread exchange at the same time; the device mutex
    // keeps every request and reply whole. The program's own time-outs keep a busy machine from
    // passing for a broken line.
    device.Timings() = CLinkTimings{};
    device.ConfigurePort();
    std::atomic<bool> stop{false};
    std::atomic<int> samples{0}, sampleFailures{0};
    std::thread sampler([&] {
        CDiag sample;
        while (!stop) {
            if (device.GetDiagSample(sample) == CLPGDevice::kSampleOk)
                ++samples;
            else
                ++sampleFailures;
        }
    });
    int reads = 0;
    for (int k = 0; k < 20; ++k) {
        reads += device.GetSettings();
        device.m_settings.advanceMap[0][0] = k / 10.0;
        reads += device.SetMap();
    }
    stop = true;
    sampler.join();
    EXPECT_EQ(reads, 40);
    EXPECT_GT(samples.load(), 0);
    EXPECT_EQ(sampleFailures.load(), 0);
    EXPECT_EQ(fx.sim().map()[0], 19);
}

// ---- Replies the virtual controller never gives, from a scripted peer ----------------------

class DeviceScriptedTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        porttable::setPortOverride({peer.path()});
        CSimFixture::shortenTimeouts(device);
        device.Port().open(1);
        device.ConfigurePort();
        device.m_connected = true;
    }
    void TearDown() override { porttable::setPortOverride({}); }

    static constexpr size_t kCommandFrame = 14;
    CRecordingUser user;
    CScriptedPeer peer;
    CLPGDevice device;
};

TEST_F(DeviceScriptedTest, LiveSampleRequestAnsweredWithAVersionBlockIsAnotherReply)
{
    const Bytes version(30, 0x11);
    peer.respondEvery(kCommandFrame, frame::encode(8, 0x0123, version.data(), version.size()));
    peer.start();
    CDiag sample;
    sample.setSampleNumber(5);
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOther);
    EXPECT_EQ(sample.rpm(), 0);
    EXPECT_EQ(sample.sampleNumber(), 5u);
}

TEST_F(DeviceScriptedTest, ShortBlocksAreRefusedAndLeaveTheRecordAlone)
{
    const Bytes shortSettings = {200, 0, 1, 1, 36, 4, 3, 0, 0, 0};
    peer.respondEvery(kCommandFrame, frame::encode(3, 0x0777, shortSettings.data(), shortSettings.size()));
    peer.start();
    device.m_settings = demoRecord();
    const CSettingsRecord before = device.m_settings;
    EXPECT_FALSE(device.GetSettings());
    EXPECT_TRUE(sameRecord(device.m_settings, before));
    EXPECT_EQ(peer.receivedCount(), 10 * kCommandFrame);

    // A version block cut before the device type is refused as well.
    const Bytes shortVersion(20, 0x41);
    peer.setReply(frame::encode(8, 0x0777, shortVersion.data(), shortVersion.size()));
    device.m_serialNumber = L"kept";
    EXPECT_FALSE(device.GetVersion());
    EXPECT_EQ(device.m_serialNumber, L"kept");

    // A long sample is cut at the sample number.
    const Bytes longSample(30, 0x22);
    peer.setReply(frame::encode(1, 0x0777, longSample.data(), longSample.size()));
    CDiag sample;
    sample.setSampleNumber(9);
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
    EXPECT_EQ(sample.rpm(), 0x2222);
    EXPECT_EQ(sample.sampleNumber(), 9u);
}

TEST_F(DeviceScriptedTest, LineNoiseInsteadOfRepliesAnswersFalse)
{
    peer.respondEvery(kCommandFrame, Bytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08});
    peer.start();
    uint8_t errors[kErrorModuleCount] = {7, 7, 7, 7};
    EXPECT_FALSE(device.GetErrors(errors));
    EXPECT_EQ(Bytes(errors, errors + 4), (Bytes{7, 7, 7, 7}));
    EXPECT_EQ(peer.receivedCount(), 10 * kCommandFrame);
}

} // namespace
