#include "connect.h"

#include "device/lpg_device.h"
#include "platform/port_table.h"

namespace cli {

int connectController(Context&, CLPGDevice& device)
{
    // The scan shows the no-connection notice itself when nothing answers; arming it here makes
    // it appear exactly once, and the command adds nothing of its own.
    device.m_noConnectionNoticePending = true;
    device.Start();
    if (device.m_demo)
        return kNoController;
    if (!device.m_connected)
        return kFailed;
    return kOk;
}

std::string portLine(const CLPGDevice& device)
{
    const int n = const_cast<CLPGDevice&>(device).Port().portNumber();
    return "COM" + std::to_string(n) + " " + porttable::portPath(n);
}

} // namespace cli
