// The firmware update against the virtual controller's boot loader: a whole update from the menu
// (settings copy, access request, erase and rows, leaving the loader, reconnection), an update
// interrupted at a row, a controller found in its boot loader at start-up, and every refused file.
#include "app/doravine_doc.h"

#include "diag/firmware_file.h"
#include "diag/firmware_update.h"
#include "settings/settings_file.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr size_t kImageStart = 0x3000; // image byte of address 0x1800
constexpr size_t kFullRows = 224;

struct Firmware {
    Bytes image; // the 512 KiB image area the file stands for
    size_t rows = 0;
};

// Writes an .afm file whose program image has `imageLength` bytes, with this identity word.
Firmware writeFirmware(const fs::path& path, uint16_t version, uint8_t type, size_t imageLength,
                       const std::string& name = "DORAVINE", uint16_t format = 0x0101,
                       bool breakChecksum = false)
{
    Firmware fw;
    fw.image.assign(CFirmwareFile::kMaxDataLength, 0);
    for (size_t k = 0; k < imageLength; ++k)
        fw.image[k] = static_cast<uint8_t>((k * 13 + (k >> 8) * 7 + 1) & 0xFF);
    fw.image[kImageStart] = static_cast<uint8_t>(version & 0xFF);
    fw.image[kImageStart + 1] = static_cast<uint8_t>(version >> 8);
    fw.image[kImageStart + 2] = type;
    fw.rows = (imageLength + 255) / 256;

    Bytes data(fw.image.begin(), fw.image.begin() + 8320);
    data.insert(data.end(), 60, 0xEE); // the bytes that never reach the image
    data.insert(data.end(), fw.image.begin() + 8320, fw.image.begin() + static_cast<long>(imageLength));
    const uint32_t length = static_cast<uint32_t>(data.size());

    uint8_t header[40] = {};
    for (int k = 0; k < 4; ++k)
        header[k] = static_cast<uint8_t>(length >> (8 * k));
    header[4] = static_cast<uint8_t>(version & 0xFF);
    header[5] = static_cast<uint8_t>(version >> 8);
    header[6] = static_cast<uint8_t>(format & 0xFF);
    header[7] = static_cast<uint8_t>(format >> 8);
    std::memcpy(header + 19, name.data(), std::min<size_t>(name.size(), 18));
    uint16_t sum = CFirmwareFile::computeChecksum(header, data.data(), data.size());
    if (breakChecksum)
        ++sum;
    header[38] = static_cast<uint8_t>(sum & 0xFF);
    header[39] = static_cast<uint8_t>(sum >> 8);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (uint8_t b : header)
        out.put(static_cast<char>(CFirmwareFile::storeByte(b)));
    for (uint8_t b : data)
        out.put(static_cast<char>(CFirmwareFile::storeByte(b)));
    return fw;
}

// The flash as the rows leave it: three bytes of each program word from the image, the fourth 0.
void expectFlashHolds(const Bytes& flash, const Firmware& fw, size_t rows)
{
    ASSERT_GE(flash.size(), kImageStart + rows * 256);
    for (size_t k = kImageStart; k < kImageStart + rows * 256; ++k) {
        const uint8_t expected = k % 4 == 3 ? 0 : fw.image[k];
        ASSERT_EQ(flash[k], expected) << "image byte 0x" << std::hex << k;
    }
}

std::string describe(const sim::LoggedRequest& r)
{
    char text[16];
    if (r.type == 2 && !r.payload.empty())
        std::snprintf(text, sizeof text, "2/%02X", r.payload[0]);
    else
        std::snprintf(text, sizeof text, "%X", r.type);
    return text;
}

class FirmwareUpdate : public ::testing::Test {
  protected:
    void SetUp() override
    {
        firmwareUpdateTimings() = {0, 0, 0};
        CSimFixture::shortenTimeouts(doc.Device());
    }
    void TearDown() override
    {
        doc.StopLiveSamples();
        threads.joinAll();
        firmwareUpdateTimings() = CFirmwareUpdateTimings{};
        doc.Device().Close();
    }
    void connect()
    {
        doc.Device().Start();
        ASSERT_TRUE(doc.Device().m_connected);
        sim().clearRequests();
        user.clear();
    }
    sim::VirtualController& sim() { return fixture.sim(); }
    fs::path mapData() const { return fixture.home().path() / "Documents" / "Doravine" / "Map data"; }
    fs::path file(const char* name) const { return fixture.home().path() / name; }
    std::vector<std::string> requests()
    {
        std::vector<std::string> out;
        for (const auto& r : sim().requests())
            out.push_back(describe(r));
        return out;
    }
    size_t backups() const
    {
        std::error_code ec;
        if (!fs::exists(mapData(), ec))
            return 0;
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(mapData()), fs::directory_iterator()));
    }

    CSimFixture fixture;
    CRecordingUser user;
    CThreadManager threads;
    CDoravineDoc doc{&threads};
};

