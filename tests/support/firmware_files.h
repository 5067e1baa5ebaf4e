// Firmware files (*.afm) as the update reads them, built byte for byte for a test.
#pragma once

#include "files/firmware_file.h"
#include "support/byte_files.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace testsupport {

inline constexpr size_t kFirmwareImageStart = 0x3000; // image byte of address 0x1800

struct FirmwareOptions {
    uint16_t version = 0x0140;
    size_t rows = 60;
    std::string name = "DORAVINE";
    uint16_t format = 0x0101;
    bool breakChecksum = false;
    size_t imageLength = 0;    // when set, instead of whole rows
    uint8_t identityType = 29; // the type in the image's identity word; others never start
};

// Writes an .afm file and returns the 512 KiB image area it stands for.
inline Bytes writeFirmware(const std::filesystem::path& path, const FirmwareOptions& o = {})
{
    const size_t length = o.imageLength ? o.imageLength : o.rows * 256;
    Bytes image(CFirmwareFile::kMaxDataLength, 0);
    for (size_t k = 0; k < length; ++k)
        image[k] = static_cast<uint8_t>((k * 13 + (k >> 8) * 7 + 1) & 0xFF);
    image[kFirmwareImageStart] = static_cast<uint8_t>(o.version & 0xFF);
    image[kFirmwareImageStart + 1] = static_cast<uint8_t>(o.version >> 8);
    image[kFirmwareImageStart + 2] = o.identityType;

    Bytes data(image.begin(), image.begin() + 8320);
    data.insert(data.end(), 60, 0xEE); // the bytes that never reach the image
    data.insert(data.end(), image.begin() + 8320, image.begin() + static_cast<long>(length));
    uint8_t header[40] = {};
    const uint32_t dataLength = static_cast<uint32_t>(data.size());
    for (int k = 0; k < 4; ++k)
        header[k] = static_cast<uint8_t>(dataLength >> (8 * k));
    for (int k = 0; k < 2; ++k) {
        header[4 + k] = static_cast<uint8_t>(o.version >> (8 * k));
        header[6 + k] = static_cast<uint8_t>(o.format >> (8 * k));
    }
    std::memcpy(header + 19, o.name.data(), std::min<size_t>(o.name.size(), 18));
    const uint16_t sum = CFirmwareFile::computeChecksum(header, data.data(), data.size()) + o.breakChecksum;
    header[38] = static_cast<uint8_t>(sum & 0xFF);
    header[39] = static_cast<uint8_t>(sum >> 8);

    Bytes stored(header, header + 40);
    stored.insert(stored.end(), data.begin(), data.end());
    for (uint8_t& b : stored)
        b = CFirmwareFile::storeByte(b);
    writeAll(path, stored);
    return image;
}

} // namespace testsupport
