#include "files/csv_file.h"

#include "platform/ierror.h"

#include <sstream>

namespace {

std::unique_ptr<std::fstream> openStream(const std::wstring& name, bool write)
{
    // Binary on every platform: a line reads the same bytes on Windows as on POSIX, and what a
    // writer puts down is exactly what lands in the file.
    const auto mode =
        write ? std::ios::out | std::ios::trunc | std::ios::binary : std::ios::in | std::ios::binary;
    const std::filesystem::path path = nativePath(name);
    std::error_code error;
    // Some systems open a folder for reading and then fail every read, which would pass for an
    // empty file.
    if (!write && std::filesystem::is_directory(path, error))
        return nullptr;
    auto stream = std::make_unique<std::fstream>(path, mode);
    if (!stream->is_open())
        return nullptr;
    return stream;
}

// Replaces every occurrence of from, left to right, resuming the search after the inserted text.
void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

} // namespace

bool CCsvFile::open(const std::wstring& name, bool write)
{
    close();
    m_stream = openStream(name, write);
    if (m_stream)
        m_fileName = name;
    m_lineNumber = 0;
    return isOpen();
}

void CCsvFile::openBytes(std::string bytes)
{
    close();
    m_stream = std::make_unique<std::stringstream>(std::move(bytes), std::ios::in | std::ios::binary);
    m_lineNumber = 0;
}

void CCsvFile::close()
{
    m_stream.reset(); // a file stream closes itself on destruction
    m_fileName.clear();
}

std::string CCsvFile::normalise(const std::string& line)
{
    std::string text = line;
    // Quoted fields as spreadsheets write them: the quotes go, the separators stay.
    replaceAll(text, "\";\"", ";");
    replaceAll(text, "\";", ";");
    replaceAll(text, "\",", ";");
    replaceAll(text, "\"", "");
    replaceAll(text, "\t", ";");
    // Decimal commas become points so that numbers read the same in every locale.
    replaceAll(text, ",", ".");
    return text;
}

void CCsvFile::split(const std::string& line, const std::string& separator, std::vector<std::string>& fields)
{
    if (line.empty())
        return;
    if (separator.empty()) {
        fields.push_back(line);
        return;
    }
    size_t pos = 0;
    for (;;) {
        const size_t found = line.find(separator, pos);
        if (found == std::string::npos) {
            if (pos < line.size())
                fields.push_back(line.substr(pos));
            return;
        }
        fields.push_back(line.substr(pos, found - pos));
        pos = found + separator.size();
    }
}

void CCsvFile::parsePiece(std::string piece, const std::string& separator, std::vector<std::string>& fields)
{
    const size_t lf = piece.find('\n');
    if (lf != std::string::npos)
        piece.erase(lf);
    split(normalise(piece), separator, fields);
}

bool CCsvFile::readLine(std::vector<std::string>& fields)
{
    if (!m_stream)
        return false;
    std::streambuf* in = m_stream->rdbuf();
    std::string piece;
    piece.reserve(64);
    while (piece.size() < kMaxPiece) {
        const auto c = in->sbumpc();
        if (std::char_traits<char>::eq_int_type(c, std::char_traits<char>::eof()))
            break;
        piece.push_back(std::char_traits<char>::to_char_type(c));
        if (piece.back() == '\n')
            break;
    }
    if (piece.empty())
        return false;
    ++m_lineNumber;
    parsePiece(std::move(piece), m_separator, fields);
    return true;
}

COpenFile::COpenFile(std::wstring initialFolder, std::wstring filter, std::wstring defaultExtension,
                     bool save)
{
    m_request.folder = std::move(initialFolder);
    m_request.filter = std::move(filter);
    m_request.extension = std::move(defaultExtension);
    m_request.save = save;
}

std::wstring COpenFile::show() const
{
    return userInteraction().pickFile(m_request);
}

bool CDiagFile::open(const std::wstring& name, bool write)
{
    close();
    m_write = write;
    if (name.empty() || name.back() == L'\\' || name.back() == L'/')
        return false;
    m_stream = openStream(name, write);
    if (!m_stream)
        return false;
    m_fileName = name;
    return true;
}

void CDiagFile::close()
{
    if (m_stream) {
        m_stream->close();
        m_stream.reset();
    }
    m_fileName.clear();
}

bool CDiagFile::write(const CDiag&)
{
    return true;
}
