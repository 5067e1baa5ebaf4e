// save-settings: the controller's current settings as a settings file.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "operations/doravine_doc.h"
#include "platform/ierror.h"

namespace cli {

int commandSaveSettings(Context& context)
{
    // The only question is the overwrite question: --force answers it.
    CCliUser user(context.err, context.options.force);
    CDoravineDoc doc;
    if (const int status = connectController(context, doc.Device()))
        return status;
    user.setFile(utf82unicode(context.options.args[0]));
    return doc.SaveSettingsToFile() ? kOk : kFailed;
}

} // namespace cli
