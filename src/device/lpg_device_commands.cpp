// The configuration and reading commands of CLPGDevice, with their retry loops and demo mode.
//
// Every read decodes into a temporary and assigns only when the whole block arrived, so a
// controller that answers garbage, the wrong type or a short block leaves the fields untouched.
#include "base/language.h"
#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "device/protocol.h"
#include "device/run_context.h"
#include "platform/ierror.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace protocol;

using Buffer = std::array<uint8_t, frame::kBufferSize>;

// What a controller-less run reports.
constexpr uint16_t kDemoVersion = 256;
constexpr uint16_t kDemoDays = 4200;
constexpr uint8_t kDemoErrors[kErrorModuleCount] = {0x00, 0x03, 0x00, 0x00};
constexpr uint8_t kDemoSwitchByte = 2;
constexpr int kDemoSamplePauseMs = 50;


void buildCommand(uint8_t* buffer, uint8_t command, uint16_t argument)
{
    std::memset(buffer, 0, frame::kBufferSize);
    buffer[0] = command;
    buffer[2] = static_cast<uint8_t>(argument & 0xFF);
    buffer[3] = static_cast<uint8_t>(argument >> 8);
}

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Bytes that the controller fills itself and the program never holds: the reserved fields of the
// settings block (offsets 8-9 and 14-19) and of the axes block (offset 47), written as 0 and
// ignored when read. They are cleared before a block is compared, so what a controller keeps
// there can neither fail a verified write nor hold up a confirmed read. Every other byte is
// compared, the operating state and the wheel fields included: the controller keeps what it was
// sent (the virtual controller stores the block whole), and a wrong one there stops the advance.
void clearControllerOwned(uint8_t type, uint8_t* block)
{
    if (type == kTypeSettings) {
        std::memset(block + 8, 0, 2);
        std::memset(block + 14, 0, kSettingsBlockSize - 14);
    } else if (type == kTypeAxes) {
        block[kAxesBlockSize - 1] = 0;
    }
}

} // namespace

// ---- Retry loops ---------------------------------------------------------------------------

bool CLPGDevice::readReply(uint8_t command, uint16_t argument, uint8_t replyType, size_t minLength,
                           int attempts, uint8_t* buffer, uint8_t* length)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        buildCommand(buffer, command, argument);
        *length = kCommandSize;
        uint8_t type = kTypeCommand;
        if (SendReceive(buffer, length, &type) && type == replyType && *length >= minLength)
            return true;
    }
    return false;
}

bool CLPGDevice::sendAccepted(uint8_t type, const uint8_t* payload, size_t size, int attempts)
{
    if (size > frame::kMaxPayload)
        return false;
    Buffer buffer;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        buffer.fill(0);
        std::memcpy(buffer.data(), payload, size);
        uint8_t length = static_cast<uint8_t>(size);
        uint8_t replyType = type;
        if (SendReceive(buffer.data(), &length, &replyType) && replyType == kTypeCommand &&
            buffer[0] == kStatusAccepted)
            return true;
    }
    return false;
}

bool CLPGDevice::commandAccepted(uint8_t command, int attempts)
{
    uint8_t request[kCommandSize] = {command, 0, 0, 0, 0, 0};
    return sendAccepted(kTypeCommand, request, sizeof request, attempts);
}

bool CLPGDevice::commandStatus(uint8_t command, int attempts)
{
    Buffer buffer;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        buildCommand(buffer.data(), command, 0);
        uint8_t length = kCommandSize;
        uint8_t type = kTypeCommand;
        if (SendReceive(buffer.data(), &length, &type) && type == kTypeCommand)
            return buffer[0] == kStatusAccepted;
    }
    return false;
}

// ---- Confirmed reads and verified writes -----------------------------------------------------
//
// The frame's checksum is a plain sum: two damaged bytes whose changes cancel pass it. A block
// read is therefore taken only when it is the one the program already holds or when two reads in
// a row agree, and a block written counts only when it reads back the same.

bool CLPGDevice::readConfirmed(uint8_t command, uint8_t type, const uint8_t* held, size_t size, uint8_t* out)
{
    Buffer buffer;
    Buffer previous;
    uint8_t length = 0;
    for (int read = 0; read < kConfigAttempts; ++read) {
        if (!readReply(command, 0, type, size, kConfigAttempts, buffer.data(), &length))
            return false;
        clearControllerOwned(type, buffer.data());
        // A refresh that finds the block unchanged costs no second read.
        if (std::memcmp(buffer.data(), held, size) == 0 ||
            (read > 0 && std::memcmp(buffer.data(), previous.data(), size) == 0)) {
            std::memcpy(out, buffer.data(), size);
            return true;
        }
        previous = buffer;
    }
    return false;
}

