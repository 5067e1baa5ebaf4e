// Identification of the real device object against the virtual controller over a pseudo-terminal,
// and against a scripted peer for boot-loader answers the virtual controller never gives.
#include "device/lpg_device.h"
#include "device/run_context.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>

namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;
using testsupport::requestNames;

// What the firmware-update handler saw when identification called it.
struct HandlerRecord {
    int calls = 0;
    uint8_t deviceType = 0;
    uint16_t version = 0;
    std::wstring name;
    size_t messagesBefore = 0;
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

    CRecordingUser user;
    CSimFixture fx;
    CLPGDevice device;
};

TEST_F(DeviceIdentifyTest, ApplicationFirmwareKinds)
{
    // Regular firmware with and without live samples; the signal-reading firmware is announced.
    const struct {
        uint8_t type;
        bool liveSamples;
        bool signalFirmware;
        std::vector<std::wstring> messages;
    } cases[] = {{29, true, false, {}},
                 {29, false, false, {}},
                 {30, true, true, {L"Wgrane Oprogramowanie do odczytu sygnału"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.type) << " " << c.liveSamples);
        fx.sim().clearRequests();
        user.clear();
        fx.sim().setDeviceType(c.type);
        fx.sim().setLiveSamplesAllowed(c.liveSamples);
        device.m_signalFirmware = !c.signalFirmware;
        device.m_liveSamplesAllowed = !c.liveSamples;
        ASSERT_TRUE(device.Identify());
        EXPECT_EQ(std::tuple(device.m_deviceType, device.m_deviceName, device.m_signalFirmware.load(),
                             device.m_liveSamplesAllowed.load()),
                  std::tuple(c.type, L"DORAVINE", c.signalFirmware, c.liveSamples));
        EXPECT_EQ(user.texts(), c.messages);
        for (const auto& m : user.messages())
            EXPECT_EQ(m.icon, MessageIcon::Warning);
        EXPECT_EQ(requestNames(fx.sim()), Names{"2/CC"});
    }
}

TEST_F(DeviceIdentifyTest, BootLoaderStartsTheUpdateWithoutAsking)
{
    const std::wstring notice = L"Sterownik nie jest poprawnie zaprogramowany i wymaga przeprogramowania.";
    fx.sim().enterBootloader(true);
    device.m_firmwareVersion = 0x0999;
    g_handler.answer = true;
    ASSERT_TRUE(device.Identify());

    EXPECT_EQ(std::tuple(g_handler.calls, g_handler.deviceType, g_handler.version, g_handler.name),
              std::tuple(1, 29, 256, L"DORAVINE"));
    EXPECT_EQ(g_handler.messagesBefore, 1u); // the notice comes before the update
    EXPECT_TRUE(user.questions().empty());
    EXPECT_EQ(user.texts(), (std::vector<std::wstring>{notice, L"Zaprogramowano pomyślnie!"}));
    for (const auto& m : user.messages())
        EXPECT_EQ(m.icon, MessageIcon::Information);
    EXPECT_EQ(requestNames(fx.sim()), (Names{"2/CC", "2/C4"}));

    // Found again in the same scan: no second update, nothing said.
    user.clear();
    EXPECT_FALSE(device.Identify());
    EXPECT_EQ(g_handler.calls, 1);
    EXPECT_TRUE(user.messages().empty());

    // A failed update (each call from here a scan of its own) answers false without the success
    // notice.
    device.m_bootloaderUpdateTried = false;
    g_handler.answer = false;
    EXPECT_FALSE(device.Identify());
    EXPECT_EQ(g_handler.calls, 2);
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{notice});

    // Without a handler the update cannot run at all.
    CLPGDevice::SetBootloaderUpdateHandler(nullptr);
    user.clear();
    device.m_bootloaderUpdateTried = false;
    EXPECT_FALSE(device.Identify());
    EXPECT_EQ(g_handler.calls, 2);
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{notice});
}

TEST_F(DeviceIdentifyTest, ThreeAttemptsAtMost)
{
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 1));
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 2));
    EXPECT_TRUE(device.Identify());
    EXPECT_EQ(fx.sim().requestCount(), 3u);

    fx.sim().clearRequests();
    fx.sim().addFault(faultRule(sim::FaultKind::WrongType));
    device.m_deviceName = L"";
    EXPECT_FALSE(device.Identify());
    EXPECT_EQ(requestNames(fx.sim()), Names(3, "2/CC"));
    EXPECT_EQ(device.m_deviceName, L"");
    EXPECT_TRUE(user.messages().empty());
}

