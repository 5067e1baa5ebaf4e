// Where the program keeps its files: beside the program file (language files, reference charts,
// firmware) and under the user's documents folder (captured signals, settings files).
//
// Every function answers a wide path that ends in the platform's separator (or an empty text
// where it says so). The ones that name a subfolder create it on every call, ignoring failure:
// the caller's own file operation reports a folder that could not be made.
#pragma once

#include <string>

#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

// The folder of the program file; empty when it cannot be found.
std::wstring getExeFolder();

// The folder of the program's data `name` (Doravine_LANG, wykresy, samples), with a separator at
// the end: $DORAVINE_DATA/name/ when that variable is set (tests, a data folder kept elsewhere);
// else findDataFolder(getExeFolder(), name).
std::wstring getDataFolder(const std::wstring& name);

// Where data `name` is for a program in exeFolder: beside the program when it is there (the build
// tree, a program unpacked into one folder); else, on POSIX, in the installed tree beside bin/,
// exeFolder/../share/doravine/name/, when that exists; else beside the program again, so that
// whoever opens a file there reports it missing where it was first looked for.
std::wstring findDataFolder(const std::wstring& exeFolder, const std::wstring& name);

// The user's documents folder; empty when the system names none.
// Windows: the shell folder "Personal" of the current user.
// POSIX: XDG_DOCUMENTS_DIR from the environment, else from $XDG_CONFIG_HOME/user-dirs.dirs
// (default ~/.config/user-dirs.dirs), else $HOME/Documents.
std::wstring getDocumentsFolder();

// documents/Doravine/Diag/ (captured signals).
std::wstring getDiagFolder();
// documents/Doravine/Map data/ (settings files, default.settings).
std::wstring getMapDataFolder();
// program folder/Program/ (firmware files).
std::wstring getProgramFolder();

// Where the documents-based folders go when there is no documents folder (and the program folder
// when the program file cannot be found): drive of Windows + ":\Program Files\Doravine\" on
// Windows, the temporary folder + "/Doravine/" on POSIX. Not created here.
std::wstring getFallbackFolder();

// Whether the user's own language is Polish, for the start-up language rule.
// Windows: the user's default language identifier is 1045. POSIX: the first set of LC_ALL,
// LC_MESSAGES and LANG names a Polish locale ("pl", "pl_PL.UTF-8", ...).
bool isUserLanguagePolish();
