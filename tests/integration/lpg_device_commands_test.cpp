// The configuration and reading commands of the real device object against the virtual controller
// over a pseudo-terminal; every request is checked byte for byte in the controller's request log.
#include "device/lpg_device.h"
#include "platform/port_table.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <numeric>
#include <thread>
#include <tuple>

namespace {

using Bytes = std::vector<uint8_t>;
using Request = std::pair<int, Bytes>; // frame type, plain payload
using Requests = std::vector<Request>;

// A type-2 command as the program sends it: the code, a zero, a little-endian argument, zeros.
Bytes command(uint8_t code, uint16_t argument = 0)
{
    return {code, 0, static_cast<uint8_t>(argument & 0xFF), static_cast<uint8_t>(argument >> 8), 0, 0};
}

// The bytes of a block at the given offsets.
Bytes at(const Bytes& block, std::initializer_list<size_t> offsets)
{
    Bytes picked;
    for (size_t k : offsets)
        picked.push_back(block.at(k));
    return picked;
}

CPulseList pulsesOf(const uint8_t* block)
{
    CPulseList pulses;
    for (size_t k = 0; k < 50; ++k)
        pulses.push_back(pulseFromBytes(block + 4 * k));
    return pulses;
}

bool sameRecord(const CSettingsRecord& a, const CSettingsRecord& b)
{
    return std::memcmp(&a.advanceMap, &b.advanceMap, sizeof a.advanceMap) == 0 &&
           std::memcmp(&a.mapAxis, &b.mapAxis, sizeof a.mapAxis) == 0 &&
           std::memcmp(&a.rpmAxis, &b.rpmAxis, sizeof a.rpmAxis) == 0 &&
           std::tie(a.tpsThreshold, a.inputSource, a.teethCount, a.missingTeeth, a.wheelAlgorithm,
                    a.wheelType, a.sensorType, a.wheelFactor, a.signalCapture, a.workState) ==
               std::tie(b.tpsThreshold, b.inputSource, b.teethCount, b.missingTeeth, b.wheelAlgorithm,
                        b.wheelType, b.sensorType, b.wheelFactor, b.signalCapture, b.workState);
}

class DeviceCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        // Shortened before the open, which applies the time-outs to the port.
        CSimFixture::shortenTimeouts(device);
        fx.openDirect(device);
    }

    Requests log()
    {
        Requests out;
        for (const auto& r : fx.sim().requests())
            out.emplace_back(r.type, r.payload);
        return out;
    }

    CRecordingUser user;
    CSimFixture fx;
    CLPGDevice device;
};

