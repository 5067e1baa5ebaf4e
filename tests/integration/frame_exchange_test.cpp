// The frame exchange of CLPGDevice against a scripted peer on a real pseudo-terminal. The
// device keeps the program's own time-outs unless a test says otherwise, so every failure path
// here costs what it costs in the program.
#include "device/frame.h"
#include "device/lpg_device.h"
#include "platform/port_table.h"
#include "support/scripted_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes slice(const Bytes& b, size_t from, size_t to)
{
    return Bytes(b.begin() + from, b.begin() + to);
}

Bytes replyFrame(uint8_t type, uint16_t random, const Bytes& plain)
{
    return frame::encode(type, random, plain.data(), plain.size());
}

// The request every test sends unless it says otherwise: command 0x0D, n = 6 (14 bytes).
constexpr size_t kRequestSize = 14;

class FrameExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        porttable::setPortOverride({peer.path()});
        device.Port().open(1);
        device.ConfigurePort();
        device.SetFixedRandomWord(0x1234);
    }
    void TearDown() override { porttable::setPortOverride({}); }

    // Sends the 0x0D command through SendReceive (or SendReceiveDiag).
    bool exchange(bool diag = false)
    {
        std::memset(buffer, 0xEE, sizeof buffer);
        const uint8_t request[6] = {0x0D, 0, 0, 0, 0, 0};
        std::memcpy(buffer, request, sizeof request);
        length = 6;
        type = 2;
        if (diag)
            return device.SendReceiveDiag(buffer, &length, &type) == CLPGDevice::kDiagOk;
        return device.SendReceive(buffer, &length, &type);
    }

    // Every byte after the first `used` must have been cleared.
    bool clearedFrom(size_t used) const
    {
        for (size_t i = used; i < frame::kBufferSize; ++i)
            if (buffer[i] != 0)
                return false;
        return true;
    }

    CScriptedPeer peer;
    CLPGDevice device;
    uint8_t buffer[frame::kBufferSize + 16] = {};
    uint8_t length = 0;
    uint8_t type = 0;
};

TEST_F(FrameExchangeTest, SendsTheWorkedExampleByteForByteAndDecodesTheReply)
{
    const Bytes status = {4, 0x21, 0, 0, 0, 0};
    peer.waitFor(kRequestSize).send(replyFrame(2, 0x0ABC, status)).start();
    ASSERT_TRUE(exchange());
    ASSERT_TRUE(peer.finish());
    const Bytes expected = {0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5E};
    EXPECT_EQ(peer.received(), expected);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(length, 6);
    EXPECT_EQ(Bytes(buffer, buffer + 6), status);
    EXPECT_TRUE(clearedFrom(8)) << "the buffer is cleared before the reply is read";
    EXPECT_EQ(device.Port().clearCommError(), 0u);
}

TEST_F(FrameExchangeTest, OddPayloadsLeaveTheLastByteUnrotatedBothWays)
{
    device.SetFixedRandomWord(0x0003); // s = 3
    const Bytes request = {0x01, 0x80, 0xFF, 0x00, 0x10, 0x20, 0x7B};
    const Bytes reply = {0x11, 0x22, 0x33, 0x44, 0x55};
    peer.waitFor(request.size() + 8).send(replyFrame(3, 0x002F, reply)).start();
    std::memcpy(buffer, request.data(), request.size());
    length = static_cast<uint8_t>(request.size());
    type = 3;
    ASSERT_TRUE(device.SendReceive(buffer, &length, &type));
    ASSERT_TRUE(peer.finish());

    const Bytes wire = peer.received();
    ASSERT_EQ(wire.size(), 15u);
    EXPECT_EQ(slice(wire, 0, 6), (Bytes{0xAA, 0x55, 9, 3, 0x00, 0x03}));
    // 0x8001 rotated left by 3 is 0x000C, 0x00FF is 0x07F8, 0x2010 is 0x0081.
    EXPECT_EQ(slice(wire, 6, 12), (Bytes{0x0C, 0x00, 0xF8, 0x07, 0x81, 0x00}));
    EXPECT_EQ(wire[12], 0x7B) << "the odd byte travels as it is";
    const unsigned q = 9 + 3 + 1 + 0x03 + 0x00 + 0x01 + 0x80 + 0xFF + 0x00 + 0x10 + 0x20 + 0x7B;
    EXPECT_EQ(wire[13], q >> 8);
    EXPECT_EQ(wire[14], q & 0xFF);

    EXPECT_EQ(length, 5);
    EXPECT_EQ(Bytes(buffer, buffer + 5), reply);
}