TEST_F(FirmwareUpdate, MenuUpdateProgramsEveryRowAndReconnects)
{
    connect();
    doc.ResumeLiveSamples();
    const auto mapBefore = sim().map();
    const Firmware fw = writeFirmware(file("new.afm"), 0x0140, 29, kFullRows * 256);
    user.answerFile(file("new.afm").wstring());
    ASSERT_TRUE(doc.OnDeviceUpdate());

    expectFlashHolds(sim().flashImage(), fw, kFullRows);
    EXPECT_EQ(sim().firmwareVersion(), 0x0140);
    EXPECT_FALSE(sim().inBootloader());
    EXPECT_TRUE(doc.Device().m_connected);
    EXPECT_EQ(doc.Device().m_firmwareVersion, 0x0140);
    EXPECT_TRUE(doc.LiveSamples().running()) << "live samples resume after the update";

    // The settings copy made before programming: the controller's map, the old version.
    const std::wstring backup = doc.LastBackupPath();
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(fs::path(backup).parent_path(), mapData());
    std::ifstream in(fs::path(backup), std::ios::binary);
    const Bytes saved((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(saved.size(), 2247u);
    EXPECT_EQ(saved[15], 0x37);
    EXPECT_EQ(saved[16], 0x01);
    EXPECT_EQ(saved[23 + 8 * 5 + 7], [&] {
        uint64_t bits = std::bit_cast<uint64_t>(mapBefore[5] / 10.0);
        return static_cast<uint8_t>(bits >> 56);
    }());
    EXPECT_EQ(
        user.texts(),
        std::vector<std::wstring>{
            L"Zaprogramowano pomyślnie! Dotychczasowe ustawienia sterownika zapisano w pliku:\n" + backup});
    EXPECT_TRUE(user.questions().empty());

    const auto progress = user.progressReports();
    ASSERT_EQ(progress.size(), kFullRows + 1);
    EXPECT_EQ(progress.front(), std::make_pair(0, 224));
    EXPECT_EQ(progress.back(), std::make_pair(224, 224));
    EXPECT_EQ(user.waitDepth(), 0);

    // The access request brings the application into its loader; 14 blocks erased, 224 rows; no
    // live sample is fetched while programming.
    const auto sent = requests();
    const auto first = std::find(sent.begin(), sent.end(), "2/C4");
    ASSERT_NE(first, sent.end());
    EXPECT_EQ(std::vector<std::string>(first, first + 4),
              (std::vector<std::string>{"2/C4", "F6", "2/C4", "2/C4"}));
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "F9"), 14);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "F7"), 224);
    const auto last = std::find(first, sent.end(), "2/60");
    ASSERT_NE(last, sent.end());
    EXPECT_EQ(*(last + 1), "2/0A");
    EXPECT_EQ(std::count(first, last, "2/06"), 0);
}

TEST_F(FirmwareUpdate, RowThatFailsIsWrittenAgainByTheNextAttempt)
{
    connect();
    const Firmware fw = writeFirmware(file("new.afm"), 0x0141, 29, 60 * 256);
    // Three lost replies in a row in the middle of the rows: that row's three tries all fail.
    const unsigned base = sim().requestCount();
    for (unsigned n = 40; n < 43; ++n)
        sim().addFault(sim::FaultRule{sim::FaultKind::NoReply, sim::FaultWhen::NthRequest, base + n});
    user.answerFile(file("new.afm").wstring());
    ASSERT_TRUE(doc.OnDeviceUpdate());
    expectFlashHolds(sim().flashImage(), fw, 60);
    EXPECT_EQ(sim().firmwareVersion(), 0x0141);

    // The second attempt starts over from the first block.
    std::vector<uint32_t> erased;
    for (const auto& r : sim().requests())
        if (r.type == 0xF9)
            erased.push_back(static_cast<uint32_t>(r.payload[0] | (r.payload[1] << 8)));
    EXPECT_EQ(std::count(erased.begin(), erased.end(), 0x1800u), 2);
    EXPECT_EQ(user.progressReports().back(), std::make_pair(60, 60));
}

TEST_F(FirmwareUpdate, StalledUpdateFailsAndTheNextOneCompletes)
{
    connect();
    const Firmware fw = writeFirmware(file("new.afm"), 0x0142, 29, 50 * 256);
    const unsigned base = sim().requestCount();
    sim().addFault(sim::FaultRule{sim::FaultKind::Stall, sim::FaultWhen::NthRequest, base + 12});
    user.answerFile(file("new.afm").wstring());
    EXPECT_FALSE(doc.OnDeviceUpdate());
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie powiodło się zaprogramowanie urządzenia!"});
    EXPECT_EQ(doc.LastUpdateOutcome(), CFirmwareUpdate::Outcome::Failed);
    EXPECT_TRUE(sim().inBootloader());

    sim().clearFaults();
    sim().resume();
    user.clear();
    user.answerFile(file("new.afm").wstring());
    ASSERT_TRUE(doc.OnDeviceUpdate());
    expectFlashHolds(sim().flashImage(), fw, 50);
    EXPECT_EQ(doc.Device().m_firmwareVersion, 0x0142);
    EXPECT_TRUE(doc.Device().m_connected);
}

