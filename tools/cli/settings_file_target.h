// --file FILE: the settings, map, set and map-write commands on a settings file instead of the
// controller. No serial port is ever opened on this path.
#pragma once

#include "cli.h"

#include "files/settings_document.h"

namespace cli {

// Opens --file with the load's checks; kOk, or kUsage after printing the load's refusal.
int openSettingsFile(Context& context, CSettingsDocument& file);
// Rewrites the open file safely; kOk, or kFailed after printing why, the file's name on the next line.
int saveSettingsFile(Context& context, CSettingsDocument& file);

}  // namespace cli
