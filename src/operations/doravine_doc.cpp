#include "operations/doravine_doc.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "files/csv_file.h"
#include "operations/diag_threads.h"
#include "operations/firmware_update.h"
#include "operations/map_operations.h"
#include "operations/settings_backup.h"
#include "platform/folders.h"
#include "platform/ierror.h"

namespace {

constexpr const wchar_t* kWriteFailedText =
    TR_KEY(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");

} // namespace

CDoravineDoc::CDoravineDoc(CThreadManager* threads) : m_liveSamples(m_device, threads)
{
    installBootloaderUpdate();
}

CDoravineDoc::~CDoravineDoc()
{
    FinishDeviceStart();
    // The live samples, declared after the device, stop and join their thread before the
    // device goes.
}

void CDoravineDoc::StartDeviceInBackground(std::function<void()> done)
{
    FinishDeviceStart();
    m_deviceStart.begin(true, std::move(done));
}

bool CDoravineDoc::FinishDeviceStart()
{
    return m_deviceStart.wait();
}

std::wstring CDoravineDoc::defaultSettingsPath()
{
    return getMapDataFolder() + kDefaultSettingsName;
}

bool CDoravineDoc::SaveSettingsToFile()
{
    try {
        CSettingsSnapshot snapshot;
        snapshot.initMarker(m_device.m_firmwareVersion);
        snapshot.takeSnapshot(m_device.m_firmwareVersion, m_device.m_deviceType, m_device.m_settings);
        return snapshot.writeFileWithDialog();
    } catch (IError* error) {
        showLinkError(L"CDoravineDoc::OnFileWriteSetings()", error);
        return false;
    }
}

CDoravineDoc::LoadResult CDoravineDoc::LoadSettingsFromFile()
{
    return LoadSettingsFromFile(std::wstring());
}

CDoravineDoc::LoadResult CDoravineDoc::LoadSettingsFromFile(const std::wstring& path)
{
    try {
        const LoadResult result = loadSettings(path.empty() ? nullptr : &path);
        refreshAfterLoad();
        return result;
    } catch (IError* error) {
        // The same handler name for loading as for saving: both commands share it.
        showLinkError(L"CDoravineDoc::OnFileWriteSetings()", error);
        // The controller may hold part of the file: only a new connection reads what it took.
        m_device.m_connected = false;
        return LoadResult::LinkError;
    }
}

CDoravineDoc::LoadResult CDoravineDoc::loadSettings(const std::wstring* path)
{
    if (!userInteraction().askYesNo(
            translateText(L"Załadowanie ustawień spowoduje zmianę aktualnych ustawień. Czy kontynuować?")))
        return LoadResult::Declined;
    CSettingsSnapshot snapshot;
    const LoadResult read = readCheckedFile(snapshot, path);
    if (read != LoadResult::Loaded)
        return read;
    snapshot.applySnapshot(m_device.m_settings);
    if (writeLoadedSettings(true))
        return LoadResult::Loaded;
    // The controller may hold part of the file: the pages must show what it took, not the file.
    m_device.GetSettings() && m_device.GetMap() && m_device.GetMapAxes();
    return LoadResult::WriteFailed;
}

CDoravineDoc::LoadResult CDoravineDoc::readCheckedFile(CSettingsSnapshot& snapshot, const std::wstring* path)
{
    snapshot.initMarker(m_device.m_firmwareVersion);
    if (!(path ? snapshot.readFileWithMessages(*path) : snapshot.readFileWithDialog()))
        return LoadResult::FileRefused;
    if (snapshot.deviceType() != m_device.m_deviceType) {
        userInteraction().showMessage(translateText(L"Nieprawidłowy plik"), MessageIcon::Error);
        return LoadResult::WrongDevice;
    }
    return LoadResult::Loaded;
}

CDoravineDoc::Comparison CDoravineDoc::CompareWithFile()
{
    const std::wstring path = CSettingsSnapshot::pickFileToRead();
    if (path.empty())
        return {};
    return CompareWithFile(path);
}

CDoravineDoc::Comparison CDoravineDoc::CompareWithBackup()
{
    // The backups' names carry their date and time, so the newest are found by name.
    const std::wstring path =
        COpenFile(getMapDataFolder(), translateText(kBackupFileFilter), L"settings", false).show();
    if (path.empty())
        return {};
    return CompareWithFile(path);
}

CDoravineDoc::Comparison CDoravineDoc::CompareWithFile(const std::wstring& path)
{
    using Result = Comparison::Result;
    Comparison c;
    c.path = path;
    CSettingsSnapshot snapshot;
    switch (readCheckedFile(snapshot, &path)) {
    case LoadResult::Loaded:
        break;
    case LoadResult::WrongDevice:
        c.result = Result::WrongDevice;
        return c;
    default:
        c.result = Result::FileRefused;
        return c;
    }
    c.controller = m_device.m_settings;
    c.file = m_device.m_settings;
    snapshot.applySnapshot(c.file);
    c.differences = compareSettings(c.controller, c.file);
    c.result = Result::Compared;
    return c;
}

bool CDoravineDoc::SendSettings(bool restart)
{
    // SetSettings already sends the map once; it goes again after the axes and is then stored.
    return m_device.SetSettings() && m_device.SetMapAxes() && m_device.SetMap() && m_device.SaveMap() &&
           (!restart || m_device.ResetDevice());
}

bool CDoravineDoc::writeLoadedSettings(bool reset)
{
    if (SendSettings(reset))
        return true;
    userInteraction().showMessage(translateText(kWriteFailedText), MessageIcon::Error);
    return false;
}

void CDoravineDoc::refreshAfterLoad()
{
    if (!m_views)
        return;
    m_views->refreshSettingsPage(static_cast<int>(roundNearest(m_device.m_settings.wheelType)));
    m_views->refillMapGrid();
    m_views->activateDevicePage();
}

bool CDoravineDoc::SaveDefaultSettings()
{
    // The map page's button keeps what the page shows: the open file's values, as that file is.
    if (m_settingsFile.isOpen())
        return m_settingsFile.snapshot().writeFileAt(defaultSettingsPath());
    CSettingsSnapshot snapshot;
    snapshot.initMarker(m_device.m_firmwareVersion);
    snapshot.takeSnapshot(m_device.m_firmwareVersion, m_device.m_deviceType, m_device.m_settings);
    return snapshot.writeFileAt(defaultSettingsPath());
}

bool CDoravineDoc::LoadDefaultSettings(bool* loaded)
{
    if (loaded)
        *loaded = false;
    CSettingsSnapshot snapshot;
    snapshot.initMarker(m_device.m_firmwareVersion);
    if (!snapshot.readFileAt(defaultSettingsPath()))
        return true;
    if (snapshot.deviceType() != m_device.m_deviceType)
        return false;
    snapshot.applySnapshot(m_device.m_settings);
    if (loaded)
        *loaded = true;
    return writeLoadedSettings(false);
}

bool CDoravineDoc::OnFactorySettings()
{
    if (!userInteraction().askYesNo(translateText(
            L"Przywrócenie ustawień fabrycznych skasuje mapę, osie i próg TPS w sterowniku! Czy chcesz kontynuować?")))
        return false;
    const bool restored = RestoreFactorySettings();
    if (m_lastBackup.empty())
        return restored; // no controller, or the backup failed and said so: nothing was sent
    // A step after the taken reset has said its own failure: one error box is enough, and this
    // note only tells where the old settings are.
    if (!restored && m_factoryTaken) {
        userInteraction().showMessage(backupSavedLine(m_lastBackup), MessageIcon::Information);
        return false;
    }
    // The reset's refusals are silent: here the person learns of them, and where the old settings are.
    const wchar_t* key = restored ? TR_KEY(L"Przywrócono ustawienia fabryczne.") : kWriteFailedText;
    userInteraction().showMessage(translateText(key) + L"\n" + backupSavedLine(m_lastBackup),
                                  restored ? MessageIcon::Information : MessageIcon::Error);
    return restored;
}

bool CDoravineDoc::RestoreFactorySettings()
{
    m_lastBackup.clear();
    m_factoryTaken = false;
    // Only a controller's own settings are worth keeping: not demo values, not a stale record.
    if (m_device.m_connected && !m_device.m_demo) {
        m_lastBackup = saveRequiredSettingsBackup(m_device);
        if (m_lastBackup.empty())
            return false;
    }
    CSettingsRecord& record = m_device.m_settings;
    const CSettingsRecord before = record;
    // Until the controller confirms the factory settings the record keeps what it held, so that no
    // page shows a reset the controller never made (also when the link breaks meanwhile).
    struct CRestoreUnlessTaken {
        CSettingsRecord& record;
        const CSettingsRecord& before;
        bool taken = false;
        ~CRestoreUnlessTaken()
        {
            if (!taken)
                record = before;
        }
    } guard{record, before};
    record.tpsThreshold = 0.0;
    record.inputSource = 0.0;
    record.wheelType = 0.0;
    record.teethCount = 60.0;
    record.missingTeeth = 2.0;
    record.wheelAlgorithm = 5.0;
    record.wheelFactor = 10.0;
    record.workState = 0;
    if (!m_device.SetSettings() || !m_device.GetSettings()) {
        // With a backup the caller says it, together with where the old settings are.
        if (m_lastBackup.empty())
            userInteraction().showMessage(translateText(kWriteFailedText), MessageIcon::Error);
        return false;
    }
    guard.taken = m_factoryTaken = true;
    m_device.ResetDevice();

    // A refused step shows its own failure; a broken link passes through to the caller's one
    // message. The pages then show what the record holds.
    IEditedRecord& controller = m_edited.controller();
    const bool done = CAxisDefinition::factory().applyDefinition(controller) && eraseEditedMap(controller);
    if (m_views) {
        m_views->refillMapGrid();
        m_views->activateMapPage();
        m_views->refreshSettingsPage(static_cast<int>(roundNearest(record.wheelType)));
        m_views->activateDevicePage();
        m_views->activateSignalPage();
    }
    return done;
}

bool CDoravineDoc::ProgramFirmwareFromFile(bool fromBootloader)
{
    CFirmwareUpdate::LiveSamples live;
    live.stop = [this] { StopLiveSamples(); };
    live.resume = [this] { ResumeLiveSamples(); };
    live.watch = [this] { m_liveSamples.WatchLink(); };
    CFirmwareUpdate update(m_device, std::move(live));
    const bool programmed = update.ProgramFirmwareFromFile(fromBootloader);
    m_lastBackup = update.backupPath();
    m_lastUpdate = update.outcome();
    return programmed;
}

bool CDoravineDoc::UpdateDevice()
{
    m_lastUpdate = CFirmwareUpdate::Outcome::None;
    if (m_device.m_signalFirmware)
        captureState() = kCaptureIdle;
    if (!ProgramFirmwareFromFile(false))
        return false;
    // The described message stays a line of its own; the backup's name follows on the next.
    std::wstring text = translateText(L"Zaprogramowano pomyślnie!");
    if (!m_lastBackup.empty())
        text += L"\n" + backupSavedLine(m_lastBackup);
    userInteraction().showMessage(text, MessageIcon::Information);
    return true;
}

bool CDoravineDoc::OnDeviceUpdate()
{
    try {
        return UpdateDevice();
    } catch (IError* error) {
        showLinkError(L"CDoravineDoc::OnDeviceUpdate()", error);
        m_device.m_connected = false;
        return false;
    }
}
