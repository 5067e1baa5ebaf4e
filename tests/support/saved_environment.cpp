#include "support/saved_environment.h"

#include "support/portable.h"

#include <cstdlib>

CSavedEnvironment::CSavedEnvironment(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const char* value = std::getenv(name.c_str());
        m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        testsupport::unsetEnvironment(name);
    }
}

CSavedEnvironment::~CSavedEnvironment()
{
    for (const auto& [name, value] : m_saved) {
        if (value)
            testsupport::setEnvironment(name, *value);
        else
            testsupport::unsetEnvironment(name);
    }
}
