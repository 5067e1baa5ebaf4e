// The port table: which device a COM number stands for. On Windows COM n is "\\.\COMn". On POSIX
// COM n is the n-th entry (from 1) of the environment variable DORAVINE_PORTS (paths separated
// by ':') when set, in its order, else of the machine's serial devices in machinePortOrder. An
// override (the command line's --port options) replaces both.
#pragma once

#include <string>
#include <vector>

namespace porttable {

// Highest COM number the scan asks about.
constexpr int kMaxPort = 256;

// The device path of COM n; empty when the table has no entry n.
std::string portPath(int n);

// The COM numbers whose device exists, ascending.
std::vector<int> existingPorts();

enum class PortAccess {
    Missing, // no entry or no device
    Usable,  // exists and may be opened for reading and writing
    Denied,  // exists but this user may not open it (a group membership is missing)
    Busy,    // exists but another program holds it
};
PortAccess portAccess(int n);

// The order of the machine's serial devices (names under /dev): USB adapters (ttyUSB*,
// ttyACM*) first, then Bluetooth (rfcomm*), then built-in UARTs (ttyS* with a detected UART);
// numbers in natural order within each kind.
std::vector<std::string> machinePortOrder(std::vector<std::string> names);

// Makes the table exactly these paths, in this order (COM1 first). An empty list removes the
// override.
void setPortOverride(const std::vector<std::string>& paths);

} // namespace porttable
