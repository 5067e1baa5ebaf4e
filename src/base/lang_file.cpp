#include "base/lang_file.h"

#include "platform/ierror.h"
#include "platform/paths.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

constexpr std::size_t kLineBuffer = 2048;

// UTF-16 LE code units to wide characters. Where wchar_t is wider than 16 bits, surrogate pairs
// become one character so that keys compare equal to the program's own literals.
std::wstring decodeUtf16(std::string_view bytes)
{
    std::size_t start = (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                         static_cast<unsigned char>(bytes[1]) == 0xFE)
                            ? 2
                            : 0;
    std::wstring text;
    text.reserve((bytes.size() - start) / 2);
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
        char32_t unit =
            static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if constexpr (sizeof(wchar_t) >= 4) {
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
                char32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                               (static_cast<unsigned char>(bytes[i + 3]) << 8);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
        }
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

// Drops the line break of a line, and only a line break: the last line of a file need not end in
// CR LF and keeps all its characters then.
void dropLineBreak(std::wstring& line)
{
    if (!line.empty() && line.back() == L'\n') {
        line.pop_back();
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
    }
}

// Key and translation of a line; false when the line has fewer than two TABs.
bool splitLine(const std::wstring& line, std::wstring& key, std::wstring& translation)
{
    std::size_t first = line.find(L'\t');
    if (first == std::wstring::npos)
        return false;
    std::size_t second = line.find(L'\t', first + 1);
    if (second == std::wstring::npos)
        return false;
    key = langfile::unescape(std::wstring_view(line).substr(0, first));
    translation = langfile::unescape(std::wstring_view(line).substr(second + 1));
    return true;
}

} // namespace

namespace langfile {

std::vector<std::wstring> readLines(std::string_view bytes)
{
    std::wstring text = decodeUtf16(bytes);
    std::vector<std::wstring> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // Like a line read into the buffer: up to and including LF, at most 2047 characters.
        std::size_t limit = std::min(text.size(), pos + (kLineBuffer - 1));
        std::size_t end = pos;
        while (end < limit && text[end] != L'\n')
            ++end;
        if (end < limit)
            ++end; // take the LF
        std::wstring line = text.substr(pos, end - pos);
        pos = end;
        dropLineBreak(line);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::wstring unescape(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size()) {
            wchar_t next = text[i + 1];
            if (next == L't' || next == L'r' || next == L'n') {
                out.push_back(next == L't' ? L'\t' : next == L'r' ? L'\r' : L'\n');
                ++i;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::wstring scan(std::string_view bytes, const std::wstring& key)
{
    for (const std::wstring& line : readLines(bytes)) {
        std::size_t first = line.find(L'\t');
        if (first == std::wstring::npos)
            continue;
        if (unescape(std::wstring_view(line).substr(0, first)) != key)
            continue;
        std::size_t second = line.find(L'\t', first + 1);
        if (second == std::wstring::npos)
            continue;
        return unescape(std::wstring_view(line).substr(second + 1));
    }
    return {};
}

} // namespace langfile

bool CLangFile::open(const std::wstring& path)
{
    close();
    const std::filesystem::path file = nativePath(path);
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    load(bytes, path);
    return true;
}

void CLangFile::load(std::string_view bytes, const std::wstring& path)
{
    close();
    std::wstring key;
    std::wstring translation;
    for (const std::wstring& line : langfile::readLines(bytes)) {
        // The first usable line of a key wins, as a scan from the start would find it.
        if (splitLine(line, key, translation))
            m_entries.try_emplace(std::move(key), std::move(translation));
    }
    m_path = path;
    m_open = true;
}

void CLangFile::close()
{
    m_entries.clear();
    m_path.clear();
    m_open = false;
}

std::wstring CLangFile::translate(const std::wstring& key) const
{
    if (!m_open)
        return {};
    auto found = m_entries.find(key);
    return found == m_entries.end() ? std::wstring() : found->second;
}
