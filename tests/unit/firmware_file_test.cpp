#include "diag/firmware_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A firmware file built the way the maker's tool would write one.
struct FirmwareSpec {
    uint32_t declaredLength = 0;
    std::vector<uint8_t> data;
    uint16_t version = 0x0102;
    uint16_t format = 0x0101;
    std::string name = "DORAVINE";
    bool terminateName = true;
    int checksumAdjust = 0;          // added to the correct checksum
    size_t checksumCount = SIZE_MAX; // data bytes summed; default: declared length mod 65536
};

std::vector<uint8_t> patternData(size_t n, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::vector<uint8_t> data(n);
    for (auto& b : data)
        b = static_cast<uint8_t>(gen());
    return data;
}

std::vector<uint8_t> buildFile(const FirmwareSpec& spec)
{
    uint8_t header[40] = {};
    for (int i = 0; i < 4; ++i)
        header[i] = static_cast<uint8_t>(spec.declaredLength >> (8 * i));
    header[4] = static_cast<uint8_t>(spec.version);
    header[5] = static_cast<uint8_t>(spec.version >> 8);
    header[6] = static_cast<uint8_t>(spec.format);
    header[7] = static_cast<uint8_t>(spec.format >> 8);
    for (int i = 8; i < 19; ++i)
        header[i] = static_cast<uint8_t>(0x30 + i); // bytes without a role still count in the sum
    std::memset(header + 19, spec.terminateName ? 0 : 'X', 19);
    std::memcpy(header + 19, spec.name.data(), std::min<size_t>(spec.name.size(), 19));

    unsigned sum = 0;
    for (int i = 0; i < 38; ++i)
        sum += header[i];
    const size_t counted = spec.checksumCount == SIZE_MAX ? spec.declaredLength % 65536 : spec.checksumCount;
    for (size_t i = 0; i < counted && i < spec.data.size(); ++i)
        sum += spec.data[i];
    const unsigned checksum = (sum + 2 + static_cast<unsigned>(spec.checksumAdjust)) & 0xFFFF;
    header[38] = static_cast<uint8_t>(checksum);
    header[39] = static_cast<uint8_t>(checksum >> 8);

    std::vector<uint8_t> file(40 + spec.data.size());
    std::copy(header, header + 40, file.begin());
    std::copy(spec.data.begin(), spec.data.end(), file.begin() + 40);
    for (auto& b : file)
        b = static_cast<uint8_t>((b << 2) | (b >> 6)); // stored rotated left by two bits
    return file;
}

FirmwareSpec validSpec(size_t length, uint32_t seed = 1)
{
    FirmwareSpec spec;
    spec.declaredLength = static_cast<uint32_t>(length);
    spec.data = patternData(length, seed);
    return spec;
}

class FirmwareFileTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        folder =
            fs::temp_directory_path() / ("doravine-fw-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path write(const std::vector<uint8_t>& bytes, const std::string& fileName = "firmware.afm")
    {
        const fs::path path = folder / fileName;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    bool load(const std::vector<uint8_t>& bytes) { return file.load(write(bytes), version, name, format); }

    fs::path folder;
    CFirmwareFile file;
    uint16_t version = 0;
    std::wstring name;
    uint16_t format = 0;
};

} // namespace

TEST(FirmwareBytes, RotationRestoresEveryByte)
{
    EXPECT_EQ(CFirmwareFile::restoreByte(0x04), 0x01);
    EXPECT_EQ(CFirmwareFile::restoreByte(0x01), 0x40);
    EXPECT_EQ(CFirmwareFile::restoreByte(0x03), 0xC0);
    for (int b = 0; b < 256; ++b)
        ASSERT_EQ(CFirmwareFile::restoreByte(CFirmwareFile::storeByte(static_cast<uint8_t>(b))), b);
}

TEST_F(FirmwareFileTest, LoadsAFileAndBuildsTheImageWithoutTheSixtyBytes)
{
    const FirmwareSpec spec = validSpec(8640);
    ASSERT_TRUE(load(buildFile(spec)));
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
    EXPECT_TRUE(std::equal(spec.data.begin(), spec.data.begin() + 8320, image.begin()));
    EXPECT_TRUE(std::equal(spec.data.begin() + 8380, spec.data.end(), image.begin() + 8320));
    EXPECT_TRUE(std::all_of(image.begin() + 8580, image.end(), [](uint8_t b) { return b == 0; }));

    EXPECT_TRUE(file.matchesController(L"DORAVINE"));
    EXPECT_FALSE(file.matchesController(L"Doravine")) << "the name compares case-sensitively";
    EXPECT_FALSE(file.isOlderThan(0x0102));
    EXPECT_TRUE(file.isOlderThan(0x0103));
}

