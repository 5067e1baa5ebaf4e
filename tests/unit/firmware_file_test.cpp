#include "files/firmware_file.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

// A firmware file built the way the maker's tool would write one.
struct FirmwareLayout {
    uint32_t declaredLength = 0;
    std::vector<uint8_t> data;
    uint16_t version = 0x0102;
    uint16_t format = 0x0101;
    std::string name = "DORAVINE";
    bool terminateName = true;
    int checksumAdjust = 0;          // added to the correct checksum
    size_t checksumCount = SIZE_MAX; // data bytes summed; default: declared length mod 65536
};

std::vector<uint8_t> buildFile(const FirmwareLayout& layout)
{
    std::vector<uint8_t> file(40);
    auto little = [&file](size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    little(0, layout.declaredLength, 4);
    little(4, layout.version, 2);
    little(6, layout.format, 2);
    for (int i = 8; i < 19; ++i)
        file[i] = static_cast<uint8_t>(0x30 + i); // bytes without a role still count in the sum
    std::fill(file.begin() + 19, file.begin() + 38, layout.terminateName ? 0 : 'X');
    std::copy_n(layout.name.begin(), std::min<size_t>(layout.name.size(), 19), file.begin() + 19);
    const size_t counted = layout.checksumCount == SIZE_MAX ? layout.declaredLength % 65536 : layout.checksumCount;
    unsigned sum =
        std::accumulate(file.begin(), file.begin() + 38, 0u) +
        std::accumulate(layout.data.begin(), layout.data.begin() + std::min(counted, layout.data.size()), 0u);
    little(38, (sum + 2 + static_cast<unsigned>(layout.checksumAdjust)) & 0xFFFF, 2);
    file.insert(file.end(), layout.data.begin(), layout.data.end());
    for (auto& b : file)
        b = static_cast<uint8_t>((b << 2) | (b >> 6)); // stored rotated left by two bits
    return file;
}

FirmwareLayout validLayout(size_t length)
{
    FirmwareLayout layout;
    layout.declaredLength = static_cast<uint32_t>(length);
    std::mt19937 gen(1);
    for (size_t i = 0; i < length; ++i)
        layout.data.push_back(static_cast<uint8_t>(gen()));
    return layout;
}

class FirmwareFileTest : public CTempFolderTest {
  protected:
    bool load(const std::vector<uint8_t>& bytes)
    {
        put("firmware.afm", std::string(bytes.begin(), bytes.end()));
        return file.load(m_folder / "firmware.afm", version, name, format);
    }

    CFirmwareFile file;
    uint16_t version = 0;
    std::wstring name;
    uint16_t format = 0;
};

} // namespace

// Reading is checked by every load below (buildFile rotates by hand); writing is its inverse.
TEST(FirmwareBytes, StoringIsTheInverseOfRestoring)
{
    for (int b = 0; b < 256; ++b)
        ASSERT_EQ(CFirmwareFile::restoreByte(CFirmwareFile::storeByte(static_cast<uint8_t>(b))), b);
}

TEST_F(FirmwareFileTest, LoadsAFileAndBuildsTheImageWithoutTheSixtyBytes)
{
    const FirmwareLayout layout = validLayout(8640);
    ASSERT_TRUE(load(buildFile(layout)));
    EXPECT_TRUE(file.isLoaded());
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::None);
    EXPECT_TRUE(file.lastMessage().empty());
    EXPECT_EQ(version, 0x0102);
    EXPECT_EQ(format, 0x0101);
    EXPECT_EQ(name, L"DORAVINE");
    EXPECT_EQ(file.imageLength(), 8580u);
    EXPECT_EQ(file.rowCount(), 34u);

    const auto& image = file.image();
    ASSERT_EQ(image.size(), 0x80000u);
    EXPECT_TRUE(std::equal(layout.data.begin(), layout.data.begin() + 8320, image.begin()));
    EXPECT_TRUE(std::equal(layout.data.begin() + 8380, layout.data.end(), image.begin() + 8320));
    EXPECT_TRUE(std::all_of(image.begin() + 8580, image.end(), [](uint8_t b) { return b == 0; }));

    EXPECT_TRUE(file.matchesController(L"DORAVINE"));
    EXPECT_FALSE(file.matchesController(L"Doravine")) << "the name compares case-sensitively";
    EXPECT_FALSE(file.isOlderThan(0x0102));
    EXPECT_TRUE(file.isOlderThan(0x0103));
}

