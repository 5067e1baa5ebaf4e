// A locale whose numbers take a decimal comma, set for the C library and the C++ streams of the
// whole process while the object lives: what a Polish desktop gives a program.
#pragma once

#include <locale>
#include <string>

class CCommaLocale {
  public:
    CCommaLocale();
    ~CCommaLocale();
    CCommaLocale(const CCommaLocale&) = delete;
    CCommaLocale& operator=(const CCommaLocale&) = delete;

    // Whether printf now prints a comma (false when no Polish locale could be had; the C++
    // streams take a comma in any case).
    bool cLibrary() const { return m_cLibrary; }

  private:
    std::locale m_previous;
    bool m_cLibrary = false;
};
