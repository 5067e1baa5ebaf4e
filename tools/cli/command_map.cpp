// map and map-write: the advance map and its axes as the grid shows them, separator ';'.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"
#include "settings_file_target.h"

#include "device/lpg_device.h"
#include "platform/ierror.h"
#include "records/map_history.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace cli {

namespace {

const char* const kCorner = "Map\\RPM";
// Highest MAP point that the axes block's signed 16-bit count of 5 mV can carry.
constexpr double kMapPointLimit = 163.8;

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::vector<std::string> splitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    while (true) {
        const auto at = line.find(';', start);
        fields.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return fields;
        start = at + 1;
    }
}

bool parseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

// A file in the map format into the record's map and axes. On failure: the 1-based line and why.
bool parseMapFile(std::istream& in, CSettingsRecord& record, int& badLine, std::string& reason)
{
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    // One final line ending is not a line of its own.
    while (lines.size() > 1 + kMapRows && lines.back().empty())
        lines.pop_back();

    auto fail = [&](int number, std::string why) {
        badLine = number;
        reason = std::move(why);
        return false;
    };
    if (lines.empty())
        return fail(1, "the file is empty");

    const auto header = splitFields(lines[0]);
    if (header.size() != 1 + kMapColumns)
        return fail(1, "expected the corner text and " + std::to_string(kMapColumns) + " RPM points");
    if (header[0] != kCorner)
        return fail(1, std::string("expected the corner text ") + kCorner);
    for (int c = 0; c < kMapColumns; ++c) {
        double rpm = 0;
        if (!parseNumber(header[c + 1], rpm))
            return fail(1, "RPM point '" + header[c + 1] + "' is not a number");
        if (rpm < 0 || rpm > 25500)
            return fail(1, "RPM point " + header[c + 1] + " is outside 0 to 25500");
        if (c > 0 && rpm <= record.rpmAxis[c - 1])
            return fail(1, "RPM points must rise");
        record.rpmAxis[c] = rpm;
    }

    for (int r = 0; r < kMapRows; ++r) {
        const int number = r + 2;
        if (static_cast<size_t>(r + 1) >= lines.size())
            return fail(number, "missing row (" + std::to_string(kMapRows) + " rows expected)");
        const auto fields = splitFields(lines[r + 1]);
        if (fields.size() != 1 + kMapColumns)
            return fail(number, "expected the MAP point and " + std::to_string(kMapColumns) + " angles");
        double point = 0;
        if (!parseNumber(fields[0], point))
            return fail(number, "MAP point '" + fields[0] + "' is not a number");
        if (std::fabs(point) > kMapPointLimit)
            return fail(number, "MAP point " + fields[0] + " is out of range");
        if (r > 0 && point <= record.mapAxis[r - 1])
            return fail(number, "MAP points must rise");
        record.mapAxis[r] = point;
        for (int c = 0; c < kMapColumns; ++c) {
            double angle = 0;
            if (!parseNumber(fields[c + 1], angle))
                return fail(number, "angle '" + fields[c + 1] + "' is not a number");
            if (angle < 0.0 || angle > 25.5)
                return fail(number, "angle " + fields[c + 1] + " is outside 0.0 to 25.5");
            record.advanceMap[r][c] = angle;
        }
    }
    if (lines.size() > 1 + kMapRows)
        return fail(2 + kMapRows, "more than " + std::to_string(kMapRows) + " rows");
    return true;
}

void printMap(std::ostream& out, const CSettingsRecord& r)
{
    out << kCorner;
    for (int c = 0; c < kMapColumns; ++c)
        out << ";" << format("%.0f", r.rpmAxis[c]);
    out << "\n";
    for (int row = 0; row < kMapRows; ++row) {
        out << format("%.2f", r.mapAxis[row]);
        for (int c = 0; c < kMapColumns; ++c)
            out << ";" << format("%.1f", r.advanceMap[row][c]);
        out << "\n";
    }
}

} // namespace

int commandMap(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    if (!context.options.file.empty()) {
        CSettingsDocument file;
        if (const int status = openSettingsFile(context, file))
            return status;
        printMap(context.out, file.record());
        return kOk;
    }
    CLPGDevice device;
    if (const int status = connectController(context, device))
        return status;
    if (!device.GetMapAxes() || !device.GetMap()) {
        printMessage(context.err, L"Nie powiodło się wczytanie ustawień urządzenia!");
        return kFailed;
    }
    printMap(context.out, device.m_settings);
    return kOk;
}

int commandMapWrite(Context& context)
{
    const std::string& path = context.options.args.at(0);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        printRaw(context.err, path + ": cannot be opened");
        return kUsage;
    }
    CSettingsRecord wanted;
    int badLine = 0;
    std::string reason;
    if (!parseMapFile(in, wanted, badLine, reason)) {
        printRaw(context.err, path + ":" + std::to_string(badLine) + ": " + reason);
        return kUsage;
    }

    CCliUser user(context.err, context.options.yes);
    if (!context.options.file.empty()) {
        // A file knows no wheel: the angles are stored as they were given.
        CSettingsDocument file;
        if (const int status = openSettingsFile(context, file))
            return status;
        CMapState::of(wanted).applyTo(file.record());
        return saveSettingsFile(context, file);
    }
    CLPGDevice device;
    if (const int status = connectController(context, device))
        return status;
    if (!device.GetMapAxes()) {
        printMessage(context.err, L"Nie powiodło się wczytanie ustawień urządzenia!");
        return kFailed;
    }
    CSettingsRecord& r = device.m_settings;
    const bool axesDiffer = encodeAxesBlock(r) != encodeAxesBlock(wanted);
    CMapState::of(wanted).applyTo(r);
    if (axesDiffer && !device.SetMapAxes()) {
        printMessage(context.err, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
        return kFailed;
    }
    if (!device.SetMap() || !device.SaveMap()) {
        printMessage(context.err, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
        return kFailed;
    }
    return kOk;
}

} // namespace cli
