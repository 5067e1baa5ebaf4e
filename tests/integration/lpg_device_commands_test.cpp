// The configuration and reading commands of the real device object against the virtual controller
// over a pseudo-terminal. The blocks' encoding rules are the records' unit tests; here the bytes on
// the wire must be that encoding, and the retries and refusals must hold.
#include "device/lpg_device.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;
using testsupport::requestNames;

template <size_t N> Bytes bytesOf(const std::array<uint8_t, N>& block)
{
    return Bytes(block.begin(), block.end());
}

class DeviceCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        // Shortened before the open, which applies the time-outs to the port.
        CSimFixture::shortenTimeouts(device);
        fx.openDirect(device);
    }

    // The plain payloads of the requests the controller received.
    std::vector<Bytes> payloads()
    {
        std::vector<Bytes> out;
        for (const auto& r : fx.sim().requests())
            out.push_back(r.payload);
        return out;
    }

    CRecordingUser user;
    CSimFixture fx;
    CLPGDevice device;
};

TEST_F(DeviceCommandsTest, ReadingCommandsDecodeWhatTheControllerHolds)
{
    // Settings away from the factory ones, every map cell different; the axes are the factory ones.
    fx.sim().setSettings({100, 0, 3, 1, 36, 4, 5, 0, 0, 0, 1, 10, 1, 173});
    std::array<uint8_t, sim::kMapSize> map{};
    for (size_t k = 0; k < map.size(); ++k)
        map[k] = static_cast<uint8_t>(k);
    fx.sim().setMap(map);
    fx.sim().setErrors({0x81, 0x02, 0x00, 0x01});
    fx.sim().setDayCount(4200);
    fx.sim().setFirmwareVersion(0x0213);
    fx.sim().setSerial("SN-42");
    device.m_serialNumber = L"a much longer old serial";

    uint8_t errors[kErrorModuleCount] = {};
    ASSERT_TRUE(device.GetVersion() && device.GetSettings() && device.GetMap() && device.GetMapAxes() &&
                device.GetErrors(errors));
    // A block that differs from the one held is read twice and taken when both agree.
    EXPECT_EQ(requestNames(fx.sim()), (Names{"2/0D", "2/07", "2/07", "2/0E", "2/0E", "2/11", "2/11", "2/05"}));
    // A command is its code and five zeros; an argument goes in bytes 2 and 3 (the pulse blocks).
    EXPECT_EQ(payloads()[0], (Bytes{0x0D, 0, 0, 0, 0, 0}));

    EXPECT_EQ(std::tuple(device.m_productionDays, device.ProductionDateText(), device.m_firmwareVersion,
                         device.VersionText(), device.m_serialNumber, device.m_deviceType),
              std::tuple(4200, L"02/10/2015", 0x0213, L"v 2.19", L"SN-42", 29));
    EXPECT_EQ(bytesOf(encodeSettingsBlock(device.m_settings)), bytesOf(fx.sim().settings()));
    EXPECT_EQ(bytesOf(encodeMapBlock(device.m_settings)), bytesOf(map));
    EXPECT_EQ(bytesOf(encodeAxesBlock(device.m_settings)), bytesOf(fx.sim().axes()));
    EXPECT_EQ(Bytes(errors, errors + 4), (Bytes{0x81, 0x02, 0x00, 0x01}));

    // Read again unchanged, each block costs one exchange.
    fx.sim().clearRequests();
    ASSERT_TRUE(device.GetSettings() && device.GetMap() && device.GetMapAxes());
    EXPECT_EQ(requestNames(fx.sim()), (Names{"2/07", "2/0E", "2/11"}));

    // Sixteen characters fill the field with no terminator.
    fx.sim().setSerial("ABCDEFGHIJKLMNOP");
    ASSERT_TRUE(device.GetVersion());
    EXPECT_EQ(device.m_serialNumber, L"ABCDEFGHIJKLMNOP");
}

