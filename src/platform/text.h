// Conversions between the program's wide texts and UTF-8 bytes, independent of the process locale.
#pragma once

#include <string>

// Narrow (ANSI / UTF-8) text to wide text.
std::wstring ansi2unicode(const std::string& text);
// Wide text to UTF-8, for printing and for the Qt bridge.
std::string unicode2utf8(const std::wstring& text);
// UTF-8 to wide text.
std::wstring utf82unicode(const std::string& text);
