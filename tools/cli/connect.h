// The commands' way to the controller: the program's own scan (last good port first, then every
// port in order) over the port table of the options. The tool has no demo mode.
#pragma once

#include "cli.h"

class CLPGDevice;

namespace cli {

// kOk once a controller answered and was read. Otherwise the status to exit with: kNoController
// after the scan's own "BRAK POŁĄCZENIA" notice (printed once, with the permission hint when a
// port was refused), kFailed when the link broke during the first reads (its message printed).
// A CCliUser must be installed so that the scan's notices reach standard error.
int connectController(Context& context, CLPGDevice& device);

// "COM<n> <device path>" of the device's open port.
std::string portLine(const CLPGDevice& device);

} // namespace cli