TEST_F(DeviceCommandsTest, WritingCommandsSendTheEncodedBlocks)
{
    CSettingsRecord& s = device.m_settings;
    s = demoRecord();
    std::tie(s.tpsThreshold, s.teethCount, s.workState) = std::tuple(1.5, 36, 0x1AD);
    s.advanceMap[3][4] = 7.2;
    s.mapAxis[15] = -0.01;
    s.rpmAxis[0] = 1499;

    ASSERT_TRUE(device.SetSettings());
    ASSERT_TRUE(device.SetMapAxes());
    ASSERT_TRUE(device.SaveMap());
    EXPECT_EQ(fx.sim().savedMap(), fx.sim().map());
    ASSERT_TRUE(device.ClearMap());
    fx.sim().setErrors({1, 2, 3, 4});
    ASSERT_TRUE(device.ResetDevice());

    // Each block is read back before it counts as written.
    EXPECT_EQ(requestNames(fx.sim()), (Names{"3", "2/07", "9", "2/0E", "B", "2/11", "2/0F", "2/10", "2/0A"}));
    const auto sent = payloads();
    EXPECT_EQ(sent[0], bytesOf(encodeSettingsBlock(s)));
    EXPECT_EQ(sent[2], bytesOf(encodeMapBlock(s)));
    EXPECT_EQ(sent[4], bytesOf(encodeAxesBlock(s)));
    EXPECT_EQ(bytesOf(fx.sim().settings()), sent[0]);
    EXPECT_EQ(bytesOf(fx.sim().axes()), sent[4]);
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
        Names types;
    } cases[] = {{3, false, Names(10, "3")},
                 {9, true, {"3", "2/07", "9", "9", "9", "9", "9", "9", "9", "9", "9", "9"}}};
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
        EXPECT_EQ(requestNames(fx.sim()), c.types);
        EXPECT_EQ(device.m_settings.teethCount, 36);
    }
    EXPECT_FALSE(device.SetMap());
}

TEST_F(DeviceCommandsTest, DisconnectedCommandsAnswerFalseWithoutSending)
{
    device.m_connected = false;
    device.m_settings.teethCount = 12;
    device.m_serialNumber = L"kept";

    for (auto op : {&CLPGDevice::GetSettings, &CLPGDevice::GetMap, &CLPGDevice::GetMapAxes,
                    &CLPGDevice::SetSettings, &CLPGDevice::SetMap, &CLPGDevice::SetMapAxes,
                    &CLPGDevice::SaveMap, &CLPGDevice::ClearMap, &CLPGDevice::ResetDevice})
        EXPECT_FALSE((device.*op)());
    uint8_t errors[kErrorModuleCount] = {9, 9, 9, 9};
    EXPECT_FALSE(device.GetErrors(errors));
    CDiag sample;
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleFailed);
    EXPECT_EQ(device.m_settings.teethCount, 12);
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
    EXPECT_EQ(payloads(), (std::vector<Bytes>{{0x08, 0, 1, 0, 0, 0}}));
}

TEST_F(DeviceCommandsTest, RetriesResendTheSameRequestAndSucceedOnTheThirdAttempt)
{
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 1));
    fx.sim().addFault(faultRule(sim::FaultKind::NoReply, 2));
    ASSERT_TRUE(device.GetSettings());
    // The third attempt is the first read; the fourth request confirms it.
    EXPECT_EQ(requestNames(fx.sim()), Names(4, "2/07"));

    fx.sim().clearRequests();
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 5));
    fx.sim().addFault(faultRule(sim::FaultKind::WrongType, 6));
    device.m_settings.advanceMap[0][0] = 4.2;
    ASSERT_TRUE(device.SetMap());
    EXPECT_EQ(requestNames(fx.sim()), (Names{"9", "9", "9", "2/0E"}));
    const auto sent = payloads();
    EXPECT_EQ(std::vector<Bytes>(sent.begin(), sent.begin() + 3),
              std::vector<Bytes>(3, bytesOf(encodeMapBlock(device.m_settings))));
}

