// The virtual controller answers the command set over a real pseudo-terminal, byte for byte. Its
// read commands and identity are what the device's own tests read from it; here what only it does.
#include "sim/pty_client.h"
#include "sim/virtual_controller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using sim::PtyClient;
using sim::VirtualController;
using Bytes = std::vector<uint8_t>;

namespace {

class SimCommands : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(vc.start()) << vc.lastError();
        ASSERT_TRUE(port.open(vc.path())) << std::strerror(errno);
    }

    // Sends a request and checks that the raw reply is exactly one well-formed frame of the given
    // type and payload, scrambled with the random word it carries.
    void expectReply(uint8_t type, const Bytes& request, uint8_t replyType, const Bytes& replyPayload)
    {
        ASSERT_TRUE(port.send(type, request));
        const Bytes raw = port.readReply();
        ASSERT_GE(raw.size(), 8u) << "no reply";
        const uint16_t random = static_cast<uint16_t>((raw[4] << 8) | raw[5]);
        EXPECT_EQ(raw, frame::encode(replyType, random, replyPayload.data(), replyPayload.size()));
        EXPECT_EQ(random & 0x8000, 0) << "the controller's random word has 15 bits";
    }

    VirtualController vc;
    PtyClient port;
};

Bytes cmd(uint8_t code, uint16_t word = 0)
{
    return {code, 0, uint8_t(word & 0xFF), uint8_t(word >> 8), 0, 0};
}

const Bytes kOk = {4, 0, 0, 0, 0, 0}, kRefused = {0, 0, 0, 0, 0, 0};

template <size_t N> Bytes bytes(const std::array<uint8_t, N>& a)
{
    return Bytes(a.begin(), a.end());
}

} // namespace

TEST_F(SimCommands, WritesAreStoredAndReadBack)
{
    Bytes settings = {0x20, 0x01, 5, 0, 36, 2, 1, 0, 0, 0, 1, 10, 1, 0, 0, 0, 0, 0, 0, 0};
    expectReply(3, settings, 2, kOk);
    expectReply(2, cmd(0x07), 3, settings);
    EXPECT_EQ(bytes(vc.settings()), settings);

    Bytes map(240);
    for (size_t k = 0; k < map.size(); ++k)
        map[k] = uint8_t(k % 251);
    expectReply(9, map, 2, kOk);
    expectReply(2, cmd(0x0E), 9, map);
    EXPECT_NE(bytes(vc.savedMap()), map) << "not stored before SaveMap";
    expectReply(2, cmd(0x0F), 2, kOk);
    EXPECT_EQ(bytes(vc.savedMap()), map);

    Bytes axes(48);
    for (size_t k = 0; k < axes.size(); ++k)
        axes[k] = uint8_t(3 * k + 1);
    expectReply(11, axes, 2, kOk);
    expectReply(2, cmd(0x11), 11, axes);

    // Blocks of the wrong size are refused and change nothing.
    for (auto [type, size] : {std::pair<uint8_t, size_t>{9, 239}, {3, 19}, {11, 50}})
        expectReply(type, Bytes(size, 7), 2, kRefused);
    EXPECT_EQ(bytes(vc.map()), map);
    EXPECT_EQ(bytes(vc.settings()), settings);
    EXPECT_EQ(bytes(vc.axes()), axes);

    expectReply(2, cmd(0x10), 2, kOk);
    expectReply(2, cmd(0x0E), 9, Bytes(240, 0));
    EXPECT_EQ(bytes(vc.savedMap()), map) << "ClearMap alone does not touch the stored map";

    expectReply(2, cmd(0xC4), 2, kOk); // the application is not the boot loader
    expectReply(2, cmd(0x42), 2, kRefused); // unknown command refused
}

