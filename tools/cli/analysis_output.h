// The wheel analysis as analyse and capture print it.
#pragma once

#include "cli.h"

#include "records/pulse.h"
#include "records/wheel_analysis.h"

namespace cli {

// Prints "records: N" and the three results; on no pattern prints the translated
// "Nieobsługiwany sygnał" on standard error and answers kFailed.
int printAnalysis(Context& context, const CPulseList& pulses);

}  // namespace cli
