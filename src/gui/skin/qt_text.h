// The bridge between the core's wide strings and Qt's strings.
#pragma once

#include <QString>

#include <string>

inline QString toQString(const std::wstring& text)
{
    return QString::fromStdWString(text);
}
inline std::wstring toWString(const QString& text)
{
    return text.toStdWString();
}