TEST_F(SimCommands, ResetDeviceClearsTheErrorBytesAndAWrongWheelLatchesItsFault)
{
    vc.setErrors({0x81, 0x03, 0x01, 0x00});
    expectReply(2, cmd(0x05), 6, {0x81, 0x03, 0x01, 0x00});
    expectReply(2, cmd(0x0A), 2, kOk);
    expectReply(2, cmd(0x05), 6, {0, 0, 0, 0});

    vc.setWheel(sim::Wheel::W36_2); // settings still say 60-2: the tooth-count fault latches
    expectReply(2, cmd(0x05), 6, {0, 0x02, 0, 0});
    Bytes settings = bytes(vc.settings());
    settings[4] = 36;
    expectReply(3, settings, 2, kOk);
    expectReply(2, cmd(0x0A), 2, kOk);
    expectReply(2, cmd(0x05), 6, {0, 0, 0, 0});
}

TEST_F(SimCommands, LiveSampleEncodesTheOperatingPoint)
{
    // A flat map answers its one value wherever the engine runs.
    std::array<uint8_t, sim::kMapSize> flat;
    flat.fill(123);
    vc.setMap(flat);
    vc.setFixedPoint({2000, 1.5, 1.65, 14.0, 2.5, true});
    vc.setProfile(sim::Profile::Fixed);
    // rpm 2000; TPS 1.5 V = 100 x 15 mV; MAP 1.65 V of 3.3 V on 10 bits = 512; supply 14 V = 686;
    // advance 12.3 degrees; switch on; potentiometer 2.5 V.
    expectReply(2, cmd(0x06), 1, {0xD0, 0x07, 100, 0, 0x00, 0x02, 0, 0, 0xAE, 0x02, 123, 0, 1, 25});

    // Switch off (petrol): no advance.
    vc.setFixedPoint({2000, 1.5, 1.65, 14.0, 2.5, false});
    expectReply(2, cmd(0x06), 1, {0xD0, 0x07, 100, 0, 0x00, 0x02, 0, 0, 0xAE, 0x02, 0, 0, 0, 25});
}

TEST_F(SimCommands, AdvanceIsInterpolatedInTheControllersOwnMap)
{
    std::array<uint8_t, sim::kMapSize> map{};
    for (size_t i = 0; i < 16; ++i)
        for (size_t j = 0; j < 15; ++j)
            map[i * 15 + j] = uint8_t(10 * j + i);
    vc.setMap(map);
    vc.setProfile(sim::Profile::Fixed);
    auto advance = [&](double rpm, double mapVolts) {
        vc.setFixedPoint({rpm, 0.5, mapVolts, 14.0, 2.5, true});
        const auto reply = port.command(0x06);
        EXPECT_TRUE(reply && reply->type == 1);
        return reply ? reply->payload[10] | (reply->payload[11] << 8) : -1;
    };
    // Factory axes: RPM 800 is column 1, MAP 0.15 V is row 0 (30 counts of 5 mV).
    EXPECT_EQ(advance(800, 0.15), 10);
    EXPECT_EQ(advance(650, 0.15), 5);   // half way between 500 and 800 RPM
    EXPECT_EQ(advance(300, 0.0), 0);    // below the axes: the corner cell
    EXPECT_EQ(advance(9000, 9.0), 155); // above: the far corner
    EXPECT_EQ(advance(800, 0.485), 11); // MAP row 1 (97 counts)
}

TEST_F(SimCommands, PortReopensLikeTheProgramDoesAfterATimeOut)
{
    ASSERT_TRUE(port.command(0xCC));
    // A request abandoned half way (the program gave up and reopened) does not block the next.
    const Bytes whole = frame::encode(9, 0x0101, Bytes(240, 1).data(), 240);
    ASSERT_TRUE(port.sendRaw(Bytes(whole.begin(), whole.begin() + 100)));
    port.close();
    ASSERT_TRUE(port.open(vc.path()));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const auto reply = port.command(0x0D);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, 8);
    EXPECT_NE(vc.map()[0], 1) << "the cut-off map write was not taken";
}
