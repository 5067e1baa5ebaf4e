// diff: what loading a settings file would change on the controller, one line per field.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "operations/doravine_doc.h"
#include "platform/ierror.h"

#include <ostream>

namespace cli {

int commandDiff(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    CDoravineDoc doc;
    if (const int status = connectController(context, doc.Device()))
        return status;
    const CDoravineDoc::Comparison c = doc.CompareWithFile(utf82unicode(context.options.args[0]));
    if (c.result != CDoravineDoc::Comparison::Result::Compared)
        return kUsage; // the load's message is on standard error
    for (const CSettingsDifference& d : c.differences)
        context.out << differenceLine(d) << "\n";
    return c.differences.empty() ? kOk : kFailed;
}

} // namespace cli
