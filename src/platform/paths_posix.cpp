#include "platform/paths.h"

#include "platform/text.h"

std::filesystem::path nativePath(const std::wstring& name)
{
    // Narrow paths pass through as bytes; the conversion must not depend on the process locale.
    return std::filesystem::path(unicode2utf8(name));
}
