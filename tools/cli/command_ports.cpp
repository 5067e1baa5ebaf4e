#include "commands.h"

#include "platform/port_table.h"

#include <ostream>

namespace cli {

int commandPorts(Context& context)
{
    for (int n : porttable::existingPorts())
        context.out << "COM" << n << " " << porttable::portPath(n) << "\n";
    return kOk;
}

}  // namespace cli
