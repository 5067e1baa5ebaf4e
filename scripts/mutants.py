#!/usr/bin/env python3
# Planted faults: the faults the tests must catch, kept as a table. Each one is applied to a scratch
# copy of the tree, the tests expected to catch it are built and run, and the copy is restored.
#
#   nice scripts/mutants.py              every fault (slow: a build and a test run for each)
#   scripts/mutants.py --list            the table, without building anything
#   scripts/mutants.py --only ID...      some faults
#   scripts/mutants.py --full            the whole suite for each fault instead of its regex
#
# Before the faults, the selected tests run once without any (--no-baseline skips that).
# The scratch copy (--scratch, by default a folder under the temporary folder named after this
# checkout) holds the tracked and untracked-but-not-ignored files and its own build folder; it is
# kept between runs, so a second run rebuilds only what changed. Exits non-zero when a fault
# survives, when a fault's original text no longer occurs exactly once, or when a fault's build
# fails without the table saying that a failed build counts.
import argparse
import fcntl
import hashlib
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# id, file, original text (exactly once in the file), replacement, description, ctest regex of the
# tests expected to catch it; an optional sixth field True means a failed build counts as caught.
FAULTS = [
    # ---- src/platform ----
    ("port-order", "src/platform/port_table.cpp",
     'return name.rfind("rfcomm", 0) == 0 ? 1 : 2;', 'return name.rfind("rfcomm", 0) == 0 ? 2 : 1;',
     "built-in UARTs before Bluetooth in the port table", "unit_port_table_posix_test"),
    ("port-natural", "src/platform/port_table.cpp",
     "return split(a) < split(b);", "return std::pair(split(a).first, a) < std::pair(split(b).first, b);",
     "ttyUSB10 sorted before ttyUSB2", "unit_port_table_posix_test"),
    ("port-env-empty", "src/platform/port_table_posix.cpp",
     "if (end > start)\n            out.push_back", "if (end >= start)\n            out.push_back",
     "an empty entry of DORAVINE_PORTS becomes a port", "unit_port_table_posix_test"),
    ("port-existing-chr", "src/platform/port_table_posix.cpp",
     "if (::stat(paths[i].c_str(), &st) == 0 && S_ISCHR(st.st_mode))",
     "if (::stat(paths[i].c_str(), &st) == 0)",
     "a plain file counts as an existing port", "unit_port_table_posix_test"),
    ("utf8-two-bytes", "src/platform/text.cpp",
     "} else if (c < 0x800) {", "} else if (c < 0x400) {",
     "characters from U+0400 (Cyrillic) take three UTF-8 bytes", "unit_text_test"),
    ("replace-failed-write-renamed", "src/platform/file_replace_posix.cpp",
     "if (::close(fd) != 0 || !written || ::rename(", "if (::close(fd) != 0 || !(written || true) || ::rename(",
     "a replacement cut short by a full disk is still renamed over the old file",
     "unit_settings_document_test|unit_settings_file_posix_test|integration_cli_settings_file_test"),
    ("replace-temp-left", "src/platform/file_replace_posix.cpp",
     "        ::unlink(temp.c_str());\n", "",
     "a failed replacement leaves its temporary file beside the target", "unit_settings_document_test"),
    # ---- src/base ----
    ("lang-fallback", "src/base/language.cpp",
     "text = translateIn(kLanguageEnglish, key);", "text = translateIn(index, key);",
     "no English fallback for a key missing in the chosen language", "unit_lang_file_test"),
    ("lang-key-last", "src/base/language.cpp",
     "return text.empty() ? key : text;", "return text;",
     "no fallback to the key when no file knows it", "unit_lang_file_test"),
    ("lang-first-wins", "src/base/lang_file.cpp",
     "m_entries.try_emplace(std::move(key), std::move(translation));",
     "m_entries.insert_or_assign(std::move(key), std::move(translation));",
     "the last line of a doubled key wins", "unit_lang_file_test"),
    ("lang-unescape", "src/base/lang_file.cpp",
     "next == L't' ? L'\\t' : next == L'r' ? L'\\r' : L'\\n'",
     "next == L't' ? L'\\t' : next == L'r' ? L'\\n' : L'\\n'",
     "\\r unescaped as a line feed", "unit_lang_file_test"),
    ("lang-line-buffer", "src/base/lang_file.cpp",
     "constexpr std::size_t kLineBuffer = 2048;", "constexpr std::size_t kLineBuffer = 2049;",
     "a language line cut at 2048 characters instead of 2047", "unit_lang_file_test"),
    # ---- src/records ----
    ("round-3dec", "src/records/settings_record.cpp",
     "return std::floor((x + 0.0005) * 1000) / 1000;", "return std::floor((x + 0.0004) * 1000) / 1000;",
     "rounding to three decimals loses its half", "unit_settings_record_test"),
    ("round-nearest", "src/records/settings_record.cpp",
     "std::trunc((x * 10 + 5) / 10)", "std::trunc((x * 10 + 4) / 10)",
     "nearest rounding of positive values rounds a half down", "unit_settings_record_test"),
    ("round-absorb", "src/records/settings_record.cpp",
     "constexpr double kAbsorbedError = 1e-12;", "constexpr double kAbsorbedError = 0.0;",
     "truncation no longer absorbs arithmetic error (7.2 -> 71 tenths)",
     "unit_settings_record_test|unit_map_model_test"),
    ("round-half-away", "src/records/settings_record.cpp",
     "return x >= 0 ? truncateValue(x + 0.5) : truncateValue(x - 0.5);",
     "return x >= 0 ? truncateValue(x + 0.49) : truncateValue(x - 0.5);",
     "MAP points round a half down", "unit_settings_record_test"),
    ("tps-offset", "src/records/settings_record.cpp",
     "return roundTo3Decimals(counts / 1000.0 * 5) * 3 + 0.0005;",
     "return roundTo3Decimals(counts / 1000.0 * 5) * 3;",
     "TPS threshold read without its 0.0005", "unit_settings_record_test"),
    ("settings-offset-write", "src/records/settings_record.cpp",
     "b[11] = byteField(r.wheelFactor);", "b[9] = byteField(r.wheelFactor);",
     "wheel factor written at settings byte 9 instead of 11", "unit_settings_record_test"),
    ("settings-offset-read", "src/records/settings_record.cpp",
     "r.sensorType = b[10];", "r.sensorType = b[9];",
     "sensor type read from settings byte 9 instead of 10", "unit_settings_record_test"),
    ("axes-rpm-offset", "src/records/settings_record.cpp",
     "b[32 + j] = rpmPointToWire(r.rpmAxis[j]);", "b[31 + j] = rpmPointToWire(r.rpmAxis[j]);",
     "RPM axis written one byte early in the axes block", "unit_settings_record_test"),
    ("angle-clamp-60-2", "src/records/map_model.cpp",
     "return {0.0, 24.0, 0.6};", "return {0.0, 24.0, 0.5};",
     "60-2 wheel's angle step 0.5 instead of 0.6", "unit_map_model_test"),
    ("angle-clamp-12-1", "src/records/map_model.cpp",
     "return {0.0, 15.0, 3.0};", "return {0.0, 16.0, 3.0};",
     "12+1 wheel's highest angle 16 instead of 15", "unit_map_model_test"),
    ("angle-clamp-sensor", "src/records/map_model.cpp",
     "return wheel == 1 ? CAngleLimits{0.0, 25.0, 1.0}", "return wheel == 2 ? CAngleLimits{0.0, 25.0, 1.0}",
     "Hall-sensor limits follow the wrong wheel", "unit_map_model_test"),
    ("angle-cap", "src/records/map_model.cpp",
     "    if (x > m_limits.highest)\n        x = m_limits.highest;\n", "",
     "rounding to the step no longer caps at the highest angle", "unit_map_model_test"),
    ("axes-rpm-hundreds", "src/records/map_model.cpp",
     "v = v / 100 * 100;", "v = v / 10 * 10;",
     "generated RPM axis not cut to whole hundreds", "unit_map_model_test"),
    ("axes-map-step", "src/records/map_model.cpp",
     "d = (mapMax - mapMin) / 15.0;", "d = (mapMax - mapMin) / 16.0;",
     "generated MAP axis step divides by 16", "unit_map_model_test"),
    ("find-cell", "src/records/map_model.cpp",
     "if (m_record.rpmAxis[i] > rpm) {", "if (m_record.rpmAxis[i] >= rpm) {",
     "an RPM exactly on an axis point lands in the cell before", "unit_map_model_test"),
    ("map-rpm-gap", "src/records/map_grid_rules.cpp",
     "lowest = std::max(lowest, axis[column - 1] + kRpmPointGap);",
     "lowest = std::max(lowest, axis[column - 1]);",
     "an RPM breakpoint may equal its left neighbour", "unit_map_grid_rules_test"),
    ("map-rpm-round", "src/records/map_grid_rules.cpp",
     "const double rounded = roundNearest(typed / 100.0) * 100.0;",
     "const double rounded = std::trunc(typed / 100.0) * 100.0;",
     "a typed RPM breakpoint is cut, not rounded, to hundreds", "unit_map_grid_rules_test"),
    ("map-volt-gap", "src/records/map_grid_rules.cpp",
     "highest = std::min(highest, stored(axis[row + 1]) - kMapPointResolution);",
     "highest = std::min(highest, stored(axis[row + 1]));",
     "a MAP breakpoint may equal its lower neighbour", "unit_map_grid_rules_test"),
    ("map-colour", "src/records/map_grid_rules.cpp",
     "const uint32_t gb = low8(255.0 - 5.0 * degrees);", "const uint32_t gb = low8(255.0 - 4.0 * degrees);",
     "a cell's colour fades by 4 per degree instead of 5", "unit_map_grid_rules_test"),
    ("map-interpolate", "src/records/map_grid_rules.cpp",
     "map[r][c] = top + (bottom - top) * y;", "map[r][c] = top + (bottom - top) * x;",
     "two-way interpolation uses the column share for rows", "unit_map_grid_rules_test"),
    ("map-tsv-line", "src/records/map_grid_rules.cpp",
     "text += L\"\\r\\n\";", "text += L\"\\n\";",
     "copied map rows end in LF instead of CR LF", "unit_map_grid_rules_test|gui_map_angle_dlg_test"),
    ("map-history-depth", "src/records/map_history.cpp",
     "if (m_done.size() > kDepth)", "if (m_done.size() >= kDepth)",
     "undo keeps 99 steps instead of 100", "unit_map_history_test"),
    ("trim-above", "src/records/diag_data.cpp",
     "if (m_samples.size() > kTrimAbove)", "if (m_samples.size() >= kTrimAbove)",
     "live samples trimmed at 500 instead of above 500", "unit_diag_data_test"),
    ("trim-count", "src/records/diag_data.cpp",
     "m_samples.begin() + kTrimCount);", "m_samples.begin() + kTrimCount - 1);",
     "249 samples trimmed instead of 250", "unit_diag_data_test"),
    ("band-strict-low", "src/records/wheel_analysis.cpp",
     "return mean - kTolerance * mean < value && value < kTolerance * mean + mean;",
     "return mean - kTolerance * mean <= value && value < kTolerance * mean + mean;",
     "typical-tooth band takes its lower end", "unit_wheel_analysis_test"),
    ("band-strict-high", "src/records/wheel_analysis.cpp",
     "return mean - kTolerance * mean < value && value < kTolerance * mean + mean;",
     "return mean - kTolerance * mean < value && value <= kTolerance * mean + mean;",
     "typical-tooth band takes its upper end", "unit_wheel_analysis_test"),
    ("band-gap-low", "src/records/wheel_analysis.cpp",
     "return mean - kTolerance * mean <= value && value <= kTolerance * mean + mean;",
     "return mean - kTolerance * mean < value && value <= kTolerance * mean + mean;",
     "gap-likeness band drops its lower end", "unit_wheel_analysis_test"),
    ("band-gap-high", "src/records/wheel_analysis.cpp",
     "return mean - kTolerance * mean <= value && value <= kTolerance * mean + mean;",
     "return mean - kTolerance * mean <= value && value < kTolerance * mean + mean;",
     "gap-likeness band drops its upper end", "unit_wheel_analysis_test"),
    ("wheel-five-abnormal", "src/records/wheel_analysis.cpp",
     "if (abnormal.size() >= 5) {", "if (abnormal.size() >= 6) {",
     "five abnormal records are no longer enough", "unit_wheel_analysis_test"),
    ("wheel-algorithm-5", "src/records/wheel_analysis.cpp",
     "algorithmFound = 5;", "algorithmFound = 4;",
     "two-record gaps report algorithm 4", "unit_wheel_analysis_test"),
    # ---- src/files ----
    ("settings-file-size", "src/files/settings_file.cpp",
     "if (length != static_cast<std::streamoff>(kSettingsFileSize))",
     "if (length < static_cast<std::streamoff>(kSettingsFileSize))",
     "a settings file longer than 2247 bytes is taken", "unit_settings_file_"),
    ("settings-file-marker", "src/files/settings_file.cpp",
     "m_marker.fill(kSettingsMarkerByte);", "m_marker.fill(kSettingsMarkerByte + 1);",
     "settings-file marker of 'U' instead of 'T'", "unit_settings_file_"),
    ("settings-file-input", "src/files/settings_file.cpp",
     "putDouble(&m_data[kInputSource], record.inputSource);",
     "putDouble(&m_data[kInputSource + 8], record.inputSource);",
     "input source written 8 bytes late in the settings file", "unit_settings_file_"),
    ("settings-file-snap", "src/files/settings_file.cpp",
     "if (record.workState == kWorkStateNormal)\n        CMapModel(record).roundMapToStep();",
     "if (record.workState != kWorkStateNormal)\n        CMapModel(record).roundMapToStep();",
     "a loaded map snaps to the step outside normal operation", "unit_settings_file_"),
    ("firmware-min-length", "src/files/firmware_file.cpp",
     "if (length < kMinDataLength)", "if (length + 1 < kMinDataLength)",
     "a firmware of 8380 data bytes is taken", "unit_firmware_file_test"),
    ("firmware-checksum", "src/files/firmware_file.cpp",
     "return static_cast<uint16_t>(data + 1 + header + 1);", "return static_cast<uint16_t>(data + header + 1);",
     "firmware checksum off by one", "unit_firmware_file_test"),
    ("firmware-dropped", "src/files/firmware_file.cpp",
     "m_imageLength = length - kDroppedLength;", "m_imageLength = length;",
     "the 60 dropped firmware bytes still counted in the image", "unit_firmware_file_test"),
    ("firmware-rows", "src/files/firmware_file.cpp",
     "(m_imageLength % kRowBytes != 0 ? 1 : 0)", "0",
     "a partial last firmware row is not programmed", "unit_firmware_file_test"),
    ("firmware-format", "src/files/firmware_file.cpp",
     "return m_loaded && m_format == kFormatId && m_nameTerminated",
     "return m_loaded && m_nameTerminated",
     "a firmware of another format matches the controller", "unit_firmware_file_test"),
    ("signal-line", "src/files/signal_file.cpp",
     '"%zu ; %u ; %u \\r\\r\\n"', '"%zu ; %u ; %u \\r\\n"',
     "signal file lines lose their doubled CR", "unit_signal_file_test"),
    ("signal-fields", "src/files/signal_file.cpp",
     "if (fields.size() < 3)\n        return false;", "if (fields.size() < 2)\n        return false;",
     "a signal line with two fields counts as a record", "unit_signal_file_test"),
    ("csv-piece", "src/files/csv_file.cpp",
     "while (piece.size() < kMaxPiece) {", "while (piece.size() <= kMaxPiece) {",
     "a CSV field piece takes 1024 characters instead of 1023", "unit_csv_file_test|unit_signal_file_test"),
    ("signal-saturate", "src/files/signal_file.cpp",
     "    if (value > INT_MAX)\n        return INT_MAX;\n", "",
     "a huge number in a signal file wraps instead of saturating", "unit_signal_file_test"),
    ("document-untouched-bytes", "src/files/settings_document.cpp",
     "    now.writeFields(m_record);",
     "    now.takeSnapshot(now.firmwareVersion(), static_cast<uint8_t>(now.deviceType()), m_record);",
     "a saved settings file loses the reserved bytes it was opened with",
     "unit_settings_document_test|gui_settings_file_control_test"),
    # ---- src/device ----
    ("frame-checksum", "src/device/frame.cpp",
     "length + type + 1 + (random & 0xFF)", "length + type + 2 + (random & 0xFF)",
     "frame checksum off by one", "unit_frame_test"),
    ("frame-scramble-shift", "src/device/frame.cpp",
     "const unsigned s = random & 0x0F;", "const unsigned s = random & 0x07;",
     "scramble shift takes three bits instead of four", "unit_frame_test"),
    ("header-resync", "src/device/lpg_device_exchange.cpp",
     "while (start < frame::kHeaderSize && header[start] != frame::kStart1)",
     "while (start < frame::kHeaderSize && header[start] != frame::kStart2)",
     "header resynchronisation looks for the wrong start byte", "integration_lpg_device_exchange_test"),
    ("second-read", "src/device/lpg_device_exchange.cpp",
     "k += port.read(buffer + k, replyLength - k);", "k += 0;",
     "no second read of a reply that paused mid-payload", "integration_lpg_device_exchange_test"),
    ("retry-read-10", "src/device/lpg_device_commands.cpp",
     "    for (int attempt = 0; attempt < attempts; ++attempt) {\n        buildCommand(buffer, command, argument);",
     "    for (int attempt = 1; attempt < attempts; ++attempt) {\n        buildCommand(buffer, command, argument);",
     "reading commands try 9 times instead of 10", "integration_lpg_device_commands_test"),
    ("retry-send-10", "src/device/lpg_device_commands.cpp",
     "    for (int attempt = 0; attempt < attempts; ++attempt) {\n        buffer.fill(0);",
     "    for (int attempt = 1; attempt < attempts; ++attempt) {\n        buffer.fill(0);",
     "writing commands try 9 times instead of 10", "integration_lpg_device_commands_test"),
    ("verify-compare", "src/device/lpg_device_commands.cpp",
     "        if (std::memcmp(buffer.data(), meant.data(), size) == 0)\n            return true;",
     "        if (length > 0)\n            return true;",
     "a written block counts once any read-back arrived, whatever it holds",
     "integration_lpg_device_commands_test|integration_cli_device_test|integration_doravine_doc_test"),
    ("verify-attempts", "src/device/lpg_device_commands.cpp",
     "    for (int attempt = 0; attempt < kConfigAttempts; ++attempt) {\n        if (!sendAccepted(type, block, size, 1))",
     "    for (int attempt = 1; attempt < kConfigAttempts; ++attempt) {\n        if (!sendAccepted(type, block, size, 1))",
     "a verified write tries 9 times instead of 10", "integration_lpg_device_commands_test"),
    ("verify-savemap", "src/device/lpg_device_commands.cpp",
     "            return true;\n    }\n    return false;\n}\n\n// ---- Reading commands",
     "            return true;\n    }\n    return true;\n}\n\n// ---- Reading commands",
     "a write that never read back right answers true, so SaveMap follows it",
     "integration_lpg_device_commands_test|integration_cli_device_test|integration_doravine_doc_test"),
    ("owned-settings-tail", "src/device/lpg_device_commands.cpp",
     "std::memset(block + 14, 0, kSettingsBlockSize - 14);", "std::memset(block + 14, 0, kSettingsBlockSize - 15);",
     "the settings block's last reserved byte, the controller's own, is compared",
     "integration_lpg_device_commands_test"),
    ("owned-settings-state", "src/device/lpg_device_commands.cpp",
     "std::memset(block + 14, 0, kSettingsBlockSize - 14);", "std::memset(block + 13, 0, kSettingsBlockSize - 13);",
     "the operating state is left out of the settings comparison", "integration_lpg_device_commands_test"),
    ("owned-axes", "src/device/lpg_device_commands.cpp",
     "        block[kAxesBlockSize - 1] = 0;", "        block[kAxesBlockSize - 2] = 0;",
     "the axes block's reserved byte is compared and its last RPM point is not",
     "integration_lpg_device_commands_test"),
    ("confirm-second-read", "src/device/lpg_device_commands.cpp",
     "        if (std::memcmp(buffer.data(), held, size) == 0 ||", "        if (held != nullptr ||",
     "a block read is taken at the first read, without a second one agreeing",
     "integration_lpg_device_commands_test"),
    ("confirm-held-free", "src/device/lpg_device_commands.cpp",
     "        if (std::memcmp(buffer.data(), held, size) == 0 ||", "        if (held == nullptr ||",
     "a refresh that finds the block held still reads it twice", "integration_lpg_device_commands_test"),
    ("erase-block", "src/device/lpg_device_boot.cpp",
     "if (a % eraseBlockSize == 0 && !EraseBlock(a))", "if (a == start && !EraseBlock(a))",
     "programming erases only the first block", "integration_lpg_device_boot_test|integration_firmware_update_test"),
    ("program-word", "src/device/lpg_device_boot.cpp",
     "if (k % 4 == 3)\n                continue;", "if (k % 4 == 0)\n                continue;",
     "programming drops the first byte of each word instead of the fourth", "integration_lpg_device_boot_test|integration_firmware_update_test"),
    ("identify-attempts", "src/device/lpg_device_identify.cpp",
     "for (int attempt = 0; attempt < kBootAttempts; ++attempt) {",
     "for (int attempt = 1; attempt < kBootAttempts; ++attempt) {",
     "identification tries twice instead of three times", "integration_lpg_device_identify_test"),
    ("live-marker", "src/device/lpg_device_identify.cpp",
     "constexpr uint16_t kLiveSamplesMarker = 0x0055;", "constexpr uint16_t kLiveSamplesMarker = 0x0056;",
     "live samples marker 0x56 instead of 0x55", "integration_lpg_device_identify_test"),
    ("watchdog-count", "src/device/connection_watchdog.cpp",
     "} else if (m_countdown-- <= 0) {", "} else if (m_countdown-- <= 1) {",
     "the watchdog rescans a tick early", "integration_connection_watchdog_test"),
    # ---- src/operations ----
    ("live-failures", "src/operations/diag_threads.cpp",
     "if (failures > kFailureLimit)", "if (failures >= kFailureLimit)",
     "the live thread gives up after five failures instead of six", "integration_live_samples_test"),
    ("live-failure-reset", "src/operations/diag_threads.cpp",
     "storeSample(sample);\n                    failures = 0;", "storeSample(sample);",
     "a good sample no longer resets the live thread's failure count", "integration_live_samples_test"),
    ("capture-stall", "src/operations/signal_capture.cpp",
     "m_stallTicks > kStallTicks && count < kStallRecordLimit;",
     "m_stallTicks >= kStallTicks && count < kStallRecordLimit;",
     "a capture stops after 30 quiet ticks instead of more than 30", "unit_signal_capture_test"),
    ("capture-stall-limit", "src/operations/signal_capture.cpp",
     "m_stallTicks > kStallTicks && count < kStallRecordLimit;",
     "m_stallTicks > kStallTicks && count <= kStallRecordLimit;",
     "a capture of exactly 1000 records still stops by itself", "unit_signal_capture_test"),
    ("firmware-attempts", "src/operations/firmware_update.cpp",
     "for (int attempt = 0; attempt < kProgramAttempts && !programmed; ++attempt) {",
     "for (int attempt = 1; attempt < kProgramAttempts && !programmed; ++attempt) {",
     "programming tried 9 times instead of 10", "integration_firmware_update_test"),
    ("edited-record-switch", "src/operations/edited_record.cpp",
     "return m_file.file()->isOpen() ? static_cast<IEditedRecord&>(m_file) : m_controller;",
     "return m_file.file()->isOpen() ? m_controller : static_cast<IEditedRecord&>(m_file);",
     "the map editor edits the controller's record while a file is open",
     "unit_edited_record_test"),
    ("file-map-edit-waits", "src/operations/map_editor.cpp",
     "if (m_target.file() && !m_writing)", "if (false)",
     "a map edit made while a file is open never reaches the file's record", "unit_edited_record_test"),
    # ---- src/gui ----
    ("gui-advance-text", "src/gui/pages/odczyty_dlg.cpp",
     "return withUnit(tenths / 10.0, 2, L\"°\");",
     "return withUnit(tenths / 10.0, 1, L\"°\");",
     "readings page shows the advance with one decimal", "gui_odczyty_dlg_test"),
    ("gui-supply-label", "src/gui/pages/odczyty_dlg.cpp",
     "m_supply->setLabelText(translateText(L\"Napięcie\"));",
     "m_supply->setLabelText(translateText(L\"Napięcie zasilania\"));",
     "after a language switch the supply label is the long one", "gui_doravine_app_test"),
    ("gui-switch-state", "src/gui/pages/odczyty_dlg.cpp",
     "m_switch->setValueText(switchValueText(sample.bytes[12]));",
     "m_switch->setValueText(switchValueText(sample.bytes[13]));",
     "readings page takes the switch from byte 13", "gui_odczyty_dlg_test"),
    ("gui-min-width", "src/gui/shell/main_frame.cpp",
     "out.setWidth(800);", "out.setWidth(760);",
     "a window narrower than 760 grows only to 760", "gui_doravine_app_test"),
    ("gui-caption-font", "src/gui/shell/main_frame.cpp",
     "return std::max(16, clientHeight / 55);", "return std::max(16, clientHeight / 50);",
     "caption font follows the height by 1/50 instead of 1/55", "gui_doravine_app_test"),
    ("gui-page-catch", "src/gui/pages/version_dlg.cpp",
     '    const Outcome read = CLinkGateway::runOnInstance(L"CDevDataDlg::OnBnClickedButtonread()",',
     '    const Outcome read = m_device.GetErrors(errors) ? Outcome::Done : Outcome::Failed;\n'
     '    (void)CLinkGateway::runOnInstance(L"CDevDataDlg::OnBnClickedButtonread()",',
     "the device page's read calls the device itself, outside the gateway", "gui_version_dlg_test"),
    ("version-text", "src/device/lpg_device.cpp",
     "L\".\" + std::to_wstring(m_firmwareVersion & 0xFF)", "L\",\" + std::to_wstring(m_firmwareVersion & 0xFF)",
     "firmware version shown as v 1,64", "gui_version_dlg_test|unit_lpg_device_demo_test"),
    ("production-date", "src/device/lpg_device.cpp",
     "days{m_productionDays + 1}", "days{m_productionDays}",
     "production date a day early", "gui_version_dlg_test|unit_lpg_device_demo_test"),
    ("map-key-up", "src/gui/pages/map_angle.cpp",
     "case Qt::Key_Up:\n        return GridArrow::Up;", "case Qt::Key_Up:\n        return GridArrow::Down;",
     "the up arrow moves the map cursor down", "gui_map_angle_dlg_test"),
    # ---- texts at every window size ----
    ("page-fixed-font", "src/gui/skin/template_layout.cpp",
     "const int pixels = roles.text.pixelSize();", "const int pixels = 12;",
     "a page's texts keep one size whatever the window's fonts", "gui_text_fit_test"),
    ("display-no-stack", "src/gui/skin/described_display.cpp",
     "if (sideBySide || box.height() < 2 * QFontMetricsF(floor).height() + 4)", "if (sideBySide || true)",
     "a narrow display never puts a long label above its value", "gui_text_fit_test"),
    ("caption-one-line", "src/gui/skin/text_fit.cpp",
     "if (fits(text, two, box, true) && text.contains(QLatin1Char(' '))) {",
     "if (false) {",
     "a long caption never breaks onto a second line", "gui_text_fit_test"),
    ("shortened-no-tip", "src/gui/skin/text_fit.cpp",
     "    if (whole.isEmpty()) {\n        if (ours) {", "    if (true) {\n        if (ours) {",
     "a shortened text gets no tool tip with its whole text", "gui_text_fit_test"),
    ("gateway-catch", "src/gui/shell/link_gateway.cpp",
     "m_device.m_connected = false;\n    emit linkLost();", "emit linkLost();",
     "a link error caught by the gateway leaves the controller marked connected", "gui_link_gateway_test"),
    ("gateway-hold-input", "src/gui/shell/link_gateway.cpp",
     "if (m_busy && isPersonsInput(event->type()) && !insideModalDialog(watched))",
     "if (m_busy && isPersonsInput(event->type()) && insideModalDialog(watched))",
     "clicks and keys reach the window while an exchange runs, not the work's own dialog",
     "gui_link_gateway_test"),
    ("map-reread-after-failure", "src/gui/pages/map_angle.cpp",
     "    if (!rereadIfDue())\n        flushWrites();", "    flushWrites();",
     "after a failed write the grid keeps showing the unwritten map", "gui_map_angle_dlg_test"),
    ("map-write-coalesce", "src/operations/map_editor.cpp",
     "m_mapDue = m_mapDue || !to.sameMap(m_shown);", "m_mapDue = !m_writing && (m_mapDue || !to.sameMap(m_shown));",
     "a step made while a write is on the wire is never sent", "gui_map_angle_dlg_test"),
    ("settings-tps-as-stored", "src/gui/pages/settings_dlg.cpp",
     "    value = tpsAsStored(value);\n", "",
     "the TPS edit shows the step's sum, not what the controller stored", "gui_settings_dlg_test"),
    ("settings-forget-unwritten", "src/gui/pages/settings_dlg.cpp",
     "    device().m_settings = lastRead;\n", "    (void)lastRead;\n",
     "a sensor type the controller never confirmed stays in the record for the next write",
     "gui_settings_dlg_test"),
    ("definition-wire-axes", "src/operations/map_operations.cpp",
     "        volts = mapPointFromWire(mapPointToWire(volts));\n", "        (void)volts;\n",
     "the grid shows generated MAP breakpoints the controller rounded to 5 mV", "gui_fault_sweep_test"),
    # ---- nothing lost by a misclick: questions, backups, the detection's put-back ----
    ("autodetect-no-putback", "src/operations/auto_calibration.cpp",
     "m_putBack = putBack() ? PutBack::Done : PutBack::Failed;", "m_putBack = PutBack::Failed;",
     "a cancelled or failed detection leaves the controller reset",
     "integration_auto_calibration_test|integration_command_autodetect_test"),
    ("autodetect-putback-map-only", "src/operations/auto_calibration.cpp",
     "device().m_settings = m_before;", "CMapState::of(m_before).applyTo(device().m_settings);",
     "the put-back restores the map and axes but leaves the wheel and the detection state",
     "integration_auto_calibration_test"),
    ("autodetect-offer-unsnapped", "src/operations/auto_calibration.cpp",
     "CMapModel(record).roundMapToStep(); // the detected wheel's step", "",
     "the previous map offered after a detection is not snapped to the new wheel's step",
     "integration_auto_calibration_test"),
    ("autodetect-offer-no-preselected", "src/operations/auto_calibration.cpp",
     "!userInteraction().askYesNoDefaultYes(translateText(kPreviousMapQuestion))",
     "!userInteraction().askYesNo(translateText(kPreviousMapQuestion))",
     "the offer of the previous map preselects No", "integration_auto_calibration_test"),
    ("qt-question-yes-default", "src/gui/shell/qt_user_interaction.cpp",
     "return ask(text, QMessageBox::Yes);", "return ask(text, QMessageBox::No);",
     "the window's Yes-preselected question preselects No", "gui_qt_user_interaction_test"),
    ("clear-no-question", "src/operations/map_editor.cpp",
     "if (!userInteraction().askYesNo(translateText(\n            L\"Skasowanie mapy",
     "if (false && !userInteraction().askYesNo(translateText(\n            L\"Skasowanie mapy",
     "Kasuj clears the map without asking", "gui_map_angle_dlg_test"),
    ("clear-without-backup", "src/gui/pages/map_angle_dlg.cpp",
     "if (backup.empty())\n        return;\n", "",
     "Kasuj clears the map when its backup could not be written", "gui_map_angle_dlg_test"),
    ("factory-no-question", "src/operations/doravine_doc.cpp",
     "if (!userInteraction().askYesNo(translateText(\n            L\"Przywrócenie",
     "if (false && !userInteraction().askYesNo(translateText(\n            L\"Przywrócenie",
     "the factory reset runs without asking", "integration_doravine_doc_test"),
    ("factory-without-backup", "src/operations/doravine_doc.cpp",
     "m_lastBackup = saveRequiredSettingsBackup(m_device);\n        if (m_lastBackup.empty())\n            return false;",
     "m_lastBackup = saveRequiredSettingsBackup(m_device);",
     "the factory reset goes on when its backup could not be written",
     "integration_doravine_doc_test|integration_cli_device_test"),
    ("cli-factory-backup-line", "tools/cli/command_factory_reset.cpp",
     "if (!doc.LastBackupPath().empty())\n        printRaw(context.err, unicode2utf8(backupSavedLine(doc.LastBackupPath())));",
     "",
     "factory-reset does not name its backup", "integration_cli_device_test"),
    ("autodetect-unanswered-forever", "src/operations/auto_calibration.cpp",
     "        if (m_unansweredPasses >= kUnansweredPassesLimit)\n            return TickResult::Complete; // finish() says why\n",
     "",
     "a detection whose crank records are never answered holds its progress for ever, saying nothing",
     "integration_auto_calibration_test"),
    ("operating-point-after-pull", "src/gui/pages/map_angle_dlg.cpp",
     "    if (!m_doc.Device().isConnected()) {\n        m_grid->hideOperatingPoint();",
     "    if (false) {\n        m_grid->hideOperatingPoint();",
     "the map keeps marking a lost controller's last operating point", "gui_map_angle_dlg_test"),
    ("default-from-controller-under-file", "src/operations/doravine_doc.cpp",
     "    if (m_settingsFile.isOpen())\n        return m_settingsFile.snapshot().writeFileAt(defaultSettingsPath());\n",
     "",
     "Zapisz jako domyślną saves the controller's record while the page shows an open file",
     "gui_settings_file_control_test"),
    ("unsaved-cancel-lets-go", "src/gui/shell/settings_file_control.cpp",
     "    case Unsaved::Cancel:\n        break;\n    }\n    return false;",
     "    case Unsaved::Cancel:\n        break;\n    }\n    return true;",
     "Cancel on the unsaved-changes question still closes the file", "gui_settings_file_control_test"),
    # ---- tools/cli, tools/sim, tests ----
    ("cli-no-controller", "tools/cli/connect.cpp",
     "return kNoController;", "return kFailed;",
     "no controller exits 1 instead of 3", "integration_cli_device_test"),
    ("cli-language", "tools/cli/cli.cpp",
     'if (code == "ru")\n        return 2;', 'if (code == "ru")\n        return 3;',
     "--lang ru picks the wrong language file", "unit_cli_arguments_test"),
    ("sim-twin-sum", "tools/sim/faults.cpp",
     "payload[j] = static_cast<uint8_t>(payload[j] - d);", "payload[j] = static_cast<uint8_t>(payload[j] + d);",
     "the twin damage changes the checksum, so it is no longer the damage a checksum cannot see",
     "sim_faults_test"),
    # ---- where the engine runs: curves, trail, dwell, the replayed log ----
    ("place-nan", "src/records/map_place.cpp",
     "if (count <= 1 || !(value > axis[0]))", "if (count <= 1 || value < axis[0])",
     "a NaN reading puts the marker nowhere", "unit_map_place_test"),
    ("place-bilinear-row", "src/records/map_place.cpp",
     "return top * (1 - fr) + bottom * fr;", "return top * (1 - fr) + top * fr + 0 * bottom;",
     "the marker's advance ignores the MAP fraction", "unit_map_place_test"),
    ("dwell-gap", "src/records/map_dwell.cpp",
     "if (step > 0 && step <= kLongestStep)", "if (step > 0)",
     "a lost link counts as time spent in a cell", "unit_map_dwell_test"),
    ("dwell-earlier-cell", "src/records/map_dwell.cpp",
     "double& s = m_seconds[m_lastCell->row][m_lastCell->column];", "double& s = m_seconds[cell.row][cell.column];",
     "an interval is credited to the cell the engine went to", "unit_map_dwell_test"),
    ("dwell-faint-shade", "src/records/map_dwell.cpp",
     "return kFaintestShade + (1.0 - kFaintestShade) * s / m_longest;", "return s / m_longest;",
     "a briefly visited cell is shaded almost invisibly", "unit_map_dwell_test"),
    ("trail-fade", "src/records/map_trail.cpp",
     "return std::clamp(1.0 - age / kSeconds, 0.0, 1.0);", "return age < kSeconds ? 1.0 : 0.0;",
     "the trail does not fade", "unit_map_dwell_test"),
    ("log-cut-line", "src/files/readings_log_reader.cpp",
     "const size_t end = text.find('\\n');\n        if (end == std::string_view::npos) {",
     "const size_t end = std::min(text.find('\\n'), text.size());\n        if (end == std::string_view::npos) {",
     "a part-written last line is read as a sample", "unit_readings_log_reader_test"),
    ("log-foreign-header", "src/files/readings_log_reader.cpp",
     "trimmed(text.substr(0, headerEnd)) != kReadingsCsvHeader",
     "!trimmed(text.substr(0, headerEnd)).starts_with(\"time;rpm\")",
     "a CSV with other columns is taken for a readings log", "unit_readings_log_reader_test"),
    ("log-time-race", "src/files/readings_log_reader.cpp",
     "sample.time = std::max(sample.time, m_series.endTime());", "(void)0;",
     "a sample stamped before the recording's start is lost", "unit_readings_log_reader_test"),
    ("series-span-end", "src/records/readings_series.cpp",
     "if (k < m_samples.size() && k > 0)", "if (false)",
     "the zoomed span's last interval is not counted", "unit_readings_log_reader_test"),
    ("series-envelope-slice", "src/records/readings_series.cpp",
     "m_samples[k + 1].time < end", "m_samples[k + 1].time <= end",
     "a sample on a slice's edge is drawn in the slice before", "unit_readings_log_reader_test"),
    ("curves-follow-edit", "src/gui/pages/map_angle_dlg.cpp",
     "            m_curves->refresh();", "            (void)0;",
     "the curves miss an edit of the map", "gui_map_views_test"),
    ("dwell-hidden-page", "src/gui/pages/map_overlay.cpp",
     "        if (m_dwellShown)\n            m_dwell.add(", "        if (m_dwellShown && m_grid.isVisible())\n            m_dwell.add(",
     "samples are not counted while another page is shown", "gui_map_views_test"),
    ("dwell-restart", "src/gui/pages/map_overlay.cpp",
     "if (shown && !m_dwellShown)\n        m_dwell.reset();", "if (false)\n        m_dwell.reset();",
     "switching the shading on again keeps the old count", "gui_map_views_test"),
    ("replay-zoom-dwell", "src/gui/pages/readings_replay_dlg.cpp",
     "connect(m_chart, &CLogChart::spanChanged, this, &CReadingsReplayDlg::onSpan);", "(void)0;",
     "the replay's grid keeps the whole log's shading after a zoom", "gui_readings_replay_dlg_test"),
    ("replay-play-clock", "src/gui/pages/readings_replay_dlg.cpp",
     "const double step = m_sincePlayTick.restart() / 1000.0 * m_speed;",
     "const double step = m_sincePlayTick.restart() / 1000.0;",
     "8x plays at real speed", "gui_readings_replay_dlg_test"),
    ("sim-record-bytes", "tools/sim/wheel.cpp",
     "out.push_back(static_cast<uint8_t>(r.highTime & 0xFF));\n        out.push_back(static_cast<uint8_t>(r.highTime >> 8));",
     "out.push_back(static_cast<uint8_t>(r.highTime >> 8));\n        out.push_back(static_cast<uint8_t>(r.highTime & 0xFF));",
     "the simulator sends a record's high time big-endian", "sim_pulses_test|integration_cli_capture_test"),
    ("sim-block-retry", "tools/sim/controller.cpp",
     "(block == 0 && lastBlock_ != 0)", "(block == 0)",
     "the simulator starts a new pass when block 0 is asked again", "sim_pulses_test"),
    ("search-lowest-first", "src/device/lpg_device_connect.cpp",
     "for (size_t i = 0; i < probes.size() && !pick; ++i) {", "for (size_t i = 0; i < probes.size(); ++i) {",
     "the highest of the ports that answer wins the search", "integration_lpg_device_connect_test"),
    ("watchdog-held-link", "src/device/connection_watchdog.cpp",
     "if (!linkBusy() && m_search.begin(false)) {", "if (m_search.begin(false)) {",
     "a rescan starts while an exchange, a capture or an update holds the link",
     "integration_connection_watchdog_test"),
    ("watchdog-without-samples", "src/gui/shell/doravine_view.cpp",
     "        m_doc.ResumeLiveSamples();\n    else\n        m_frame->startMainTimer();",
     "        m_doc.ResumeLiveSamples();",
     "started without a controller, the timer and its watchdog never run", "gui_doravine_app_test"),
    ("include-floor-rule", "tests/unit/include_floors_test.cpp",
     "if (fromFloor == 0 || toFloor > fromFloor || intoGui)",
     "if (fromFloor == 0 || toFloor > fromFloor + 1 || intoGui)",
     "the include-floor test lets an include climb one floor", "unit_include_floors_test"),
    # ---- the window's exchanges through the gateway ----
    ("device-read-silent", "src/gui/pages/version_dlg.cpp",
     "    if (read == Outcome::Failed)\n        userInteraction()", "    if (read == Outcome::Busy)\n        userInteraction()",
     "an unanswered \"Wczytaj błędy\" says nothing", "gui_version_dlg_test|gui_fault_sweep_test"),
    ("device-page-zeros", "src/gui/pages/version_dlg.cpp",
     "    if (!m_device.m_connected) {\n        for", "    if (false) {\n        for",
     "the device page shows an identity without a controller", "gui_version_dlg_test"),
    ("readings-zeros", "src/gui/pages/odczyty_dlg.cpp",
     "    // Until a controller sends a sample there is nothing to show: no zeros as if it had.\n    showNoReading();\n", "",
     "the readings start at 0 RPM / 0 V as if a controller had sent them", "gui_odczyty_dlg_test"),
    ("factory-reset-silent", "src/operations/doravine_doc.cpp",
     "    const bool restored = RestoreFactorySettings();\n    if (m_lastBackup.empty())",
     "    const bool restored = RestoreFactorySettings();\n    if (!restored || m_lastBackup.empty())",
     "a factory reset the controller did not take says nothing", "integration_doravine_doc_test|gui_fault_sweep_test"),
    ("factory-reset-record", "src/operations/doravine_doc.cpp",
     "            if (!taken)\n                record = before;", "            (void)taken;",
     "a failed factory reset leaves the reset values in the record", "integration_doravine_doc_test|gui_fault_sweep_test"),
    ("load-no-read-back", "src/operations/doravine_doc.cpp",
     "    m_device.GetSettings() && m_device.GetMap() && m_device.GetMapAxes();\n", "",
     "after a refused load the pages show the file instead of the controller",
     "integration_doravine_doc_test|gui_fault_sweep_test"),
    ("work-state-record", "src/operations/signal_capture.cpp",
     "    if (!written)\n        m_device.m_settings.workState = held;", "    (void)held;",
     "a refused mode switch leaves the unwritten state in the record", "gui_fault_sweep_test"),
    ("signal-second-fetch", "src/gui/pages/read_signal_dlg.cpp",
     "if (device().m_demo || m_capture.running())", "if (device().m_demo)",
     "a second \"Pobierz dane\" during a capture asks again", "gui_read_signal_dlg_test"),
    ("signal-silent-pass", "src/gui/pages/read_signal_dlg.cpp",
     "        showError(L\"Sterownik nie odpowiada.\");", "        (void)0;",
     "a capture pass nobody answers says nothing", "gui_fault_sweep_test"),
    ("factory-map-step-catches", "src/operations/doravine_doc.cpp",
     "applyDefinition(controller) && eraseEditedMap(controller);",
     "applyDefinition(controller) && clearMapStep(controller);",
     "a cable pulled at the factory reset's map clear gives three messages", "gui_fault_sweep_test"),
    ("factory-step-twice", "src/operations/doravine_doc.cpp",
     "    if (!restored && m_factoryTaken) {", "    if (false) {",
     "a refused step after the factory reset is said twice", "gui_fault_sweep_test"),
    ("last-net", "src/gui/shell/doravine_app.cpp",
     "        showEscaped(utf82unicode(error.what()));", "        throw;",
     "an exception escaping a handler ends the program", "gui_last_net_test"),
    ("cli-file-opens-port", "tools/cli/command_map.cpp",
     "        printMap(context.out, file.record());",
     "        CLPGDevice probe;\n        connectController(context, probe);\n        printMap(context.out, file.record());",
     "map --file connects to the controller", "integration_cli_settings_file_test"),
]