TEST_F(FrameExchangeTest, ZeroRotationSendsThePayloadAsItIs)
{
    device.SetFixedRandomWord(0x0120); // a multiple of 16
    peer.waitFor(kRequestSize).send(replyFrame(2, 0x0010, {4, 0, 0, 0, 0, 0})).start();
    ASSERT_TRUE(exchange());
    ASSERT_TRUE(peer.finish());
    EXPECT_EQ(slice(peer.received(), 4, 12), (Bytes{0x01, 0x20, 0x0D, 0, 0, 0, 0, 0}));
}

TEST_F(FrameExchangeTest, ResynchronisesOnTheFirstStartByte)
{
    const Bytes first = replyFrame(2, 0x7001, {4, 9, 8, 7, 6, 5});
    const Bytes second = replyFrame(2, 0x000B, {4, 1, 2, 3, 4, 5});
    // 00 AA 55 08 realigns by one byte; 01 02 03 AA by three.
    peer.waitFor(kRequestSize)
        .send(concat({{0x00}, first}))
        .waitFor(2 * kRequestSize)
        .send(concat({{0x01, 0x02, 0x03}, second}))
        .start();
    ASSERT_TRUE(exchange());
    EXPECT_EQ(Bytes(buffer, buffer + 6), (Bytes{4, 9, 8, 7, 6, 5}));
    ASSERT_TRUE(exchange(true));
    EXPECT_EQ(Bytes(buffer, buffer + 6), (Bytes{4, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, HeaderWithoutStartByteFailsWithoutWaiting)
{
    const Bytes reply = replyFrame(2, 0x0100, {4, 0, 0, 0, 0, 0});
    peer.waitFor(kRequestSize)
        .send(concat({{0x01, 0x02, 0x03, 0x04}, reply}))
        .waitFor(2 * kRequestSize)
        .send(concat({{0x55, 0x55, 0x55, 0x55}, reply}))
        .start();
    auto start = Clock::now();
    EXPECT_FALSE(exchange());
    EXPECT_LT(msSince(start), 700) << "four bytes without 0xAA fail at once";
    start = Clock::now();
    EXPECT_FALSE(exchange(true));
    EXPECT_LT(msSince(start), 700);
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, WrongSecondStartByteIsTakenAndTheChecksumDecides)
{
    Bytes good = replyFrame(2, 0x0042, {4, 7, 0, 0, 0, 0});
    good[1] = 0x56; // the start bytes are outside the checksum
    Bytes bad = good;
    bad[7] ^= 0x01;
    peer.waitFor(kRequestSize)
        .send(good)
        .waitFor(2 * kRequestSize)
        .send(bad)
        .waitFor(3 * kRequestSize)
        .send(good)
        .waitFor(4 * kRequestSize)
        .send(bad)
        .start();
    EXPECT_TRUE(exchange());
    EXPECT_EQ(buffer[1], 7);
    EXPECT_FALSE(exchange());
    EXPECT_TRUE(exchange(true));
    EXPECT_FALSE(exchange(true));
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, ChecksumMismatchFailsBothRoutines)
{
    Bytes reply = replyFrame(9, 0x1F0F, Bytes(240, 0x33));
    reply.back() ^= 0x80;
    peer.waitFor(kRequestSize).send(reply).waitFor(2 * kRequestSize).send(reply).start();
    EXPECT_FALSE(exchange());
    EXPECT_FALSE(exchange(true));
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, VersionReplyLengthsDifferBetweenTheRoutines)
{
    Bytes version(30);
    for (size_t i = 0; i < version.size(); ++i)
        version[i] = static_cast<uint8_t>(0x30 + i);
    const Bytes reply = replyFrame(8, 0x2345, version);
    ASSERT_EQ(reply[2], 0x20);
    peer.waitFor(kRequestSize).send(reply).waitFor(2 * kRequestSize).send(reply).start();

    ASSERT_TRUE(exchange());
    EXPECT_EQ(type, 8);
    EXPECT_EQ(length, 30);
    EXPECT_EQ(Bytes(buffer, buffer + 30), version);

    ASSERT_TRUE(exchange(true));
    EXPECT_EQ(type, 8);
    EXPECT_EQ(length, 32);
    EXPECT_EQ(Bytes(buffer, buffer + 30), version);
    EXPECT_EQ(Bytes(buffer + 30, buffer + 32), slice(reply, reply.size() - 2, reply.size()))
        << "the checksum follows the payload as received";
    EXPECT_TRUE(clearedFrom(32));
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, PayloadSplitAcrossTheTimeoutIsTakenOnlyBySendReceive)
{
    // 40 payload bytes (L = 42): the first read gives up after 1042 ms with 10 of them, then 50 ms
    // later one more read waits up to another second for the rest, which comes at 1500 ms.
    Bytes map(40);
    for (size_t i = 0; i < map.size(); ++i)
        map[i] = static_cast<uint8_t>(i * 7);
    const Bytes reply = replyFrame(9, 0x3339, map);
    const Bytes head = slice(reply, 0, 16), tail = slice(reply, 16, reply.size());
    peer.waitFor(kRequestSize)
        .send(head)
        .pause(1500)
        .send(tail)
        .waitFor(2 * kRequestSize)
        .send(head)
        .pause(1500)
        .send(tail)
        .start();

    auto start = Clock::now();
    ASSERT_TRUE(exchange());
    EXPECT_GE(msSince(start), 1450);
    EXPECT_EQ(length, 40);
    EXPECT_EQ(Bytes(buffer, buffer + 40), map);

    start = Clock::now();
    EXPECT_FALSE(exchange(true)) << "a live sample is never waited for";
    const long elapsed = msSince(start);
    EXPECT_GE(elapsed, 1000);
    EXPECT_LT(elapsed, 1450);
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, ReplyStillShortAfterTheSecondReadIsRefused)
{
    // L = 6 but only four payload bytes come. Read as they arrived, the last two of them make a
    // checksum that matches (0x0110 = 6 + 2 + 1 + 0xF6 + 0x01 + 0x10), yet the reply is cut.
    const Bytes cut = {0xAA, 0x55, 0x06, 0x02, 0x00, 0x00, 0xF6, 0x00, 0x01, 0x10};
    peer.waitFor(kRequestSize).send(cut).start();
    const auto start = Clock::now();
    EXPECT_FALSE(exchange());
    EXPECT_GE(msSince(start), 2000) << "both reads and the 50 ms wait ran";
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, ShortenedTimeoutsShortenTheWait)
{
    device.Timings().readConstantMs = 40;
    device.ConfigurePort();
    peer.start();
    const auto start = Clock::now();
    EXPECT_FALSE(exchange());
    EXPECT_LT(msSince(start), 500);
}

TEST_F(FrameExchangeTest, OversizedRequestIsRefusedBeforeAnythingIsSent)
{
    peer.start();
    length = 254;
    type = 9;
    EXPECT_FALSE(device.SendReceive(buffer, &length, &type));
    length = 254;
    EXPECT_EQ(device.SendReceiveDiag(buffer, &length, &type), CLPGDevice::kDiagFailed);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(peer.receivedCount(), 0u);
}

TEST_F(FrameExchangeTest, HangUpMidFrameRaisesCode6AndReleasesTheMutex)
{
    peer.waitFor(kRequestSize).send({0xAA, 0x55, 0x08, 0x02, 0x12}).pause(20).hangUp().start();
    std::unique_ptr<IError> error;
    const auto start = Clock::now();
    try {
        exchange();
    } catch (IError* e) {
        error = adoptError(e);
    }
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->getClassName(), L"CRSError");
    EXPECT_EQ(error->code(), 6u);
    EXPECT_LT(msSince(start), 900) << "the hang-up is seen before the read time-out";
    EXPECT_NE(device.Port().clearCommError(), 0u);

    // Another thread gets the mutex and meets the same failure instead of a silent reply.
    auto other = std::async(std::launch::async, [this] {
        uint8_t buf[frame::kBufferSize] = {0x06};
        uint8_t len = 6, t = 2;
        try {
            device.SendReceiveDiag(buf, &len, &t);
        } catch (IError* e) {
            return adoptError(e)->code();
        }
        return 0u;
    });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(3)), std::future_status::ready) << "mutex still held";
    EXPECT_EQ(other.get(), 6u);
}