TEST_F(DeviceCommandsTest, ReadingCommandsSendTheirRequestsAndDecodeTheBlocks)
{
    // 1.50 V, algorithm 3, input 1, 36-4 teeth, wheel type 5 (LE), reserved 0x77 (ignored), sensor 1,
    // factor 10, capture 1, work state 173.
    fx.sim().setSettings({100, 0, 3, 1, 36, 4, 5, 0, 0x77, 0, 1, 10, 1, 173});
    std::array<uint8_t, sim::kMapSize> map{};
    std::iota(map.begin(), map.end(), 0);
    fx.sim().setMap(map);
    std::array<uint8_t, sim::kAxesSize> axes{0xF4, 0x01}; // 500 counts = 2.5 V
    axes[30] = 0xE8;                                      // 1000 counts = 5.0 V
    axes[31] = 0x03;
    axes[32] = 5;
    axes[46] = 48;
    fx.sim().setAxes(axes);
    fx.sim().setErrors({0x81, 0x02, 0x00, 0x01});
    fx.sim().setDayCount(4200);
    fx.sim().setFirmwareVersion(0x0213);
    fx.sim().setSerial("SN-42");
    device.m_serialNumber = L"a much longer old serial";

    uint8_t errors[kErrorModuleCount] = {};
    ASSERT_TRUE(device.GetVersion() && device.GetSettings() && device.GetMap() && device.GetMapAxes() &&
                device.GetErrors(errors));
    EXPECT_EQ(log(), (Requests{{2, command(0x0D)},
                               {2, command(0x07)},
                               {2, command(0x0E)},
                               {2, command(0x11)},
                               {2, command(0x05)}}));

    EXPECT_EQ(std::tuple(device.m_productionDays, device.ProductionDateText(), device.m_firmwareVersion,
                         device.VersionText(), device.m_serialNumber, device.m_deviceType),
              std::tuple(4200, L"02/10/2015", 0x0213, L"v 2.19", L"SN-42", 29));
    const CSettingsRecord& s = device.m_settings;
    EXPECT_DOUBLE_EQ(s.tpsThreshold, 1.5005);
    EXPECT_EQ(std::tuple(s.wheelAlgorithm, s.inputSource, s.teethCount, s.missingTeeth, s.wheelType,
                         s.sensorType, s.wheelFactor, s.signalCapture, s.workState),
              std::tuple(3.0, 1.0, 36.0, 4.0, 5.0, 1.0, 10.0, 1.0, 173u));
    // Map bytes 0, 17 and 239; axis words 0 and 15; RPM bytes 0 and 14.
    for (auto [got, want] : {std::pair{s.advanceMap[0][0], 0.0},
                             {s.advanceMap[1][2], 1.7},
                             {s.advanceMap[15][14], 23.9},
                             {s.mapAxis[0], 2.5},
                             {s.mapAxis[15], 5.0},
                             {s.rpmAxis[0], 500.0},
                             {s.rpmAxis[14], 4800.0}})
        EXPECT_DOUBLE_EQ(got, want);
    EXPECT_EQ(Bytes(errors, errors + 4), (Bytes{0x81, 0x02, 0x00, 0x01}));

    // Sixteen characters fill the field with no terminator.
    fx.sim().setSerial("ABCDEFGHIJKLMNOP");
    ASSERT_TRUE(device.GetVersion());
    EXPECT_EQ(device.m_serialNumber, L"ABCDEFGHIJKLMNOP");
}

TEST_F(DeviceCommandsTest, WritingCommandsSendTheEncodedBlocks)
{
    CSettingsRecord& s = device.m_settings;
    s = demoRecord();
    // Only the low byte of the work state travels.
    std::tie(s.tpsThreshold, s.inputSource, s.teethCount, s.missingTeeth, s.wheelAlgorithm, s.wheelType,
             s.sensorType, s.wheelFactor, s.signalCapture, s.workState) =
        std::tuple(1.50, 1, 36, 2, 4, 1, 0, 10, 0, 0x1AD);
    // A cell reached by the grid's repeated addition of the 0.6 step: 7.199999999999998.
    double cell = 0;
    for (int k = 0; k < 12; ++k)
        cell += 0.6;
    s.advanceMap[3][4] = cell;
    s.advanceMap[15][14] = 12.35;

    ASSERT_TRUE(device.SetSettings());
    auto sent = log();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], Request(3, {100, 0, 4, 1, 36, 2, 1, 0, 0, 0, 0, 10, 0, 0xAD, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sent[1].first, 9);
    // The demo map's 10.0, the summed 7.2 and 12.35.
    EXPECT_EQ(at(sent[1].second, {0, 3 * 15 + 4, 239}), (Bytes{100, 72, 123}));
    EXPECT_EQ(sent[1].second.size(), 240u);
    const auto simSettings = fx.sim().settings();
    EXPECT_EQ(Bytes(simSettings.begin(), simSettings.end()), sent[0].second);
    EXPECT_EQ(fx.sim().map()[3 * 15 + 4], 72);

    fx.sim().clearRequests();
    s.mapAxis[0] = 2.5;
    s.mapAxis[1] = 0.0024;
    s.mapAxis[15] = -0.01;
    s.rpmAxis[0] = 1499;
    s.rpmAxis[14] = 4800;
    ASSERT_TRUE(device.SetMapAxes());
    ASSERT_TRUE(device.SaveMap());
    EXPECT_EQ(fx.sim().savedMap(), fx.sim().map());
    ASSERT_TRUE(device.ClearMap());
    fx.sim().setErrors({1, 2, 3, 4});
    ASSERT_TRUE(device.ResetDevice());

    sent = log();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].first, 11);
    ASSERT_EQ(sent[0].second.size(), 48u);
    // 500 counts; 0.0024 V rounds to 0; -2 counts, signed; 1499 RPM is 14; 4800 RPM; the byte after.
    EXPECT_EQ(at(sent[0].second, {0, 1, 2, 3, 30, 31, 32, 46, 47}),
              (Bytes{0xF4, 0x01, 0, 0, 0xFE, 0xFF, 14, 48, 0}));
    EXPECT_EQ(Requests(sent.begin() + 1, sent.end()),
              (Requests{{2, command(0x0F)}, {2, command(0x10)}, {2, command(0x0A)}}));
    const auto simAxes = fx.sim().axes();
    EXPECT_EQ(Bytes(simAxes.begin(), simAxes.end()), sent[0].second);
    EXPECT_EQ(fx.sim().map(), (std::array<uint8_t, sim::kMapSize>{}));
    EXPECT_EQ(fx.sim().errors(), (std::array<uint8_t, 4>{0, 0, 0, 0}));
}

