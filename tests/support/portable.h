// Small helpers that let one test run on POSIX and on Windows alike: the environment, a fresh
// temporary folder, the running program's own path.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

void setEnvironment(const std::string& name, const std::string& value);
void unsetEnvironment(const std::string& name);

// A new, empty folder under the system's temporary folder, its name starting with prefix.
// Throws when none can be made.
std::filesystem::path makeTempFolder(const std::string& prefix);

// The running program as it was started (its first argument).
std::filesystem::path programPath();

} // namespace testsupport
