// The live-sample thread: the failure rule, its reset at each thread start, the copy of a
// reply into the record, demo samples and the crank-capture passes.
#include "device/lpg_device.h"
#include "operations/diag_threads.h"
#include "operations/live_samples.h"
#include "platform/port_table.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <numeric>
#include <thread>

namespace {

using namespace std::chrono_literals;

using testsupport::waitUntil;

sim::FaultRule noSampleReply(unsigned times)
{
    sim::FaultRule rule{sim::FaultKind::NoReply, sim::FaultWhen::Command};
    rule.code = 0x06;
    rule.times = times;
    return rule;
}

class LiveSamples : public ::testing::Test {
  protected:
    void SetUp() override
    {
        CSimFixture::shortenTimeouts(device);
        device.Timings().stopLiveSamplesWaitMs = 0;
        fixture.sim().setRequestListener([this](const sim::LoggedRequest& r) {
            if (r.type == 2 && !r.payload.empty() && r.payload[0] == 0x06)
                ++sampleRequests;
        });
        device.Start();
        ASSERT_TRUE(device.m_connected);
    }
    void TearDown() override
    {
        live.setTimerHook(nullptr); // the tests' hooks point at their own locals
        live.StopLiveSamples();
        threads.joinAll();
        fixture.sim().setRequestListener(nullptr);
    }

    CRecordingUser user;
    CSimFixture fixture;
    CLPGDevice device;
    CThreadManager threads;
    CLiveSampleControl live{device, &threads};
    std::atomic<int> sampleRequests{0};
};

} // namespace

TEST_F(LiveSamples, SamplesFlowNumberedFromOneAndTheTimerFollows)
{
    std::vector<bool> timer;
    live.setTimerHook([&](bool run) { timer.push_back(run); });
    live.ResumeLiveSamples();
    EXPECT_EQ(live.fileName(), L"\\");
    ASSERT_TRUE(waitUntil([&] { return device.m_diagData.count() >= 5; }));
    CDiag first;
    ASSERT_TRUE(device.m_diagData.getLast(first));
    EXPECT_GE(first.sampleNumber(), 5u);
    live.StopLiveSamples();
    threads.joinAll();
    EXPECT_EQ(timer, (std::vector<bool>{true, false}));
    EXPECT_TRUE(device.m_connected);
}

TEST_F(LiveSamples, FiveFailuresThenASuccessThenFiveMoreKeepRunningTheSixthInARowStops)
{
    live.ResumeLiveSamples();
    ASSERT_TRUE(waitUntil([&] { return device.m_diagData.count() >= 1; }));

    for (int round = 0; round < 2; ++round) {
        const size_t before = device.m_diagData.count();
        const int requestsBefore = sampleRequests.load();
        fixture.sim().addFault(noSampleReply(5));
        // The five unanswered requests, then a stored sample.
        ASSERT_TRUE(waitUntil([&] { return sampleRequests.load() >= requestsBefore + 6; }));
        ASSERT_TRUE(waitUntil([&] { return device.m_diagData.count() > before; }));
        EXPECT_TRUE(live.running());
        EXPECT_TRUE(device.m_connected);
    }

    // Six in a row: the flag drops at the sixth and no seventh request is sent.
    const int requestsBefore = sampleRequests.load();
    fixture.sim().addFault(noSampleReply(0));
    ASSERT_TRUE(waitUntil([&] { return !device.m_connected.load(); }));
    const int atDrop = sampleRequests.load() - requestsBefore;
    threads.joinAll();
    EXPECT_EQ(atDrop, 6);
    EXPECT_EQ(sampleRequests.load() - requestsBefore, 6);
    EXPECT_FALSE(live.running());
    EXPECT_EQ(device.m_diagData.count(), 0u); // readers see no stale sample
}

TEST_F(LiveSamples, ANewThreadStartsWithAFreshFailureCount)
{
    // The first thread sees five failures and is told to end while the fifth is on the wire.
    auto firstRunning = std::make_shared<std::atomic<bool>>(true);
    fixture.sim().addFault(noSampleReply(0));
    fixture.sim().setRequestListener([&](const sim::LoggedRequest& r) {
        if (r.type == 2 && !r.payload.empty() && r.payload[0] == 0x06 && ++sampleRequests == 5)
            *firstRunning = false;
    });
    threads.insert(new CDiagRSThread(device, &device.m_diagData, L"\\", firstRunning));
    threads.joinAll();
    EXPECT_EQ(sampleRequests.load(), 5);
    EXPECT_TRUE(device.m_connected);

    // After a reconnection a single failed fetch must not drop the link again.
    fixture.sim().setRequestListener(nullptr);
    fixture.sim().clearFaults();
    fixture.sim().addFault(noSampleReply(1));
    live.ResumeLiveSamples();
    ASSERT_TRUE(waitUntil([&] { return device.m_diagData.count() >= 3; }));
    EXPECT_TRUE(device.m_connected);
    EXPECT_TRUE(live.running());
}

TEST_F(LiveSamples, StartWhileRunningLeavesOneThread)
{
    live.ResumeLiveSamples();
    live.ResumeLiveSamples();
    live.StartLiveSamples(L"\\");
    ASSERT_TRUE(waitUntil([&] { return threads.running() == 1; }));
    EXPECT_TRUE(live.running());
}