// Each failure of the table, with the program's own time-outs, through both routines.
struct FailureCase {
    const char* name;
    Bytes reply;
    long minMs; // the waits the routine must have sat through
};

class ExchangeFailureTest : public FrameExchangeTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ExchangeFailureTest, FailsAfterTheDescribedWaits)
{
    const FailureCase& c = GetParam();
    peer.waitFor(kRequestSize).send(c.reply).waitFor(2 * kRequestSize).send(c.reply).start();
    auto start = Clock::now();
    EXPECT_FALSE(exchange());
    const long plain = msSince(start);
    start = Clock::now();
    EXPECT_FALSE(exchange(true));
    const long diag = msSince(start);
    EXPECT_GE(plain, c.minMs);
    EXPECT_GE(diag, c.minMs);
    EXPECT_LT(plain, c.minMs + 1500);
    EXPECT_LT(diag, c.minMs + 1500);
    EXPECT_TRUE(peer.finish());
}

INSTANTIATE_TEST_SUITE_P(
    RealTimeouts, ExchangeFailureTest,
    ::testing::Values(FailureCase{"NoReply", {}, 1000},
                      FailureCase{"ThreeHeaderBytes", {0xAA, 0x55, 0x08}, 1000},
                      FailureCase{"ResyncCannotComplete", {0x00, 0x00, 0xAA, 0x55}, 1000},
                      FailureCase{"RandomWordShort", {0xAA, 0x55, 0x08, 0x02, 0x12}, 1000},
                      FailureCase{"NoPayload", {0xAA, 0x55, 0x08, 0x02, 0x12, 0x34}, 1000},
                      FailureCase{"TwoBytesOrFewer", {0xAA, 0x55, 0x02, 0x02, 0x12, 0x34, 0x00, 0x49}, 0},
                      FailureCase{
                          "PayloadShort", {0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0, 0x00, 0x00}, 1000}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(FrameExchangeTest, ConcurrentExchangesNeverInterleaveOnTheWire)
{
    device.SetFixedRandomWord(-1);
    peer.respondEvery(kRequestSize, replyFrame(2, 0x0777, {4, 0, 0, 0, 0, 0}));
    peer.start();
    constexpr int kPerThread = 25;
    auto worker = [this](uint8_t code) {
        int ok = 0;
        for (int i = 0; i < kPerThread; ++i) {
            uint8_t buf[frame::kBufferSize] = {code, 0, 0, 0, 0, 0};
            uint8_t len = 6, t = 2;
            const bool good = (code & 1) ? device.SendReceive(buf, &len, &t)
                                         : device.SendReceiveDiag(buf, &len, &t) == CLPGDevice::kDiagOk;
            ok += good && buf[0] == 4 ? 1 : 0;
        }
        return ok;
    };
    auto a = std::async(std::launch::async, worker, uint8_t{0x07});
    auto b = std::async(std::launch::async, worker, uint8_t{0x06});
    EXPECT_EQ(a.get(), kPerThread);
    EXPECT_EQ(b.get(), kPerThread);

    const Bytes wire = peer.received();
    ASSERT_EQ(wire.size(), 2 * kPerThread * kRequestSize);
    int sevens = 0;
    for (size_t at = 0; at < wire.size(); at += kRequestSize) {
        const auto request = frame::decode(wire.data() + at, kRequestSize);
        ASSERT_TRUE(request.has_value()) << "request at " << at << " was torn";
        EXPECT_LT(request->random, 0x8000) << "the random word has 15 bits";
        sevens += request->payload[0] == 0x07 ? 1 : 0;
    }
    EXPECT_EQ(sevens, kPerThread);
}

} // namespace
