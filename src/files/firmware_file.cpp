#include "files/firmware_file.h"

#include <algorithm>
#include <fstream>

namespace {

constexpr size_t kChecksumOffset = 38;
constexpr size_t kImageArea = CFirmwareFile::kMaxDataLength;

uint32_t readLE32(const uint8_t* b)
{
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint16_t readLE16(const uint8_t* b)
{
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

// Code page 1250, 0x80 to 0xFF; U+FFFD where the code page has no character.
constexpr char16_t kCp1250High[128] = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, 0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

} // namespace

std::wstring cp1250ToWide(const uint8_t* text, size_t length)
{
    std::wstring out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i)
        out.push_back(text[i] < 0x80 ? static_cast<wchar_t>(text[i])
                                     : static_cast<wchar_t>(kCp1250High[text[i] - 0x80]));
    return out;
}

CFirmwareFile::CFirmwareFile() = default;

bool CFirmwareFile::fail(Failure failure)
{
    m_failure = failure;
    m_loaded = false;
    return false;
}

std::wstring CFirmwareFile::lastMessage() const
{
    return m_failure == Failure::None ? std::wstring() : std::wstring(kLoadFailedText);
}

uint16_t CFirmwareFile::computeChecksum(const uint8_t* plainHeader, const uint8_t* plainData,
                                        size_t dataLength)
{
    uint16_t header = 0;
    for (size_t i = 0; i < kHeaderSize; ++i)
        if (i != kChecksumOffset && i != kChecksumOffset + 1)
            header = static_cast<uint16_t>(header + plainHeader[i]);
    uint16_t data = 0;
    const size_t counted = dataLength % 65536;
    for (size_t i = 0; i < counted; ++i)
        data = static_cast<uint16_t>(data + plainData[i]);
    return static_cast<uint16_t>(data + 1 + header + 1);
}

bool CFirmwareFile::load(const std::filesystem::path& path, uint16_t& version, std::wstring& name,
                         uint16_t& format)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail(Failure::Open);
    std::vector<uint8_t> bytes(kHeaderSize);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(kHeaderSize));
    if (static_cast<size_t>(in.gcount()) < kHeaderSize)
        return fail(Failure::ShortHeader);
    // Read no more than the header promises (and never beyond the image area), so a huge file
    // costs nothing and a short one is told by the count.
    uint8_t plainLength[4];
    for (size_t i = 0; i < 4; ++i)
        plainLength[i] = restoreByte(bytes[i]);
    const size_t wanted = std::min<size_t>(readLE32(plainLength), kMaxDataLength);
    bytes.resize(kHeaderSize + wanted);
    in.read(reinterpret_cast<char*>(bytes.data() + kHeaderSize), static_cast<std::streamsize>(wanted));
    bytes.resize(kHeaderSize + static_cast<size_t>(in.gcount()));
    return loadBytes(bytes.data(), bytes.size(), version, name, format);
}

bool CFirmwareFile::loadBytes(const uint8_t* bytes, size_t size, uint16_t& version, std::wstring& name,
                              uint16_t& format)
{
    m_loaded = false;
    m_failure = Failure::None;
    if (bytes == nullptr || size < kHeaderSize)
        return fail(Failure::ShortHeader);

    uint8_t header[kHeaderSize];
    for (size_t i = 0; i < kHeaderSize; ++i)
        header[i] = restoreByte(bytes[i]);
    const uint32_t length = readLE32(header);

    const size_t available = std::min(size - kHeaderSize, kMaxDataLength);
    const size_t read = std::min<size_t>(length, available);
    if (read < length)
        return fail(Failure::ShortData);
    if (length < kMinDataLength)
        return fail(Failure::TooShort);

    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i)
        data[i] = restoreByte(bytes[kHeaderSize + i]);

    if (computeChecksum(header, data.data(), length) != readLE16(header + kChecksumOffset))
        return fail(Failure::Checksum);

    m_image.assign(kImageArea, 0);
    std::copy_n(data.begin(), kDroppedOffset, m_image.begin());
    std::copy(data.begin() + kDroppedOffset + kDroppedLength, data.end(), m_image.begin() + kDroppedOffset);
    m_imageLength = length - kDroppedLength;
    m_rowCount = m_imageLength / kRowBytes + (m_imageLength % kRowBytes != 0 ? 1 : 0);

    m_version = readLE16(header + 4);
    m_format = readLE16(header + 6);
    // The name ends at its NUL; a field without one is taken as its 19 bytes, never beyond.
    const uint8_t* field = header + kNameOffset;
    const auto* nul = std::find(field, field + kNameField, uint8_t{0});
    m_nameTerminated = nul != field + kNameField;
    m_name = cp1250ToWide(field, static_cast<size_t>(nul - field));

    version = m_version;
    name = m_name;
    format = m_format;
    m_loaded = true;
    return true;
}

bool CFirmwareFile::matchesController(const std::wstring& controllerName) const
{
    return m_loaded && m_format == kFormatId && m_nameTerminated && m_name == controllerName;
}