TEST_F(FirmwareUpdate, ControllerInItsBootLoaderIsProgrammedWithoutAsking)
{
    const Firmware fw = writeFirmware(file("boot.afm"), 0x0150, 29, 50 * 256);
    sim().enterBootloader(true);
    user.answerFile(file("boot.afm").wstring());
    doc.Device().Start();

    EXPECT_TRUE(doc.Device().m_connected);
    EXPECT_FALSE(sim().inBootloader());
    expectFlashHolds(sim().flashImage(), fw, 50);
    EXPECT_EQ(doc.Device().m_firmwareVersion, 0x0150);
    EXPECT_TRUE(user.questions().empty());
    const auto texts = user.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.front(), L"Sterownik nie jest poprawnie zaprogramowany i wymaga przeprogramowania.");
    EXPECT_EQ(texts.back(), L"Zaprogramowano pomyślnie!");
    const auto sent = requests();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "F6"), 0) << "no access request: it is in its loader";
    EXPECT_EQ(backups(), 0u) << "no settings to copy from a controller without firmware";
    const auto files = user.fileRequests();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension, L"afm");
    EXPECT_EQ(files[0].filter, L"Firmware files (*.afm)|*.afm|");
    EXPECT_FALSE(files[0].save);
    EXPECT_FALSE(doc.LiveSamples().running());
}

TEST_F(FirmwareUpdate, RefusedFilesChangeNothing)
{
    connect();
    const auto flashBefore = sim().flashImage();
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        const wchar_t* message;
    };
    const std::vector<Case> cases = {
        {"name.afm", [](const fs::path& p) { writeFirmware(p, 0x0140, 29, 60 * 256, "DORAVINF"); },
         L"Niewłaściwy plik firmware dla sterownika!"},
        {"format.afm", [](const fs::path& p) { writeFirmware(p, 0x0140, 29, 60 * 256, "DORAVINE", 0x0102); },
         L"Niewłaściwy plik firmware dla sterownika!"},
        {"sum.afm",
         [](const fs::path& p) { writeFirmware(p, 0x0140, 29, 60 * 256, "DORAVINE", 0x0101, true); },
         L"Nie powiodło się zaprogramowanie urządzenia!"},
        {"short.afm", [](const fs::path& p) { writeFirmware(p, 0x0140, 29, 8320); }, // 8380 data bytes
         L"Nie powiodło się zaprogramowanie urządzenia!"},
        {"missing.afm", [](const fs::path&) {}, L"Nie powiodło się zaprogramowanie urządzenia!"},
    };
    for (const Case& c : cases) {
        c.make(file(c.name));
        user.clear();
        user.answerFile(file(c.name).wstring());
        EXPECT_FALSE(doc.OnDeviceUpdate()) << c.name;
        EXPECT_EQ(user.texts(), std::vector<std::wstring>{c.message}) << c.name;
        EXPECT_EQ(doc.LastUpdateOutcome(), CFirmwareUpdate::Outcome::FileRefused) << c.name;
        EXPECT_EQ(user.waitDepth(), 0);
    }
    // An older file, declined: nothing said beyond the question.
    writeFirmware(file("old.afm"), 0x0100, 29, 60 * 256);
    user.clear();
    user.answerFile(file("old.afm").wstring());
    user.answerNo();
    EXPECT_FALSE(doc.OnDeviceUpdate());
    EXPECT_EQ(user.questions(),
              std::vector<std::wstring>{L"Wersja sterownika jest nowsza niż wersja pliku "
                                        L"firmware.\nCzy chcesz zaprogramować sterownik starszą "
                                        L"wersją?"});
    EXPECT_TRUE(user.texts().empty());
    // Cancelled dialog: nothing at all.
    user.clear();
    EXPECT_FALSE(doc.OnDeviceUpdate());
    EXPECT_TRUE(user.messages().empty());

    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(sim().flashImage(), flashBefore);
    EXPECT_EQ(backups(), 0u);
}

TEST_F(FirmwareUpdate, NoControllerNoDialog)
{
    // Never identified: no controller type to program.
    EXPECT_FALSE(doc.ProgramFirmwareFromFile(false));
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie powiodło się zaprogramowanie urządzenia!"});
    EXPECT_TRUE(user.fileRequests().empty());
}

TEST_F(FirmwareUpdate, LinkErrorIsShownWithTheHandler)
{
    connect();
    writeFirmware(file("new.afm"), 0x0140, 29, 60 * 256);
    user.answerFile(file("new.afm").wstring());
    sim().hangUp();
    EXPECT_FALSE(doc.OnDeviceUpdate());
    const auto texts = user.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(L"CDoravineDoc::OnDeviceUpdate()\n", 0), 0u);
    EXPECT_EQ(user.waitDepth(), 0);
}

} // namespace
