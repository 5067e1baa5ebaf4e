// The local calendar time, through the system's thread-safe conversion (std::localtime shares one
// buffer between threads).
#pragma once

#include <ctime>

// The broken-down local time of t.
std::tm localTime(std::time_t t);
