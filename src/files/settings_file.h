// Settings files (*.settings): a 15-byte marker of letters T and a 2232-byte snapshot of part of
// the settings record (identity, map, axes, TPS threshold, input source). The bytes are assembled
// one by one (little-endian words, IEEE 754 doubles), so a file is the same on every platform.
#pragma once

#include "base/language.h"
#include "records/settings_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kSettingsMarkerSize = 15;
constexpr size_t kSettingsSnapshotSize = 2232;
constexpr size_t kSettingsFileSize = kSettingsMarkerSize + kSettingsSnapshotSize; // 2247
constexpr uint8_t kSettingsMarkerByte = 0x54;                                     // 'T'

// Offsets inside the snapshot (the file offset is 15 more).
namespace settings_layout {
constexpr size_t kVersion = 0;
constexpr size_t kDeviceType = 2;
constexpr size_t kReservedHead = 4; // 4 bytes, written as 0
constexpr size_t kAdvanceMap = 8;   // 240 doubles, row by row
constexpr size_t kMapAxis = 1928;   // 16 doubles
constexpr size_t kRpmAxis = 2056;   // 15 doubles
constexpr size_t kTpsThreshold = 2176;
constexpr size_t kInputSource = 2184;
constexpr size_t kReservedTail = 2192; // 40 bytes, written as 0
} // namespace settings_layout

// The file name of the default settings in the map-data folder.
inline constexpr const wchar_t* kDefaultSettingsName = L"default.settings";

class CSettingsSnapshot {
  public:
    using Data = std::array<uint8_t, kSettingsSnapshotSize>;
    using Marker = std::array<uint8_t, kSettingsMarkerSize>;

    CSettingsSnapshot() = default;

    // Fifteen marker bytes 0x54 and the firmware version at offset 0.
    void initMarker(uint16_t firmwareVersion);
    // Identity, TPS threshold, input source, map and axes from the record; reserved bytes zero.
    void takeSnapshot(uint16_t firmwareVersion, uint8_t deviceType, const CSettingsRecord& record);
    // TPS threshold, input source, map and both axes into the record (never the identity); in
    // normal operation the map is then snapped to the wheel's angle step.
    void applySnapshot(CSettingsRecord& record) const;
    // The same five fields exactly as the file holds them, nothing snapped.
    void readFields(CSettingsRecord& record) const;
    // The five fields from the record; every other byte (identity, reserved) is left as it is.
    void writeFields(const CSettingsRecord& record);

    uint16_t firmwareVersion() const;
    uint16_t deviceType() const;

    const Data& data() const { return m_data; }
    Data& data() { return m_data; }
    const Marker& marker() const { return m_marker; }
    // The whole file: marker then data.
    std::array<uint8_t, kSettingsFileSize> fileBytes() const;

    // Picks a file in the map-data folder and writes it; asks before replacing a file. Messages
    // for every failure; true only when the whole file reached the disk.
    bool writeFileWithDialog() const;
    // Picks a file and reads it; messages for an unreadable file, a wrong size or a wrong marker.
    // The data stay as they were on any failure.
    bool readFileWithDialog();
    // writeFileWithDialog for a path already known.
    bool writeFileAt(const std::wstring& path) const;
    // readFileWithDialog for a path already known, without any message.
    bool readFileAt(const std::wstring& path);
    // readFileWithDialog for a path already known, with its messages.
    bool readFileWithMessages(const std::wstring& path);
    // readFileAt answering null, or the untranslated key of the message that refuses the file.
    const wchar_t* readFileRefusal(const std::wstring& path);
    // The open dialog of readFileWithDialog; empty when cancelled.
    static std::wstring pickFileToRead();

    // Writes these bytes safely at path (beside it, then renamed over it); answers null, or the
    // untranslated key of the failure, and then the file is as it was.
    static const wchar_t* replaceFile(const std::wstring& path, const std::array<uint8_t, kSettingsFileSize>& bytes);

  private:
    bool readFile(const std::wstring& path, bool withMessages);

    Marker m_marker{};
    Data m_data{};
};

// The filter of the settings file dialogs (translated by the caller).
inline constexpr const wchar_t* kSettingsFileFilter = TR_KEY(L"Settings files (*.settings)|*.settings|");
