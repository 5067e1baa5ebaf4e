#include "records/readings_format.h"

#include <charconv>

const char* const kReadingsCsvHeader = "time;rpm;tps;map;advance;supply;switch";

std::string formatFixed(double x, int decimals)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

CReadingTexts readingTexts(const CDiag& sample)
{
    CReadingTexts t;
    t.rpm = formatFixed(static_cast<double>(sample.rpm()), 0);
    t.tps = formatFixed(sample.tpsVolts(), 2);
    t.map = formatFixed(sample.mapVolts(), 2);
    t.advance = formatFixed(sample.advanceDegrees(), 2);
    t.supply = formatFixed(sample.supplyVolts(), 2);
    t.switchOn = sample.switchOn();
    return t;
}

std::string readingsWatchLine(const CDiag& sample)
{
    const CReadingTexts t = readingTexts(sample);
    return "rpm=" + t.rpm + " tps=" + t.tps + " map=" + t.map + " advance=" + t.advance + " supply=" + t.supply +
           " switch=" + (t.switchOn ? "1" : "0");
}

std::string readingsCsvLine(double seconds, const CDiag& sample)
{
    const CReadingTexts t = readingTexts(sample);
    return formatFixed(seconds, 3) + ";" + t.rpm + ";" + t.tps + ";" + t.map + ";" + t.advance + ";" + t.supply +
           ";" + (t.switchOn ? "1" : "0");
}
