// factory-reset: the menu's restore of factory settings, without its question (the script has
// asked), with the same dated backup first.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "operations/doravine_doc.h"
#include "operations/settings_backup.h"
#include "platform/text.h"

namespace cli {

int commandFactoryReset(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    CDoravineDoc doc;
    if (const int status = connectController(context, doc.Device()))
        return status;
    const bool restored = doc.RestoreFactorySettings();
    // The window says nothing when the controller refuses the factory settings; a script needs
    // a reason beside the exit status. A backup that could not be written has said so itself.
    if (!restored && !user.anyMessage())
        printMessage(context.err, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
    if (!doc.LastBackupPath().empty())
        printRaw(context.err, unicode2utf8(backupSavedLine(doc.LastBackupPath())));
    return restored ? kOk : kFailed;
}

} // namespace cli
