// A pulled cable while connected, seen through the watchdog that the window's timer drives:
// the flag drops, the ports are rescanned, and a controller that comes back (on the same port or
// on another one of the table) is found and served with live samples again.
#include "device/connection_watchdog.h"
#include "platform/port_table.h"
#include "device/run_context.h"
#include "support/live_link.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The threads of this process, as the system counts them.
size_t processThreads()
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                             std::filesystem::directory_iterator()));
}

class PulledCable : public CLiveLinkTest {
  protected:
    void SetUp() override
    {
        CLiveLinkTest::SetUp();
        if (HasFatalFailure())
            return;
        device.Timings().recoveryPauseMs = 700;
        live.ResumeLiveSamples();
    }

    // Ticks every 100 ms, as the window's timer does, until done() or the tick limit.
    template <class Done> bool runTicks(Done done, int limit)
    {
        for (int i = 0; i < limit; ++i) {
            watchdog.tick();
            if (done())
                return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    int resumed = 0;
    CConnectionWatchdog watchdog{device, {nullptr,
                                          [this] {
                                              ++resumed;
                                              live.ResumeLiveSamples();
                                          },
                                          nullptr}};
};

} // namespace

TEST_F(PulledCable, HangUpAndComeBackOnAnotherPortOfTheTable)
{
    ASSERT_TRUE(runTicks([&] { return device.m_diagData.count() >= 3; }, 50));
    const std::string oldPath = fixture.sim().path();
    fixture.sim().hangUp();
    ASSERT_TRUE(runTicks([&] { return !watchdog.shownConnected(); }, 60));
    EXPECT_EQ(threads.running(), 0);
    ASSERT_TRUE(runTicks([&] { return watchdog.rescans() > 0; }, 40));
    EXPECT_FALSE(device.m_connected);

    ASSERT_TRUE(fixture.sim().comeBack());
    std::string newPath;
    for (int i = 0; i < 200 && newPath.empty(); ++i) {
        newPath = fixture.sim().path();
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_FALSE(newPath.empty());
    // The adapter is back under another name, the second entry of the table; the first is
    // gone (the terminal's number itself may be reused, so the old entry gets a dead path).
    porttable::setPortOverride({"/nonexistent/doravine-old-tty", newPath});
    ASSERT_TRUE(runTicks([&] { return resumed > 0; }, 60));
    EXPECT_TRUE(device.m_connected);
    EXPECT_EQ(device.Port().portNumber(), 2);
    EXPECT_EQ(CLPGDevice::LoadLastPort(), 2);
    const size_t before = device.m_diagData.count();
    ASSERT_TRUE(runTicks([&] { return device.m_diagData.count() >= before + 3; }, 50));
}

// A stall drops the flag and empties the samples; the live thread ends instead of spinning and
// the stalled controller does not identify. Each reconnection leaves exactly one live thread behind
// it (the current one): the threads of the connections before are joined, and the no-connection
// notice of each lost period is taken away by the reconnection that ends it.
TEST_F(PulledCable, StallsAndReconnectionsJoinTheirThreadsAndCloseEachNotice)
{
    ASSERT_TRUE(runTicks([&] { return device.m_diagData.count() >= 3; }, 50));
    EXPECT_TRUE(watchdog.shownConnected());
    const size_t tasksConnected = processThreads();
    const int closedBefore = user.noticesClosed(); // every connection closes what may be open
    constexpr int kCycles = 3;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        SCOPED_TRACE(cycle);
        fixture.sim().addFault(sim::FaultRule{sim::FaultKind::Stall});
        ASSERT_TRUE(runTicks([&] { return !watchdog.shownConnected(); }, 100));
        EXPECT_FALSE(device.m_connected);
        EXPECT_EQ(device.m_diagData.count(), 0u);
        const int rescans = watchdog.rescans();
        ASSERT_TRUE(runTicks([&] { return watchdog.rescans() > rescans && !watchdog.rescanning(); }, 40));
        EXPECT_TRUE(device.m_demo);
        EXPECT_EQ(threads.running(), 0);
        EXPECT_EQ(user.noticesClosed(), closedBefore + cycle - 1) << "the notice stays while nothing answers";
        fixture.sim().clearFaults();
        fixture.sim().resume();
        const int resumedBefore = resumed;
        ASSERT_TRUE(runTicks([&] { return resumed > resumedBefore && device.m_diagData.count() >= 2; }, 80));
        EXPECT_TRUE(device.m_connected);
        EXPECT_FALSE(device.m_demo);
        EXPECT_TRUE(watchdog.shownConnected());
        EXPECT_EQ(user.noticesClosed(), closedBefore + cycle);
        EXPECT_EQ(threads.held(), 1u);
        EXPECT_EQ(processThreads(), tasksConnected);
    }
    const auto texts = user.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"BRAK POŁĄCZENIA"), kCycles);
}

