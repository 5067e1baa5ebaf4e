// The record in front of the map page and the settings page: what their edits change and where
// those changes go. The controller's record is written to the controller at once; an open
// settings file's record is only marked changed, for the File menu's save. The pages and the map
// editor talk to IEditedRecord and never ask which one it is, except to word what they show.
#pragma once

#include "records/map_model.h"
#include "records/settings_record.h"

class CLPGDevice;
class CSettingsDocument;

class IEditedRecord : public IMapCommands {
  public:
    virtual CSettingsRecord& record() = 0;
    // isConnected() answers whether edits are taken now: a file always takes them.
    // The map (SetMap and SaveMap for the controller; SetMapAxes, ClearMap as IMapCommands).
    virtual bool SetMap() = 0;
    // The settings fields (the controller's SetSettings).
    virtual bool SetSettings() = 0;
    // The open settings file being edited; null while the controller's record is.
    virtual const CSettingsDocument* file() const = 0;
    // The record holds values to show: a file's always, the controller's only once read from a
    // connected controller (demo values are nobody's).
    virtual bool holdsValues() const = 0;
};

// The controller's record, every change written with the device's commands.
class CControllerRecord final : public IEditedRecord {
  public:
    explicit CControllerRecord(CLPGDevice& device) : m_device(device) {}
    CSettingsRecord& record() override;
    bool isConnected() const override;
    bool SetMap() override;
    bool SetSettings() override;
    bool SetMapAxes() override;
    bool ClearMap() override;
    bool SaveMap() override;
    const CSettingsDocument* file() const override { return nullptr; }
    bool holdsValues() const override;

  private:
    CLPGDevice& m_device;
};

// An open settings file's record: every change taken and marked for saving.
class CFileRecord final : public IEditedRecord {
  public:
    explicit CFileRecord(CSettingsDocument& file) : m_file(file) {}
    CSettingsRecord& record() override;
    bool isConnected() const override { return true; }
    bool SetMap() override { return changed(); }
    bool SetSettings() override { return changed(); }
    bool SetMapAxes() override { return changed(); }
    bool ClearMap() override { return changed(); }
    bool SaveMap() override { return changed(); }
    const CSettingsDocument* file() const override { return &m_file; }
    bool holdsValues() const override { return true; }

  private:
    bool changed();

    CSettingsDocument& m_file;
};

// The switch the pages hold: the file's record while a file is open, the controller's otherwise.
class CEditedRecord final : public IEditedRecord {
  public:
    CEditedRecord(CLPGDevice& device, CSettingsDocument& file) : m_controller(device), m_file(file) {}
    CSettingsRecord& record() override { return current().record(); }
    bool isConnected() const override { return current().isConnected(); }
    bool SetMap() override { return current().SetMap(); }
    bool SetSettings() override { return current().SetSettings(); }
    bool SetMapAxes() override { return current().SetMapAxes(); }
    bool ClearMap() override { return current().ClearMap(); }
    bool SaveMap() override { return current().SaveMap(); }
    const CSettingsDocument* file() const override { return current().file(); }
    bool holdsValues() const override { return current().holdsValues(); }
    IEditedRecord& controller() { return m_controller; }

  private:
    IEditedRecord& current();
    const IEditedRecord& current() const;

    CControllerRecord m_controller;
    CFileRecord m_file;
};