def run(cmd, cwd, timeout=None, quiet=True):
    """Runs a command; answers (exit status, its output). A time-out answers 124."""
    try:
        done = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout)
    except subprocess.TimeoutExpired as e:
        out = e.stdout.decode(errors="replace") if isinstance(e.stdout, bytes) else (e.stdout or "")
        return 124, out
    if not quiet:
        print(done.stdout)
    return done.returncode, done.stdout


def check_table(root):
    """Every original text must occur exactly once, or the table has drifted from the code."""
    ids = set()
    problems = []
    for f in FAULTS:
        fid, path, original = f[0], f[1], f[2]
        if fid in ids:
            problems.append(f"{fid}: the id is used twice")
        ids.add(fid)
        if original == f[3]:
            problems.append(f"{fid}: the replacement equals the original")
        file = root / path
        if not file.exists():
            problems.append(f"{fid}: {path} does not exist")
            continue
        count = file.read_text(encoding="utf-8").count(original)
        if count != 1:
            problems.append(f"{fid}: the original text occurs {count} times in {path}")
    return problems


def tracked_files(root):
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=root,
                         stdout=subprocess.PIPE, check=True).stdout
    return [p for p in out.decode().split("\0") if p]


def sync_scratch(root, scratch):
    """Copies what differs into the scratch tree; a copied file gets a fresh time so it rebuilds."""
    copied = 0
    for rel in tracked_files(root):
        src = root / rel
        dst = scratch / rel
        if not src.is_file():
            continue
        data = src.read_bytes()
        if dst.is_file() and dst.read_bytes() == data:
            continue
        dst.parent.mkdir(parents=True, exist_ok=True)
        dst.write_bytes(data)
        os.chmod(dst, src.stat().st_mode & 0o777)
        copied += 1
    return copied


