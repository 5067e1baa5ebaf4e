// Language file parsing on arbitrary bytes: no crash, and the in-memory table answers every key
// of the file exactly as a scan of the file from its start does.
#include "base/lang_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CLangFile file;
    file.load(bytes);

    // The scan's answers for every key at once, in one pass: the first line with the key and a
    // second tab wins, exactly as langfile::scan reads from the top.
    const std::vector<std::wstring> lines = langfile::readLines(bytes);
    std::unordered_map<std::wstring, std::wstring> scanned;
    std::vector<std::wstring> keys;
    for (const std::wstring& line : lines) {
        if (line.size() > 2047)
            __builtin_trap();
        const std::size_t first = line.find(L'\t');
        std::wstring key = langfile::unescape(std::wstring_view(line).substr(0, first));
        keys.push_back(key);
        if (first == std::wstring::npos)
            continue;
        const std::size_t second = line.find(L'\t', first + 1);
        if (second != std::wstring::npos)
            scanned.try_emplace(std::move(key), langfile::unescape(std::wstring_view(line).substr(second + 1)));
    }
    for (const std::wstring& key : keys) {
        const auto found = scanned.find(key);
        if (file.translate(key) != (found == scanned.end() ? std::wstring() : found->second))
            __builtin_trap();
    }
    // The one-pass table itself against the scan, for the first and the last key.
    if (!keys.empty() && (file.translate(keys.front()) != langfile::scan(bytes, keys.front()) ||
                          file.translate(keys.back()) != langfile::scan(bytes, keys.back())))
        __builtin_trap();
    const std::wstring absent = L"\x1F no such key";
    if (file.translate(absent) != langfile::scan(bytes, absent))
        __builtin_trap();
    return 0;
}
