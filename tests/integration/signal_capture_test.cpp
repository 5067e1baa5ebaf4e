// The capture core against the virtual controller pacing its bytes at 38400 baud, so that a pass
// is on the wire while the records are saved: the save takes them in one step, nothing lands
// afterwards, and a file that cannot be written gives them back for another try.
#include "device/lpg_device.h"
#include "operations/diag_threads.h"
#include "operations/signal_capture.h"
#include "support/byte_files.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class SignalCaptureLink : public ::testing::Test {
  protected:
    SignalCaptureLink() : capture(device, threads)
    {
        fixture.sim().setProfile(sim::Profile::Steady);
        fixture.sim().setPacing(true);
        CSimFixture::shortenTimeouts(device);
        device.Timings().readConstantMs = 1000; // a paced pass block takes about 55 ms
        fixture.openDirect(device);
    }
    ~SignalCaptureLink() override
    {
        captureState() = kCaptureIdle;
        threads.joinAll();
    }
    // Reading mode, flush passes, then the capture until at least n records.
    void captureAtLeast(size_t n)
    {
        ASSERT_EQ(capture.setReadingMode(true), CSignalCapture::StateWrite::Written);
        capture.flushPasses();
        capture.start();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (capture.recordCount() < n && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GE(capture.recordCount(), n);
    }
    std::wstring file(const char* name) const { return (fixture.home().path() / name).wstring(); }

    CSimFixture fixture;
    CLPGDevice device;
    CThreadManager threads;
    CSignalCapture capture;
};

} // namespace

TEST_F(SignalCaptureLink, SaveTakesTheRecordsWhileAPassIsOnTheWireAndNothingLandsAfterwards)
{
    captureAtLeast(1000);
    // Past the 50 ms pause the next pass is on the wire (it takes about half a second): stopped
    // now, the thread still finishes it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    capture.stop();
    CPulseList saved;
    ASSERT_TRUE(capture.save(file("odczyt.csv"), saved));
    threads.joinAll();
    EXPECT_EQ(device.m_pulses.size(), 0u) << "a pass that arrived after the save was left behind";

    // The file holds the served passes after the three flush passes, in order, byte for byte.
    const std::vector<CPulseList> passes = servedPulsePasses(fixture.sim());
    ASSERT_GE(saved.size(), 1000u);
    ASSERT_EQ(saved.size() % 500, 0u);
    CPulseList served;
    for (size_t k = 3; k < passes.size(); ++k)
        served.insert(served.end(), passes[k].begin(), passes[k].end());
    ASSERT_GE(served.size(), saved.size());
    served.resize(saved.size());
    EXPECT_EQ(saved, served);
    EXPECT_EQ(testsupport::readText(fixture.home().path() / "odczyt.csv"), testsupport::signalFileBytes(saved));
}

TEST_F(SignalCaptureLink, AFileThatCannotBeWrittenGivesTheRecordsBack)
{
    captureAtLeast(500);
    capture.stop();
    threads.joinAll();
    const CPulseList held = device.m_pulses.copy();
    CPulseList saved;
    EXPECT_FALSE(capture.save(file("no such folder/odczyt.csv"), saved));
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(device.m_pulses.copy(), held);
    ASSERT_TRUE(capture.save(file("odczyt.csv"), saved));
    EXPECT_EQ(saved, held);
}
