// Identification of the real device object against the virtual controller over a pseudo-terminal,
// and against a scripted peer for boot-loader answers the virtual controller never gives.
#include "device/lpg_device.h"
#include "platform/port_table.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kIdentifyRequest = {0xCC, 0, 0, 0, 0, 0};
const Bytes kQueryRequest = {0xC4, 0, 0, 0, 0, 0};

// What the firmware-update handler saw when identification called it.
struct HandlerRecord {
    int calls = 0;
    uint8_t deviceType = 0;
    uint16_t version = 0;
    std::wstring name;
    size_t messagesBefore = 0;
    bool program = false; // program the virtual controller's flash and leave the boot loader
    bool answer = false;
    CRecordingUser* user = nullptr;
};
HandlerRecord g_handler;

bool recordingHandler(CLPGDevice& device)
{
    ++g_handler.calls;
    g_handler.deviceType = device.m_deviceType;
    g_handler.version = device.m_firmwareVersion;
    g_handler.name = device.m_deviceName;
    g_handler.messagesBefore = g_handler.user ? g_handler.user->messages().size() : 0;
    if (g_handler.program) {
        // An application image whose identity word names version 1.40 of the regular firmware.
        std::vector<uint8_t> image(512 * 1024, 0);
        image[2 * 0x1800] = 0x40;
        image[2 * 0x1800 + 1] = 0x01;
        image[2 * 0x1800 + 2] = 29;
        if (!device.ProgramImage(0x1800, 0x8800, 0x800, image, 1) || !device.ExitBootloader())
            return false;
    }
    return g_handler.answer;
}

class DeviceIdentifyTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        CSimFixture::shortenTimeouts(device);
        fx.openDirect(device);
        device.m_connected = false; // identification comes before the connected flag
        g_handler = HandlerRecord{};
        g_handler.user = &user;
        CLPGDevice::SetBootloaderUpdateHandler(recordingHandler);
    }
    void TearDown() override { CLPGDevice::SetBootloaderUpdateHandler(nullptr); }

    std::vector<sim::LoggedRequest> requests() { return fx.sim().requests(); }

    CRecordingUser user;
    CSimFixture fx;
    CLPGDevice device;
};

TEST_F(DeviceIdentifyTest, RegularFirmwareWithLiveSamples)
{
    device.m_signalFirmware = true;
    device.m_liveSamplesAllowed = false;
    ASSERT_TRUE(device.Identify());
    EXPECT_EQ(device.m_deviceType, 29);
    EXPECT_EQ(device.m_deviceName, L"DORAVINE");
    EXPECT_FALSE(device.m_signalFirmware);
    EXPECT_TRUE(device.m_liveSamplesAllowed);
    EXPECT_TRUE(user.messages().empty());
    const auto log = requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].type, 2);
    EXPECT_EQ(log[0].payload, kIdentifyRequest);
}

TEST_F(DeviceIdentifyTest, RegularFirmwareWithoutLiveSamples)
{
    fx.sim().setLiveSamplesAllowed(false);
    ASSERT_TRUE(device.Identify());
    EXPECT_EQ(device.m_deviceType, 29);
    EXPECT_FALSE(device.m_liveSamplesAllowed);
    EXPECT_TRUE(user.messages().empty());
}

TEST_F(DeviceIdentifyTest, SignalReadingFirmwareIsAnnounced)
{
    fx.sim().setDeviceType(30);
    ASSERT_TRUE(device.Identify());
    EXPECT_EQ(device.m_deviceType, 30);
    EXPECT_EQ(device.m_deviceName, L"DORAVINE");
    EXPECT_TRUE(device.m_signalFirmware);
    EXPECT_TRUE(device.m_liveSamplesAllowed);
    ASSERT_EQ(user.messages().size(), 1u);
    EXPECT_EQ(user.messages()[0].text, L"Wgrane Oprogramowanie do odczytu sygnału");
    EXPECT_EQ(user.messages()[0].icon, MessageIcon::Warning);
}