TEST_F(LiveSamples, FirmwareWithoutLiveSamplesStartsNothingAndStopsTheTimer)
{
    std::vector<bool> timer;
    live.setTimerHook([&](bool run) { timer.push_back(run); });
    device.m_liveSamplesAllowed = false;
    live.ResumeLiveSamples();
    EXPECT_FALSE(live.running());
    EXPECT_EQ(threads.running(), 0);
    EXPECT_EQ(timer, std::vector<bool>{false});
}

TEST_F(LiveSamples, ACapturePassWithBlockSevenNeverAnsweringAppendsNothing)
{
    // Blocks 0 to 6 are the next seven requests; block 7's ten attempts the ten after.
    const unsigned base = fixture.sim().requestCount();
    for (unsigned n = base + 8; n <= base + 17; ++n)
        fixture.sim().addFault(sim::FaultRule{sim::FaultKind::NoReply, sim::FaultWhen::NthRequest, n});
    EXPECT_FALSE(device.ReadSignalPass());
    EXPECT_EQ(device.m_pulses.size(), 0u);
    const auto requests = fixture.sim().requests();
    ASSERT_GE(requests.size(), 17u);
    EXPECT_EQ(requests.back().payload[0], 0x08);
    EXPECT_EQ(requests.back().payload[2], 7) << "the last try asks for block 7";

    // The capture thread goes on with the next pass, which arrives whole.
    captureState() = kCaptureRunning;
    threads.insert(new CSignalCaptureThread(device));
    ASSERT_TRUE(waitUntil([&] { return device.m_pulses.size() >= 1000; }));
    captureState() = kCaptureIdle;
    threads.joinAll();
    EXPECT_EQ(device.m_pulses.size() % 500, 0u);
}

TEST(LiveSamplesDemo, DemoSamplesCarrySwitchTwoAndOnlyTheirNumber)
{
    CTempHome home;
    CRecordingUser user;
    porttable::setPortOverride({"/nonexistent/doravine-tty"});
    CLPGDevice device;
    device.Start();
    ASSERT_TRUE(device.m_demo);
    CThreadManager threads;
    CLiveSampleControl live(device, &threads);
    device.Timings().stopLiveSamplesWaitMs = 0;
    live.ResumeLiveSamples();
    ASSERT_TRUE(waitUntil([&] { return device.m_diagData.count() >= 3; }));
    live.StopLiveSamples();
    threads.joinAll();
    CDiag last;
    ASSERT_TRUE(device.m_diagData.getLast(last));
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(last.bytes[i], i == 12 ? 2 : 0) << "byte " << i;
    EXPECT_EQ(last.sampleNumber(), device.m_diagData.count());
    porttable::setPortOverride({});
}

TEST(LiveSampleReply, TypeOneReplyFillsSixteenBytesAndTheSequenceLongerRepliesAreCut)
{
    CTempHome home;
    CScriptedPeer peer;
    std::vector<uint8_t> payload14(14);
    std::iota(payload14.begin(), payload14.end(), uint8_t{0x31});
    const auto reply = frame::encode(1, 0x1234, payload14.data(), payload14.size());
    peer.respondEvery(14, reply);
    peer.start();
    porttable::setPortOverride({peer.path()});

    CLPGDevice device;
    CSimFixture::shortenTimeouts(device);
    device.Timings().stopLiveSamplesWaitMs = 0;
    device.Port().open(1);
    device.ConfigurePort();
    device.m_connected = true;

    CThreadManager threads;
    CLiveSampleControl live(device, &threads);
    live.ResumeLiveSamples();
    ASSERT_TRUE(waitUntil([&] { return device.m_diagData.count() >= 2; }));
    CDiag sample;
    ASSERT_TRUE(device.m_diagData.getLast(sample));
    // The payload, then the checksum high byte first.
    EXPECT_EQ(std::vector<uint8_t>(sample.bytes.begin(), sample.bytes.begin() + 14), payload14);
    EXPECT_EQ(std::vector<uint8_t>(sample.bytes.begin() + 14, sample.bytes.begin() + 16),
              std::vector<uint8_t>(reply.end() - 2, reply.end()));
    EXPECT_EQ(sample.sampleNumber(), device.m_diagData.count());

    // A longer reply stops at byte 15 and never touches the sequence number.
    std::vector<uint8_t> payload18(18, 0xEE);
    peer.setReply(frame::encode(1, 0x0101, payload18.data(), payload18.size()));
    payload18.resize(16);
    const size_t before = device.m_diagData.count();
    ASSERT_TRUE(waitUntil([&] { return device.m_diagData.count() >= before + 3; }));
    ASSERT_TRUE(device.m_diagData.getLast(sample));
    EXPECT_EQ(std::vector<uint8_t>(sample.bytes.begin(), sample.bytes.begin() + 16), payload18);
    EXPECT_EQ(sample.sampleNumber(), device.m_diagData.count());
    EXPECT_TRUE(device.m_connected);

    live.StopLiveSamples();
    threads.joinAll();
    porttable::setPortOverride({});
}