TEST_F(DeviceCommandsTest, ABlockDamagedPastTheChecksumIsWrittenAgain)
{
    CSettingsRecord& s = device.m_settings;
    s = demoRecord();
    std::tie(s.tpsThreshold, s.teethCount, s.workState) = std::tuple(1.5, 36, 173);
    s.advanceMap[0][1] = 7.2;
    s.advanceMap[0][2] = 3.0;
    s.mapAxis[0] = 0.5;
    const struct {
        uint8_t type;
        bool (CLPGDevice::*write)();
        Names frames;
        unsigned byte; // the first damaged byte: for the settings, the operating state (13)
    } writes[] = {{3, &CLPGDevice::SetSettings, {"3", "2/07", "3", "2/07", "9", "2/0E"}, 13},
                  {9, &CLPGDevice::SetMap, {"9", "2/0E", "9", "2/0E"}, 1},
                  {0x0B, &CLPGDevice::SetMapAxes, {"B", "2/11", "B", "2/11"}, 1}};
    for (const auto& w : writes) {
        SCOPED_TRACE(static_cast<int>(w.type));
        fx.sim().clearRequests();
        fx.sim().addFault(twinFault(w.type, 1, false, w.byte));
        EXPECT_TRUE((device.*w.write)());
        EXPECT_EQ(requestNames(fx.sim()), w.frames);
        EXPECT_NE(payloads()[0], payloads()[2]); // the controller did get a damaged block first
    }
    EXPECT_EQ(bytesOf(fx.sim().settings()), bytesOf(encodeSettingsBlock(s)));
    EXPECT_EQ(fx.sim().map(), encodeMapBlock(s));
    EXPECT_EQ(bytesOf(fx.sim().axes()), bytesOf(encodeAxesBlock(s)));

    // Damaged on every attempt: ten writes, each read back, and the write fails.
    fx.sim().clearRequests();
    fx.sim().addFault(twinFault(9, 0));
    const auto saved = fx.sim().savedMap();
    s.advanceMap[0][1] = 9.0;
    EXPECT_FALSE(device.SetMap());
    Names tenTimes;
    for (int k = 0; k < 10; ++k)
        tenTimes.insert(tenTimes.end(), {"9", "2/0E"});
    EXPECT_EQ(requestNames(fx.sim()), tenTimes);
    EXPECT_EQ(fx.sim().savedMap(), saved);
}

TEST_F(DeviceCommandsTest, AReadIsTakenOnlyWhenTwoReadsAgreeOrItIsTheBlockHeld)
{
    auto map = fx.sim().map();
    map[1] = 100;
    fx.sim().setMap(map);
    const struct {
        double held; // cell [0][1] as the record holds it before the read
        Names frames;
    } rows[] = {{5.0, {"2/0E", "2/0E", "2/0E"}}, // damaged, clean, clean again: the last two agree
                {10.0, {"2/0E", "2/0E"}}};       // damaged, then clean and the block held
    for (const auto& row : rows) {
        SCOPED_TRACE(row.held);
        ASSERT_TRUE(device.GetMap());
        device.m_settings.advanceMap[0][1] = row.held;
        fx.sim().clearRequests();
        fx.sim().addFault(twinFault(0x0E, 1, true));
        EXPECT_TRUE(device.GetMap());
        EXPECT_EQ(requestNames(fx.sim()), row.frames);
        EXPECT_EQ(encodeMapBlock(device.m_settings), map);
    }
}

// The controller fills the reserved bytes itself: they neither fail a write nor cost a read.
TEST_F(DeviceCommandsTest, TheControllersOwnBytesAreLeftOutOfTheComparison)
{
    fx.sim().setRequestListener([this](const sim::LoggedRequest& request) {
        if (request.type != 3 && request.type != 0x0B)
            return;
        auto settings = fx.sim().settings();
        settings[8] = settings[19] = 0x5A;
        fx.sim().setSettings(settings);
        auto axes = fx.sim().axes();
        axes[47] = 0x5A;
        fx.sim().setAxes(axes);
    });
    device.m_settings = demoRecord();
    ASSERT_TRUE(device.SetSettings() && device.SetMapAxes());
    ASSERT_TRUE(device.GetSettings() && device.GetMapAxes());
    fx.sim().setRequestListener({});
    EXPECT_EQ(requestNames(fx.sim()), (Names{"3", "2/07", "9", "2/0E", "B", "2/11", "2/07", "2/11"}));
    EXPECT_EQ(fx.sim().settings()[19], 0x5A);
}

// Ten attempts for reading commands here; for writing ones the refused settings block above.
TEST_F(DeviceCommandsTest, TenFailedAttemptsAnswerFalseAndChangeNothing)
{
    device.m_firmwareVersion = 0x0101;
    device.m_serialNumber = L"old";
    device.m_settings.teethCount = 99;
    uint8_t errors[kErrorModuleCount] = {7, 7, 7, 7};
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum));
    EXPECT_FALSE(device.GetVersion());
    EXPECT_EQ(fx.sim().requestCount(), 10u);
    EXPECT_FALSE(device.GetSettings());
    EXPECT_FALSE(device.GetErrors(errors));
    EXPECT_EQ(fx.sim().requestCount(), 30u);
    EXPECT_EQ(std::tuple(device.m_firmwareVersion, device.m_serialNumber, device.m_settings.teethCount),
              std::tuple(0x0101, L"old", 99.0));
    EXPECT_EQ(Bytes(errors, errors + 4), (Bytes{7, 7, 7, 7}));
}

