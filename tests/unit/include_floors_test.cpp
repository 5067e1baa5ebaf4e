// The source tree stands on floors and an include only ever points down: a file may include its
// own floor and the floors below it, never one above. The tools sit on top of the core and never
// reach into the window's Qt tree.
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTools = 8;

// The floor of a file by its place in the tree; 0 for a folder that has no floor yet, which
// is itself a finding: a new folder must be given its place.
int floorOf(const std::string& relative)
{
    static const std::map<std::string, int> floors = {
        {"src/platform/", 1}, {"src/base/", 2},       {"src/records/", 3}, {"src/files/", 4},
        {"src/device/", 5},   {"src/operations/", 6}, {"src/gui/", 7},     {"tools/", kTools},
    };
    if (relative == "src/main.cpp")
        return kTools;
    for (const auto& [prefix, floor] : floors)
        if (relative.rfind(prefix, 0) == 0)
            return floor;
    return 0;
}

// Finds every include of a source file that points up a floor, or from a tool into the window,
// as "file:line: text".
std::vector<std::string> upwardIncludes(const fs::path& root)
{
    static const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
    std::vector<std::string> found;
    for (const char* top : {"src", "tools"}) {
        if (!fs::exists(root / top))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const fs::path& file = entry.path();
            if (!entry.is_regular_file() || (file.extension() != ".cpp" && file.extension() != ".h"))
                continue;
            const std::string from = fs::relative(file, root).generic_string();
            const int fromFloor = floorOf(from);
            std::ifstream in(file);
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch m;
                if (!std::regex_search(line, m, include))
                    continue;
                // Includes name paths under src/ or tools/; anything else is a test or system file.
                std::string to;
                for (const char* base : {"src/", "tools/"})
                    if (to.empty() && fs::exists(root / base / m[1].str()))
                        to = std::string(base) + m[1].str();
                if (to.empty())
                    continue;
                const int toFloor = floorOf(to);
                const bool intoGui = from.rfind("tools/", 0) == 0 && toFloor == 7;
                if (fromFloor == 0 || toFloor > fromFloor || intoGui)
                    found.push_back(from + ":" + std::to_string(number) + ": includes " + to + " (floor " +
                                    std::to_string(toFloor) + " from floor " + std::to_string(fromFloor) +
                                    ")");
            }
        }
    }
    return found;
}

fs::path sourceRoot()
{
    const char* data = std::getenv("DORAVINE_DATA");
    return data ? fs::path(data).parent_path() : fs::path();
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return out;
}

TEST(IncludeFloors, TheTreeOnlyIncludesDownward)
{
    const fs::path root = sourceRoot();
    ASSERT_TRUE(fs::exists(root / "src" / "platform")) << "the test run sets DORAVINE_DATA";
    const auto found = upwardIncludes(root);
    EXPECT_TRUE(found.empty()) << joined(found);
}

class IncludeFloorsPlanted : public CTempFolderTest {};

// The check itself: planted includes of each kind are named with file and line; includes that
// point down or sideways within a floor pass.
TEST_F(IncludeFloorsPlanted, NamesEveryWrongIncludeAndOnlyThose)
{
    put("src/platform/threads.h", "#pragma once\n");
    put("src/records/map_model.h", "#pragma once\n#include \"platform/threads.h\"\n");
    put("src/records/settings_record.h", "#pragma once\n#include \"records/map_model.h\"\n");
    put("src/device/lpg_device.h", "#pragma once\n#include <vector>\n#include \"records/map_model.h\"\n");
    put("src/gui/pages/page.h", "#pragma once\n#include \"device/lpg_device.h\"\n");
    put("src/operations/doc.cpp", "#include \"device/lpg_device.h\"\n");
    put("tools/cli/cli.cpp", "#include \"device/lpg_device.h\"\n");
    EXPECT_TRUE(upwardIncludes(m_folder).empty()) << joined(upwardIncludes(m_folder));

    put("src/records/map_model.cpp",
        "// model\n#include \"records/map_model.h\"\n#include \"device/lpg_device.h\"\n");
    put("src/device/connect.cpp", "#include \"gui/pages/page.h\"\n");
    put("tools/cli/window.cpp", "#include \"gui/pages/page.h\"\n");
    put("src/extras/helper.cpp", "#include \"platform/threads.h\"\n");
    put("src/files/reader.cpp", "#include \"device/lpg_device.h\"\n"); // one floor up is up too
    const std::vector<std::string> expected = {
        "src/device/connect.cpp:1: includes src/gui/pages/page.h (floor 7 from floor 5)",
        "src/extras/helper.cpp:1: includes src/platform/threads.h (floor 1 from floor 0)",
        "src/files/reader.cpp:1: includes src/device/lpg_device.h (floor 5 from floor 4)",
        "src/records/map_model.cpp:3: includes src/device/lpg_device.h (floor 5 from floor 3)",
        "tools/cli/window.cpp:1: includes src/gui/pages/page.h (floor 7 from floor 8)",
    };
    auto found = upwardIncludes(m_folder);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

} // namespace