def test_targets(build, regex):
    """The executable targets of the tests a regex selects (a slice of a test program runs the
    program of its own name without the slice's suffix)."""
    status, out = run(["ctest", "-N", "-R", regex], build)
    names = [line.split(":", 1)[1].strip() for line in out.splitlines()
             if line.strip().startswith("Test") and "#" in line and ":" in line]
    targets = []
    for name in names:
        target = name[:name.index("_test_") + len("_test")] if "_test_" in name else name
        if target not in targets:
            targets.append(target)
    return targets


def try_fault(fault, scratch, build, full, build_timeout, test_timeout):
    fid, path, original, replacement, _description, regex = fault[:6]
    build_counts = len(fault) > 6 and fault[6]
    file = scratch / path
    text = file.read_text(encoding="utf-8")
    if text.count(original) != 1:
        return "table-drift", f"original text occurs {text.count(original)} times in the scratch copy"
    try:
        file.write_text(text.replace(original, replacement), encoding="utf-8")
        if full:
            targets, ctest = [], ["ctest", "-j2", "--no-tests=error", "--timeout", str(test_timeout)]
        else:
            targets = test_targets(build, regex)
            if not targets:
                return "no-tests", f"the regex {regex!r} selects no test"
            ctest = ["ctest", "-R", regex, "-j2", "--no-tests=error", "--timeout", str(test_timeout)]
        cmd = ["cmake", "--build", str(build), "-j2"]
        for t in targets:
            cmd += ["--target", t]
        status, out = run(cmd, scratch, timeout=build_timeout)
        if status != 0:
            return ("caught" if build_counts else "build-failed"), out
        status, out = run(ctest, build, timeout=test_timeout * 4)
        return ("caught" if status != 0 else "survived"), out
    finally:
        # Written back with a fresh time, so the next build compiles the original again.
        file.write_text(text, encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--only", nargs="+", metavar="ID", help="run only these faults")
    parser.add_argument("--list", action="store_true", help="print the table and check it, build nothing")
    parser.add_argument("--full", action="store_true", help="run the whole suite for every fault")
    parser.add_argument("--scratch", help="scratch copy of the tree (kept between runs)")
    parser.add_argument("--test-timeout", type=int, default=300, help="seconds per test")
    parser.add_argument("--build-timeout", type=int, default=3600, help="seconds per build")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the run of the selected tests without any fault")
    parser.add_argument("--verbose", action="store_true", help="print the output of every fault")
    args = parser.parse_args()

    problems = check_table(ROOT)
    if problems:
        print("The fault table no longer matches the code:", *problems, sep="\n  ", file=sys.stderr)
        return 2
    faults = FAULTS
    if args.only:
        unknown = set(args.only) - {f[0] for f in FAULTS}
        if unknown:
            print("Unknown fault ids: " + " ".join(sorted(unknown)), file=sys.stderr)
            return 2
        faults = [f for f in FAULTS if f[0] in args.only]
    if args.list:
        for f in faults:
            print(f"{f[0]:24} {f[1]:40} {f[5]:45} {f[4]}")
        print(f"{len(faults)} faults")
        return 0

    name = hashlib.sha1(str(ROOT).encode()).hexdigest()[:8]
    scratch = Path(args.scratch or Path(tempfile.gettempdir()) / f"doravine-mutants-{name}").resolve()
    build = scratch / "build-mutants"
    scratch.mkdir(parents=True, exist_ok=True)
    # Two runs on one scratch copy would plant their faults into each other's builds.
    lock = open(scratch / ".mutants.lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        print(f"another run holds {scratch}; wait for it or pass --scratch", file=sys.stderr)
        return 2
    print(f"scratch copy {scratch}: {sync_scratch(ROOT, scratch)} files copied", flush=True)
    if not (build / "CMakeCache.txt").exists():
        print("configuring and building the scratch copy once (ccache makes it mostly hits)", flush=True)
        status, out = run([str(scratch / "scripts/build.sh"), "build-mutants", "-DDORAVINE_BENCH=OFF",
                           "-DDORAVINE_WERROR=ON"], scratch, timeout=args.build_timeout * 2)
        if status != 0:
            print(out, file=sys.stderr)
            return 2
    else:
        # Files added since the last run become tests only once CMake looks at the tree again.
        status, out = run(["cmake", str(build)], scratch, timeout=args.build_timeout)
        if status != 0:
            print(out, file=sys.stderr)
            return 2

    if not args.no_baseline:
        # Without any fault the selected tests must pass, or every fault would count as caught.
        regex = "|".join(sorted({f[5] for f in faults}))
        # A test file added since the last build is known to ctest only after a build.
        targets = [] if args.full else test_targets(build, regex)
        if not args.full and not targets:
            run(["cmake", "--build", str(build), "-j2"], scratch, timeout=args.build_timeout)
            targets = test_targets(build, regex)
        cmd = ["cmake", "--build", str(build), "-j2"] + [x for t in targets for x in ("--target", t)]
        status, out = run(cmd, scratch, timeout=args.build_timeout)
        if status == 0:
            ctest = ["ctest", "-j2", "--no-tests=error", "--timeout", str(args.test_timeout)] + ([] if args.full else ["-R", regex])
            status, out = run(ctest, build, timeout=args.test_timeout * 4)
        if status != 0:
            print("The tests fail without any planted fault:\n" + out[-3000:], file=sys.stderr)
            return 2
        print("baseline: the selected tests pass without faults", flush=True)

    results = []
    for f in faults:
        started = time.monotonic()
        print(f"{f[0]} ...", end=" ", flush=True)
        outcome, out = try_fault(f, scratch, build, args.full, args.build_timeout, args.test_timeout)
        print(f"{outcome} ({time.monotonic() - started:.0f} s)", flush=True)
        if args.verbose or outcome not in ("caught", "survived"):
            print(out[-3000:])
        results.append((f[0], f[4], outcome))

    width = max(len(r[0]) for r in results)
    dwidth = max(len(r[1]) for r in results)
    print(f"\n{'id':{width}} | {'description':{dwidth}} | caught/survived")
    for fid, description, outcome in results:
        print(f"{fid:{width}} | {description:{dwidth}} | {outcome}")
    bad = [r for r in results if r[2] != "caught"]
    print(f"\n{len(results) - len(bad)} of {len(results)} caught")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
