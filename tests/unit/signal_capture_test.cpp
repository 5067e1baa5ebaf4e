#include "device/lpg_device.h"
#include "operations/diag_threads.h"
#include "operations/signal_capture.h"

#include <gtest/gtest.h>

namespace {

// A demo-mode device answers every command at once, so the stall rule runs on its own.
class SignalCaptureStall : public ::testing::Test {
  protected:
    SignalCaptureStall() : capture(device, threads)
    {
        device.m_demo = true;
        captureState() = kCaptureRunning;
    }
    ~SignalCaptureStall() override { captureState() = kCaptureIdle; }

    CSignalCapture::TickResult tickTimes(int n)
    {
        CSignalCapture::TickResult last = CSignalCapture::TickResult::Idle;
        for (int i = 0; i < n; ++i)
            last = capture.tick();
        return last;
    }
    void holdRecords(size_t n)
    {
        const CPulseList records(n, CPulse{100, 50});
        device.m_pulses.append(records.data(), records.size());
    }

    CLPGDevice device;
    CThreadManager threads;
    CSignalCapture capture;
};

}  // namespace

TEST_F(SignalCaptureStall, BelowAThousandRecordsACaptureStopsAfterMoreThanThirtyQuietTicks)
{
    holdRecords(999);
    // The first tick sees the records arrive; 31 quiet ticks later the 32nd stops the capture.
    EXPECT_EQ(tickTimes(31), CSignalCapture::TickResult::Capturing);
    EXPECT_TRUE(capture.running());
    EXPECT_EQ(capture.tick(), CSignalCapture::TickResult::Stalled);
    EXPECT_FALSE(capture.running());
    EXPECT_EQ(device.m_pulses.size(), 999u) << "a stalled capture keeps its records";
}

TEST_F(SignalCaptureStall, FromAThousandRecordsOnlyTheUserStopsIt)
{
    holdRecords(1000);
    EXPECT_EQ(tickTimes(200), CSignalCapture::TickResult::Capturing);
    EXPECT_TRUE(capture.running());
}

TEST_F(SignalCaptureStall, NewRecordsRestartTheQuietCount)
{
    holdRecords(10);
    tickTimes(30);
    holdRecords(1);
    EXPECT_EQ(tickTimes(31), CSignalCapture::TickResult::Capturing);
    EXPECT_EQ(capture.stallTicks(), 31);
    capture.stop();
    EXPECT_EQ(capture.tick(), CSignalCapture::TickResult::Idle);
}
