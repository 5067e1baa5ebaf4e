// Language file parsing on arbitrary bytes: no crash, and the in-memory table answers every key
// of the file exactly as a scan of the file from its start does.
#include "base/lang_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CLangFile file;
    file.load(bytes);

    std::size_t checked = 0;
    for (const std::wstring& line : langfile::readLines(bytes)) {
        if (line.size() > 2047)
            __builtin_trap();
        std::size_t tab = line.find(L'\t');
        std::wstring key = langfile::unescape(line.substr(0, tab == std::wstring::npos ? line.size() : tab));
        if (file.translate(key) != langfile::scan(bytes, key))
            __builtin_trap();
        // Keep the quadratic reference scan bounded on large inputs.
        if (++checked == 64)
            break;
    }
    const std::wstring absent = L"\x1F no such key";
    if (file.translate(absent) != langfile::scan(bytes, absent))
        __builtin_trap();
    return 0;
}
