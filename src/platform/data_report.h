// What the program found of its own data: for `doravine --where`, the first thing to run when the
// window shows Polish texts in another language or the settings page shows no reference chart.
#pragma once

#include <string>

// One line per data folder, in the program's search order (getDataFolder):
//   language files: /usr/share/doravine/Doravine_LANG/ (ENGLISH.txt, RUSSIAN.txt)
//   reference charts: /usr/share/doravine/wykresy/ (missing)
//   samples: /usr/share/doravine/samples/ (empty)
// with the files of each folder in name order.
std::string dataFoldersReport();
