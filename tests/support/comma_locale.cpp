#include "support/comma_locale.h"

#include "support/portable.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/portable.h"

namespace {

struct CommaPoint : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

// The Polish locale, compiled once into a temporary folder when the system has none installed.
bool setPolishNumbers()
{
#ifdef _WIN32
    // The Windows C runtime names its locales in its own way, and has them all.
    return std::setlocale(LC_NUMERIC, "Polish_Poland.1250") || std::setlocale(LC_NUMERIC, "pl-PL");
#else
    if (std::setlocale(LC_NUMERIC, "pl_PL.UTF-8"))
        return true;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "doravine-test-locales";
    static const bool built = [&] {
        if (std::filesystem::exists(folder / "pl_PL.UTF-8"))
            return true;
        std::filesystem::create_directories(folder);
        const std::string command = "localedef -i pl_PL -f UTF-8 '" + (folder / "pl_PL.UTF-8").string() + "' 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }();
    if (!built)
        return false;
    testsupport::setEnvironment("LOCPATH", folder.string());
    return std::setlocale(LC_NUMERIC, "pl_PL.UTF-8") != nullptr;
#endif
}

} // namespace

CCommaLocale::CCommaLocale() : m_previous(std::locale::global(std::locale(std::locale::classic(), new CommaPoint)))
{
    if (setPolishNumbers()) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        m_cLibrary = std::string(text) == "1,5";
    }
}

CCommaLocale::~CCommaLocale()
{
    std::setlocale(LC_NUMERIC, "C");
    std::locale::global(m_previous);
}
