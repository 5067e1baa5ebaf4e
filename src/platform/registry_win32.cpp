#include "platform/registry.h"

#include <windows.h>

namespace registry {

namespace {

const char* const kKey = "Software\\Doravine";

} // namespace

std::optional<std::string> readString(const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    // Zero-filled and one byte longer than what is read, so a value stored without its
    // terminating null still ends.
    char buffer[257] = {};
    DWORD size = 256;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || size == 0)
        return std::nullopt;
    return std::string(buffer);
}

bool writeString(const std::string& name, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    // The size counts the whole text with its terminating null.
    const LONG result =
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace registry
