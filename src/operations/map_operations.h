// The map page's operations that change the controller, kept apart from the widgets so that the
// page, the factory reset and the command line run the same code: the axis definition's apply
// step and the clear step.
#pragma once

#include "records/settings_record.h"

class CLPGDevice;
class IEditedRecord;

// The four ends from which both axes are generated.
struct CAxisDefinition {
    int rpmMin = 500;
    int rpmMax = 4800;
    double mapMin = 0.15;
    double mapMax = 5.15;

    // The ends of the record's current axes (RPM truncated to whole numbers).
    static CAxisDefinition fromRecord(const CSettingsRecord& record);
    // The factory axes: RPM 500 to 4800, MAP 0.15 V to 5.15 V.
    static CAxisDefinition factory() { return {}; }

    // The OK button's checks: the untranslated message key of the first violated rule, or null
    // when the ends may be applied (equal ends are accepted).
    const wchar_t* check() const;

    // Writes the ends into the edited record, rebuilds both axes and sends them with SetMapAxes. A
    // refused write shows "Błąd - Nie powiodło się wpisanie ustawień do urządzenia!!" and the
    // record keeps the new axes. Answers whether the controller took them.
    bool applyDefinition(IEditedRecord& target) const;
};

// One spin button of the axis definition: a click moves the value by the step (delta -1 for the
// up arrow, +1 for the down arrow) and keeps it within the limits.
struct CAxisSpin {
    double step;
    double lowest;
    double highest;
    double apply(double value, int delta) const;
};
constexpr CAxisSpin kRpmSpin{100.0, 500.0, 7000.0};
constexpr CAxisSpin kMapSpin{0.05, 0.0, 20.0};

// GetMap and GetMapAxes into the record: the controller's map as it is.
bool readControllerMap(CLPGDevice& device);

// ClearMap and SaveMap, then every cell 0.0 in the record (a refused command shows its error box
// and the cells stay); link errors pass through. Answers whether the map was cleared.
bool eraseControllerMap(CLPGDevice& device);
// The same on the edited record: the controller's or an open file's.
bool eraseEditedMap(IEditedRecord& target);

// The clear button's step, with the wait cursor: only while connected, ClearMap and SaveMap, then
// every cell 0.0 (a refused command shows its error box and the cells stay). A link error is
// caught and shown as the page's handler shows it. Answers whether the map was cleared.
bool clearMapStep(IEditedRecord& target);
