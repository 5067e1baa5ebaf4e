// Whole files as bytes, so that a test compares a file in one expression.
#pragma once

#include "files/signal_file.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
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

} // namespace testsupport
