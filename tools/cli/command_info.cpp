#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "device/lpg_device.h"
#include "platform/ierror.h"

#include <ostream>

namespace cli {

int commandInfo(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    CLPGDevice device;
    if (const int status = connectController(context, device))
        return status;
    context.out << "name: " << unicode2utf8(device.m_deviceName) << "\n"
                << "type: " << static_cast<int>(device.m_deviceType) << "\n"
                << "version: " << unicode2utf8(device.VersionText()) << "\n"
                << "serial: " << unicode2utf8(device.m_serialNumber) << "\n"
                << "production: " << unicode2utf8(device.ProductionDateText()) << "\n"
                << "port: " << portLine(device) << "\n";
    return kOk;
}

} // namespace cli
