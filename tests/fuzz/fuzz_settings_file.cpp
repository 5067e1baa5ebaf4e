// Arbitrary bytes as a settings file: the reader takes exactly the files of the right size with
// the right marker and leaves its data untouched otherwise; whatever a file holds (NaN, infinity,
// huge values) then travels through the record and the wire encodings the load would send.
#include "files/settings_file.h"
#include "records/settings_record.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// One scratch file per process, removed when the process ends.
struct CScratch {
    std::string path = "/tmp/fuzz_settings_file." + std::to_string(::getpid()) + ".settings";
    ~CScratch() { std::remove(path.c_str()); }
};

const std::string& scratchPath()
{
    static const CScratch scratch;
    return scratch.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream out(scratchPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CSettingsSnapshot snapshot;
    snapshot.initMarker(0x0137);
    const CSettingsSnapshot::Data before = snapshot.data();
    const bool read = snapshot.readFileAt(std::wstring(scratchPath().begin(), scratchPath().end()));

    const bool expected = size == kSettingsFileSize && std::memcmp(data, snapshot.marker().data(), kSettingsMarkerSize) == 0;
    if (read != expected)
        std::abort();
    if (!read) {
        if (snapshot.data() != before)
            std::abort();
        return 0;
    }
    if (std::memcmp(snapshot.data().data(), data + kSettingsMarkerSize, kSettingsSnapshotSize) != 0)
        std::abort();

    // The load applies the file in normal operation (the map snapped to the angle step), then
    // encodes what it sends.
    CSettingsRecord record = demoRecord();
    record.workState = kWorkStateNormal;
    snapshot.applySnapshot(record);
    (void)encodeSettingsBlock(record);
    (void)encodeMapBlock(record);
    (void)encodeAxesBlock(record);
    return 0;
}
