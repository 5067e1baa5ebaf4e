// settings and set: the settings record as read, and changes to named fields of it.
#include "cli_user.h"
#include "commands.h"
#include "connect.h"
#include "settings_file_target.h"

#include "device/lpg_device.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

namespace {

struct Field {
    const char* name;
    double CSettingsRecord::*member; // null for workState, which is held as an integer
    double highest;
    bool whole;
    bool inFile = false; // a settings file holds it
};

// The ten fields in their printed order, with what the wire can carry.
const Field kFields[] = {
    {"tpsThreshold", &CSettingsRecord::tpsThreshold, 15.0, false, true},
    {"inputSource", &CSettingsRecord::inputSource, 255, true, true},
    {"teethCount", &CSettingsRecord::teethCount, 255, true},
    {"missingTeeth", &CSettingsRecord::missingTeeth, 255, true},
    {"wheelAlgorithm", &CSettingsRecord::wheelAlgorithm, 255, true},
    {"wheelType", &CSettingsRecord::wheelType, 65535, true},
    {"sensorType", &CSettingsRecord::sensorType, 255, true},
    {"wheelFactor", &CSettingsRecord::wheelFactor, 255, true},
    {"signalCapture", &CSettingsRecord::signalCapture, 255, true},
    {"workState", nullptr, 255, true},
};

const Field* findField(const std::string& name)
{
    for (const Field& f : kFields)
        if (name == f.name)
            return &f;
    return nullptr;
}

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

struct Change {
    const Field* field;
    double value;
};

// KEY=VALUE into a change; false with the reason when it cannot be carried to the controller.
bool parseChange(const std::string& argument, Change& change, std::string& reason)
{
    const auto eq = argument.find('=');
    if (eq == std::string::npos) {
        reason = "expected KEY=VALUE, got '" + argument + "'";
        return false;
    }
    const std::string key = argument.substr(0, eq);
    const std::string text = argument.substr(eq + 1);
    change.field = findField(key);
    if (!change.field) {
        reason = "unknown key '" + key + "'";
        return false;
    }
    char* end = nullptr;
    const double value = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value)) {
        reason = key + ": '" + text + "' is not a number";
        return false;
    }
    if (value < 0 || value > change.field->highest || (change.field->whole && value != std::floor(value))) {
        reason = key + ": " + text + " is outside 0 to " + format("%.0f", change.field->highest) +
                 (change.field->whole ? " (whole numbers)" : "");
        return false;
    }
    change.value = value;
    return true;
}

// Both commands start from the controller's current settings block.
int connectAndReadSettings(Context& context, CLPGDevice& device)
{
    if (const int status = connectController(context, device))
        return status;
    if (!device.GetSettings()) {
        printMessage(context.err, L"Nie powiodło się wczytanie ustawień urządzenia!");
        return kFailed;
    }
    return kOk;
}

void printFields(Context& context, const CSettingsRecord& r, bool fileOnly)
{
    for (const Field& f : kFields) {
        if (fileOnly && !f.inFile)
            continue;
        context.out << f.name << ": ";
        if (!f.member)
            context.out << r.workState << "\n";
        else
            context.out << format(f.member == &CSettingsRecord::tpsThreshold ? "%.4f" : "%.0f", r.*(f.member))
                        << "\n";
    }
}

void applyChanges(const std::vector<Change>& changes, CSettingsRecord& record)
{
    for (const Change& c : changes) {
        if (c.field->member)
            record.*(c.field->member) = c.value;
        else
            record.workState = static_cast<uint32_t>(c.value);
    }
}

int setInFile(Context& context, const std::vector<Change>& changes)
{
    for (const Change& c : changes)
        if (!c.field->inFile) {
            printRaw(context.err, std::string("a settings file does not hold ") + c.field->name);
            return kUsage;
        }
    CCliUser user(context.err, context.options.yes);
    CSettingsDocument file;
    if (const int status = openSettingsFile(context, file))
        return status;
    applyChanges(changes, file.record());
    return saveSettingsFile(context, file);
}

} // namespace

int commandSettings(Context& context)
{
    CCliUser user(context.err, context.options.yes);
    if (!context.options.file.empty()) {
        CSettingsDocument file;
        if (const int status = openSettingsFile(context, file))
            return status;
        printFields(context, file.record(), true);
        return kOk;
    }
    CLPGDevice device;
    if (const int status = connectAndReadSettings(context, device))
        return status;
    printFields(context, device.m_settings, false);
    return kOk;
}

int commandSet(Context& context)
{
    std::vector<Change> changes;
    for (const std::string& argument : context.options.args) {
        Change change{};
        std::string reason;
        if (!parseChange(argument, change, reason)) {
            printRaw(context.err, reason);
            return kUsage;
        }
        changes.push_back(change);
    }
    if (!context.options.file.empty())
        return setInFile(context, changes);

    CCliUser user(context.err, context.options.yes);
    CLPGDevice device;
    if (const int status = connectAndReadSettings(context, device))
        return status;
    applyChanges(changes, device.m_settings);
    if (!device.SetSettings()) {
        printMessage(context.err, L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!");
        return kFailed;
    }
    return kOk;
}

} // namespace cli
