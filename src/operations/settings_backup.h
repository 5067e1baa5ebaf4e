// The dated copy of the controller's settings that an operation which overwrites them (firmware
// update, wheel auto-detection) writes first, so that the user can load it back afterwards with
// "Wczytaj ustawienia z pliku...".
#pragma once

#include <string>

class CLPGDevice;

// The name of the copy for the given local time: "ustawienia-2024-05-17-143005.settings".
std::wstring backupFileName(int year, int month, int day, int hour, int minute, int second);

// Writes the record's settings as a settings file in the map-data folder, named after the local
// time (with "-2", "-3", ... when a copy of the same second exists). Answers the file's full path,
// or an empty text when it could not be written.
std::wstring saveSettingsBackup(const CLPGDevice& device);