bool CLPGDevice::writeVerified(uint8_t type, uint8_t readCommand, const uint8_t* block, size_t size)
{
    Buffer meant{};
    std::memcpy(meant.data(), block, size);
    clearControllerOwned(type, meant.data());
    Buffer buffer;
    uint8_t length = 0;
    for (int attempt = 0; attempt < kConfigAttempts; ++attempt) {
        if (!sendAccepted(type, block, size, 1))
            continue;
        if (!readReply(readCommand, 0, type, size, kConfigAttempts, buffer.data(), &length))
            return false;
        clearControllerOwned(type, buffer.data());
        if (std::memcmp(buffer.data(), meant.data(), size) == 0)
            return true;
    }
    return false;
}

// ---- Reading commands ----------------------------------------------------------------------

bool CLPGDevice::GetVersion()
{
    if (m_demo || !m_connected) {
        // Without a controller the program still shows a plausible identity.
        m_firmwareVersion = kDemoVersion;
        m_deviceType = kDeviceTypeRegular;
        m_productionDays = kDemoDays;
        return true;
    }
    Buffer buffer;
    uint8_t length = 0;
    if (!readReply(kCmdGetVersion, 0, kTypeVersion, kVersionBlockSize, kConfigAttempts, buffer.data(),
                   &length))
        return false;
    m_productionDays = le16(&buffer[8]);
    m_firmwareVersion = le16(&buffer[10]);
    std::wstring serial;
    for (size_t k = 0; k < 16 && buffer[12 + k] != 0; ++k)
        serial += static_cast<wchar_t>(buffer[12 + k]);
    m_serialNumber = serial;
    m_deviceType = buffer[29];
    return true;
}

bool CLPGDevice::GetSettings()
{
    if (m_demo) {
        setDemoSettings(m_settings);
        return true;
    }
    if (!m_connected)
        return false;
    const SettingsBlock held = encodeSettingsBlock(m_settings);
    SettingsBlock block;
    if (!readConfirmed(kCmdGetSettings, kTypeSettings, held.data(), held.size(), block.data()))
        return false;
    CSettingsRecord decoded = m_settings;
    decodeSettingsBlock(block.data(), block.size(), decoded);
    m_settings = decoded;
    return true;
}

bool CLPGDevice::GetMap()
{
    if (m_demo) {
        setDemoMap(m_settings);
        return true;
    }
    if (!m_connected)
        return false;
    const MapBlock held = encodeMapBlock(m_settings);
    MapBlock block;
    if (!readConfirmed(kCmdGetMap, kTypeMap, held.data(), held.size(), block.data()))
        return false;
    CSettingsRecord decoded = m_settings;
    decodeMapBlock(block.data(), block.size(), decoded);
    std::memcpy(m_settings.advanceMap, decoded.advanceMap, sizeof m_settings.advanceMap);
    return true;
}

bool CLPGDevice::GetMapAxes()
{
    if (m_demo) {
        setDemoAxes(m_settings);
        return true;
    }
    if (!m_connected)
        return false;
    const AxesBlock held = encodeAxesBlock(m_settings);
    AxesBlock block;
    if (!readConfirmed(kCmdGetMapAxes, kTypeAxes, held.data(), held.size(), block.data()))
        return false;
    CSettingsRecord decoded = m_settings;
    decodeAxesBlock(block.data(), block.size(), decoded);
    std::memcpy(m_settings.mapAxis, decoded.mapAxis, sizeof m_settings.mapAxis);
    std::memcpy(m_settings.rpmAxis, decoded.rpmAxis, sizeof m_settings.rpmAxis);
    return true;
}

bool CLPGDevice::GetErrors(uint8_t errors[kErrorModuleCount])
{
    if (m_demo) {
        std::memcpy(errors, kDemoErrors, kErrorModuleCount);
        return true;
    }
    if (!m_connected)
        return false;
    Buffer buffer;
    uint8_t length = 0;
    if (!readReply(kCmdGetErrors, 0, kTypeErrors, kErrorModuleCount, kConfigAttempts, buffer.data(), &length))
        return false;
    std::memcpy(errors, buffer.data(), kErrorModuleCount);
    return true;
}

