// Where the engine runs on the map between the breakpoints: a fractional place on each axis and
// the advance the controller interpolates there. The grid marks a whole cell; the curves and the
// replayed log need the point itself.
#pragma once

#include "records/settings_record.h"

// A place on the map in breakpoint units: column 2.25 lies a quarter of the way from RPM
// breakpoint 2 to 3. Values outside an axis stay at its ends.
struct CMapPlace {
    double column = 0;
    double row = 0;
};

// The fractional index of value on a rising axis of count breakpoints, clamped to [0, count-1].
// Breakpoints that do not rise (a cleared axis) never divide by zero.
double axisPlace(const double* axis, int count, double value);

CMapPlace mapPlace(const CSettingsRecord& record, double rpm, double mapVolts);

// The advance at a place, bilinear between the four cells around it.
double advanceAt(const double (&map)[kMapRows][kMapColumns], CMapPlace place);
