#include "files/readings_log_reader.h"

#include "base/language.h"
#include "records/readings_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>

namespace {

// A line without its CR (a log that passed through a Windows editor).
std::string_view trimmed(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool number(std::string_view field, double& out)
{
    if (field.empty())
        return false;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), out);
    return ec == std::errc() && end == field.data() + field.size() && std::isfinite(out);
}

bool parseLine(std::string_view line, CLogSample& s)
{
    double v[7];
    for (int i = 0; i < 7; ++i) {
        const size_t semicolon = line.find(';');
        const bool last = i == 6;
        if ((semicolon == std::string_view::npos) != last)
            return false;
        if (!number(line.substr(0, semicolon), v[i]))
            return false;
        if (!last)
            line.remove_prefix(semicolon + 1);
    }
    if ((v[6] != 0 && v[6] != 1) || v[0] < 0)
        return false;
    s.time = v[0];
    s.rpm = static_cast<float>(v[1]);
    s.tps = static_cast<float>(v[2]);
    s.map = static_cast<float>(v[3]);
    s.advance = static_cast<float>(v[4]);
    s.supply = static_cast<float>(v[5]);
    s.switchOn = v[6] != 0;
    return true;
}

} // namespace

CReadingsLogReader::Result CReadingsLogReader::read(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Result::CannotOpen;
    // A foreign file (a firmware image, a video) is refused by its first bytes, not read whole.
    std::string head(std::char_traits<char>::length(kReadingsCsvHeader), '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    if (!head.empty() && head != kReadingsCsvHeader)
        return parse(head);
    const std::string text = head + std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return Result::CannotOpen;
    return parse(text);
}

CReadingsLogReader::Result CReadingsLogReader::parse(std::string_view text)
{
    m_series.clear();
    m_skipped = 0;
    m_cutLast = false;
    if (text.empty())
        return Result::NoReadings;
    const size_t headerEnd = text.find('\n');
    if (headerEnd == std::string_view::npos || trimmed(text.substr(0, headerEnd)) != kReadingsCsvHeader)
        return Result::Foreign;
    text.remove_prefix(headerEnd + 1);
    // A line is about 40 bytes: one reservation instead of a dozen regrowths for an hour's log.
    m_series.reserve(text.size() / 36 + 1);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            m_cutLast = true;
            break;
        }
        CLogSample sample;
        if (parseLine(trimmed(text.substr(0, end)), sample)) {
            // The recorder stamps a sample that raced its start at 0, after a later one: it
            // belongs at the same moment, not out of the log.
            if (!m_series.empty())
                sample.time = std::max(sample.time, m_series.endTime());
            m_series.append(sample);
        } else {
            ++m_skipped;
        }
        text.remove_prefix(end + 1);
    }
    return m_series.empty() ? Result::NoReadings : Result::Read;
}

std::wstring CReadingsLogReader::problemText(Result result)
{
    switch (result) {
    case Result::Read:
        return {};
    case Result::NoReadings:
        return translateText(L"Zapis odczytów nie zawiera ani jednego pełnego odczytu.");
    case Result::Foreign:
        return translateText(L"Ten plik nie jest zapisem odczytów: jego pierwszy wiersz nie jest nagłówkiem, "
                             L"który zapisuje program.");
    case Result::CannotOpen:
        return translateText(L"Nie można odczytać pliku.");
    }
    return {};
}
