#include "app/language.h"

std::wstring translateText(const std::wstring& key) { return key; }
