// The language lookup: every user-visible text is written in Polish and that text is the key.
#pragma once

#include <string>

// The text of key in the current language (key itself in Polish, index 0).
std::wstring translateText(const std::wstring& key);
