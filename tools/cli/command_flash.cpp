// flash: the firmware update with the file given, also for a controller that the connection
// finds in its boot loader (identification then programs it with the same file).
#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "operations/doravine_doc.h"
#include "operations/firmware_update.h"
#include "platform/ierror.h"

namespace cli {

namespace {

int statusOf(CFirmwareUpdate::Outcome outcome)
{
    switch (outcome) {
    case CFirmwareUpdate::Outcome::Programmed:
        return kOk;
    case CFirmwareUpdate::Outcome::FileRefused:
    case CFirmwareUpdate::Outcome::Cancelled:
        return kUsage; // nothing was sent to the controller
    default:
        return kFailed;
    }
}

} // namespace

int commandFlash(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    user.setFile(utf82unicode(context.options.args[0]));
    CDoravineDoc doc;
    resetLastBootloaderUpdateOutcome();
    const int connected = connectController(context, doc.Device());
    // A controller found in its boot loader has been programmed (or not) by the connection.
    const CFirmwareUpdate::Outcome automatic = lastBootloaderUpdateOutcome();
    if (automatic == CFirmwareUpdate::Outcome::Programmed)
        return connected;
    if (automatic != CFirmwareUpdate::Outcome::None)
        return statusOf(automatic);
    if (connected != kOk)
        return connected;
    // A link that breaks during the update escapes to the command loop's replug message.
    if (doc.UpdateDevice())
        return kOk;
    return statusOf(doc.LastUpdateOutcome());
}

} // namespace cli
