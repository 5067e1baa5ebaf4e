#include "platform/port_table.h"

#include <mutex>
#include <string>
#include <windows.h>

namespace porttable {

namespace {

std::mutex g_overrideLock;
std::vector<std::string> g_override;

std::vector<std::string> overrideTable()
{
    std::lock_guard<std::mutex> lock(g_overrideLock);
    return g_override;
}

// The port exists when the system has a default configuration for it; the port is not opened.
bool comExists(int n)
{
    const std::wstring name = L"COM" + std::to_wstring(n);
    COMMCONFIG config{};
    DWORD size = sizeof config;
    return GetDefaultCommConfigW(name.c_str(), &config, &size) != FALSE;
}

} // namespace

std::string portPath(int n)
{
    if (n < 1)
        return {};
    const auto paths = overrideTable();
    if (!paths.empty())
        return static_cast<size_t>(n) <= paths.size() ? paths[static_cast<size_t>(n) - 1] : std::string();
    // The device-namespace form opens COM10 and above too.
    return "\\\\.\\COM" + std::to_string(n);
}

std::vector<int> existingPorts()
{
    std::vector<int> out;
    const auto paths = overrideTable();
    if (!paths.empty()) {
        for (size_t i = 0; i < paths.size() && i < static_cast<size_t>(kMaxPort); ++i) {
            const DWORD attributes = GetFileAttributesA(paths[i].c_str());
            const std::string& p = paths[i];
            // Device names have no file attributes; take them as present and let open decide.
            if (attributes != INVALID_FILE_ATTRIBUTES || p.rfind("\\\\.\\", 0) == 0 || p.rfind("COM", 0) == 0)
                out.push_back(static_cast<int>(i) + 1);
        }
        return out;
    }
    for (int n = 1; n <= kMaxPort; ++n)
        if (comExists(n))
            out.push_back(n);
    return out;
}

PortAccess portAccess(int n)
{
    const std::string path = portPath(n);
    if (path.empty())
        return PortAccess::Missing;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return PortAccess::Usable;
    }
    // Windows answers access denied for a port that another program holds; serial ports carry no
    // rights of their own there, so that is never a missing permission.
    return GetLastError() == ERROR_ACCESS_DENIED ? PortAccess::Busy : PortAccess::Missing;
}

void setPortOverride(const std::vector<std::string>& paths)
{
    std::lock_guard<std::mutex> lock(g_overrideLock);
    g_override = paths;
}

} // namespace porttable
