// The readings log: a CSV file of live samples, a header line and one line per sample (the time
// since the start of the recording, then the six readings as the readings panel shows them),
// ';' between the fields, LF after each line.
//
// The file is written only in whole lines: a write that fails part way (a full disk) is cut back
// to the last whole line, so what was written before stays readable.
#pragma once

#include "records/diag_data.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class CReadingsLog {
  public:
    CReadingsLog() = default;
    ~CReadingsLog() { close(); }
    CReadingsLog(const CReadingsLog&) = delete;
    CReadingsLog& operator=(const CReadingsLog&) = delete;

    // "Odczyty_YYYY-MM-DD_HH-MM-SS.csv" for a local date and time.
    static std::wstring fileNameFor(const std::tm& localTime);

    // Creates a new file (never replaces one) and writes the header; false when it cannot.
    bool create(const std::filesystem::path& path);
    // Appends one line per entry, the time counted from start, and hands the lines to the
    // system. False when the file took them not all (the file then ends after the last line
    // that it took whole) or is no longer where it was made; the log is closed then.
    bool append(const std::vector<CDiagEntry>& entries, CDiagClock::time_point start);
    void close();

    bool isOpen() const { return m_out.is_open(); }
    const std::filesystem::path& path() const { return m_path; }
    // Sample lines the file holds (the header not counted).
    uint64_t lines() const { return m_lines; }

  private:
    bool write(const std::string& text);

    std::ofstream m_out;
    std::filesystem::path m_path;
    uint64_t m_bytes = 0; // what the file holds, all of it whole lines
    uint64_t m_lines = 0;
};
