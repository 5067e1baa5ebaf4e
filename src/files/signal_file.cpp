#include "files/signal_file.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <fstream>

#include "files/csv_file.h"
#include "platform/paths.h"

std::string formatSignalLine(size_t index, const CPulse& pulse)
{
    // The trailing blank and the doubled CR are what "%d ; %d ; %d \r\n" became through a
    // Windows text-mode stream; files must stay byte-identical with the ones already out there.
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%zu ; %u ; %u \r\r\n", index, unsigned{pulse.period},
                                unsigned{pulse.highTime});
    return std::string(line, static_cast<size_t>(n));
}

bool writeSignalFile(const std::wstring& path, const CPulseList& pulses)
{
    std::ofstream out(nativePath(path), std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out.is_open())
        return false;
    std::string chunk;
    chunk.reserve(64 * 1024);
    for (size_t i = 0; i < pulses.size(); ++i) {
        chunk += formatSignalLine(i, pulses[i]);
        if (chunk.size() >= 60 * 1024) {
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
        }
    }
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    out.close();
    // A full disk must not pass for a saved signal.
    return !out.fail();
}

int signalAtoi(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break; // saturated; further digits change nothing
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

namespace {

bool holdsNumber(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

uint16_t low16(int value)
{
    return static_cast<uint16_t>(static_cast<unsigned>(value) & 0xFFFFu);
}

} // namespace

bool pulseFromFields(const std::vector<std::string>& fields, CPulse& pulse)
{
    if (fields.size() < 3)
        return false;
    pulse.period = low16(signalAtoi(fields[1]));
    pulse.highTime = low16(signalAtoi(fields[2]));
    return true;
}

void readSignal(CCsvFile& reader, CPulseList& pulses, SignalReadReport* report)
{
    SignalReadReport seen;
    pulses.clear();
    std::vector<std::string> fields;
    for (;;) {
        fields.clear();
        if (!reader.readLine(fields))
            break;
        ++seen.lines;
        CPulse pulse;
        // A line without three fields (an empty one, for instance) holds no record.
        if (!pulseFromFields(fields, pulse)) {
            ++seen.skipped;
            continue;
        }
        if (!holdsNumber(fields[1]) || !holdsNumber(fields[2]))
            ++seen.notNumbers;
        pulses.push_back(pulse);
    }
    if (report)
        *report = seen;
}

bool readSignalFile(const std::wstring& path, CPulseList& pulses, SignalReadReport* report)
{
    CCsvFile reader;
    if (!reader.open(path, false))
        return false;
    readSignal(reader, pulses, report);
    reader.close();
    return true;
}

void readSignalBytes(const std::string& bytes, CPulseList& pulses, SignalReadReport* report)
{
    CCsvFile reader;
    reader.openBytes(bytes);
    readSignal(reader, pulses, report);
}
