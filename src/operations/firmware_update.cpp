#include "operations/firmware_update.h"

#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "device/run_context.h"
#include "files/csv_file.h"
#include "platform/paths.h"
#include "files/firmware_file.h"
#include "platform/folders.h"
#include "operations/settings_backup.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

void sleepMs(unsigned ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void showError(const wchar_t* key)
{
    userInteraction().showMessage(translateText(key), MessageIcon::Error);
}

} // namespace

CFirmwareUpdateTimings& firmwareUpdateTimings()
{
    static CFirmwareUpdateTimings timings;
    return timings;
}

CFirmwareUpdate::CFirmwareUpdate(CLPGDevice& device, LiveSamples liveSamples)
    : m_device(device), m_liveSamples(std::move(liveSamples))
{
}

bool CFirmwareUpdate::programRows(CLPGDevice& device, const std::vector<uint8_t>& image, size_t rowCount)
{
    constexpr size_t kAreaRows = (kProgramEndAddress - kProgramFirstAddress) / CLPGDevice::kRowAddressStep;
    const int total = static_cast<int>(std::min(rowCount, kAreaRows));
    userInteraction().progress(0, total);
    uint32_t address = kProgramFirstAddress;
    for (int row = 0; row < total; ++row, address += CLPGDevice::kRowAddressStep) {
        // One row per call: the erase at each block boundary happens exactly as in one long call.
        if (!device.ProgramImage(address, address + CLPGDevice::kRowAddressStep, kProgramEraseBlock, image,
                                 1))
            return false;
        userInteraction().progress(row + 1, total);
    }
    return true;
}

bool CFirmwareUpdate::saveBackup()
{
    m_backupPath = saveSettingsBackup(m_device);
    return !m_backupPath.empty();
}

bool CFirmwareUpdate::ProgramFirmwareFromFile(bool fromBootloader)
{
    m_backupPath.clear();
    m_outcome = Outcome::None;
    const bool programmed = run(fromBootloader);
    if (programmed)
        m_outcome = Outcome::Programmed;
    return programmed;
}

bool CFirmwareUpdate::run(bool fromBootloader)
{
    const uint8_t type = m_device.m_deviceType;
    if (type != CLPGDevice::kDeviceTypeRegular && type != CLPGDevice::kDeviceTypeSignal) {
        showError(CFirmwareFile::kLoadFailedText);
        m_outcome = Outcome::NoController;
        return false;
    }
    CWaitCursor wait;

    const COpenFile dialog(getProgramFolder(), translateText(kFirmwareFileFilter), L"afm", false);
    const std::wstring path = dialog.show();
    if (path.empty()) {
        m_outcome = Outcome::Cancelled;
        return false;
    }

    CFirmwareFile file;
    uint16_t version = 0;
    uint16_t format = 0;
    std::wstring name;
    m_outcome = Outcome::FileRefused;
    if (!file.load(nativePath(path), version, name, format)) {
        showError(CFirmwareFile::kLoadFailedText);
        return false;
    }
    if (!file.matchesController(m_device.m_deviceName)) {
        showError(CFirmwareFile::kWrongFileText);
        return false;
    }
    m_outcome = Outcome::Declined;
    if (file.isOlderThan(m_device.m_firmwareVersion) &&
        !userInteraction().askYesNo(translateText(CFirmwareFile::kOlderFileQuestion)))
        return false;

    if (!fromBootloader && m_device.m_connected && !saveBackup() &&
        !userInteraction().askYesNo(translateText(
            L"Nie udało się zapisać kopii ustawień sterownika. Czy mimo to zaprogramować sterownik?")))
        return false;

    if (!fromBootloader && m_liveSamples.stop)
        m_liveSamples.stop();
    // From here every way out but success, a link error included, returns the program to
    // watching the link: the controller's state after a broken-off update is unknown, so it is
    // taken as lost and the watchdog finds it again.
    struct WatchAgain {
        CLPGDevice& device;
        const std::function<void()>& watch;
        bool armed;
        ~WatchAgain()
        {
            if (!armed)
                return;
            device.m_connected = false;
            if (watch)
                watch();
        }
    } watchAgain{m_device, m_liveSamples.watch, !fromBootloader};
    // The reconnection below must find a running application: a controller still in its boot
    // loader after the rows is a failed update, not a reason to start another.
    struct Updating {
        std::atomic<bool>& flag;
        const bool before;
        explicit Updating(std::atomic<bool>& f) : flag(f), before(f.exchange(true)) {}
        ~Updating() { flag = before; }
    } updating{m_device.m_updatingFirmware};

    const CFirmwareUpdateTimings timings = firmwareUpdateTimings();
    bool programmed = false;
    for (int attempt = 0; attempt < kProgramAttempts && !programmed; ++attempt) {
        uint16_t answer = 0;
        if (!fromBootloader) {
            sleepMs(timings.beforeQueryMs);
            if (!m_device.QueryBootloader(CLPGDevice::kQueryBootloaderCode, answer)) {
                m_device.BootloaderAccess(kBootloaderAccessCode);
                m_device.QueryBootloader(CLPGDevice::kQueryBootloaderCode, answer);
            }
        }
        if (!m_device.QueryBootloader(CLPGDevice::kQueryBootloaderCode, answer))
            continue;
        sleepMs(timings.beforeProgramMs);
        programmed = programRows(m_device, file.image(), file.rowCount()) && m_device.ExitBootloader() &&
                     m_device.ResetAfterBoot();
    }
    if (!programmed) {
        m_outcome = Outcome::Failed;
        showError(CFirmwareFile::kLoadFailedText);
        return false;
    }

    sleepMs(timings.beforeReconnectMs);
    m_device.Start();
    if (!m_device.m_connected) {
        m_outcome = Outcome::NotReconnected;
        showError(CFirmwareFile::kLoadFailedText);
        return false;
    }
    watchAgain.armed = false;
    if (!fromBootloader && m_liveSamples.resume)
        m_liveSamples.resume();
    return true;
}

CFirmwareUpdate::Outcome lastBootloaderUpdateOutcome()
{
    return static_cast<CFirmwareUpdate::Outcome>(runContext().bootloaderOutcome.load());
}

void resetLastBootloaderUpdateOutcome()
{
    runContext().bootloaderOutcome = static_cast<int>(CFirmwareUpdate::Outcome::None);
}

bool programFirmwareFromBootloader(CLPGDevice& device)
{
    CFirmwareUpdate update(device);
    const bool programmed = update.ProgramFirmwareFromFile(true);
    runContext().bootloaderOutcome = static_cast<int>(update.outcome());
    return programmed;
}

void installBootloaderUpdate()
{
    CLPGDevice::SetBootloaderUpdateHandler(&programFirmwareFromBootloader);
}
