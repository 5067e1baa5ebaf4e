// load-settings: the menu's load with the file given and its question answered Yes.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"

#include "operations/doravine_doc.h"
#include "platform/ierror.h"

namespace cli {

int commandLoadSettings(Context& context)
{
    CCliUser user(context.err, true);
    CDoravineDoc doc;
    if (const int status = connectController(context, doc.Device()))
        return status;
    user.setFile(utf82unicode(context.options.args[0]));
    switch (doc.LoadSettingsFromFile()) {
    case CDoravineDoc::LoadResult::Loaded:
        return kOk;
    case CDoravineDoc::LoadResult::FileRefused:
    case CDoravineDoc::LoadResult::WrongDevice:
        return kUsage; // refused before anything was written
    case CDoravineDoc::LoadResult::Declined:
    case CDoravineDoc::LoadResult::WriteFailed:
    case CDoravineDoc::LoadResult::LinkError:
        break;
    }
    return kFailed;
}

} // namespace cli
