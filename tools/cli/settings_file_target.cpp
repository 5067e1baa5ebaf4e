#include "settings_file_target.h"

#include "base/language.h"
#include "platform/text.h"

#include <ostream>

namespace cli {

int openSettingsFile(Context& context, CSettingsDocument& file)
{
    if (const wchar_t* refusal = file.open(utf82unicode(context.options.file))) {
        printMessage(context.err, refusal);
        return kUsage;
    }
    return kOk;
}

int saveSettingsFile(Context& context, CSettingsDocument& file)
{
    if (const wchar_t* failure = file.saveTo()) {
        printMessage(context.err, failure);
        context.err << context.options.file << "\n";
        return kFailed;
    }
    return kOk;
}

}  // namespace cli
