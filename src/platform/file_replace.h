// Replacing a file's whole content so that a crash, a full disk or a pulled drive never leaves it
// half written: the new bytes go to a file beside it, reach the disk, and only then take its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class ReplaceResult {
    Replaced,   // the file now holds exactly these bytes
    NotCreated, // no file could be made beside it (no such folder, no right to write there)
    NotWritten, // the bytes did not all reach the disk, or the rename failed
};

// On anything but Replaced the file (or its absence) is as it was and nothing is left beside it.
ReplaceResult replaceFileContents(const std::wstring& path, const uint8_t* data, size_t size);
