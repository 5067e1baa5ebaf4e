// Arbitrary bytes as a firmware file: the loader must refuse or accept them without reading
// outside the input, and an accepted file must describe an image that fits its area.
#include "files/firmware_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFirmwareFile file;
    uint16_t version = 0;
    uint16_t format = 0;
    std::wstring name;
    const bool loaded = file.loadBytes(data, size, version, name, format);
    if (loaded) {
        if (file.image().size() != CFirmwareFile::kMaxDataLength ||
            file.imageLength() > file.image().size() ||
            file.rowCount() * CFirmwareFile::kRowBytes < file.imageLength() ||
            name.size() > CFirmwareFile::kNameField)
            std::abort();
        (void)file.matchesController(L"DORAVINE");
    } else if (file.isLoaded() || file.lastMessage().empty()) {
        std::abort();
    }
    return 0;
}
