// What loading a settings file would change on the controller: the TPS threshold, the input
// source, each axis point and each map cell whose wire value differs. Values are compared as the
// controller stores them (their wire encoding), so a file value that the wire cannot tell apart
// from the controller's is no difference.
#pragma once

#include "records/settings_record.h"

#include <string>
#include <vector>

struct CSettingsDifference {
    enum class Field { TpsThreshold, InputSource, RpmAxis, MapAxis, AdvanceMap };
    Field field = Field::TpsThreshold;
    int row = 0;    // MAP axis point, or the map cell's row
    int column = 0; // RPM axis point, or the map cell's column
    double controller = 0;
    double file = 0;
};

// One entry per differing field, in the order: TPS threshold, input source, RPM axis by index,
// MAP axis by index, map cells row by row. `file` is the record as the load would send it.
std::vector<CSettingsDifference> compareSettings(const CSettingsRecord& controller, const CSettingsRecord& file);

// The field's name and index ("rpmAxis[3]", "advanceMap[2][3]").
std::string differenceName(const CSettingsDifference& d);
// A value in the field's format: "%.4f" TPS threshold, "%.0f" input source and RPM points,
// "%.2f" MAP points, "%.1f" angles.
std::string differenceValue(const CSettingsDifference& d, double value);
// "advanceMap[2][3]: 7.2 -> 8.4"
std::string differenceLine(const CSettingsDifference& d);
