#include "support/portable.h"

#include <cstdlib>

namespace testsupport {

// The C runtime's own copy of the environment, which getenv reads.
void setEnvironment(const std::string& name, const std::string& value)
{
    _putenv_s(name.c_str(), value.c_str());
}

void unsetEnvironment(const std::string& name)
{
    // An empty value removes the variable.
    _putenv_s(name.c_str(), "");
}

std::filesystem::path programPath()
{
    return __argv[0];
}

} // namespace testsupport
