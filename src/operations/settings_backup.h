// The dated copy of the controller's settings that an operation which overwrites them (firmware
// update, wheel auto-detection, factory reset, clearing the map) writes first, so that the user can load it back afterwards with
// "Wczytaj ustawienia z pliku...".
#pragma once

#include "base/language.h"

#include <string>

class CLPGDevice;

// The name of the copy for the given local time: "ustawienia-2024-05-17-143005.settings".
std::wstring backupFileName(int year, int month, int day, int hour, int minute, int second);

// Writes the record's settings as a settings file in the map-data folder, named after the local
// time (with "-2", "-3", ... when a copy of the same second exists). Answers the file's full path,
// or an empty text when it could not be written; attempted, when given, gets the path tried.
std::wstring saveSettingsBackup(const CLPGDevice& device, std::wstring* attempted = nullptr);

// For an operation that must not go on without the copy: saveSettingsBackup, and when the copy
// cannot be written an error box naming the file. Answers the path, or empty.
std::wstring saveRequiredSettingsBackup(const CLPGDevice& device);

// The line that names the copy after an operation's message: "...zapisano w pliku: <path>".
std::wstring backupSavedLine(const std::wstring& path);

// The file filter of the backups in the file dialogs (translated by the caller).
inline constexpr const wchar_t* kBackupFileFilter =
    TR_KEY(L"Kopie ustawień (ustawienia-*.settings)|ustawienia-*.settings|");