TEST_F(FirmwareFileTest, LengthRules)
{
    using F = CFirmwareFile::Failure;
    const struct {
        size_t length;
        F failure;
        size_t imageLength, rows;
    } cases[] = {
        {8380, F::TooShort, 0, 0},
        {8381, F::None, 8321, 33},
        {8508, F::None, 8448, 33}, // an image of exactly 33 rows
        {0x80000, F::None, 0x80000 - 60, 2048},
        {0x80001, F::ShortData, 0, 0}, // 0x80001 bytes on disk, but no more than 0x80000 are ever read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(load(buildFile(validLayout(c.length))), c.failure == F::None);
        EXPECT_EQ(file.failure(), c.failure);
        EXPECT_EQ(file.isLoaded(), c.failure == F::None);
        if (c.failure == F::None) {
            EXPECT_EQ(file.imageLength(), c.imageLength);
            EXPECT_EQ(file.rowCount(), c.rows);
        }
    }
    EXPECT_FALSE(load(buildFile(validLayout(8380))));
    EXPECT_EQ(file.lastMessage(), L"Nie powiodło się zaprogramowanie urządzenia!");

    FirmwareLayout truncated = validLayout(9000);
    truncated.data.resize(8999);
    EXPECT_FALSE(load(buildFile(truncated)));
    EXPECT_EQ(file.failure(), F::ShortData);
    auto bytes = buildFile(validLayout(9000));
    bytes.insert(bytes.end(), 500, 0x5A); // bytes after the declared data are not read
    EXPECT_TRUE(load(bytes));

    bytes.resize(39);
    EXPECT_FALSE(load(bytes));
    EXPECT_EQ(file.failure(), F::ShortHeader);
    EXPECT_FALSE(load({}));
    EXPECT_EQ(file.failure(), F::ShortHeader);
    EXPECT_FALSE(file.load(m_folder / "missing.afm", version, name, format));
    EXPECT_EQ(file.failure(), F::Open);
    EXPECT_FALSE(file.load(m_folder, version, name, format)) << "a folder is not a firmware file";
}

TEST_F(FirmwareFileTest, ChecksumCoversHeaderAndData)
{
    FirmwareLayout layout = validLayout(9000);
    layout.checksumAdjust = 1;
    EXPECT_FALSE(load(buildFile(layout)));
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::Checksum);
    // The last data byte, a header byte without a role of its own, a dropped byte (still summed).
    for (size_t at : {40u + 8999u, 10u, 40u + 8330u}) {
        auto bytes = buildFile(validLayout(9000));
        bytes[at] ^= 0x04;
        EXPECT_FALSE(load(bytes)) << at;
        EXPECT_EQ(file.failure(), CFirmwareFile::Failure::Checksum) << at;
    }
}

TEST_F(FirmwareFileTest, ChecksumOverMoreThan65535BytesCountsOnlyLengthModulo65536)
{
    const size_t length = 70000; // 70000 mod 65536 = 4464
    FirmwareLayout layout = validLayout(length);
    layout.checksumCount = 4464;
    auto bytes = buildFile(layout);
    ASSERT_TRUE(load(bytes));
    EXPECT_EQ(file.rowCount(), (length - 60 + 255) / 256);

    bytes[40 + 60000] ^= 0x10; // beyond the summed bytes: still accepted
    EXPECT_TRUE(load(bytes));
    EXPECT_EQ(file.image()[60000 - 60], CFirmwareFile::restoreByte(bytes[40 + 60000]));
    bytes[40 + 4463] ^= 0x10; // the last summed byte
    EXPECT_FALSE(load(bytes));

    layout.checksumCount = length; // a sum over every byte is not what the controller's tool writes
    ASSERT_NE(std::accumulate(layout.data.begin() + 4464, layout.data.end(), 0u) % 65536, 0u);
    EXPECT_FALSE(load(buildFile(layout)));
}

TEST_F(FirmwareFileTest, NamesAndFormatDecideWhetherTheFileFits)
{
    const struct {
        std::string name;
        bool terminated;
        uint16_t format;
        std::wstring read;
    } cases[] = {
        {"INNY STEROWNIK", true, 0x0101, L"INNY STEROWNIK"},
        {"DORAVINE", true, 0x0102, L"DORAVINE"},
        // A field with no NUL is read as its 19 bytes, never into the checksum after it.
        {"DORAVINE", false, 0x0101, L"DORAVINEXXXXXXXXXXX"},
        {"\xA3\xB9\x8C\xEA", true, 0x0101, L"ŁąŚę"}, // code page 1250
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareLayout layout = validLayout(9000);
        layout.name = c.name;
        layout.terminateName = c.terminated;
        layout.format = c.format;
        ASSERT_TRUE(load(buildFile(layout)));
        EXPECT_EQ(name, c.read);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(file.nameTerminated(), c.terminated);
        EXPECT_FALSE(file.matchesController(L"DORAVINE"));
        EXPECT_EQ(file.matchesController(name), c.terminated && c.format == 0x0101);
    }
}

TEST_F(FirmwareFileTest, AFailedLoadAfterAGoodOneLeavesNothingLoaded)
{
    ASSERT_TRUE(load(buildFile(validLayout(9000))));
    ASSERT_TRUE(file.matchesController(L"DORAVINE"));
    EXPECT_FALSE(load(buildFile(validLayout(100))));
    EXPECT_FALSE(file.isLoaded());
    EXPECT_FALSE(file.matchesController(L"DORAVINE"));
}
