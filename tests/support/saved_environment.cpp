#include "support/saved_environment.h"

#include <cstdlib>

CSavedEnvironment::CSavedEnvironment(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const char* value = std::getenv(name.c_str());
        m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        ::unsetenv(name.c_str());
    }
}

CSavedEnvironment::~CSavedEnvironment()
{
    for (const auto& [name, value] : m_saved) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}
