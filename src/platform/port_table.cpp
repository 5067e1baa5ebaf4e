#include "platform/port_table.h"

#include <algorithm>
#include <cstdlib>

namespace porttable {

namespace {

// Orders ttyUSB2 before ttyUSB10: by prefix, then by the number at the end.
bool naturalLess(const std::string& a, const std::string& b)
{
    auto split = [](const std::string& s) {
        size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9')
            --i;
        const std::string digits = s.substr(i);
        return std::make_pair(s.substr(0, i),
                              digits.empty() ? -1L : std::strtol(digits.c_str(), nullptr, 10));
    };
    return split(a) < split(b);
}

} // namespace

// Controllers hang on USB adapters far more often than on anything else, and a silent built-in
// UART costs a whole identification time-out, so the adapters come first.
std::vector<std::string> machinePortOrder(std::vector<std::string> names)
{
    auto rank = [](const std::string& name) {
        if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0)
            return 0;
        return name.rfind("rfcomm", 0) == 0 ? 1 : 2;
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : naturalLess(a, b);
    });
    return names;
}

} // namespace porttable
