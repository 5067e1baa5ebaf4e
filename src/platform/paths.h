// A wide file name as the standard streams and std::filesystem want it on this system.
#pragma once

#include <filesystem>
#include <string>

// UTF-8 bytes on POSIX (whatever the process locale), the wide name itself on Windows.
std::filesystem::path nativePath(const std::wstring& name);
