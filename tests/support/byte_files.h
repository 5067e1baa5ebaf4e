// Whole files as bytes, and the virtual controller's request log as short names ("B" for a
// type-0x0B frame, "2/0F" for a type-2 command), so that tests compare both in one expression.
#pragma once

#include "files/signal_file.h"
#include "sim/virtual_controller.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

inline Bytes readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writeAll(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A file's whole contents as text, and what a signal file of these records holds, byte for byte.
inline std::string readText(const std::filesystem::path& path)
{
    const Bytes bytes = readAll(path);
    return std::string(bytes.begin(), bytes.end());
}

inline std::string signalFileBytes(const CPulseList& pulses)
{
    std::string out;
    for (size_t i = 0; i < pulses.size(); ++i)
        out += formatSignalLine(i, pulses[i]);
    return out;
}

inline std::vector<std::string> requestNames(const sim::VirtualController& sim)
{
    std::vector<std::string> out;
    for (const auto& r : sim.requests()) {
        char text[16];
        if (r.type == 2 && !r.payload.empty())
            std::snprintf(text, sizeof text, "2/%02X", r.payload[0]);
        else
            std::snprintf(text, sizeof text, "%X", r.type);
        out.emplace_back(text);
    }
    return out;
}

} // namespace testsupport
