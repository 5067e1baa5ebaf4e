#include "files/readings_log.h"

#include "records/readings_format.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace fs = std::filesystem;

std::wstring CReadingsLog::fileNameFor(const std::tm& t)
{
    wchar_t name[64];
    std::swprintf(name, sizeof name / sizeof name[0], L"Odczyty_%04d-%02d-%02d_%02d-%02d-%02d.csv", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

bool CReadingsLog::create(const fs::path& path)
{
    close();
    std::error_code ec;
    if (fs::exists(path, ec) || ec)
        return false;
    m_out.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!m_out)
        return false;
    m_path = path;
    m_bytes = 0;
    m_lines = 0;
    if (!write(std::string(kReadingsCsvHeader) + "\n")) {
        close();
        return false;
    }
    return true;
}

bool CReadingsLog::append(const std::vector<CDiagEntry>& entries, CDiagClock::time_point start)
{
    if (!isOpen())
        return false;
    std::string text;
    for (const CDiagEntry& e : entries) {
        // A sample stamped just before the start (the start and the store's clock race) is at 0.
        const double seconds = std::max(0.0, std::chrono::duration<double>(e.time - start).count());
        text += readingsCsvLine(seconds, e.sample);
        text += '\n';
    }
    // A file removed under the program (its folder deleted, a stick pulled) can still take
    // writes on some systems, which would then vanish unseen.
    std::error_code ec;
    if (!fs::exists(m_path, ec) || !write(text)) {
        close();
        return false;
    }
    m_lines += entries.size();
    return true;
}

bool CReadingsLog::write(const std::string& text)
{
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    m_out.flush();
    if (m_out)
        m_bytes += text.size();
    else {
        // Part of the text may have reached the file: cut it back to the last whole line.
        m_out.close();
        std::error_code ec;
        fs::resize_file(m_path, m_bytes, ec);
        return false;
    }
    return true;
}

void CReadingsLog::close()
{
    if (m_out.is_open())
        m_out.close();
}
