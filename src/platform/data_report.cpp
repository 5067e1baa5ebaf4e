#include "platform/data_report.h"

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

// "folder (a, b)", "(empty)" or "(missing)".
std::string describeFolder(const std::wstring& folder)
{
    std::string line = unicode2utf8(folder) + " (";
    std::error_code error;
    const std::filesystem::path path = nativePath(folder);
    if (!std::filesystem::is_directory(path, error))
        return line + "missing)";
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        if (entry.is_regular_file(error)) {
            const std::u8string name = entry.path().filename().u8string();
            names.emplace_back(reinterpret_cast<const char*>(name.data()), name.size());
        }
    }
    if (names.empty())
        return line + "empty)";
    std::sort(names.begin(), names.end());
    for (std::size_t i = 0; i < names.size(); ++i)
        line += (i ? ", " : "") + names[i];
    return line + ")";
}

} // namespace

std::string dataFoldersReport()
{
    struct Entry {
        const char* title;
        const wchar_t* name;
    };
    static const Entry entries[] = {
        {"language files", L"Doravine_LANG"},
        {"reference charts", L"wykresy"},
        {"samples", L"samples"},
    };
    std::string report;
    for (const Entry& e : entries)
        report += std::string(e.title) + ": " + describeFolder(getDataFolder(e.name)) + "\n";
    return report;
}
