#include "platform/paths.h"

std::filesystem::path nativePath(const std::wstring& name)
{
    return std::filesystem::path(name);
}
