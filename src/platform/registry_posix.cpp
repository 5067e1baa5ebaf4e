#include "platform/registry.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace registry {

namespace {

std::filesystem::path folder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return std::filesystem::path(config) / "Doravine";
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::filesystem::path(home) / ".config" / "Doravine";
    return {};
}

std::vector<std::pair<std::string, std::string>> readAll(const std::filesystem::path& file)
{
    std::vector<std::pair<std::string, std::string>> values;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return values;
}

} // namespace

std::optional<std::string> readString(const std::string& name)
{
    const auto dir = folder();
    if (dir.empty())
        return std::nullopt;
    for (auto& [key, value] : readAll(dir / "registry"))
        if (key == name)
            return value;
    return std::nullopt;
}

bool writeString(const std::string& name, const std::string& value)
{
    // A newline or '=' in the name, or a newline in the value, would corrupt the other lines.
    if (name.empty() || name.find_first_of("=\n") != std::string::npos ||
        value.find('\n') != std::string::npos)
        return false;
    const auto dir = folder();
    if (dir.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const auto file = dir / "registry";
    auto values = readAll(file);
    bool replaced = false;
    for (auto& entry : values)
        if (entry.first == name) {
            entry.second = value;
            replaced = true;
        }
    if (!replaced)
        values.emplace_back(name, value);

    // Written beside and renamed over, so a crash mid-write never leaves half a file.
    const auto temp = dir / ("registry." + std::to_string(::getpid()) + ".tmp");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const auto& [key, text] : values)
            out << key << '=' << text << '\n';
        out.flush();
        if (!out) {
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace registry
