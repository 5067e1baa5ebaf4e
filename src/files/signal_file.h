// The signal file: one line per pulse record, "index ; period ; highTime " and the line end
// 0D 0D 0A, exactly as the Windows program's text-mode stream left it, on every platform.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "records/pulse.h"

class CCsvFile;

// The name the signal page saves under, in the Diag folder.
inline constexpr wchar_t kSignalFileName[] = L"Odczyt.csv";

// One line of the file, line end included.
std::string formatSignalLine(size_t index, const CPulse& pulse);

// Replaces path with one line per record, in order. False when the file cannot be created or a
// write fails (the file may then be incomplete).
bool writeSignalFile(const std::wstring& path, const CPulseList& pulses);

// The C library's atoi without its undefined overflow: leading white space skipped, an optional
// sign, digits up to the first non-digit, saturated to the int range; no digits give 0.
int signalAtoi(const std::string& text);

// Field 1 is the period and field 2 the high time, each through signalAtoi and cut to 16 bits;
// field 0 (the index) is ignored. False for a line with fewer than three fields.
bool pulseFromFields(const std::vector<std::string>& fields, CPulse& pulse);

// What a read found besides the records, for callers that want to warn about a doubtful file.
struct SignalReadReport {
    size_t lines = 0;      // lines (pieces) read
    size_t skipped = 0;    // lines with fewer than three fields
    size_t notNumbers = 0; // records whose period or high time field held no number
};

// Reads every line of an open reader into pulses (replacing its contents).
void readSignal(CCsvFile& reader, CPulseList& pulses, SignalReadReport* report = nullptr);

// Opens and reads a signal file. False when the file cannot be opened; pulses is then untouched.
bool readSignalFile(const std::wstring& path, CPulseList& pulses, SignalReadReport* report = nullptr);

// The same from the file's bytes held in memory.
void readSignalBytes(const std::string& bytes, CPulseList& pulses, SignalReadReport* report = nullptr);
