// Feeds arbitrary bytes to the CSV reader as a file's contents and checks what every line
// turns into: no field may keep a character that the rewriting removes or replaces.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/csv_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CCsvFile csv;
    csv.openBytes(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> fields;
    size_t lines = 0;
    while (csv.readLine(fields)) {
        for (const std::string& field : fields) {
            if (field.size() > CCsvFile::kMaxPiece)
                std::abort();
            if (field.find_first_of(";\"\t,\n") != std::string::npos)
                std::abort();
        }
        fields.clear();
        ++lines;
    }
    if (!fields.empty())
        std::abort(); // the end of the file appends nothing
    // Every byte lies in some piece, so there cannot be more pieces than bytes.
    if (lines > size)
        std::abort();
    return 0;
}
