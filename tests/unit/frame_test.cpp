#include "device/frame.h"

#include <gtest/gtest.h>

// The worked example: payload 0D 00 00 00 00 00, type 2, random word 0x1234.
TEST(FrameCodec, EncodesTheWorkedExampleByteForByte)
{
    const uint8_t plain[] = {0x0D, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> expected = {0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0, 0x00,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x5E};
    EXPECT_EQ(frame::encode(2, 0x1234, plain, sizeof plain), expected);
}

// Random 0x004C rotates by 12: the shift takes all four low bits, not only three.
TEST(FrameCodec, RotatesByTheLowNibbleOfTheRandomWord)
{
    const uint8_t plain[] = {0x0D, 0x00, 0x34, 0x12};
    const std::vector<uint8_t> expected = {0xAA, 0x55, 0x06, 0x02, 0x00, 0x4C,
                                           0x00, 0xD0, 0x23, 0x41, 0x00, 0xA8};
    EXPECT_EQ(frame::encode(2, 0x004C, plain, sizeof plain), expected);
}

TEST(FrameCodec, RoundTripsEveryRotationAndOddLengths)
{
    for (uint16_t random : {0x0000, 0x0001, 0x7FFF, 0x1230, 0x4567}) {
        for (size_t n : {0u, 1u, 2u, 7u, 252u, 253u}) {
            std::vector<uint8_t> plain(n);
            for (size_t i = 0; i < n; ++i)
                plain[i] = static_cast<uint8_t>(i * 37 + 11);
            const auto wire = frame::encode(9, random, plain.data(), n);
            ASSERT_EQ(wire.size(), n + 8);
            if (n % 2 == 1) {
                EXPECT_EQ(wire[6 + n - 1], plain[n - 1]) << "odd last byte travels unrotated";
            }
            size_t used = 0;
            const auto back = frame::decode(wire.data(), wire.size(), &used);
            ASSERT_TRUE(back.has_value()) << "random " << random << " n " << n;
            EXPECT_EQ(used, wire.size());
            EXPECT_EQ(back->type, 9);
            EXPECT_EQ(back->random, random);
            EXPECT_EQ(back->payload, plain);
        }
    }
}

TEST(FrameCodec, RefusesACorruptedChecksumOrStart)
{
    const uint8_t plain[] = {1, 2, 3, 4};
    auto wire = frame::encode(3, 0x0102, plain, sizeof plain);
    auto bad = wire;
    bad.back() ^= 1;
    EXPECT_FALSE(frame::decode(bad.data(), bad.size()).has_value());
    bad = wire;
    bad[1] = 0x56;
    EXPECT_FALSE(frame::decode(bad.data(), bad.size()).has_value());
    EXPECT_FALSE(frame::decode(wire.data(), wire.size() - 1).has_value());
}
