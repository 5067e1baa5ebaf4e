// A controller of another kind is reported once per run of the program. The notice's flag lives
// for the whole process, so this file holds a single test and runs in a process of its own.
#include "device/lpg_device.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceIdentifyUnknown, NoticeOncePerRunAcrossPortsAndDevices)
{
    CRecordingUser user;
    CSimFixture fx;
    sim::FaultRule unknown;
    unknown.kind = sim::FaultKind::UnknownDevice; // identification answers 04 07
    fx.sim().addFault(unknown);

    {
        CLPGDevice device;
        CSimFixture::shortenTimeouts(device);
        fx.openDirect(device);
        device.m_signalFirmware = true;
        EXPECT_FALSE(device.Identify());
        EXPECT_FALSE(device.m_signalFirmware);
        EXPECT_EQ(device.m_deviceName, L"");
        ASSERT_EQ(user.messages().size(), 1u);
        EXPECT_EQ(user.messages()[0].text, L"BRAK POŁĄCZENIA");
        EXPECT_EQ(user.messages()[0].icon, MessageIcon::Error);
        // One reply decides: no further attempts.
        EXPECT_EQ(fx.sim().requestCount(), 1u);

        // The scan meets it again: silently refused, flags left as they are.
        device.m_signalFirmware = true;
        EXPECT_FALSE(device.Identify());
        EXPECT_TRUE(device.m_signalFirmware);
        EXPECT_EQ(user.messages().size(), 1u);
    }

    CLPGDevice another;
    CSimFixture::shortenTimeouts(another);
    fx.openDirect(another);
    EXPECT_FALSE(another.Identify());
    EXPECT_EQ(user.messages().size(), 1u);

    // A controller of our kind on the same line is still found.
    fx.sim().clearFaults();
    EXPECT_TRUE(another.Identify());
    EXPECT_EQ(another.m_deviceType, 29);
    EXPECT_EQ(user.messages().size(), 1u);
}

} // namespace
