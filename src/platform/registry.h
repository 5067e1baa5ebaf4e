// The program's few remembered values (the last good port): string values under the current
// user's Software\Doravine key. Windows keeps them in the registry; POSIX in a small file,
// $XDG_CONFIG_HOME/Doravine/registry (else ~/.config/Doravine/registry), one "name=value" a line.
// Failures are quiet: a value that cannot be read is absent, a write that fails changes nothing.
#pragma once

#include <optional>
#include <string>

namespace registry {

// The value's text, or nothing when the key or the value cannot be read.
std::optional<std::string> readString(const std::string& name);
// Creates the key as needed and stores the text; false when that fails.
bool writeString(const std::string& name, const std::string& value);

} // namespace registry