TEST_F(DeviceCommandsTest, LiveSampleCopiesTheReplyAndKeepsTheSampleNumber)
{
    fx.sim().setFixedPoint({2500, 1.5, 1.65, 13.6, 2.5, true});
    fx.sim().setProfile(sim::Profile::Fixed);

    CDiag sample;
    sample.bytes.fill(0xEE);
    sample.setSampleNumber(77);
    ASSERT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
    const auto served = fx.sim().requests().at(0);
    EXPECT_EQ(served.payload, (Bytes{0x06, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(sample.bytes.begin(), sample.bytes.begin() + 14), served.reply);
    EXPECT_EQ(sample.sampleNumber(), 77u);

    // Another frame type is told apart from a failure; neither touches the sample.
    const CDiag before = sample;
    fx.sim().addFault(faultRule(sim::FaultKind::WrongType, 2));
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOther);
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 3));
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleFailed);
    EXPECT_EQ(sample.bytes, before.bytes);
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
}

TEST_F(DeviceCommandsTest, SignalPassReadsTenBlocksInOrder)
{
    fx.sim().setDeviceType(30); // the signal-reading firmware records the crank signal
    fx.sim().setProfile(sim::Profile::Steady);
    ASSERT_TRUE(device.ReadSignalPass());
    EXPECT_EQ(requestNames(fx.sim()), Names(10, "2/08"));
    for (uint8_t k = 0; k < 10; ++k)
        EXPECT_EQ(payloads()[k], (Bytes{0x08, 0, k, 0, 0, 0}));
    const std::vector<CPulseList> served = servedPulsePasses(fx.sim());
    ASSERT_EQ(served.size(), 1u);
    EXPECT_EQ(device.m_pulses.copy(), served[0]);

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
    const auto sent = payloads();
    ASSERT_EQ(sent.size(), 12u);
    EXPECT_EQ(sent[1][2], 1);
    EXPECT_EQ(sent[11][2], 2);
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
    EXPECT_FALSE(device.m_connected) << "the watchdog must look for the controller again";

    user.clear();
    EXPECT_FALSE(device.ReadSignalPass());
    EXPECT_EQ(user.messages().size(), 1u); // one block tried, then the pass stops
    EXPECT_EQ(device.m_pulses.size(), 0u);

    // Other commands let the link error travel to their caller.
    device.m_connected = true;
    bool raised = false;
    try {
        device.GetSettings();
    } catch (IError* e) {
        adoptError(e);
        raised = true;
    }
    EXPECT_TRUE(raised);
}

// Blocks the virtual controller never gives, from a scripted peer: short ones are refused and
// leave the record alone.
TEST(DeviceScripted, ShortBlocksAreRefusedAndLeaveTheRecordAlone)
{
    auto reply = [](uint8_t type, const Bytes& payload) {
        return frame::encode(type, 0x0777, payload.data(), payload.size());
    };
    CScriptedPeer peer;
    CSimFixture::setPorts({peer.path()});
    CLPGDevice device;
    CSimFixture::shortenTimeouts(device);
    CSimFixture::openDirect(device);
    peer.respondEvery(14, reply(3, {200, 0, 1, 1, 36, 4, 3, 0, 0, 0}));
    peer.start();

    device.m_settings.teethCount = 60;
    EXPECT_FALSE(device.GetSettings());
    EXPECT_EQ(device.m_settings.teethCount, 60);
    EXPECT_EQ(peer.receivedCount(), 10 * 14u);

    // A version block cut before the device type is refused as well.
    peer.setReply(reply(8, Bytes(20, 0x41)));
    device.m_serialNumber = L"kept";
    EXPECT_FALSE(device.GetVersion());
    EXPECT_EQ(device.m_serialNumber, L"kept");

    // A live sample takes the 14 payload bytes and the checksum after them; a longer reply is cut
    // before the sample number.
    const Bytes sampleFrame = reply(1, Bytes(14, 0x22));
    peer.setReply(sampleFrame);
    CDiag sample;
    sample.setSampleNumber(9);
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
    EXPECT_EQ(Bytes(sample.bytes.begin(), sample.bytes.begin() + 14), Bytes(14, 0x22));
    EXPECT_EQ(Bytes(sample.bytes.begin() + 14, sample.bytes.begin() + 16),
              Bytes(sampleFrame.end() - 2, sampleFrame.end()));
    peer.setReply(reply(1, Bytes(30, 0x33)));
    EXPECT_EQ(device.GetDiagSample(sample), CLPGDevice::kSampleOk);
    EXPECT_EQ(sample.rpm(), 0x3333);
    EXPECT_EQ(sample.sampleNumber(), 9u);
    CSimFixture::setPorts({});
}

} // namespace