TEST_F(FirmwareFileTest, LengthRules)
{
    EXPECT_FALSE(load(buildFile(validSpec(8380))));
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::TooShort);
    EXPECT_EQ(file.lastMessage(), L"Nie powiodło się zaprogramowanie urządzenia!");
    EXPECT_FALSE(file.isLoaded());

    ASSERT_TRUE(load(buildFile(validSpec(8381))));
    EXPECT_EQ(file.imageLength(), 8321u);
    EXPECT_EQ(file.rowCount(), 33u);

    ASSERT_TRUE(load(buildFile(validSpec(8508)))); // an image of exactly 33 rows
    EXPECT_EQ(file.rowCount(), 33u);

    ASSERT_TRUE(load(buildFile(validSpec(0x80000))));
    EXPECT_EQ(file.imageLength(), 0x80000u - 60);
    EXPECT_EQ(file.rowCount(), 2048u);

    // 0x80001 bytes on disk, but no more than 0x80000 are ever read.
    EXPECT_FALSE(load(buildFile(validSpec(0x80001))));
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::ShortData);

    FirmwareSpec truncated = validSpec(9000);
    truncated.data.resize(8999);
    EXPECT_FALSE(load(buildFile(truncated)));
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::ShortData);

    FirmwareSpec longer = validSpec(9000);
    auto bytes = buildFile(longer);
    bytes.insert(bytes.end(), 500, 0x5A); // bytes after the declared data are not read
    EXPECT_TRUE(load(bytes));
}

TEST_F(FirmwareFileTest, HeaderProblemsAndMissingFiles)
{
    auto bytes = buildFile(validSpec(9000));
    bytes.resize(39);
    EXPECT_FALSE(load(bytes));
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::ShortHeader);
    EXPECT_FALSE(load({}));
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::ShortHeader);

    EXPECT_FALSE(file.load(folder / "missing.afm", version, name, format));
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::Open);
    EXPECT_FALSE(file.load(folder, version, name, format)) << "a folder is not a firmware file";
}

TEST_F(FirmwareFileTest, ChecksumCoversHeaderAndData)
{
    FirmwareSpec spec = validSpec(9000);
    spec.checksumAdjust = 1;
    EXPECT_FALSE(load(buildFile(spec)));
    EXPECT_EQ(file.failure(), CFirmwareFile::Failure::Checksum);

    auto bytes = buildFile(validSpec(9000));
    bytes[40 + 8999] ^= 0x04; // the last data byte
    EXPECT_FALSE(load(bytes));
    bytes = buildFile(validSpec(9000));
    bytes[10] ^= 0x04; // a header byte without a role of its own
    EXPECT_FALSE(load(bytes));
    bytes = buildFile(validSpec(9000));
    bytes[40 + 8330] ^= 0x04; // a dropped byte is still summed
    EXPECT_FALSE(load(bytes));
}

TEST_F(FirmwareFileTest, ChecksumOverMoreThan65535BytesCountsOnlyLengthModulo65536)
{
    const size_t length = 70000; // 70000 mod 65536 = 4464
    FirmwareSpec spec = validSpec(length);
    spec.checksumCount = 4464;
    auto bytes = buildFile(spec);
    ASSERT_TRUE(load(bytes));
    EXPECT_EQ(file.rowCount(), (length - 60 + 255) / 256);

    bytes[40 + 60000] ^= 0x10; // beyond the summed bytes: still accepted
    EXPECT_TRUE(load(bytes));
    EXPECT_EQ(file.image()[60000 - 60], CFirmwareFile::restoreByte(bytes[40 + 60000]));
    bytes[40 + 4463] ^= 0x10; // the last summed byte
    EXPECT_FALSE(load(bytes));

    spec.checksumCount = length; // a sum over every byte is not what the controller's tool writes
    ASSERT_NE(std::accumulate(spec.data.begin() + 4464, spec.data.end(), 0u) % 65536, 0u);
    EXPECT_FALSE(load(buildFile(spec)));
}

TEST_F(FirmwareFileTest, NamesAndFormatDecideWhetherTheFileFits)
{
    FirmwareSpec other = validSpec(9000);
    other.name = "INNY STEROWNIK";
    ASSERT_TRUE(load(buildFile(other)));
    EXPECT_EQ(name, L"INNY STEROWNIK");
    EXPECT_FALSE(file.matchesController(L"DORAVINE"));

    FirmwareSpec wrongFormat = validSpec(9000);
    wrongFormat.format = 0x0102;
    ASSERT_TRUE(load(buildFile(wrongFormat)));
    EXPECT_EQ(format, 0x0102);
    EXPECT_FALSE(file.matchesController(L"DORAVINE"));

    // A field with no NUL is read as its 19 bytes, never into the checksum after it.
    FirmwareSpec unterminated = validSpec(9000);
    unterminated.name = "DORAVINE";
    unterminated.terminateName = false;
    ASSERT_TRUE(load(buildFile(unterminated)));
    EXPECT_EQ(name, L"DORAVINEXXXXXXXXXXX");
    EXPECT_FALSE(file.nameTerminated());
    EXPECT_FALSE(file.matchesController(L"DORAVINE"));
    EXPECT_FALSE(file.matchesController(name));

    FirmwareSpec polish = validSpec(9000);
    polish.name = "\xA3\xB9\x8C\xEA"; // Ł ą Ś ę in code page 1250
    ASSERT_TRUE(load(buildFile(polish)));
    EXPECT_EQ(name, L"ŁąŚę");
}

TEST_F(FirmwareFileTest, AFailedLoadAfterAGoodOneLeavesNothingLoaded)
{
    ASSERT_TRUE(load(buildFile(validSpec(9000))));
    ASSERT_TRUE(file.matchesController(L"DORAVINE"));
    EXPECT_FALSE(load(buildFile(validSpec(100))));
    EXPECT_FALSE(file.isLoaded());
    EXPECT_FALSE(file.matchesController(L"DORAVINE"));
}
