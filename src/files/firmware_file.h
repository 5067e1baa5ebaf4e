// A firmware file (*.afm): every byte stored rotated left by two bits; a 40-byte header (data
// length, version, format identifier, controller name, checksum) and the data. The loader checks
// the file and builds the program image; it never talks to the user, the caller shows the
// message that lastMessage() names.
#pragma once

#include "base/language.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CFirmwareFile {
  public:
    static constexpr size_t kHeaderSize = 40;
    static constexpr size_t kMaxDataLength = 0x80000; // also the size of the image area
    static constexpr size_t kMinDataLength = 8381;    // 8380 bytes or fewer are refused
    static constexpr size_t kDroppedOffset = 8320;    // 60 data bytes here never reach the image
    static constexpr size_t kDroppedLength = 60;
    static constexpr size_t kRowBytes = 256; // image bytes per programmed row
    static constexpr size_t kNameOffset = 19;
    static constexpr size_t kNameField = 19;
    static constexpr uint16_t kFormatId = 0x0101;

    enum class Failure {
        None,
        Open,        // the file cannot be opened
        ShortHeader, // fewer than 40 bytes
        ShortData,   // fewer data bytes than the header's length, or a length beyond 0x80000
        TooShort,    // a data length of 8380 bytes or fewer
        Checksum,    // the stored checksum differs from the computed one
    };

    // Message key for "the file is not usable" and for "not a file for this controller".
    static constexpr const wchar_t* kLoadFailedText = TR_KEY(L"Nie powiodło się zaprogramowanie urządzenia!");
    static constexpr const wchar_t* kWrongFileText = TR_KEY(L"Niewłaściwy plik firmware dla sterownika!");
    // clang-format off
    static constexpr const wchar_t* kOlderFileQuestion = TR_KEY(L"Wersja sterownika jest nowsza niż wersja pliku firmware.\nCzy chcesz zaprogramować sterownik starszą wersją?");
    // clang-format on

    CFirmwareFile();

    // Reads and checks the file at path; hands back the file's version, controller name (from
    // code page 1250) and format identifier. False on any failure (see failure()).
    bool load(const std::filesystem::path& path, uint16_t& version, std::wstring& name, uint16_t& format);
    // The same checks on the file's bytes already in memory.
    bool loadBytes(const uint8_t* bytes, size_t size, uint16_t& version, std::wstring& name,
                   uint16_t& format);

    bool isLoaded() const { return m_loaded; }
    Failure failure() const { return m_failure; }
    // The untranslated message key of the last failure (empty when there was none).
    std::wstring lastMessage() const;

    // Whether the loaded file is meant for a controller of this name: format 0x0101 and a name
    // that equals it exactly. A name field without a terminating NUL matches no controller.
    bool matchesController(const std::wstring& controllerName) const;
    // Whether programming would install an older version than the controller runs.
    bool isOlderThan(uint16_t controllerVersion) const { return m_version < controllerVersion; }

    // The 512 KiB image area: the data without its 60 bytes at 8320, then zeros.
    const std::vector<uint8_t>& image() const { return m_image; }
    size_t imageLength() const { return m_imageLength; }
    size_t rowCount() const { return m_rowCount; }
    uint16_t version() const { return m_version; }
    uint16_t format() const { return m_format; }
    const std::wstring& name() const { return m_name; }
    bool nameTerminated() const { return m_nameTerminated; }

    // One stored byte back to its plain value (rotate right by two bits).
    static uint8_t restoreByte(uint8_t stored)
    {
        return static_cast<uint8_t>((stored >> 2) | ((stored & 3) << 6));
    }
    // The inverse, for writing files (rotate left by two bits).
    static uint8_t storeByte(uint8_t plain) { return static_cast<uint8_t>((plain << 2) | (plain >> 6)); }
    // The checksum the header must carry for these plain header bytes (checksum field ignored)
    // and plain data.
    static uint16_t computeChecksum(const uint8_t* plainHeader, const uint8_t* plainData, size_t dataLength);

  private:
    bool fail(Failure failure);

    std::vector<uint8_t> m_image;
    size_t m_imageLength = 0;
    size_t m_rowCount = 0;
    uint16_t m_version = 0;
    uint16_t m_format = 0;
    std::wstring m_name;
    bool m_nameTerminated = false;
    bool m_loaded = false;
    Failure m_failure = Failure::None;
};

// Text in code page 1250 (the controller's name field) to wide text.
std::wstring cp1250ToWide(const uint8_t* text, size_t length);