TEST_F(DeviceIdentifyTest, BootLoaderStartsTheUpdateWithoutAsking)
{
    fx.sim().enterBootloader(true);
    device.m_firmwareVersion = 0x0999;
    g_handler.answer = true;
    ASSERT_TRUE(device.Identify());

    EXPECT_EQ(g_handler.calls, 1);
    EXPECT_EQ(g_handler.deviceType, 29);
    EXPECT_EQ(g_handler.version, 256);
    EXPECT_EQ(g_handler.name, L"DORAVINE");
    EXPECT_EQ(g_handler.messagesBefore, 1u); // the notice comes before the update
    EXPECT_TRUE(user.questions().empty());
    const auto messages = user.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, L"Sterownik nie jest poprawnie zaprogramowany i wymaga przeprogramowania.");
    EXPECT_EQ(messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(messages[1].text, L"Zaprogramowano pomyślnie!");
    EXPECT_EQ(messages[1].icon, MessageIcon::Information);
    const auto log = requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].payload, kIdentifyRequest);
    EXPECT_EQ(log[1].type, 2);
    EXPECT_EQ(log[1].payload, kQueryRequest);
}

TEST_F(DeviceIdentifyTest, BootLoaderUpdateThatProgramsTheControllerThenIdentifiesAgain)
{
    fx.sim().enterBootloader(true);
    g_handler.program = true;
    g_handler.answer = true;
    ASSERT_TRUE(device.Identify());
    EXPECT_FALSE(fx.sim().inBootloader());
    EXPECT_EQ(fx.sim().firmwareVersion(), 0x0140);

    user.clear();
    ASSERT_TRUE(device.Identify());
    EXPECT_EQ(g_handler.calls, 1);
    EXPECT_TRUE(user.messages().empty());
}

TEST_F(DeviceIdentifyTest, FailedBootLoaderUpdateAnswersFalseWithoutSuccessNotice)
{
    fx.sim().enterBootloader(true);
    g_handler.answer = false;
    EXPECT_FALSE(device.Identify());
    EXPECT_EQ(g_handler.calls, 1);
    ASSERT_EQ(user.messages().size(), 1u);
    EXPECT_EQ(user.messages()[0].text,
              L"Sterownik nie jest poprawnie zaprogramowany i wymaga przeprogramowania.");

    // Without a handler the update cannot run at all.
    CLPGDevice::SetBootloaderUpdateHandler(nullptr);
    user.clear();
    EXPECT_FALSE(device.Identify());
    EXPECT_EQ(g_handler.calls, 1);
    EXPECT_EQ(user.messages().size(), 1u);
}

TEST_F(DeviceIdentifyTest, ThreeUnanswerableAttemptsAnswerFalse)
{
    sim::FaultRule rule;
    rule.kind = sim::FaultKind::WrongType;
    fx.sim().addFault(rule);
    device.m_deviceName = L"";
    EXPECT_FALSE(device.Identify());
    const auto log = requests();
    ASSERT_EQ(log.size(), 3u);
    for (const auto& r : log)
        EXPECT_EQ(r.payload, kIdentifyRequest);
    EXPECT_EQ(device.m_deviceName, L"");
    EXPECT_TRUE(user.messages().empty());
}

TEST_F(DeviceIdentifyTest, SucceedsOnTheThirdAttempt)
{
    for (unsigned n : {1u, 2u}) {
        sim::FaultRule rule;
        rule.kind = sim::FaultKind::BadChecksum;
        rule.when = sim::FaultWhen::NthRequest;
        rule.nth = n;
        fx.sim().addFault(rule);
    }
    EXPECT_TRUE(device.Identify());
    EXPECT_EQ(requests().size(), 3u);
}

TEST(DeviceIdentifyRealTimeouts, SilentControllerCostsThreeFullReadTimeouts)
{
    CRecordingUser user;
    CSimFixture fx;
    CLPGDevice device; // the program's own time-outs
    fx.openDirect(device);
    sim::FaultRule rule;
    rule.kind = sim::FaultKind::NoReply;
    fx.sim().addFault(rule);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(device.Identify());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(fx.sim().requestCount(), 3u);
    // Each attempt waits out the 1000 ms read constant before the next one goes.
    EXPECT_GE(elapsed, std::chrono::milliseconds(3 * 1000));
    EXPECT_TRUE(user.messages().empty());
}