// The eleven-tick rescan, tick by tick and without any I/O while connected. The rescan runs on a
// thread of its own: the tick that starts it returns at once, even with silent ports at the real
// time-outs, and a later tick collects its outcome and counts down again.
TEST(Watchdog, RefreshOnlyWithSamplesAndRescanOffTheTickersThread)
{
    CTempHome home;
    CRecordingUser user;
    const auto silent = silentPeers(2);
    porttable::setPortOverride({silent[0]->path(), silent[1]->path()});
    CLPGDevice device; // the program's own time-outs
    device.m_connected = true;
    int shown = 0;
    CConnectionWatchdog watchdog(device, {[&](bool) { ++shown; }, nullptr, nullptr});
    EXPECT_EQ(watchdog.tick(), CConnectionWatchdog::Tick::Idle);
    CDiag sample;
    device.m_diagData.add(sample);
    EXPECT_EQ(watchdog.tick(), CConnectionWatchdog::Tick::Refresh);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(silent[0]->receivedCount(), 0u);
    device.m_connected = false;
    EXPECT_EQ(watchdog.tick(), CConnectionWatchdog::Tick::Lost);
    EXPECT_EQ(shown, 1);
    for (int i = 0; i < 10; ++i)
        watchdog.tick();
    EXPECT_EQ(watchdog.rescans(), 0);

    const auto started = std::chrono::steady_clock::now();
    watchdog.tick();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms) << "the tick waited for the search";
    EXPECT_EQ(watchdog.rescans(), 1);
    EXPECT_TRUE(watchdog.rescanning());
    // Both silent ports are asked at the same time: three 1 s reads in all, not six.
    ASSERT_TRUE(testsupport::waitUntil([&] { return watchdog.tick(), !watchdog.rescanning(); }, 10s));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GE(seconds, 3.0);
    EXPECT_LT(seconds, 5.0);
    for (const auto& peer : silent)
        EXPECT_EQ(peer->receivedCount(), 3u * 14u);
    EXPECT_TRUE(device.m_demo);
    EXPECT_EQ(watchdog.countdown(), CConnectionWatchdog::kRescanCountdown);
    EXPECT_EQ(shown, 1);
    porttable::setPortOverride({});
}

// While an exchange of the window, a capture or a firmware update holds the link, the countdown
// waits at zero and no rescan starts; the first free tick starts it.
TEST(Watchdog, NoRescanWhileTheLinkIsHeld)
{
    CTempHome home;
    CRecordingUser user;
    porttable::setPortOverride({"/nonexistent/doravine-tty"});
    CLPGDevice device;
    bool gatewayBusy = false;
    CConnectionWatchdog watchdog(device, {nullptr, nullptr, [&] { return gatewayBusy; }});
    const std::vector<std::pair<const char*, std::function<void(bool)>>> holders = {
        {"gateway", [&](bool on) { gatewayBusy = on; }},
        {"capture", [&](bool on) { runContext().captureState = on ? 1 : CRunContext::kCaptureIdleValue; }},
        {"update", [&](bool on) { device.m_updatingFirmware = on; }},
    };
    watchdog.tick(); // lost
    for (const auto& [name, hold] : holders) {
        SCOPED_TRACE(name);
        const int before = watchdog.rescans();
        hold(true);
        for (int i = 0; i < 30; ++i)
            watchdog.tick();
        EXPECT_EQ(watchdog.rescans(), before);
        EXPECT_EQ(watchdog.countdown(), 0);
        hold(false);
        watchdog.tick();
        EXPECT_EQ(watchdog.rescans(), before + 1);
        ASSERT_TRUE(testsupport::waitUntil([&] { return watchdog.tick(), !watchdog.rescanning(); }, 5s));
    }
    porttable::setPortOverride({});
}
