// The frame exchange of CLPGDevice against a scripted peer on a real pseudo-terminal. The
// device keeps the program's own time-outs unless a test says otherwise, so every failure path
// here costs what it costs in the program.
#include "device/frame.h"
#include "device/lpg_device.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using testsupport::msSince;

Bytes concat(Bytes head, const Bytes& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Bytes slice(const Bytes& b, size_t from, size_t to)
{
    return Bytes(b.begin() + from, b.begin() + to);
}

Bytes replyFrame(uint8_t type, uint16_t random, const Bytes& plain)
{
    return frame::encode(type, random, plain.data(), plain.size());
}

// XORs one byte (counted from the end when negative).
Bytes flip(Bytes b, long at, uint8_t mask)
{
    b[at < 0 ? b.size() + at : at] ^= mask;
    return b;
}

// The request every test sends unless it says otherwise: command 0x0D, n = 6 (14 bytes).
constexpr size_t kRequestSize = 14;
const Bytes kStatus = {4, 0, 0, 0, 0, 0};

class FrameExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        CSimFixture::setPorts({peer.path()});
        CSimFixture::openDirect(device);
        device.SetFixedRandomWord(0x1234);
    }
    void TearDown() override { CSimFixture::setPorts({}); }

    // Sends request (the 0x0D command by default) through SendReceive or SendReceiveDiag.
    bool exchange(bool diag = false, const Bytes& request = {0x0D, 0, 0, 0, 0, 0}, uint8_t requestType = 2)
    {
        std::memset(buffer, 0xEE, sizeof buffer);
        std::memcpy(buffer, request.data(), request.size());
        length = static_cast<uint8_t>(request.size());
        type = requestType;
        if (diag)
            return device.SendReceiveDiag(buffer, &length, &type) == CLPGDevice::kDiagOk;
        return device.SendReceive(buffer, &length, &type);
    }

    // Every byte after the first `used` must have been cleared.
    bool clearedFrom(size_t used) const
    {
        return std::all_of(buffer + used, buffer + frame::kBufferSize, [](uint8_t b) { return b == 0; });
    }

    CScriptedPeer peer;
    CLPGDevice device;
    uint8_t buffer[frame::kBufferSize + 16] = {};
    uint8_t length = 0;
    uint8_t type = 0;
};

// The encoding itself is the frame's unit test; here the wire must carry exactly that encoding,
// even payload or odd, and the reply must come back decoded.
TEST_F(FrameExchangeTest, RequestsGoOutAsTheirEncodingAndRepliesAreDecoded)
{
    struct Case {
        uint16_t random;
        uint8_t type;
        Bytes request, reply;
    };
    const Case cases[] = {{0x1234, 2, {0x0D, 0, 0, 0, 0, 0}, {4, 0x21, 0, 0, 0, 0}},
                          {0x0003, 3, {0x01, 0x80, 0xFF, 0x00, 0x10, 0x20, 0x7B}, {0x11, 0x22, 0x33, 0x44, 0x55}}};
    size_t sent = 0;
    for (const Case& c : cases)
        peer.waitFor(sent += c.request.size() + 8).send(replyFrame(c.type, 0x0ABC, c.reply));
    peer.start();
    sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.random);
        device.SetFixedRandomWord(c.random);
        ASSERT_TRUE(exchange(false, c.request, c.type));
        const Bytes wire = frame::encode(c.type, c.random, c.request.data(), c.request.size());
        EXPECT_EQ(slice(peer.received(), sent, sent + wire.size()), wire);
        sent += wire.size();
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(Bytes(buffer, buffer + length), c.reply);
        EXPECT_TRUE(clearedFrom(c.reply.size() + 2)) << "the buffer is cleared before the reply is read";
    }
    EXPECT_TRUE(peer.finish());
    EXPECT_EQ(device.Port().clearCommError(), 0u);
}

