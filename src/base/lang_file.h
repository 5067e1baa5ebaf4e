// One language file: UTF-16 little-endian text, one entry per line ending in CR LF, columns
// separated by TAB: the Polish key, a note the program ignores, the translation (the rest of the
// line). In key and translation the pairs backslash-t, backslash-r and backslash-n stand for TAB,
// CR and LF. Lines are read through a buffer of 2048 characters: a longer line is taken as
// several lines of at most 2047 characters each.
//
// The file is read and parsed once when it is opened and answered from memory afterwards: the
// answers are those of a scan of the file from its start for every key (the first line whose key
// matches and that has a second TAB wins), at the cost of one hash lookup.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CLangFile {
  public:
    CLangFile() = default;
    ~CLangFile() { close(); }
    CLangFile(const CLangFile&) = delete;
    CLangFile& operator=(const CLangFile&) = delete;

    // Reads the file at path; keeps the path when it could be read. Returns whether it could.
    bool open(const std::wstring& path);
    // The same from bytes already in memory (the whole file content).
    void load(std::string_view bytes, const std::wstring& path = {});
    void close();

    bool isOpen() const { return m_open; }
    const std::wstring& path() const { return m_path; }
    std::size_t entryCount() const { return m_entries.size(); }

    // The translation of key; empty when the file is not open or holds no matching line.
    std::wstring translate(const std::wstring& key) const;

  private:
    bool m_open = false;
    std::wstring m_path;
    std::unordered_map<std::wstring, std::wstring> m_entries;
};

namespace langfile {

// The lines of a file as the 2048-character buffer reads them, each with its line break dropped.
// The two-byte mark FF FE is skipped when present; a final odd byte is ignored.
std::vector<std::wstring> readLines(std::string_view bytes);

// Replaces backslash-t, backslash-r and backslash-n by TAB, CR and LF.
std::wstring unescape(std::wstring_view text);

// The straightforward lookup: scans the lines from the start for key. CLangFile must answer the
// same; kept for the fuzz harness and the benchmark.
std::wstring scan(std::string_view bytes, const std::wstring& key);

} // namespace langfile
