// Reading a readings log back: the file the program's recorder and `doravine-cli watch --csv`
// write (the header line, then "time;rpm;tps;map;advance;supply;switch" lines). A file whose
// first line is not that header is not ours and is refused whole. A last line without its line
// end was cut short while being written and is left out; a damaged line elsewhere (not seven
// numbers) is skipped and counted, and the rest still read.
#pragma once

#include "records/readings_series.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

class CReadingsLogReader {
  public:
    enum class Result {
        Read,       // at least one sample
        NoReadings, // our header and not one whole sample line (or an empty file)
        Foreign,    // not a readings log
        CannotOpen,
    };

    Result read(const std::filesystem::path& path);
    // The same from the file's bytes.
    Result parse(std::string_view text);

    const CReadingsSeries& series() const { return m_series; }
    CReadingsSeries takeSeries() { return std::move(m_series); }
    // Damaged lines skipped, and whether a cut last line was left out.
    size_t skippedLines() const { return m_skipped; }
    bool cutLastLine() const { return m_cutLast; }

    // The message for a file that gave no readings (translated); empty for Read.
    static std::wstring problemText(Result result);

  private:
    CReadingsSeries m_series;
    size_t m_skipped = 0;
    bool m_cutLast = false;
};
