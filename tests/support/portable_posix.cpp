#include "support/portable.h"

#include <cerrno>
#include <cstdlib>

namespace testsupport {

void setEnvironment(const std::string& name, const std::string& value)
{
    ::setenv(name.c_str(), value.c_str(), 1);
}

void unsetEnvironment(const std::string& name)
{
    ::unsetenv(name.c_str());
}

std::filesystem::path programPath()
{
    return program_invocation_name;
}

} // namespace testsupport
