// Faults injected by the virtual controller, seen from the program's side of the pseudo-terminal.
// The faults the device's tests count attempts with (no reply, checksum, damage, wrong type, stall,
// hang-up) show there; here the ones no other test depends on. The pacing's figures are
// tools/measure/link_measure's.
#include "sim/pty_client.h"
#include "sim/virtual_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>

using sim::FaultKind;
using sim::FaultRule;
using sim::FaultWhen;
using sim::PtyClient;
using sim::VirtualController;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

class SimFaults : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(vc.start()) << vc.lastError();
        ASSERT_TRUE(port.open(vc.path())) << std::strerror(errno);
    }

    FaultRule rule(const char* text)
    {
        std::string error;
        auto r = sim::parseFault(text, &error);
        EXPECT_TRUE(r) << text << ": " << error;
        return r.value_or(FaultRule{});
    }

    VirtualController vc;
    PtyClient port;
};

const Bytes kIdentify = {0xCC, 0, 0, 0, 0, 0};

} // namespace

TEST(SimFaultSpec, ParsesKindsTriggersAndOptions)
{
    auto r = sim::parseFault("split@cmd=0x0E,gap=80,times=2");
    ASSERT_TRUE(r);
    EXPECT_EQ(std::tuple(r->kind, r->when, r->code, r->gapMs, r->times),
              std::tuple(FaultKind::Split, FaultWhen::Command, 0x0E, 80u, 2u));
    r = sim::parseFault("noreply@5");
    ASSERT_TRUE(r);
    EXPECT_EQ(std::tuple(r->when, r->nth), std::tuple(FaultWhen::NthRequest, 5u));
    EXPECT_TRUE(sim::faultMatches(*r, 5, 2, 0xCC));
    EXPECT_FALSE(sim::faultMatches(*r, 4, 2, 0xCC));
    r = sim::parseFault("checksum@type=9");
    ASSERT_TRUE(r);
    EXPECT_TRUE(sim::faultMatches(*r, 1, 9, 0));
    EXPECT_FALSE(sim::faultMatches(*r, 1, 2, 9)) << "a frame type is not a command code";
    r = sim::parseFault("hangup@3,back=1500");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->backAfterMs, 1500);
    r = sim::parseFault("unknown-device");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->when, FaultWhen::Always);
    r = sim::parseFault("damage@2,byte=3,xor=0x80");
    ASSERT_TRUE(r);
    EXPECT_EQ(std::tuple(r->kind, r->nth, r->byteIndex, r->xorMask), std::tuple(FaultKind::Damage, 2u, 3u, 0x80));
    r = sim::parseFault("noise,ppm=1000,seed=4000000000");
    ASSERT_TRUE(r);
    EXPECT_EQ(std::tuple(r->kind, r->ppm, r->seed), std::tuple(FaultKind::Noise, 1000u, 4000000000u));

    r = sim::parseFault("twin@type=9,byte=5,reply=1,times=1");
    ASSERT_TRUE(r);
    EXPECT_EQ(std::tuple(r->kind, r->code, r->byteIndex, r->reply, r->times),
              std::tuple(FaultKind::Twin, 9, 5u, true, 1u));

    for (const char* bad : {"twin,reply=2", "", "fire", "noreply@0", "noreply@x", "split@cmd=0x100", "split,gap", "split,gap=-1",
                            "garbage,bytes=0", "stall@cmd=", "noreply,colour=3", "damage,xor=0", "damage,xor=256",
                            "noise,ppm=1000001", "damage,byte=263"}) {
        std::string error;
        EXPECT_FALSE(sim::parseFault(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST_F(SimFaults, SwallowedWriteIsNotStored)
{
    vc.addFault(rule("noreply@type=9"));
    EXPECT_FALSE(port.exchange(9, Bytes(240, 77), 300));
    EXPECT_NE(vc.map()[0], 77);
}

TEST_F(SimFaults, GarbageBeforeTheStartBytes)
{
    vc.addFault(rule("garbage@always,bytes=3"));
    ASSERT_TRUE(port.send(2, kIdentify));
    const Bytes raw = port.readReply();
    ASSERT_EQ(sim::findFrameStart(raw), 3u);
    for (size_t k = 0; k < 3; ++k)
        EXPECT_NE(raw[k], 0xAA) << "noise that a four-byte resynchronisation can skip";
    const auto reply = frame::decode(raw.data() + 3, raw.size() - 3);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->payload, (Bytes{4, 29, 0x55, 0, 0, 0}));
}

TEST_F(SimFaults, SplitReplyArrivesInTwoPartsAcrossTheGap)
{
    vc.addFault(rule("split@cmd=0x0E,gap=120"));
    ASSERT_TRUE(port.send(2, {0x0E, 0, 0, 0, 0, 0}));
    const auto sent = Clock::now();
    const Bytes first = port.readFor(60);
    EXPECT_GE(first.size(), 6u) << "header and random word come at once";
    EXPECT_LT(first.size(), 248u);
    Bytes all = first;
    const Bytes rest = port.readFor(1000, 248 - first.size());
    EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(100));
    all.insert(all.end(), rest.begin(), rest.end());
    ASSERT_EQ(all.size(), 248u);
    const auto reply = frame::decode(all.data(), all.size());
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, 9);
}