uint8_t CLPGDevice::GetDiagSample(CDiag& out)
{
    if (m_demo) {
        const uint32_t number = ++runContext().demoSampleNumber;
        if (number == 1)
            m_diagData.clear();
        CDiag sample;
        sample.bytes[12] = kDemoSwitchByte;
        sample.setSampleNumber(number);
        out = sample;
        // Paces the capture thread as a controller would.
        std::this_thread::sleep_for(std::chrono::milliseconds(kDemoSamplePauseMs));
        return kSampleOk;
    }
    if (!m_connected)
        return kSampleFailed;
    Buffer buffer;
    buildCommand(buffer.data(), kCmdGetDiagSample, 0);
    uint8_t length = kCommandSize;
    uint8_t type = kTypeCommand;
    if (SendReceiveDiag(buffer.data(), &length, &type) != kDiagOk)
        return kSampleFailed;
    if (type != kTypeSample)
        return kSampleOther;
    // fill clears bytes 0-13 and never reaches the sample number, however long the reply.
    out.fill(buffer.data(), length);
    return kSampleOk;
}

bool CLPGDevice::GetReadDiag(int block, uint8_t* out)
{
    if (m_demo)
        return true;
    try {
        Buffer buffer;
        uint8_t length = 0;
        if (!readReply(kCmdGetReadDiag, static_cast<uint16_t>(block), kTypePulseBlock, kReadDiagSize,
                       kConfigAttempts, buffer.data(), &length))
            return false;
        std::memcpy(out, buffer.data(), kReadDiagSize);
        return true;
    } catch (IError* raised) {
        showLinkError(L"CLPGDevice::GetReadDiag()", raised);
        // The link is gone: the watchdog must look for the controller again.
        m_connected = false;
        return false;
    }
}

bool CLPGDevice::ReadSignalPass()
{
    if (m_demo)
        return true;
    std::vector<uint8_t> records(kPulseBlockRecordsSize * kPulseBlocksPerPass);
    uint8_t block[kReadDiagSize];
    for (int index = 0; index < kPulseBlocksPerPass; ++index) {
        if (!GetReadDiag(index, block))
            return false;
        std::memcpy(records.data() + index * kPulseBlockRecordsSize, block, kPulseBlockRecordsSize);
    }
    std::vector<CPulse> pulses(records.size() / kPulseRecordSize);
    for (size_t k = 0; k < pulses.size(); ++k)
        pulses[k] = pulseFromBytes(records.data() + k * kPulseRecordSize);
    m_pulses.append(pulses.data(), pulses.size());
    return true;
}

// ---- Writing commands ----------------------------------------------------------------------

bool CLPGDevice::SetSettings()
{
    if (m_demo)
        return true;
    if (!m_connected)
        return false;
    const SettingsBlock block = encodeSettingsBlock(m_settings);
    if (!writeVerified(kTypeSettings, kCmdGetSettings, block.data(), block.size()))
        return false;
    // The settings were taken; a map the controller refuses is reported by the map's own
    // writers, not here.
    SetMap();
    return true;
}

bool CLPGDevice::SetMap()
{
    if (m_demo)
        return true;
    if (!m_connected)
        return false;
    const MapBlock block = encodeMapBlock(m_settings);
    // Callers send SaveMap only after this answered true: a map that never read back right is
    // never made permanent.
    return writeVerified(kTypeMap, kCmdGetMap, block.data(), block.size());
}

bool CLPGDevice::SetMapAxes()
{
    if (m_demo)
        return true;
    if (!m_connected)
        return false;
    const AxesBlock block = encodeAxesBlock(m_settings);
    return writeVerified(kTypeAxes, kCmdGetMapAxes, block.data(), block.size());
}

bool CLPGDevice::SaveMap()
{
    if (m_demo)
        return true;
    if (!m_connected)
        return false;
    return commandAccepted(kCmdSaveMap, kConfigAttempts);
}

bool CLPGDevice::ClearMap()
{
    if (m_demo)
        return true;
    if (!m_connected)
        return false;
    return commandAccepted(kCmdClearMap, kConfigAttempts);
}

bool CLPGDevice::ResetDevice()
{
    if (m_demo)
        return true;
    if (!m_connected)
        return false;
    return commandAccepted(kCmdResetDevice, kConfigAttempts);
}
