// Identification of the controller on a freshly opened port, with its boot-loader branch.
#include "base/language.h"
#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "device/protocol.h"
#include "device/run_context.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

namespace {

using namespace protocol;

constexpr uint16_t kLiveSamplesMarker = 0x0055;
constexpr uint16_t kBootloaderVersion = 256;

} // namespace

bool CLPGDevice::Identify()
{
    IdentityReply reply{};
    CSerialPort& port = m_port;
    bool answered = false;
    {
        CMutexGuard guard(&m_mutex);
        answered = requestIdentity(port, reply);
    }
    return answered && acceptIdentity(reply);
}

bool CLPGDevice::requestIdentity(CSerialPort& port, IdentityReply& reply)
{
    std::array<uint8_t, frame::kBufferSize> buffer;
    for (int attempt = 0; attempt < kBootAttempts; ++attempt) {
        buffer.fill(0);
        buffer[0] = kCmdIdentify;
        uint8_t length = kCommandSize;
        uint8_t type = kTypeCommand;
        if (!sendReceiveOn(port, buffer.data(), &length, &type, DrawRandomWord()) || type != kTypeCommand)
            continue;
        if (buffer[0] == kStatusBootloader || buffer[0] == kStatusAccepted) {
            std::copy_n(buffer.begin(), reply.size(), reply.begin());
            return true;
        }
    }
    return false;
}

bool CLPGDevice::acceptIdentity(const IdentityReply& reply)
{
    if (reply[0] == kStatusBootloader) {
        uint16_t answer = kNoAnswer;
        QueryBootloader(kQueryBootloaderCode, answer);
        if (answer == kNoAnswer)
            return false;
        if (answer != kBootloaderConfirm) {
            // A loader that is not ours to program: send it back to its application.
            if (ExitBootloader())
                ResetAfterBoot();
            return false;
        }
        if (m_updatingFirmware || m_bootloaderUpdateTried.exchange(true))
            return false;
        m_deviceType = kDeviceTypeRegular;
        m_deviceName = L"DORAVINE";
        m_firmwareVersion = kBootloaderVersion;
        userInteraction().showMessage(
            translateText(L"Sterownik nie jest poprawnie zaprogramowany i wymaga przeprogramowania."),
            MessageIcon::Information);
        const bool updated = UpdateFirmwareFromBootloader();
        if (updated)
            userInteraction().showMessage(translateText(L"Zaprogramowano pomyślnie!"), MessageIcon::Information);
        return updated;
    }

    const uint8_t kind = reply[1];
    const bool liveSamples = (reply[2] | (reply[3] << 8)) == kLiveSamplesMarker;
    if (kind == kDeviceTypeRegular) {
        m_signalFirmware = false;
        m_deviceType = kDeviceTypeRegular;
        m_deviceName = L"DORAVINE";
        m_liveSamplesAllowed = liveSamples;
        return true;
    }
    if (kind == kDeviceTypeSignal) {
        userInteraction().showMessage(translateText(L"Wgrane Oprogramowanie do odczytu sygnału"),
                                      MessageIcon::Warning);
        m_signalFirmware = true;
        m_deviceType = kDeviceTypeSignal;
        m_deviceName = L"DORAVINE";
        m_liveSamplesAllowed = liveSamples;
        return true;
    }
    if (runContext().unknownDeviceSeen.exchange(true))
        return false;
    m_signalFirmware = false;
    userInteraction().showMessage(translateText(L"BRAK POŁĄCZENIA"), MessageIcon::Error);
    return false;
}
