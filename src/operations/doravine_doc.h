// The document: the program's single device object for the whole run, the live-sample control,
// and the operations of the menus and buttons that work on the controller's settings as a whole
// (settings files, default settings, factory reset) and on its firmware.
//
// The pages these operations refresh afterwards are reached through IDocumentViews, which the
// window implements; without views (command line) nothing is refreshed.
#pragma once

#include "device/device_search.h"
#include "device/lpg_device.h"
#include "operations/firmware_update.h"
#include "files/settings_document.h"
#include "files/settings_file.h"
#include "operations/edited_record.h"
#include "operations/live_samples.h"
#include "operations/readings_recorder.h"
#include "records/settings_compare.h"

#include <functional>
#include <string>
#include <thread>
#include <vector>

class IDocumentViews {
  public:
    virtual ~IDocumentViews() = default;
    // The settings page: fields from the record and the reference chart of this wheel type.
    virtual void refreshSettingsPage(int wheelType) = 0;
    // The map grid filled again from the record.
    virtual void refillMapGrid() = 0;
    // A page's activation step: the map page (grid refill, enabled only in normal operation),
    // the device information page and the signal page.
    virtual void activateMapPage() = 0;
    virtual void activateDevicePage() = 0;
    virtual void activateSignalPage() = 0;
};

class CDoravineDoc {
  public:
    enum class LoadResult {
        Declined,    // the question was not answered Yes, or no file was chosen
        FileRefused, // the file could not be read, or has the wrong size or marker
        WrongDevice, // the file was saved with a controller of another type
        WriteFailed, // the controller refused a write (it may hold part of the file)
        LinkError,   // a serial-port error ended the operation
        Loaded,
    };

    // Makes identification's boot-loader branch run the firmware update.
    explicit CDoravineDoc(CThreadManager* threads = nullptr);
    ~CDoravineDoc();
    CDoravineDoc(const CDoravineDoc&) = delete;
    CDoravineDoc& operator=(const CDoravineDoc&) = delete;

    CLPGDevice& Device() { return m_device; }
    CLiveSampleControl& LiveSamples() { return m_liveSamples; }
    // The readings log of the File menu.
    CReadingsRecorder& ReadingsLog() { return m_readingsLog; }
    // The settings file opened for editing without the controller (closed: none).
    CSettingsDocument& SettingsFile() { return m_settingsFile; }
    // The record that the map and settings pages edit: the open file's, else the controller's.
    CEditedRecord& EditedRecord() { return m_edited; }
    // Not owned; may be null.
    void SetViews(IDocumentViews* views) { m_views = views; }
    IDocumentViews* Views() const { return m_views; }

    // The device's start-up (the port scan) on a thread of its own, so that a window can paint
    // and answer while silent ports time out. done runs on that thread once the scan answered
    // (the thread may then still be closing the ports that lost); a link error there is caught.
    void StartDeviceInBackground(std::function<void()> done);
    // Waits for a start-up begun above to end; false when none was started.
    bool FinishDeviceStart();
    bool DeviceStarting() const { return m_deviceStart.running(); }

    void StartLiveSamples(const std::wstring& fileName) { m_liveSamples.StartLiveSamples(fileName); }
    void ResumeLiveSamples() { m_liveSamples.ResumeLiveSamples(); }
    void StopLiveSamples() { m_liveSamples.StopLiveSamples(); }
    void StartRefreshTimer() { m_liveSamples.StartRefreshTimer(); }

    // Menu "Zapisz ustawienia do pliku...": answers whether a file was written.
    bool SaveSettingsToFile();
    // Menu "Wczytaj ustawienia z pliku...": the pages are refreshed afterwards in every case but a
    // link error.
    LoadResult LoadSettingsFromFile();
    // The same load for a file already chosen (the comparison's button): the same question,
    // checks, messages, writes and refresh, without the file dialog.
    LoadResult LoadSettingsFromFile(const std::wstring& path);

    struct Comparison {
        enum class Result { NoFile, FileRefused, WrongDevice, Compared };
        Result result = Result::NoFile;
        std::wstring path;
        CSettingsRecord controller;                   // the record as the controller holds it
        CSettingsRecord file;                         // the record as the load would send it
        std::vector<CSettingsDifference> differences; // what the load would change
    };
    // Menu "Porównaj z plikiem...": picks a settings file as the load does, refuses it with the
    // load's messages, and compares it with the controller's settings. Nothing is written.
    Comparison CompareWithFile();
    // The same for a file already chosen (doravine-cli diff).
    Comparison CompareWithFile(const std::wstring& path);
    // The map page's "Zapisz jako domyślną": default.settings in the map-data folder, from the
    // open settings file while one is open, else from the controller's record.
    bool SaveDefaultSettings();
    // Used by the wheel auto-detection: true also when there is no usable default file; false
    // only when the controller refused a write or the file belongs to another controller type.
    // loaded, when given, tells whether a file was put into the record.
    bool LoadDefaultSettings(bool* loaded = nullptr);
    // Menu "Przywróć ustawienia fabryczne": asks first (No sends nothing), then
    // RestoreFactorySettings and a message that names the backup.
    bool OnFactorySettings();
    // The factory settings without the question (doravine-cli: its script has asked): a dated
    // backup first, and nothing sent when it cannot be written (its message names the file).
    // True when the controller took the factory settings; LastBackupPath() names the backup.
    bool RestoreFactorySettings();
    // The load's writes of the record as it stands: SetSettings, SetMapAxes, SetMap, SaveMap and,
    // with restart, ResetDevice. No message; true when the controller took them all.
    bool SendSettings(bool restart);
    // "Przywróć z kopii...": the comparison with a backup picked in the backups folder.
    Comparison CompareWithBackup();

    // The firmware update; fromBootloader as identification runs it.
    bool ProgramFirmwareFromFile(bool fromBootloader);
    // Menu "Aktualizacja sterownika...": answers whether the controller was programmed; a link
    // error is shown with the handler's name and answers false.
    bool OnDeviceUpdate();
    // The same update without the handler's catch: a link error escapes to the caller
    // (doravine-cli reports it as a broken link).
    bool UpdateDevice();
    // The settings copy the last update or factory reset made first (empty if none).
    const std::wstring& LastBackupPath() const { return m_lastBackup; }
    CFirmwareUpdate::Outcome LastUpdateOutcome() const { return m_lastUpdate; }

    // The full path of default.settings.
    static std::wstring defaultSettingsPath();

  private:
    LoadResult loadSettings(const std::wstring* path);
    // The load's file steps for a chosen file, or the dialog when path is null: the snapshot
    // read and checked against this controller's type, with the load's messages.
    LoadResult readCheckedFile(CSettingsSnapshot& snapshot, const std::wstring* path);
    void refreshAfterLoad();
    // SetSettings, SetMapAxes, SetMap, SaveMap and, with reset, ResetDevice; the first refusal
    // shows the write error.
    bool writeLoadedSettings(bool reset);

    CLPGDevice m_device;
    CLiveSampleControl m_liveSamples;
    CReadingsRecorder m_readingsLog{m_device.m_diagData};
    IDocumentViews* m_views = nullptr;
    std::wstring m_lastBackup;
    // The last factory reset's settings were taken (a later step may still have failed).
    bool m_factoryTaken = false;
    CFirmwareUpdate::Outcome m_lastUpdate = CFirmwareUpdate::Outcome::None;
    CDeviceSearch m_deviceStart{m_device};
    CSettingsDocument m_settingsFile;
    CEditedRecord m_edited{m_device, m_settingsFile};
};
