// The live-sample thread against the virtual controller: the numbering, the failure rule and its
// reset at each thread start; and the crank-capture thread's passes.
#include "operations/diag_threads.h"
#include "support/live_link.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

using testsupport::waitUntil;

sim::FaultRule noSampleReply(unsigned times)
{
    sim::FaultRule rule{sim::FaultKind::NoReply, sim::FaultWhen::Command};
    rule.code = 0x06;
    rule.times = times;
    return rule;
}

class LiveSamples : public CLiveLinkTest {
  protected:
    void SetUp() override
    {
        CLiveLinkTest::SetUp();
        fixture.sim().setRequestListener([this](const sim::LoggedRequest& r) {
            if (r.type == 2 && !r.payload.empty() && r.payload[0] == 0x06)
                ++sampleRequests;
        });
    }
    void TearDown() override
    {
        CLiveLinkTest::TearDown();
        fixture.sim().setRequestListener(nullptr);
    }

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
    live.StopLiveSamples();
    threads.joinAll();
    CDiag last;
    ASSERT_TRUE(device.m_diagData.getLast(last));
    EXPECT_EQ(last.sampleNumber(), device.m_diagData.count());
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

// The crank-capture thread: a pass whose block 7 never answers appends nothing, and the thread
// goes on with the next pass, which arrives whole.
TEST_F(LiveSamples, ACaptureThreadGoesOnAfterAFailedPassAndKeepsOnlyWholePasses)
{
    // Blocks 0 to 6 are the next seven requests; block 7's ten attempts the ten after.
    const unsigned base = fixture.sim().requestCount();
    for (unsigned n = base + 8; n <= base + 17; ++n)
        fixture.sim().addFault(faultRule(sim::FaultKind::NoReply, n));
    captureState() = kCaptureRunning;
    threads.insert(new CSignalCaptureThread(device));
    ASSERT_TRUE(waitUntil([&] { return device.m_pulses.size() >= 1000; }));
    captureState() = kCaptureIdle;
    threads.joinAll();
    EXPECT_EQ(device.m_pulses.size() % 500, 0u);
    const auto requests = fixture.sim().requests();
    ASSERT_GE(requests.size(), 18u);
    EXPECT_EQ(requests[base + 16].payload[2], 7) << "the last try asks for block 7";
    EXPECT_EQ(requests[base + 17].payload[2], 0) << "then a new pass";
}
