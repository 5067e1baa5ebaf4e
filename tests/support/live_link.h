// A device connected to the virtual controller with short time-outs, and the live-sample control
// the window keeps beside it; whatever threads a test started are stopped and joined at its end.
#pragma once

#include "device/lpg_device.h"
#include "operations/live_samples.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

class CLiveLinkTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        CSimFixture::shortenTimeouts(device);
        device.Timings().stopLiveSamplesWaitMs = 0;
        device.Start();
        ASSERT_TRUE(device.m_connected);
    }
    void TearDown() override
    {
        live.setTimerHook(nullptr); // a test's hook may point at its own locals
        live.StopLiveSamples();
        threads.joinAll();
    }

    CRecordingUser user;
    CSimFixture fixture;
    CLPGDevice device;
    CThreadManager threads;
    CLiveSampleControl live{device, &threads};
};
