#include "support/portable.h"

#include <random>
#include <stdexcept>
#include <system_error>

namespace testsupport {

std::filesystem::path makeTempFolder(const std::string& prefix)
{
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 random(seed());
    const char* const letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    // create_directory answers true only for a folder it made, so two tests never share one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int k = 0; k < 8; ++k)
            name += letters[random() % 36];
        std::error_code error;
        if (std::filesystem::create_directory(base / name, error))
            return base / name;
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

} // namespace testsupport
