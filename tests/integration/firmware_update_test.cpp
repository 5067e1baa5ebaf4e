// The firmware update against the virtual controller's boot loader: a whole update from the menu,
// an update interrupted at a row or stalled, a controller found in its boot loader at start-up,
// and every refused file.
#include "operations/doravine_doc.h"

#include "device/connection_watchdog.h"
#include "files/firmware_file.h"
#include "operations/firmware_update.h"
#include "support/byte_files.h"
#include "support/firmware_files.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::FirmwareOptions;
using testsupport::writeFirmware;

namespace {

constexpr size_t kImageStart = testsupport::kFirmwareImageStart;
constexpr size_t kFullRows = 224;

// The flash as the rows leave it: three bytes of each program word from the image, the fourth 0.
void expectFlashHolds(const Bytes& flash, const Bytes& image, size_t rows)
{
    ASSERT_GE(flash.size(), kImageStart + rows * 256);
    for (size_t k = kImageStart; k < kImageStart + rows * 256; ++k)
        ASSERT_EQ(flash[k], k % 4 == 3 ? 0 : image[k]) << "image byte 0x" << std::hex << k;
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
    // Writes the file and answers the file dialog with it.
    Bytes offer(const char* name, const FirmwareOptions& o = {})
    {
        const fs::path path = fixture.home().path() / name;
        Bytes image = writeFirmware(path, o);
        user.answerFile(path.wstring());
        return image;
    }
    sim::VirtualController& sim() { return fixture.sim(); }
    fs::path mapData() const { return fixture.home().path() / "Documents" / "Doravine" / "Map data"; }
    size_t count(const std::string& request)
    {
        const auto sent = testsupport::requestNames(sim());
        return static_cast<size_t>(std::count(sent.begin(), sent.end(), request));
    }
    size_t backups() const
    {
        std::error_code ec;
        return fs::exists(mapData(), ec)
                   ? static_cast<size_t>(std::distance(fs::directory_iterator(mapData()), {}))
                   : 0;
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
    const Bytes image = offer("new.afm", {.rows = kFullRows});
    ASSERT_TRUE(doc.OnDeviceUpdate());

    expectFlashHolds(sim().flashImage(), image, kFullRows);
    EXPECT_EQ(sim().firmwareVersion(), 0x0140);
    EXPECT_FALSE(sim().inBootloader());
    EXPECT_TRUE(doc.Device().m_connected);
    EXPECT_EQ(doc.Device().m_firmwareVersion, 0x0140);
    EXPECT_TRUE(doc.LiveSamples().running()) << "live samples resume after the update";

    // The settings copy made before programming: the controller's map, the old version.
    const std::wstring backup = doc.LastBackupPath();
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(fs::path(backup).parent_path(), mapData());
    const Bytes saved = testsupport::readAll(backup);
    ASSERT_EQ(saved.size(), 2247u);
    EXPECT_EQ(saved[15], 0x37);
    EXPECT_EQ(saved[16], 0x01);
    EXPECT_EQ(saved[23 + 8 * 5 + 7], std::bit_cast<uint64_t>(mapBefore[5] / 10.0) >> 56);
    EXPECT_EQ(
        user.texts(),
        std::vector<std::wstring>{
            L"Zaprogramowano pomyślnie!\nDotychczasowe ustawienia sterownika zapisano w pliku: " + backup});
    EXPECT_TRUE(user.questions().empty());
    const auto progress = user.progressReports();
    ASSERT_EQ(progress.size(), kFullRows + 1);
    EXPECT_EQ(progress.front(), std::make_pair(0, 224));
    EXPECT_EQ(progress.back(), std::make_pair(224, 224));
    EXPECT_EQ(user.waitDepth(), 0);

    // The access request brings the application into its loader; 14 blocks erased, 224 rows; no
    // live sample is fetched while programming.
    const auto sent = testsupport::requestNames(sim());
    const auto first = std::find(sent.begin(), sent.end(), "2/C4");
    ASSERT_NE(first, sent.end());
    EXPECT_EQ(std::vector<std::string>(first, first + 4),
              (std::vector<std::string>{"2/C4", "F6", "2/C4", "2/C4"}));
    EXPECT_EQ(count("F9"), 14u);
    EXPECT_EQ(count("F7"), 224u);
    const auto last = std::find(first, sent.end(), "2/60");
    ASSERT_NE(last, sent.end());
    EXPECT_EQ(*(last + 1), "2/0A");
    EXPECT_EQ(std::count(first, last, "2/06"), 0);
}

TEST_F(FirmwareUpdate, RowThatFailsIsWrittenAgainByTheNextAttempt)
{
    connect();
    const Bytes image = offer("new.afm", {.version = 0x0141});
    // Three lost replies in a row in the middle of the rows: that row's three tries all fail.
    for (unsigned n = sim().requestCount() + 40, end = n + 3; n < end; ++n)
        sim().addFault({sim::FaultKind::NoReply, sim::FaultWhen::NthRequest, n});
    ASSERT_TRUE(doc.OnDeviceUpdate());
    expectFlashHolds(sim().flashImage(), image, 60);
    EXPECT_EQ(sim().firmwareVersion(), 0x0141);
    // The second attempt starts over from the first block.
    size_t firstBlockErased = 0;
    for (const auto& r : sim().requests())
        firstBlockErased += r.type == 0xF9 && (r.payload[0] | (r.payload[1] << 8)) == 0x1800;
    EXPECT_EQ(firstBlockErased, 2u);
    EXPECT_EQ(user.progressReports().back(), std::make_pair(60, 60));
}

TEST_F(FirmwareUpdate, TenAttemptsAndNoEleventh)
{
    connect();
    auto eraseRequests = [this] {
        size_t n = 0;
        for (const auto& r : sim().requests())
            n += r.type == 0xF9;
        return n;
    };
    // Each attempt fails at its first erase once the three tries of it go unanswered.
    sim::FaultRule lostErase{sim::FaultKind::NoReply, sim::FaultWhen::FrameType, 0, 0xF9};
    lostErase.times = 9 * 3;
    sim().addFault(lostErase);
    const Bytes image = offer("new.afm", {.version = 0x0141});
    ASSERT_TRUE(doc.OnDeviceUpdate()) << "the tenth attempt programs";
    expectFlashHolds(sim().flashImage(), image, 60);

    sim().clearFaults();
    sim().clearRequests();
    lostErase.times = 11 * 3;
    sim().addFault(lostErase);
    offer("newer.afm", {.version = 0x0142});
    EXPECT_FALSE(doc.OnDeviceUpdate());
    EXPECT_EQ(eraseRequests(), 10u * 3);
}

TEST_F(FirmwareUpdate, StalledUpdateFailsAndTheNextOneCompletes)
{
    connect();
    sim().addFault({sim::FaultKind::Stall, sim::FaultWhen::NthRequest, sim().requestCount() + 12});
    offer("new.afm", {.version = 0x0142, .rows = 50});
    EXPECT_FALSE(doc.OnDeviceUpdate());
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie powiodło się zaprogramowanie urządzenia!"});
    EXPECT_EQ(doc.LastUpdateOutcome(), CFirmwareUpdate::Outcome::Failed);
    EXPECT_TRUE(sim().inBootloader());

    sim().clearFaults();
    sim().resume();
    user.clear();
    const Bytes image = offer("new.afm", {.version = 0x0142, .rows = 50});
    ASSERT_TRUE(doc.OnDeviceUpdate());
    expectFlashHolds(sim().flashImage(), image, 50);
    EXPECT_EQ(doc.Device().m_firmwareVersion, 0x0142);
    EXPECT_TRUE(doc.Device().m_connected);
}

TEST_F(FirmwareUpdate, ControllerInItsBootLoaderIsProgrammedWithoutAsking)
{
    const Bytes image = offer("boot.afm", {.version = 0x0150, .rows = 50});
    sim().enterBootloader(true);
    doc.Device().Start();

    EXPECT_TRUE(doc.Device().m_connected);
    EXPECT_FALSE(sim().inBootloader());
    expectFlashHolds(sim().flashImage(), image, 50);
    EXPECT_EQ(doc.Device().m_firmwareVersion, 0x0150);
    EXPECT_TRUE(user.questions().empty());
    EXPECT_EQ(count("F6"), 0u) << "no access request: it is in its loader";
    EXPECT_EQ(backups(), 0u) << "no settings to copy from a controller without firmware";
    const auto files = user.fileRequests();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension, L"afm");
    EXPECT_EQ(files[0].filter, L"Firmware files (*.afm)|*.afm|");
    EXPECT_FALSE(files[0].save);
    EXPECT_FALSE(doc.LiveSamples().running());
}

// An image that never starts leaves the controller in its boot loader: the update fails at its
// reconnection instead of programming it again, and the next scan may try once more.
TEST_F(FirmwareUpdate, ImageThatStaysInTheBootLoaderIsProgrammedOncePerScan)
{
    const fs::path file = fixture.home().path() / "fw.afm";
    sim().enterBootloader(true);
    offer("fw.afm", {.version = 0x0150, .identityType = 0});
    user.answerFile(file.wstring()); // the same file again, were it asked for
    resetLastBootloaderUpdateOutcome();
    doc.Device().Start();
    EXPECT_EQ(lastBootloaderUpdateOutcome(), CFirmwareUpdate::Outcome::NotReconnected);
    EXPECT_EQ(count("F7"), 60u);
    EXPECT_EQ(user.fileRequests().size(), 1u);
    EXPECT_FALSE(doc.Device().m_connected);
    EXPECT_EQ(user.texts().back(), L"Nie powiodło się zaprogramowanie urządzenia!");

    writeFirmware(file, {.version = 0x0150});
    sim().clearRequests();
    doc.Device().Start();
    EXPECT_TRUE(doc.Device().m_connected);
    EXPECT_EQ(count("F7"), 60u);
}

TEST_F(FirmwareUpdate, RefusedFilesChangeNothing)
{
    // The file's own rules (length, format) are the firmware file's tests; here each message.
    // Never identified: no controller type to program, so no dialog either.
    EXPECT_FALSE(doc.ProgramFirmwareFromFile(false));
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie powiodło się zaprogramowanie urządzenia!"});
    EXPECT_TRUE(user.fileRequests().empty());

    connect();
    const auto flashBefore = sim().flashImage();
    const std::wstring wrongFile = L"Niewłaściwy plik firmware dla sterownika!";
    const std::wstring failed = L"Nie powiodło się zaprogramowanie urządzenia!";
    const struct {
        const char* file;
        FirmwareOptions options;
        const std::wstring& message;
    } cases[] = {
        {"name.afm", {.name = "DORAVINF"}, wrongFile},
        {"sum.afm", {.breakChecksum = true}, failed},
        {"missing.afm", {}, failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        user.clear();
        if (std::string(c.file) == "missing.afm")
            user.answerFile((fixture.home().path() / c.file).wstring());
        else
            offer(c.file, c.options);
        EXPECT_FALSE(doc.OnDeviceUpdate());
        EXPECT_EQ(user.texts(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(doc.LastUpdateOutcome(), CFirmwareUpdate::Outcome::FileRefused);
        EXPECT_EQ(user.waitDepth(), 0);
    }
    // An older file, declined: nothing said beyond the question.
    user.clear();
    offer("old.afm", {.version = 0x0100});
    user.answerNo();
    EXPECT_FALSE(doc.OnDeviceUpdate());
    EXPECT_EQ(user.questions(), std::vector<std::wstring>{L"Wersja sterownika jest nowsza niż wersja pliku "
                                                          L"firmware.\nCzy chcesz zaprogramować sterownik "
                                                          L"starszą wersją?"});
    EXPECT_TRUE(user.texts().empty());
    // Cancelled dialog: nothing at all.
    user.clear();
    EXPECT_FALSE(doc.OnDeviceUpdate());
    EXPECT_TRUE(user.messages().empty());

    EXPECT_TRUE(sim().requests().empty());
    EXPECT_EQ(sim().flashImage(), flashBefore);
    EXPECT_EQ(backups(), 0u);
}

TEST_F(FirmwareUpdate, LinkErrorIsShownWithTheHandler)
{
    connect();
    offer("new.afm");
    sim().hangUp();
    EXPECT_FALSE(doc.OnDeviceUpdate());
    const auto texts = user.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(L"CDoravineDoc::OnDeviceUpdate()\n", 0), 0u);
    EXPECT_EQ(user.waitDepth(), 0);
}

} // namespace

// A controller whose boot loader never answers: the update fails, and the program is back to
// watching the link (timer running, the connected flag down) until the watchdog finds the
// controller again and the live samples resume.
TEST_F(FirmwareUpdate, FailedUpdateReturnsToWatchingAndTheWatchdogReconnects)
{
    doc.Device().Timings().drainQuietMs = 10;
    std::vector<bool> timer;
    doc.LiveSamples().setTimerHook([&](bool run) { timer.push_back(run); });
    connect();
    doc.ResumeLiveSamples();
    sim().addFault({.kind = sim::FaultKind::NoReply, .when = sim::FaultWhen::FrameType, .code = 0xF6});
    sim().addFault({.kind = sim::FaultKind::WrongType, .when = sim::FaultWhen::Command, .code = 0xC4});
    offer("new.afm", {.version = 0x0142, .rows = 50});
    EXPECT_FALSE(doc.OnDeviceUpdate());
    EXPECT_EQ(doc.LastUpdateOutcome(), CFirmwareUpdate::Outcome::Failed);
    EXPECT_FALSE(doc.Device().m_connected);
    EXPECT_EQ(timer, (std::vector<bool>{true, false, true})) << "started, stopped for the update, on again";
    EXPECT_FALSE(doc.LiveSamples().running());

    sim().clearFaults();
    CConnectionWatchdog watchdog(doc.Device(), {nullptr, [&] { doc.ResumeLiveSamples(); }, nullptr});
    // The rescan runs on a thread of its own; the ticks only start it and collect its outcome.
    EXPECT_TRUE(testsupport::waitUntil([&] { return watchdog.tick(), doc.LiveSamples().running(); }));
    EXPECT_TRUE(doc.Device().m_connected);
    EXPECT_TRUE(doc.LiveSamples().running());
    EXPECT_FALSE(sim().inBootloader());
    doc.LiveSamples().setTimerHook({}); // it points at this test's locals
}
