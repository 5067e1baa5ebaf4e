// Boot-loader commands and image programming of the real device object against the virtual
// controller's boot loader and flash over a pseudo-terminal.
#include "device/lpg_device.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kFirst = 0x1800;
constexpr uint32_t kEnd = 0x8800;
constexpr uint32_t kBlock = 0x800;

// A full program area with a pattern that differs from row to row and from byte to byte.
std::vector<uint8_t> patternImage()
{
    std::vector<uint8_t> image(512 * 1024);
    for (size_t k = 0; k < image.size(); ++k)
        image[k] = static_cast<uint8_t>((k * 7 + (k >> 8) * 13 + 1) & 0xFF);
    return image;
}

uint32_t addressOf(const sim::LoggedRequest& r)
{
    return r.payload[0] | (r.payload[1] << 8) | (r.payload[2] << 16) |
           (static_cast<uint32_t>(r.payload[3]) << 24);
}

class DeviceBootTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        // The program's own time-outs: on a busy machine (under the thread sanitizer) a slow erase
        // must not pass for a lost reply and put a retry into the request log.
        fx.openDirect(device);
        // The boot-loader operations look at neither flag.
        device.m_connected = false;
        device.m_demo = true;
    }

    std::vector<sim::LoggedRequest> requests() { return fx.sim().requests(); }

    CRecordingUser user;
    CSimFixture fx;
    CLPGDevice device;
};

// Each block is erased before its first row; a row carries its address (little-endian) and bytes
// 0, 1 and 2 of each 4-byte program word of the 256 image bytes at twice the address.
TEST_F(DeviceBootTest, RowsAfterTheirBlocksEraseUpToTheEndAddress)
{
    fx.sim().enterBootloader(true);
    const auto image = patternImage();
    ASSERT_TRUE(device.ProgramImage(kFirst, kEnd, kBlock, image, 300));

    const auto log = requests();
    size_t erases = 0, rows = 0;
    uint32_t expectedRow = kFirst;
    for (const auto& r : log) {
        if (r.type == 0xF9) {
            EXPECT_EQ(addressOf(r), expectedRow) << "erase before the block's first row";
            EXPECT_EQ(r.payload.size(), 4u);
            ++erases;
        } else {
            ASSERT_EQ(r.type, 0xF7);
            ASSERT_EQ(addressOf(r), expectedRow);
            ASSERT_EQ(r.payload.size(), 196u);
            for (size_t w = 0; w < 64; ++w)
                for (size_t b = 0; b < 3; ++b)
                    ASSERT_EQ(r.payload[4 + 3 * w + b], image[2 * expectedRow + 4 * w + b]) << expectedRow;
            expectedRow += 0x80;
            ++rows;
        }
    }
    EXPECT_EQ(rows, 224u);
    EXPECT_EQ(erases, 14u);
    EXPECT_EQ(expectedRow, kEnd);
}

TEST_F(DeviceBootTest, RowsAreRetriedAndTheThirdRefusalFails)
{
    fx.sim().enterBootloader(true);
    const auto image = patternImage();
    // The erase is request 1; the first row's first two attempts fail.
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, 2));
    fx.sim().addFault(faultRule(sim::FaultKind::NoReply, 3));
    ASSERT_TRUE(device.ProgramImage(kFirst, kEnd, kBlock, image, 2));
    auto log = requests();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[1].payload, log[2].payload);
    EXPECT_EQ(log[1].payload, log[3].payload);
    EXPECT_EQ(addressOf(log[4]), kFirst + 0x80);

    // The boot loader refuses rows below the application: three attempts, then false.
    fx.sim().clearRequests();
    EXPECT_FALSE(device.ProgramImage(0x1780, kEnd, kBlock, image, 5));
    log = requests();
    ASSERT_EQ(log.size(), 3u);
    for (const auto& r : log) {
        EXPECT_EQ(r.type, 0xF7);
        EXPECT_EQ(addressOf(r), 0x1780u);
    }

    // An erase refused three times stops before any row.
    fx.sim().clearRequests();
    EXPECT_FALSE(device.ProgramImage(0x1000, kEnd, kBlock, image, 5));
    log = requests();
    ASSERT_EQ(log.size(), 3u);
    for (const auto& r : log)
        EXPECT_EQ(r.type, 0xF9);
}