TEST_F(DeviceCommandsTest, MapIsSentOnlyAfterTheSettingsWereAccepted)
{
    // A refused settings block stops before the map; accepted settings answer true even when the
    // map is then refused. Ten attempts each, and writes are never rolled back.
    const struct {
        uint8_t refusedType;
        bool result;
        std::vector<int> types;
    } cases[] = {{3, false, std::vector<int>(10, 3)}, {9, true, {3, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.refusedType));
        fx.sim().clearFaults();
        fx.sim().clearRequests();
        sim::FaultRule rule = faultRule(sim::FaultKind::WrongType);
        rule.when = sim::FaultWhen::FrameType;
        rule.code = c.refusedType;
        fx.sim().addFault(rule);
        device.m_settings.teethCount = 36;
        EXPECT_EQ(device.SetSettings(), c.result);
        std::vector<int> types;
        for (const auto& r : log())
            types.push_back(r.first);
        EXPECT_EQ(types, c.types);
        EXPECT_EQ(device.m_settings.teethCount, 36);
    }
    EXPECT_FALSE(device.SetMap());
}

TEST_F(DeviceCommandsTest, DisconnectedCommandsAnswerFalseWithoutSending)
{
    device.m_connected = false;
    device.m_settings = demoRecord();
    device.m_settings.teethCount = 12;
    const CSettingsRecord before = device.m_settings;
    device.m_serialNumber = L"kept";

    for (auto op : {&CLPGDevice::GetSettings, &CLPGDevice::GetMap, &CLPGDevice::GetMapAxes,
                    &CLPGDevice::SetSettings, &CLPGDevice::SetMap, &CLPGDevice::SetMapAxes,
                    &CLPGDevice::SaveMap, &CLPGDevice::ClearMap, &CLPGDevice::ResetDevice})
        EXPECT_FALSE((device.*op)());
    uint8_t errors[kErrorModuleCount] = {9, 9, 9, 9};
    EXPECT_FALSE(device.GetErrors(errors));
    EXPECT_FALSE(device.isConnected());
    CDiag sample;
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleFailed);
    EXPECT_TRUE(sameRecord(device.m_settings, before));
    EXPECT_EQ(Bytes(errors, errors + 4), (Bytes{9, 9, 9, 9}));

    // The version has defaults to show instead.
    EXPECT_TRUE(device.GetVersion());
    EXPECT_EQ(std::tuple(device.m_firmwareVersion, device.m_deviceType, device.m_productionDays,
                         device.m_serialNumber),
              std::tuple(256, 29, 4200, L"kept"));
    EXPECT_EQ(fx.sim().requestCount(), 0u);

    // The pulse blocks look only at the demo flag.
    uint8_t block[CLPGDevice::kReadDiagSize] = {};
    EXPECT_TRUE(device.GetReadDiag(1, block));
    EXPECT_EQ(log(), (Requests{{2, command(0x08, 1)}}));
}