TEST_F(FrameExchangeTest, BothRoutinesTakeOrRefuseEachReplyAfterTheDescribedWaits)
{
    // minMs: the waits the routine must have sat through; maxMs: the most it may take.
    struct Case {
        const char* name;
        Bytes reply;
        bool ok;
        long minMs, maxMs;
        Bytes payload = {};
    };
    const Bytes secondStart56 = flip(replyFrame(2, 0x0042, {4, 7, 0, 0, 0, 0}), 1, 0x55 ^ 0x56);
    const Case cases[] = {
        // 00 AA 55 08 realigns by one byte; 01 02 03 AA by three.
        // clang-format off
        {"resync by one", concat({0}, replyFrame(2, 0x7001, {4, 9, 8, 7, 6, 5})), true, 0, 700, {4, 9, 8, 7, 6, 5}},
        {"resync by three", concat({1, 2, 3}, replyFrame(2, 0xB, {4, 1, 2, 3, 4, 5})), true, 0, 700, {4, 1, 2, 3, 4, 5}},
        // clang-format on
        // Four bytes without 0xAA fail at once.
        {"no start byte", concat({1, 2, 3, 4}, replyFrame(2, 0x0100, kStatus)), false, 0, 700},
        {"only second start bytes", concat({0x55, 0x55, 0x55, 0x55}, replyFrame(2, 0x100, kStatus)), false, 0,
         700},
        // The start bytes are outside the checksum: a wrong second one is taken, the sum decides.
        {"wrong second start byte", secondStart56, true, 0, 700, {4, 7, 0, 0, 0, 0}},
        {"wrong second start byte, bad sum", flip(secondStart56, 7, 0x01), false, 0, 1500},
        {"checksum mismatch", flip(replyFrame(9, 0x1F0F, Bytes(240, 0x33)), -1, 0x80), false, 0, 1500},
        {"no reply", {}, false, 1000, 2500},
        {"three header bytes", {0xAA, 0x55, 0x08}, false, 1000, 2500},
        {"resync cannot complete", {0x00, 0x00, 0xAA, 0x55}, false, 1000, 2500},
        {"random word short", {0xAA, 0x55, 0x08, 0x02, 0x12}, false, 1000, 2500},
        {"no payload", {0xAA, 0x55, 0x08, 0x02, 0x12, 0x34}, false, 1000, 2500},
        {"two bytes or fewer", {0xAA, 0x55, 0x02, 0x02, 0x12, 0x34, 0x00, 0x49}, false, 0, 1500},
        {"payload short", {0xAA, 0x55, 0x08, 0x02, 0x12, 0x34, 0xD0, 0x00, 0x00}, false, 1000, 2500},
    };
    size_t requests = 0;
    for (const Case& c : cases)
        for (int routine = 0; routine < 2; ++routine)
            peer.waitFor(++requests * kRequestSize).send(c.reply);
    peer.start();
    for (const Case& c : cases)
        for (bool diag : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (diag ? ", SendReceiveDiag" : ", SendReceive"));
            const auto start = Clock::now();
            EXPECT_EQ(exchange(diag), c.ok);
            const long elapsed = msSince(start);
            EXPECT_GE(elapsed, c.minMs);
            EXPECT_LT(elapsed, c.maxMs);
            if (c.ok) {
                EXPECT_EQ(Bytes(buffer, buffer + c.payload.size()), c.payload);
            }
        }
    EXPECT_TRUE(peer.finish(std::chrono::seconds(60)));
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
    EXPECT_EQ(Bytes(buffer, buffer + 32), concat(version, slice(reply, reply.size() - 2, reply.size())))
        << "the checksum follows the payload as received";
    EXPECT_TRUE(clearedFrom(32));
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, PayloadSplitAcrossTheTimeoutIsTakenOnlyBySendReceive)
{
    // L = 42: the first read gives up after 1042 ms with 10 payload bytes, then 50 ms later one
    // more read waits up to another second for the rest, which comes at 1500 ms.
    Bytes map(40);
    for (size_t i = 0; i < map.size(); ++i)
        map[i] = static_cast<uint8_t>(i * 7);
    const Bytes reply = replyFrame(9, 0x3339, map);
    const Bytes head = slice(reply, 0, 16), tail = slice(reply, 16, reply.size());
    peer.waitFor(kRequestSize).send(head).pause(1500).send(tail);
    peer.waitFor(2 * kRequestSize).send(head).pause(1500).send(tail).start();

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
    // L = 6 but only four payload bytes come; the last two of them happen to make a matching
    // checksum (0x0110 = 6 + 2 + 1 + 0xF6 + 0x01 + 0x10), yet the reply is cut.
    peer.waitFor(kRequestSize).send({0xAA, 0x55, 0x06, 0x02, 0x00, 0x00, 0xF6, 0x00, 0x01, 0x10}).start();
    const auto start = Clock::now();
    EXPECT_FALSE(exchange());
    EXPECT_GE(msSince(start), 2000) << "both reads and the 50 ms wait ran";
    EXPECT_TRUE(peer.finish());
}

