// A settings file opened as a document, for working without the controller: the bytes as read, the
// fields that the map and settings pages edit, and whether they changed since the last save. A
// save writes the bytes read with those fields over them, so identity and reserved bytes (and a
// file saved unedited as a whole) stay exactly as they were.
#pragma once

#include "files/settings_file.h"

#include <functional>
#include <string>

class CSettingsDocument {
  public:
    // Reads the file with the load's checks; answers null, or the untranslated key of the message
    // that refuses it (and then the document stays as it was).
    const wchar_t* open(const std::wstring& path);
    void close();
    bool isOpen() const { return !m_path.empty(); }
    const std::wstring& path() const { return m_path; }

    // The map, axes, TPS threshold and input source as the file holds them. The other fields are
    // not in a file: the owner puts the wheel and sensor there that give the angle limits.
    CSettingsRecord& record() { return m_record; }
    const CSettingsRecord& record() const { return m_record; }
    bool modified() const { return m_modified; }
    void markModified();
    // Runs whenever the file opened, closed or saved, or its first unsaved change came (the
    // window's title and status strip follow it).
    void setChangeHook(std::function<void()> hook) { m_changed = std::move(hook); }

    // The file as a save would write it now.
    CSettingsSnapshot snapshot() const;
    // Writes the file safely at path (empty: the open file's own path): the new bytes beside it,
    // then renamed over it. On success the document names that file and is unmodified; otherwise
    // the untranslated key of the failure, and the file on the disk is as it was.
    const wchar_t* saveTo(const std::wstring& path = {});

  private:
    std::wstring m_path;
    CSettingsSnapshot m_read;
    CSettingsRecord m_record;
    bool m_modified = false;
    std::function<void()> m_changed;
};