// Boot-loader answers the virtual controller never gives, from a scripted peer.
TEST(DeviceIdentifyScripted, BootLoaderAnswers)
{
    auto status = [](uint8_t first, uint8_t second = 0) {
        const Bytes payload = {first, second, 0, 0, 0, 0};
        return frame::encode(2, 0x0310, payload.data(), payload.size());
    };
    const struct {
        const char* what;
        std::vector<Bytes> replies; // one for each 14-byte command frame
        bool identified;
        std::vector<uint8_t> commands;
    } cases[] = {
        {"a foreign boot loader is sent back to its application",
         {status(5), status(4, 0x12), status(4), status(4)},
         false,
         {0xCC, 0xC4, 0x60, 0x0A}},
        {"a refused exit skips the reset",
         {status(5), status(4, 0x12), status(0)},
         false,
         {0xCC, 0xC4, 0x60}},
        {"a boot loader without an answer to the query is left alone",
         {status(5), status(0, 0xE9)},
         false,
         {0xCC, 0xC4}},
        {"unknown status bytes are retried",
         {status(0), status(7, 29), status(4, 29)},
         true,
         {0xCC, 0xCC, 0xCC}},
    };
    g_handler = HandlerRecord{};
    CLPGDevice::SetBootloaderUpdateHandler(recordingHandler);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CRecordingUser user;
        CScriptedPeer peer;
        CSimFixture::setPorts({peer.path()});
        CLPGDevice device;
        CSimFixture::shortenTimeouts(device);
        CSimFixture::openDirect(device);
        size_t received = 0;
        for (const Bytes& reply : c.replies)
            peer.waitFor(received += 14).send(reply);
        peer.start();

        EXPECT_EQ(device.Identify(), c.identified);
        EXPECT_TRUE(peer.finish(std::chrono::seconds(5)));
        std::vector<uint8_t> commands;
        const Bytes wire = peer.received();
        size_t used = 0;
        for (size_t at = 0; at < wire.size(); at += used) {
            const auto decoded = frame::decode(wire.data() + at, wire.size() - at, &used);
            if (!decoded)
                break;
            commands.push_back(decoded->payload.at(0));
        }
        EXPECT_EQ(commands, c.commands);
        EXPECT_EQ(g_handler.calls, 0);
        EXPECT_TRUE(user.messages().empty());
        if (c.identified) {
            EXPECT_EQ(device.m_deviceType, 29);
            EXPECT_FALSE(device.m_liveSamplesAllowed); // bytes 2-3 were 00 00
        }
    }
    CLPGDevice::SetBootloaderUpdateHandler(nullptr);
    CSimFixture::setPorts({});
}

// A controller of another kind is reported once per run of the program.
TEST(DeviceIdentifyUnknown, NoticeOncePerRunAcrossPortsAndDevices)
{
    runContext().reset(); // a program that has not met such a controller yet
    CRecordingUser user;
    CSimFixture fx;
    sim::FaultRule unknown;
    unknown.kind = sim::FaultKind::UnknownDevice; // identification answers 04 07
    fx.sim().addFault(unknown);

    {
        CLPGDevice device;
        CSimFixture::shortenTimeouts(device);
        fx.openDirect(device);
        device.m_signalFirmware = true;
        EXPECT_FALSE(device.Identify());
        EXPECT_FALSE(device.m_signalFirmware);
        EXPECT_EQ(device.m_deviceName, L"");
        ASSERT_EQ(user.messages().size(), 1u);
        EXPECT_EQ(user.messages()[0].text, L"BRAK POŁĄCZENIA");
        EXPECT_EQ(user.messages()[0].icon, MessageIcon::Error);
        // One reply decides: no further attempts.
        EXPECT_EQ(fx.sim().requestCount(), 1u);

        // The scan meets it again: silently refused, flags left as they are.
        device.m_signalFirmware = true;
        EXPECT_FALSE(device.Identify());
        EXPECT_TRUE(device.m_signalFirmware);
        EXPECT_EQ(user.messages().size(), 1u);
    }

    CLPGDevice another;
    CSimFixture::shortenTimeouts(another);
    fx.openDirect(another);
    EXPECT_FALSE(another.Identify());
    EXPECT_EQ(user.messages().size(), 1u);

    // A controller of our kind on the same line is still found.
    fx.sim().clearFaults();
    EXPECT_TRUE(another.Identify());
    EXPECT_EQ(another.m_deviceType, 29);
    EXPECT_EQ(user.messages().size(), 1u);
}

} // namespace