TEST_F(DeviceBootTest, ShortImagesAndDegenerateArgumentsAreSafe)
{
    fx.sim().enterBootloader(true);
    // The image ends inside the first row: the rest of the row is the program area's zeros.
    std::vector<uint8_t> image(2 * kFirst + 100, 0);
    for (size_t k = 2 * kFirst; k < image.size(); ++k)
        image[k] = static_cast<uint8_t>(k);
    ASSERT_TRUE(device.ProgramImage(kFirst, kEnd, kBlock, image, 2));
    const auto log = requests();
    ASSERT_EQ(log.size(), 3u);
    size_t k = 4;
    for (size_t at = 2 * kFirst; at < 2 * kFirst + 256; ++at) {
        if (at % 4 != 3) {
            EXPECT_EQ(log[1].payload[k++], at < image.size() ? image[at] : 0) << at;
        }
    }

    fx.sim().clearRequests();
    EXPECT_FALSE(device.ProgramImage(kFirst, kEnd, 0, image, 2));
    EXPECT_TRUE(device.ProgramImage(kFirst, kEnd, kBlock, image, 0));
    EXPECT_TRUE(device.ProgramImage(kEnd, kFirst, kBlock, image, 5));
    EXPECT_TRUE(requests().empty());
}

TEST_F(DeviceBootTest, QueryExitAndResetOfTheBootLoader)
{
    uint16_t answer = 0;
    // The application answers the query, but not with the loader's confirmation.
    EXPECT_FALSE(device.QueryBootloader(0xC4, answer));
    EXPECT_EQ(answer, 0x00);

    fx.sim().enterBootloader(false);
    EXPECT_TRUE(device.QueryBootloader(0xC4, answer));
    EXPECT_EQ(answer, 0xE9);
    auto log = requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].type, 2);
    EXPECT_EQ(log[1].payload, (Bytes{0xC4, 0, 0, 0, 0, 0}));

    // Unanswered: three attempts, and the answer says so.
    fx.sim().clearRequests();
    sim::FaultRule always;
    always.kind = sim::FaultKind::BadChecksum;
    fx.sim().addFault(always);
    EXPECT_FALSE(device.QueryBootloader(0xC4, answer));
    EXPECT_EQ(answer, 0xFFFF);
    EXPECT_FALSE(device.ExitBootloader());
    EXPECT_FALSE(device.ResetAfterBoot());
    log = requests();
    ASSERT_EQ(log.size(), 9u);
    for (size_t k = 3; k < 6; ++k)
        EXPECT_EQ(log[k].payload, (Bytes{0x60, 0, 0, 0, 0, 0}));
    for (size_t k = 6; k < 9; ++k)
        EXPECT_EQ(log[k].payload, (Bytes{0x0A, 0, 0, 0, 0, 0}));
    fx.sim().clearFaults();

    // The flash still names a regular firmware: the loader starts it.
    EXPECT_TRUE(device.ExitBootloader());
    EXPECT_FALSE(fx.sim().inBootloader());
    fx.sim().enterBootloader(false);
    EXPECT_TRUE(device.ResetAfterBoot());
    EXPECT_FALSE(fx.sim().inBootloader());
}

TEST_F(DeviceBootTest, AccessFrameIsSentOnce)
{
    EXPECT_FALSE(device.BootloaderAccess("QK318265"));
    EXPECT_FALSE(fx.sim().inBootloader());
    EXPECT_TRUE(device.BootloaderAccess("QK318264"));
    EXPECT_TRUE(fx.sim().inBootloader());
    const auto log = requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].type, 0xF6);
    EXPECT_EQ(log[1].payload, (Bytes{'Q', 'K', '3', '1', '8', '2', '6', '4'}));

    fx.sim().clearRequests();
    fx.sim().addFault(faultRule(sim::FaultKind::BadChecksum, fx.sim().requestCount() + 1));
    EXPECT_FALSE(device.BootloaderAccess("QK318264"));
    EXPECT_EQ(requests().size(), 1u);
}

} // namespace
