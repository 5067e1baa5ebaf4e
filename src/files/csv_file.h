// File-level pieces of the diagnostics: the semicolon-separated text reader, the file-dialog
// wrapper and the live-sample thread's file.
#pragma once

#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "base/user_interaction.h"
#include "platform/paths.h"

struct CDiag;

// Reads semicolon-separated text line by line. Quotes, tabs and decimal commas written by
// spreadsheets are folded into the plain form before the line is split.
class CCsvFile {
  public:
    // The longest piece that readLine takes at once; a longer line arrives in several pieces.
    static constexpr size_t kMaxPiece = 1023;

    CCsvFile() = default;
    ~CCsvFile() { close(); }
    CCsvFile(const CCsvFile&) = delete;
    CCsvFile& operator=(const CCsvFile&) = delete;

    // Opens name for writing (replacing it) or for reading; answers whether a stream is open.
    bool open(const std::wstring& name, bool write);
    // Reads from bytes already in memory, exactly as from a file of those bytes (the name stays
    // empty). For text that does not come from a file and for the fuzz harnesses.
    void openBytes(std::string bytes);
    void close();
    bool isOpen() const { return m_stream != nullptr; }
    const std::wstring& fileName() const { return m_fileName; }

    // Appends the next line's fields to fields. False at the end of the file (nothing appended);
    // true otherwise, also for an empty line, which appends no field.
    bool readLine(std::vector<std::string>& fields);

    // The rewriting of one raw line (without its LF) into plain semicolon-separated text.
    static std::string normalise(const std::string& line);
    // Splits plain text at every separator: adjacent separators give an empty field, a trailing
    // separator adds none, an empty text adds nothing at all.
    static void split(const std::string& line, const std::string& separator,
                      std::vector<std::string>& fields);
    // What readLine does with one raw piece: cut at the first LF, normalise, split.
    static void parsePiece(std::string piece, const std::string& separator, std::vector<std::string>& fields);

  private:
    std::string m_separator = ";";
    std::unique_ptr<std::iostream> m_stream;
    std::wstring m_fileName;
    int m_lineNumber = 0;
};

// The file dialog as the core sees it: the request goes to the user-interaction seam, whose
// window shows an "OPEN" or "SAVE" dialog without a proposed name and the read-only box hidden.
class COpenFile {
  public:
    COpenFile(std::wstring initialFolder, std::wstring filter, std::wstring defaultExtension, bool save);

    // The chosen full path, or an empty string when the user cancels.
    std::wstring show() const;

    const FileRequest& request() const { return m_request; }
    // The dialog's title, never translated.
    const wchar_t* title() const { return m_request.save ? L"SAVE" : L"OPEN"; }

  private:
    FileRequest m_request;
};

// The live-sample thread's file. Samples are accepted but never written, so at most an empty
// file is left behind.
class CDiagFile {
  public:
    CDiagFile() = default;
    ~CDiagFile() { close(); }
    CDiagFile(const CDiagFile&) = delete;
    CDiagFile& operator=(const CDiagFile&) = delete;

    // A name ending in a path separator names a folder and is refused on every platform, so the
    // thread's usual name "\" never leaves a stray file behind on systems where it is a valid name.
    bool open(const std::wstring& name, bool write);
    void close();
    bool isOpen() const { return m_stream != nullptr; }
    const std::wstring& fileName() const { return m_fileName; }
    bool write(const CDiag& sample);

  private:
    bool m_write = false;
    std::unique_ptr<std::fstream> m_stream;
    std::wstring m_fileName;
};
