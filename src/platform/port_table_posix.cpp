#include "platform/port_table.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace porttable {

namespace {

std::mutex g_overrideLock;
std::vector<std::string> g_override;

std::vector<std::string> splitPaths(const std::string& list)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t colon = list.find(':', start);
        const size_t end = colon == std::string::npos ? list.size() : colon;
        if (end > start)
            out.push_back(list.substr(start, end - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return out;
}

// ttyS ports exist for every legacy UART slot; only those with a detected UART (type not 0)
// are real.
bool isRealTtyS(const std::string& name)
{
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int value = 0;
    return type >> value && value != 0;
}

std::vector<std::string> machinePorts()
{
    std::vector<std::string> names;
    if (DIR* dir = opendir("/dev")) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            auto starts = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
            if (starts("ttyUSB") || starts("ttyACM") || starts("rfcomm") ||
                (starts("ttyS") && isRealTtyS(name)))
                names.push_back(name);
        }
        closedir(dir);
    }
    std::vector<std::string> paths;
    for (const auto& name : machinePortOrder(names))
        paths.push_back("/dev/" + name);
    return paths;
}

std::vector<std::string> table()
{
    {
        std::lock_guard<std::mutex> lock(g_overrideLock);
        if (!g_override.empty())
            return g_override;
    }
    if (const char* env = std::getenv("DORAVINE_PORTS"))
        return splitPaths(env);
    return machinePorts();
}

} // namespace

std::string portPath(int n)
{
    if (n < 1)
        return {};
    const auto paths = table();
    return static_cast<size_t>(n) <= paths.size() ? paths[static_cast<size_t>(n) - 1] : std::string();
}

std::vector<int> existingPorts()
{
    const auto paths = table();
    std::vector<int> out;
    for (size_t i = 0; i < paths.size() && i < static_cast<size_t>(kMaxPort); ++i) {
        struct stat st {};
        if (::stat(paths[i].c_str(), &st) == 0 && S_ISCHR(st.st_mode))
            out.push_back(static_cast<int>(i) + 1);
    }
    return out;
}

PortAccess portAccess(int n)
{
    const std::string path = portPath(n);
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return PortAccess::Missing;
    if (::access(path.c_str(), R_OK | W_OK) == 0)
        return PortAccess::Usable;
    return errno == EACCES || errno == EPERM ? PortAccess::Denied : PortAccess::Missing;
}

void setPortOverride(const std::vector<std::string>& paths)
{
    std::lock_guard<std::mutex> lock(g_overrideLock);
    g_override = paths;
}

} // namespace porttable