// ---- Boot-loader answers from a scripted peer ----------------------------------------------

class DeviceIdentifyScriptedTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        porttable::setPortOverride({peer.path()});
        CSimFixture::shortenTimeouts(device);
        device.Port().open(1);
        device.ConfigurePort();
        g_handler = HandlerRecord{};
        CLPGDevice::SetBootloaderUpdateHandler(recordingHandler);
    }
    void TearDown() override
    {
        CLPGDevice::SetBootloaderUpdateHandler(nullptr);
        porttable::setPortOverride({});
    }

    static Bytes status(uint8_t first, uint8_t second = 0)
    {
        const Bytes payload = {first, second, 0, 0, 0, 0};
        return frame::encode(2, 0x0310, payload.data(), payload.size());
    }

    // Answers the n-th 14-byte command frame with replies[n].
    void script(const std::vector<Bytes>& replies)
    {
        size_t received = 0;
        for (const Bytes& reply : replies) {
            received += 14;
            peer.waitFor(received).send(reply);
        }
        peer.start();
    }

    // The command codes the program sent, in order.
    std::vector<uint8_t> commandsSent()
    {
        const Bytes wire = peer.received();
        std::vector<uint8_t> codes;
        size_t at = 0;
        while (at < wire.size()) {
            size_t used = 0;
            const auto decoded = frame::decode(wire.data() + at, wire.size() - at, &used);
            if (!decoded)
                break;
            codes.push_back(decoded->payload.at(0));
            at += used;
        }
        return codes;
    }

    CRecordingUser user;
    CScriptedPeer peer;
    CLPGDevice device;
};

TEST_F(DeviceIdentifyScriptedTest, ForeignBootLoaderIsSentBackToItsApplication)
{
    script({status(5), status(4, 0x12), status(4), status(4)});
    EXPECT_FALSE(device.Identify());
    EXPECT_TRUE(peer.finish(std::chrono::seconds(5)));
    EXPECT_EQ(commandsSent(), (std::vector<uint8_t>{0xCC, 0xC4, 0x60, 0x0A}));
    EXPECT_EQ(g_handler.calls, 0);
    EXPECT_TRUE(user.messages().empty());
}

TEST_F(DeviceIdentifyScriptedTest, RefusedExitSkipsTheReset)
{
    script({status(5), status(4, 0x12), status(0)});
    EXPECT_FALSE(device.Identify());
    EXPECT_TRUE(peer.finish(std::chrono::seconds(5)));
    EXPECT_EQ(commandsSent(), (std::vector<uint8_t>{0xCC, 0xC4, 0x60}));
    EXPECT_EQ(g_handler.calls, 0);
}

TEST_F(DeviceIdentifyScriptedTest, BootLoaderWithoutAnAnswerToTheQueryIsLeftAlone)
{
    script({status(5), status(0, 0xE9)});
    EXPECT_FALSE(device.Identify());
    EXPECT_TRUE(peer.finish(std::chrono::seconds(5)));
    EXPECT_EQ(commandsSent(), (std::vector<uint8_t>{0xCC, 0xC4}));
    EXPECT_EQ(g_handler.calls, 0);
    EXPECT_TRUE(user.messages().empty());
}

TEST_F(DeviceIdentifyScriptedTest, UnknownStatusBytesAreRetried)
{
    script({status(0), status(7, 29), status(4, 29)});
    EXPECT_TRUE(device.Identify());
    EXPECT_TRUE(peer.finish(std::chrono::seconds(5)));
    EXPECT_EQ(commandsSent(), (std::vector<uint8_t>{0xCC, 0xCC, 0xCC}));
    EXPECT_EQ(device.m_deviceType, 29);
    EXPECT_FALSE(device.m_liveSamplesAllowed); // bytes 2-3 were 00 00
}

} // namespace