TEST_F(DeviceCommandsTest, RetriesResendTheSameRequestAndSucceedOnTheThirdAttempt)
{
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 1));
    fx.sim().addFault(faultRule(sim::FaultKind::NoReply, 2));
    ASSERT_TRUE(device.GetSettings());
    EXPECT_EQ(log(), Requests(3, {2, command(0x07)}));

    fx.sim().clearRequests();
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 4));
    fx.sim().addFault(faultRule(sim::FaultKind::WrongType, 5));
    device.m_settings.advanceMap[0][0] = 4.2;
    ASSERT_TRUE(device.SetMap());
    const auto sent = log();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent, Requests(3, sent[0]));
    EXPECT_EQ(sent[0].first, 9);
    ASSERT_EQ(sent[0].second.size(), 240u);
    EXPECT_EQ(sent[0].second[0], 42);
}

TEST_F(DeviceCommandsTest, TenFailedAttemptsAnswerFalseAndChangeNothing)
{
    device.m_firmwareVersion = 0x0101;
    device.m_serialNumber = L"old";
    device.m_settings.teethCount = 99;
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum));
    EXPECT_FALSE(device.GetVersion());
    EXPECT_EQ(fx.sim().requestCount(), 10u);
    EXPECT_FALSE(device.GetSettings());
    EXPECT_EQ(fx.sim().requestCount(), 20u);
    EXPECT_EQ(std::tuple(device.m_firmwareVersion, device.m_serialNumber, device.m_settings.teethCount),
              std::tuple(0x0101, L"old", 99.0));

    fx.sim().clearFaults();
    fx.sim().clearRequests();
    fx.sim().addFault(faultRule(sim::FaultKind::WrongType));
    EXPECT_FALSE(device.SaveMap());
    EXPECT_EQ(log(), Requests(10, {2, command(0x0F)}));
}

TEST_F(DeviceCommandsTest, LiveSampleCopiesTheReplyAndKeepsTheSampleNumber)
{
    fx.sim().setFixedPoint({2500, 1.5, 1.65, 13.6, 2.5, true});
    fx.sim().setProfile(sim::Profile::Fixed);

    CDiag sample;
    sample.bytes.fill(0xEE);
    sample.setSampleNumber(77);
    ASSERT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
    EXPECT_EQ(log(), (Requests{{2, command(0x06)}}));
    EXPECT_EQ(std::tuple(sample.rpm(), sample.tpsRaw(), sample.mapRaw(), sample.supplyRaw(),
                         sample.switchOn(), sample.bytes[13], sample.sampleNumber()),
              std::tuple(2500, 100, 512, 667, true, 25, 77u));

    fx.sim().addFault(faultRule(sim::FaultKind::WrongType, 2));
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOther);
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 3));
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

    Requests expected;
    for (uint16_t k : {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9})
        expected.emplace_back(2, command(0x08, k));
    EXPECT_EQ(log(), expected);

    const CPulseList pulses = device.m_pulses.copy();
    ASSERT_EQ(pulses.size(), 500u);
    // Block 0 asked twice in a row is the same recording: the pass starts with those records.
    EXPECT_EQ(CPulseList(pulses.begin(), pulses.begin() + 50), pulsesOf(first));
    uint8_t sixth[CLPGDevice::kReadDiagSize] = {};
    ASSERT_TRUE(device.GetReadDiag(5, sixth));
    EXPECT_EQ(sixth[200], 5);
    EXPECT_EQ(CPulseList(pulses.begin() + 250, pulses.begin() + 300), pulsesOf(sixth));
    EXPECT_GT(std::count_if(pulses.begin(), pulses.end(), [](const CPulse& p) { return p.period != 0; }),
              400);

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
        fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, n));
    EXPECT_FALSE(device.ReadSignalPass());
    Requests expected(12, {2, command(0x08, 2)});
    expected[0].second = command(0x08, 0);
    expected[1].second = command(0x08, 1);
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(device.m_pulses.copy(), CPulseList{marker});
}

