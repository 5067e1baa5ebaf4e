// The port table on Windows: COM n is the device "\\.\COMn" itself, found without opening it; the
// command line's --port list replaces the table, and the POSIX variable means nothing here.
#include "platform/port_table.h"
#include "support/portable.h"
#include "support/saved_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class PortTableWin32 : public ::testing::Test {
  protected:
    void SetUp() override { porttable::setPortOverride({}); }
    void TearDown() override { porttable::setPortOverride({}); }

  private:
    CSavedEnvironment m_saved{{"DORAVINE_PORTS"}};
};

TEST_F(PortTableWin32, ComNumbersNameTheDeviceNamespace)
{
    // The device-namespace form is the one that opens COM10 and above.
    const std::pair<int, const char*> table[] = {{1, "\\\\.\\COM1"},   {7, "\\\\.\\COM7"}, {12, "\\\\.\\COM12"},
                                                 {256, "\\\\.\\COM256"}, {0, ""},          {-3, ""}};
    for (const auto& [n, path] : table)
        EXPECT_EQ(porttable::portPath(n), path) << n;

    testsupport::setEnvironment("DORAVINE_PORTS", "C:\\a;C:\\b");
    EXPECT_EQ(porttable::portPath(1), "\\\\.\\COM1") << "the POSIX table variable is not read on Windows";
}

TEST_F(PortTableWin32, AnOverrideReplacesTheTableAndKeepsItsNumbers)
{
    const std::string missing = (std::filesystem::temp_directory_path() / "doravine-no-such-port").string();
    porttable::setPortOverride({"COM7", missing, "\\\\.\\COM12"});
    EXPECT_EQ(porttable::portPath(1), "COM7");
    EXPECT_EQ(porttable::portPath(2), missing);
    EXPECT_EQ(porttable::portPath(3), "\\\\.\\COM12");
    EXPECT_EQ(porttable::portPath(4), "");
    // Device names have no file to look at: they count as present and the open decides.
    EXPECT_EQ(porttable::existingPorts(), (std::vector<int>{1, 3}));

    porttable::setPortOverride({});
    EXPECT_EQ(porttable::portPath(1), "\\\\.\\COM1");
}

TEST_F(PortTableWin32, MachineTableHoldsComPortsInAscendingOrder)
{
    const std::vector<int> ports = porttable::existingPorts();
    int previous = 0;
    for (int n : ports) {
        EXPECT_GT(n, previous);
        EXPECT_LE(n, porttable::kMaxPort);
        previous = n;
    }
}

TEST_F(PortTableWin32, APortThatCannotBeOpenedIsMissing)
{
    // No machine has a COM255, so opening it fails with "file not found", not "access denied".
    EXPECT_EQ(porttable::portAccess(255), porttable::PortAccess::Missing);
    EXPECT_EQ(porttable::portAccess(0), porttable::PortAccess::Missing);
}

} // namespace
