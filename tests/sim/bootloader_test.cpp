// The boot loader of the virtual controller: entry by access code, the chip's flash rules, and the
// identity the new image brings. A whole update of every row is the firmware update's test.
#include "sim/pty_client.h"
#include "sim/virtual_controller.h"

#include <gtest/gtest.h>

#include <cstring>

using sim::PtyClient;
using sim::VirtualController;
using Bytes = std::vector<uint8_t>;

namespace {

class SimBootloader : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(vc.start()) << vc.lastError();
        ASSERT_TRUE(port.open(vc.path())) << std::strerror(errno);
    }

    // The status byte of a type-2 reply, -1 for anything else.
    int status(uint8_t type, const Bytes& payload)
    {
        const auto reply = port.exchange(type, payload);
        return reply && reply->type == 2 && !reply->payload.empty() ? reply->payload[0] : -1;
    }
    int command(uint8_t code) { return status(2, {code, 0, 0, 0, 0, 0}); }

    static Bytes address(uint32_t a)
    {
        return {uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16), uint8_t(a >> 24)};
    }
    int erase(uint32_t a) { return status(0xF9, address(a)); }
    // One row as the update packs it: the low three bytes of each 4-byte group of the image.
    int writeRow(uint32_t a, const Bytes& image)
    {
        Bytes payload = address(a);
        for (size_t k = 0; k < 256; k += 4)
            payload.insert(payload.end(), image.begin() + 2 * a + k, image.begin() + 2 * a + k + 3);
        return status(0xF7, payload);
    }
    int enter(char last = '4')
    {
        return status(0xF6, Bytes{'Q', 'K', '3', '1', '8', '2', '6', uint8_t(last)});
    }
    // The identification payload, empty when there is no answer.
    Bytes identity()
    {
        const auto reply = port.command(0xCC);
        return reply ? reply->payload : Bytes{};
    }

    VirtualController vc;
    PtyClient port;
};

// A program image with a recognisable pattern and the given identity word at address 0x1800.
Bytes makeImage(uint16_t version, uint8_t type)
{
    Bytes image(sim::kFlashBytes, 0);
    for (size_t k = 0; k < image.size(); ++k)
        image[k] = uint8_t((k * 7 + (k >> 9)) & 0xFF);
    image[0x3000] = uint8_t(version & 0xFF);
    image[0x3001] = uint8_t(version >> 8);
    image[0x3002] = type;
    return image;
}

} // namespace

TEST_F(SimBootloader, AccessCodeOpensTheBootloader)
{
    EXPECT_EQ(enter('5'), 0);
    EXPECT_FALSE(vc.inBootloader());
    EXPECT_EQ(erase(0x1800), 0) << "the application does not program flash";

    EXPECT_EQ(enter(), 4);
    EXPECT_TRUE(vc.inBootloader());
    EXPECT_EQ(command(0xCC), 5);
    const auto query = port.command(0xC4);
    EXPECT_EQ(query ? query->payload : Bytes{}, (Bytes{4, 0xE9, 0, 0, 0, 0}));
    EXPECT_EQ(command(0x07), 5) << "the loader knows no application command";
    EXPECT_EQ(enter(), 4);

    // Leaving with the factory image intact returns to the same firmware.
    EXPECT_EQ(command(0x60), 4);
    EXPECT_FALSE(vc.inBootloader());
    EXPECT_EQ(identity(), (Bytes{4, 29, 0x55, 0, 0, 0}));
}

TEST_F(SimBootloader, FlashRulesAreThoseOfTheChip)
{
    ASSERT_EQ(enter(), 4);
    Bytes image = makeImage(0x0101, 29);
    EXPECT_EQ(erase(0x1000), 0) << "the boot loader's own area";
    EXPECT_EQ(erase(0x1900), 0) << "not on an erase-block boundary";
    EXPECT_EQ(erase(0x40000), 0) << "past the end of program memory";
    EXPECT_EQ(writeRow(0x1840, image), 0) << "not on a row boundary";
    EXPECT_EQ(status(0xF7, Bytes(100, 0)), 0) << "short row";
    EXPECT_EQ(status(0xF9, Bytes(3, 0)), 0) << "short address";

    // A row written again without an erase keeps only the bits both writes left at 0.
    ASSERT_EQ(erase(0x2000), 4);
    ASSERT_EQ(writeRow(0x2000, image), 4);
    Bytes other = image;
    for (size_t k = 0x4000; k < 0x4100; ++k)
        other[k] = 0x0F;
    ASSERT_EQ(writeRow(0x2000, other), 4);
    const Bytes flash = vc.flashImage();
    for (size_t k = 0x4000; k < 0x4100; k += 4)
        for (size_t j = 0; j < 3; ++j)
            ASSERT_EQ(flash[k + j], image[k + j] & 0x0F) << k + j;
}

TEST_F(SimBootloader, BlankControllerStaysInItsBootloaderUntilProgrammed)
{
    vc.enterBootloader(true);
    EXPECT_EQ(command(0xCC), 5);
    EXPECT_EQ(command(0x0A), 4);
    EXPECT_TRUE(vc.inBootloader()) << "no valid application to start";
    EXPECT_EQ(command(0xCC), 5);

    // The identity word of the new image decides what starts: here the signal-reading firmware.
    const Bytes image = makeImage(0x0138, 30);
    ASSERT_EQ(erase(0x1800), 4);
    ASSERT_EQ(writeRow(0x1800, image), 4);
    EXPECT_EQ(command(0x0A), 4);
    EXPECT_FALSE(vc.inBootloader());
    EXPECT_EQ(identity(), (Bytes{4, 30, 0x55, 0, 0, 0}));
    EXPECT_EQ(vc.firmwareVersion(), 0x0138);
}
