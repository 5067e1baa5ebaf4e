// The port table: which device path each COM number means on POSIX.
#include "platform/port_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PortTableTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("DORAVINE_PORTS"))
            m_saved = old, m_hadValue = true;
        porttable::setPortOverride({});
    }
    void TearDown() override
    {
        porttable::setPortOverride({});
        if (m_hadValue)
            ::setenv("DORAVINE_PORTS", m_saved.c_str(), 1);
        else
            ::unsetenv("DORAVINE_PORTS");
    }

  private:
    std::string m_saved;
    bool m_hadValue = false;
};

TEST_F(PortTableTest, EnvironmentListNumbersPortsFromOneUntilAnOverrideReplacesIt)
{
    ::setenv("DORAVINE_PORTS", "/dev/a::/dev/b:/dev/c:", 1);
    // Empty entries take no number; numbers outside the list mean no port.
    const std::pair<int, const char*> table[] = {{1, "/dev/a"}, {2, "/dev/b"}, {3, "/dev/c"},
                                                 {4, ""},       {0, ""},       {-3, ""}};
    for (const auto& [n, path] : table)
        EXPECT_EQ(porttable::portPath(n), path) << n;

    porttable::setPortOverride({"/dev/x"});
    EXPECT_EQ(porttable::portPath(1), "/dev/x");
    EXPECT_EQ(porttable::portPath(2), "");
    porttable::setPortOverride({});
    EXPECT_EQ(porttable::portPath(2), "/dev/b");
}

TEST_F(PortTableTest, ExistingPortsKeepTheirNumbersAndSkipTheMissing)
{
    ::setenv("DORAVINE_PORTS", "/dev/doravine-missing:/dev/null:/tmp:/dev/zero", 1);
    // A directory is not a port; the numbers are the table's, not renumbered.
    EXPECT_EQ(porttable::existingPorts(), (std::vector<int>{2, 4}));
    for (int n : {1, 3, 9})
        EXPECT_EQ(porttable::portAccess(n), porttable::PortAccess::Missing) << n;
    EXPECT_EQ(porttable::portAccess(2), porttable::PortAccess::Usable);
}

TEST_F(PortTableTest, TellsAPortThatExistsButMayNotBeOpened)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may open every device";
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(::chmod(name, 0), 0);
    porttable::setPortOverride({name});
    EXPECT_EQ(porttable::portAccess(1), porttable::PortAccess::Denied);
    ::close(slave);
    ::close(master);
}

TEST_F(PortTableTest, MachineTableHoldsOnlySerialDevices)
{
    ::unsetenv("DORAVINE_PORTS");
    for (int n : porttable::existingPorts()) {
        const std::string path = porttable::portPath(n);
        const bool serial = path.rfind("/dev/ttyUSB", 0) == 0 || path.rfind("/dev/ttyACM", 0) == 0 ||
                            path.rfind("/dev/ttyS", 0) == 0 || path.rfind("/dev/rfcomm", 0) == 0;
        EXPECT_TRUE(serial) << path;
    }
}

TEST_F(PortTableTest, AdaptersComeBeforeBluetoothAndBuiltInPorts)
{
    EXPECT_EQ(porttable::machinePortOrder({"ttyS0", "rfcomm0", "ttyUSB10", "ttyS1", "ttyACM0", "ttyUSB2"}),
              (std::vector<std::string>{"ttyACM0", "ttyUSB2", "ttyUSB10", "rfcomm0", "ttyS0", "ttyS1"}));
    // The environment's list is taken exactly as written.
    ::setenv("DORAVINE_PORTS", "/dev/ttyS0:/dev/ttyUSB0", 1);
    EXPECT_EQ(porttable::portPath(1), "/dev/ttyS0");
    EXPECT_EQ(porttable::portPath(2), "/dev/ttyUSB0");
}

} // namespace