TEST_F(SimFaults, HangUpWithBackComesBackByItselfAndMovesTheLink)
{
    char folder[] = "/tmp/simlinkXXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string link = std::string(folder) + "/ttyDORAVINE";
    vc.setLinkPath(link);
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(vc.path(), target);

    std::string announced;
    std::mutex m;
    vc.setPathListener([&](const std::string& p) {
        std::lock_guard<std::mutex> lock(m);
        announced = p;
    });
    vc.addFault(rule("hangup@1,back=100"));
    EXPECT_FALSE(port.exchange(2, kIdentify, 300));
    std::string now, heard;
    for (int k = 0; k < 100 && (now.empty() || heard.empty()); ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        now = vc.path();
        std::lock_guard<std::mutex> lock(m);
        heard = announced;
    }
    ASSERT_FALSE(now.empty());
    EXPECT_EQ(heard, now) << "the new path is announced";
    port.close();
    ASSERT_TRUE(port.open(link)) << "the link follows the new terminal";
    EXPECT_TRUE(port.exchange(2, kIdentify));
    vc.stop();
    EXPECT_NE(access(link.c_str(), F_OK), 0) << "the link goes with the simulator";
    rmdir(folder);
}

TEST(SimLineNoise, TheSameSeedDamagesTheSameBytesAtAboutTheRate)
{
    const Bytes clean(200000, 0x5A);
    sim::LineNoise a, b, c;
    a.reset(10000, 7);
    b.reset(10000, 7);
    c.reset(10000, 8);
    Bytes x = clean, y = clean, z = clean;
    const size_t damaged = a.apply(x.data(), x.size());
    b.apply(y.data(), y.size());
    c.apply(z.data(), z.size());
    EXPECT_EQ(x, y);
    EXPECT_NE(x, z);
    EXPECT_NEAR(static_cast<double>(damaged), 2000.0, 200.0);
    EXPECT_EQ(static_cast<size_t>(std::count_if(x.begin(), x.end(), [](uint8_t v) { return v != 0x5A; })), damaged)
        << "a damaged byte always changes";
}

// The damage a plain-sum checksum cannot see: two bytes change, the checksum stays.
TEST(SimTwinDamage, TwoBytesChangeAndTheChecksumStillPasses)
{
    const struct {
        Bytes payload;
        size_t first;
        bool damaged;
    } rows[] = {{{4, 0, 0, 0, 0, 0}, 0, true},  {{10, 20, 30}, 1, true}, {{255, 0, 9}, 0, true},
                {{0, 255, 0}, 0, true},         {{7, 0, 0, 0}, 1, false}, {{}, 0, false}};
    for (const auto& row : rows) {
        Bytes damaged = row.payload;
        EXPECT_EQ(sim::twinDamage(damaged, row.first), row.damaged);
        size_t changed = 0;
        for (size_t k = 0; k < damaged.size(); ++k)
            changed += damaged[k] != row.payload[k] ? 1 : 0;
        EXPECT_EQ(changed, row.damaged ? 2u : 0u);
        const auto length = static_cast<uint8_t>(row.payload.size() + 2);
        EXPECT_EQ(frame::checksum(length, 9, 0x1234, damaged.data(), damaged.size()),
                  frame::checksum(length, 9, 0x1234, row.payload.data(), row.payload.size()));
    }
}