TEST_F(FrameExchangeTest, OversizedRequestIsNeverSentAndShortenedTimeoutsShortenTheWait)
{
    peer.start();
    length = 254;
    type = 9;
    EXPECT_FALSE(device.SendReceive(buffer, &length, &type));
    length = 254;
    EXPECT_EQ(device.SendReceiveDiag(buffer, &length, &type), CLPGDevice::kDiagFailed);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(peer.receivedCount(), 0u);

    device.Timings().readConstantMs = 40;
    device.ConfigurePort();
    const auto start = Clock::now();
    EXPECT_FALSE(exchange());
    EXPECT_LT(msSince(start), 500);
}

// The port's own test says how a hang-up is raised; here the exchange must pass it on at once
// and leave the device usable by the next caller.
TEST_F(FrameExchangeTest, HangUpMidFrameRaisesCode6AndReleasesTheMutex)
{
    peer.waitFor(kRequestSize).send({0xAA, 0x55, 0x08, 0x02, 0x12}).pause(20).hangUp().start();
    auto exchangeError = [this](bool diag) {
        try {
            exchange(diag);
        } catch (IError* e) {
            return adoptError(e)->code();
        }
        return 0u;
    };
    const auto start = Clock::now();
    EXPECT_EQ(exchangeError(false), 6u);
    EXPECT_LT(msSince(start), 900) << "the hang-up is seen before the read time-out";

    // Another thread gets the mutex and meets the same failure instead of a silent reply.
    auto other = std::async(std::launch::async, exchangeError, true);
    ASSERT_EQ(other.wait_for(std::chrono::seconds(3)), std::future_status::ready) << "mutex still held";
    EXPECT_EQ(other.get(), 6u);
}

TEST_F(FrameExchangeTest, ConcurrentExchangesNeverInterleaveOnTheWire)
{
    device.SetFixedRandomWord(-1);
    peer.respondEvery(kRequestSize, replyFrame(2, 0x0777, kStatus));
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

// One damaged byte of a reply, the controller pacing its bytes at 38400 baud so that the rest of
// the damaged reply is still arriving when the attempt fails: the byte costs exactly one attempt,
// and every command after it succeeds at its first request (nothing stale is read as a reply).
TEST(DamagedReplyByte, CostsOneAttemptAndLeavesTheLineInStep)
{
    struct Case {
        unsigned byte;
        const char* what;
        unsigned requests; // for the map
    };
    // The second start byte is not checked (the checksum decides, and it does not cover it).
    const Case cases[] = {{0, "first start byte", 2}, {1, "second start byte", 1}, {2, "length", 2},
                          {3, "type", 2},             {6, "payload", 2},           {247, "checksum", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSimFixture fx;
        CLPGDevice device;
        CSimFixture::shortenTimeouts(device);
        fx.openDirect(device);
        fx.sim().setPacing(true);
        // The blocks held already, so that each read below takes one exchange when undamaged.
        ASSERT_TRUE(device.GetSettings() && device.GetMap() && device.GetMapAxes());
        const unsigned start = fx.sim().requestCount();
        sim::FaultRule damage = faultRule(sim::FaultKind::Damage);
        damage.byteIndex = c.byte;
        damage.times = 1;
        fx.sim().addFault(damage);

        // The map's reply is the longest (248 bytes, about 65 ms on the wire).
        ASSERT_TRUE(device.GetMap());
        EXPECT_EQ(fx.sim().requestCount(), start + c.requests);
        for (int k = 0; k < 8; ++k) {
            const unsigned before = fx.sim().requestCount();
            ASSERT_TRUE(device.GetSettings());
            ASSERT_TRUE(device.GetMapAxes());
            EXPECT_EQ(fx.sim().requestCount(), before + 2) << "round " << k;
        }
        device.Close();
    }
}
