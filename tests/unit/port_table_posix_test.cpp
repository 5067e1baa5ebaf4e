// The port table: which device path each COM number means on POSIX.
#include "platform/port_table.h"
#include "support/portable.h"
#include "support/saved_environment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PortTableTest : public ::testing::Test {
  protected:
    void SetUp() override { porttable::setPortOverride({}); }
    void TearDown() override { porttable::setPortOverride({}); }

  private:
    CSavedEnvironment m_saved{{"DORAVINE_PORTS"}};
};

TEST_F(PortTableTest, EnvironmentListNumbersPortsFromOneUntilAnOverrideReplacesIt)
{
    testsupport::setEnvironment("DORAVINE_PORTS", "/dev/a::/dev/b:/dev/c:");
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
    testsupport::setEnvironment("DORAVINE_PORTS", "/dev/doravine-missing:/dev/null:/tmp:/dev/zero");
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

TEST_F(PortTableTest, AdaptersComeBeforeBluetoothAndBuiltInPorts)
{
    EXPECT_EQ(porttable::machinePortOrder({"ttyS0", "rfcomm0", "ttyUSB10", "ttyS1", "ttyACM0", "ttyUSB2"}),
              (std::vector<std::string>{"ttyACM0", "ttyUSB2", "ttyUSB10", "rfcomm0", "ttyS0", "ttyS1"}));
}

} // namespace