TEST_F(DeviceCommandsTest, LinkErrorInAPulseBlockIsShownAndStopsThePass)
{
    device.Port().close();
    uint8_t block[CLPGDevice::kReadDiagSize];
    std::memset(block, 0x5A, sizeof block);
    EXPECT_FALSE(device.GetReadDiag(0, block));
    ASSERT_EQ(user.messages().size(), 1u);
    const auto message = user.messages()[0];
    const std::wstring where = L"CLPGDevice::GetReadDiag()\n";
    EXPECT_EQ(message.icon, MessageIcon::Error);
    EXPECT_EQ(message.text.rfind(where, 0), 0u);
    EXPECT_GT(message.text.size(), where.size());
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
    // The device mutex keeps every request and reply whole; the program's own time-outs keep a busy
    // machine from passing for a broken line.
    device.Timings() = CLinkTimings{};
    device.ConfigurePort();
    std::atomic<bool> stop{false};
    std::atomic<int> samples{0}, sampleFailures{0};
    std::thread sampler([&] {
        CDiag sample;
        while (!stop)
            ++(device.GetDiagSample(sample) == CLPGDevice::kSampleOk ? samples : sampleFailures);
    });
    int done = 0;
    for (int k = 0; k < 20; ++k) {
        done += device.GetSettings();
        device.m_settings.advanceMap[0][0] = k / 10.0;
        done += device.SetMap();
    }
    stop = true;
    sampler.join();
    EXPECT_EQ(done, 40);
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

    static Bytes reply(uint8_t type, const Bytes& payload)
    {
        return frame::encode(type, 0x0777, payload.data(), payload.size());
    }

    static constexpr size_t kCommandFrame = 14;
    CRecordingUser user;
    CScriptedPeer peer;
    CLPGDevice device;
};

TEST_F(DeviceScriptedTest, LiveSampleRequestAnsweredWithAVersionBlockIsAnotherReply)
{
    peer.respondEvery(kCommandFrame, reply(8, Bytes(30, 0x11)));
    peer.start();
    CDiag sample;
    sample.setSampleNumber(5);
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOther);
    EXPECT_EQ(sample.rpm(), 0);
    EXPECT_EQ(sample.sampleNumber(), 5u);
}

TEST_F(DeviceScriptedTest, ShortBlocksAreRefusedAndLeaveTheRecordAlone)
{
    peer.respondEvery(kCommandFrame, reply(3, {200, 0, 1, 1, 36, 4, 3, 0, 0, 0}));
    peer.start();
    device.m_settings = demoRecord();
    const CSettingsRecord before = device.m_settings;
    EXPECT_FALSE(device.GetSettings());
    EXPECT_TRUE(sameRecord(device.m_settings, before));
    EXPECT_EQ(peer.receivedCount(), 10 * kCommandFrame);

    // A version block cut before the device type is refused as well.
    peer.setReply(reply(8, Bytes(20, 0x41)));
    device.m_serialNumber = L"kept";
    EXPECT_FALSE(device.GetVersion());
    EXPECT_EQ(device.m_serialNumber, L"kept");

    // A long sample is cut at the sample number.
    peer.setReply(reply(1, Bytes(30, 0x22)));
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
