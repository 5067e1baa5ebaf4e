// factory-reset: the menu's restore of factory settings.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "operations/doravine_doc.h"

namespace cli {

int commandFactoryReset(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    CDoravineDoc doc;
    if (const int status = connectController(context, doc.Device()))
        return status;
    if (doc.RestoreFactorySettings())
        return kOk;
    // The window says nothing when the controller refuses the factory settings; a script needs
    // a reason beside the exit status.
    if (!user.anyMessage())
        printMessage(context.err, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
    return kFailed;
}

} // namespace cli
