// The advance map as the tool handles it: the angle limits and step that follow from the wheel and
// sensor type, snapping to the step, building the axes from their ends, finding the cell the
// engine runs in, and clearing the map. The values live in the settings record; this class only
// works on them.
#pragma once

#include "records/settings_record.h"

struct CAngleLimits {
    double lowest = 0.0;
    double highest = 17.4;
    double step = 0.6;
};

// The limits for a wheel type (list index) and sensor type (0 = Hall, anything else inductive).
CAngleLimits angleLimitsFor(double wheelType, double sensorType);

// What the map needs from the controller; the device object answers these with its commands.
class IMapCommands {
  public:
    virtual ~IMapCommands() = default;
    virtual bool isConnected() const = 0;
    // Writes the record's axes (the device encodes them from the same record).
    virtual bool SetMapAxes() = 0;
    virtual bool ClearMap() = 0;
    virtual bool SaveMap() = 0;
};

struct CMapCell {
    int column = 0; // RPM breakpoint
    int row = 0;    // MAP breakpoint
    bool operator==(const CMapCell&) const = default;
};

class CMapModel {
  public:
    // Works on record, which must outlive the model; the limits are computed at once.
    explicit CMapModel(CSettingsRecord& record);

    // Lowest, highest angle and step from the record's wheelType and sensorType.
    void updateLimits();
    const CAngleLimits& limits() const { return m_limits; }

    // Snaps one angle up to the step grid by repeated addition of the step, capped at the highest
    // angle; at or below 0 (and NaN) gives 0.0.
    double roundToStep(double value) const;
    // updateLimits, then every cell of the map through roundToStep.
    void roundMapToStep();

    // Fills the axes from their ends: RPM rounded down to hundreds, MAP evenly spaced unrounded.
    void fillAxes(int rpmMin, int rpmMax, double mapMin, double mapMax);
    // fillAxes, then writes them; the record keeps the new axes whatever the answer.
    bool generateAxes(IMapCommands& device, int rpmMin, int rpmMax, double mapMin, double mapMax);

    // The cell the engine runs in: the first breakpoint strictly above the value on each axis
    // (0 below the first, the last at or above the last).
    CMapCell findCell(double rpm, double mapVolts) const;

    // Clears the map in the controller (ClearMap, SaveMap) and then in the record. Nothing
    // happens when not connected; a refused command shows "Błąd - Nie powiodło się wpisanie
    // ustawień do urządzenia!" and leaves the record as it was. Answers whether the map was cleared.
    bool eraseMap(IMapCommands& device);

  private:
    CSettingsRecord& m_record;
    CAngleLimits m_limits;
};
