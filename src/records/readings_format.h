// The six live readings as text: the readings panel, the readings log and `doravine-cli watch`
// print the same numbers with the same formats. Numbers always carry a decimal point, whatever
// locale the program runs in.
#pragma once

#include "records/settings_record.h"

#include <string>

// x with `decimals` digits after a point ("%.Nf" in the C locale).
std::string formatFixed(double x, int decimals);

// The number part of each reading as the panel shows it, without units.
struct CReadingTexts {
    std::string rpm;     // "%.0f"
    std::string tps;     // "%.2f"
    std::string map;     // "%.2f"
    std::string advance; // "%.2f"
    std::string supply;  // "%.2f"
    bool switchOn = false;
};
CReadingTexts readingTexts(const CDiag& sample);

// "rpm=850 tps=3.00 map=1.65 advance=12.30 supply=12.00 switch=1"
std::string readingsWatchLine(const CDiag& sample);

// The CSV form: the header line, and one line per sample with the time in seconds ("%.3f"),
// separated by ';'. Neither carries its line end.
extern const char* const kReadingsCsvHeader;
std::string readingsCsvLine(double seconds, const CDiag& sample);
