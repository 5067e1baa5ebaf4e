// Boot-loader commands and the programming frames: query, leaving the loader, the access frame,
// erasing a block, writing a row, and programming a whole image row by row.
//
// None of these look at the connected or demo flags: the controller may sit in its boot loader,
// where the program never counts it as connected.
#include "device/lpg_device.h"
#include "device/protocol.h"

#include <array>
#include <cstring>

namespace {

using namespace protocol;

constexpr size_t kAccessCodeSize = 8;
constexpr size_t kAddressSize = 4;
constexpr size_t kRowImageBytes = 256; // one row: 64 program words of 4 image bytes

void putAddress(uint8_t* p, uint32_t address)
{
    for (size_t k = 0; k < kAddressSize; ++k)
        p[k] = static_cast<uint8_t>((address >> (8 * k)) & 0xFF);
}

} // namespace

bool CLPGDevice::QueryBootloader(uint8_t code, uint16_t& answer)
{
    std::array<uint8_t, frame::kBufferSize> buffer;
    for (int attempt = 0; attempt < kBootAttempts; ++attempt) {
        answer = kNoAnswer;
        buffer.fill(0);
        buffer[0] = code;
        uint8_t length = kCommandSize;
        uint8_t type = kTypeCommand;
        if (!SendReceive(buffer.data(), &length, &type) || type != kTypeCommand)
            continue;
        // The first status reply decides: a refusal is not asked again.
        if (buffer[0] != kStatusAccepted)
            return false;
        answer = buffer[1];
        return answer == kBootloaderConfirm;
    }
    return false;
}

bool CLPGDevice::ExitBootloader()
{
    return commandStatus(kCmdExitBootloader, kBootAttempts);
}

bool CLPGDevice::ResetAfterBoot()
{
    return commandStatus(kCmdResetAfterBoot, kBootAttempts);
}

bool CLPGDevice::BootloaderAccess(const char code[8])
{
    uint8_t payload[kAccessCodeSize];
    std::memcpy(payload, code, kAccessCodeSize);
    return sendAccepted(kTypeAccess, payload, sizeof payload, 1);
}

bool CLPGDevice::EraseBlock(uint32_t address)
{
    uint8_t payload[kAddressSize];
    putAddress(payload, address);
    return sendAccepted(kTypeEraseBlock, payload, sizeof payload, kBootAttempts);
}

bool CLPGDevice::WriteRow(uint32_t address, const uint8_t data[kWriteRowSize])
{
    uint8_t payload[kAddressSize + kWriteRowSize];
    putAddress(payload, address);
    std::memcpy(payload + kAddressSize, data, kWriteRowSize);
    return sendAccepted(kTypeWriteRow, payload, sizeof payload, kBootAttempts);
}

bool CLPGDevice::ProgramImage(uint32_t start, uint32_t end, uint32_t eraseBlockSize,
                              const std::vector<uint8_t>& image, int rowLimit)
{
    // No block size means no block boundary can be found; nothing sensible could be written.
    if (eraseBlockSize == 0)
        return false;
    int rows = 0;
    for (uint64_t address = start; address < end && rows < rowLimit; address += kRowAddressStep, ++rows) {
        const uint32_t a = static_cast<uint32_t>(address);
        if (a % eraseBlockSize == 0 && !EraseBlock(a))
            return false;
        // Address a is image byte 2a; bytes past the end of the image are the zeros of the
        // program area that the image does not cover.
        uint8_t row[kWriteRowSize];
        const uint64_t offset = 2 * address;
        size_t out = 0;
        for (size_t k = 0; k < kRowImageBytes; ++k) {
            if (k % 4 == 3)
                continue; // the fourth byte of a program word does not exist on the chip
            const uint64_t at = offset + k;
            row[out++] = at < image.size() ? image[static_cast<size_t>(at)] : 0;
        }
        if (!WriteRow(a, row))
            return false;
    }
    return true;
}
