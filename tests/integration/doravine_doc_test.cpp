// The document's settings operations against the virtual controller: saving and loading settings
// files, the default file and the factory reset, checked by the frames the controller receives, its
// stored blocks, the files byte for byte, the messages and the page refreshes asked for.
#include "operations/doravine_doc.h"

#include "device/thread_manager.h"
#include "files/settings_file.h"
#include "support/byte_files.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::readAll;

namespace {

class CViewRecorder : public IDocumentViews {
  public:
    void refreshSettingsPage(int wheelType) override
    {
        calls.push_back("settings:" + std::to_string(wheelType));
    }
    void refillMapGrid() override { calls.push_back("grid"); }
    void activateMapPage() override { calls.push_back("map"); }
    void activateDevicePage() override { calls.push_back("device"); }
    void activateSignalPage() override { calls.push_back("signal"); }
    std::vector<std::string> calls;
};

const std::vector<std::string> kAllPagesRefreshed = {"settings:0", "grid", "device"};

class DocSettings : public ::testing::Test {
  protected:
    void SetUp() override { connect(); }
    void TearDown() override { doc.Device().Close(); }

    void connect()
    {
        CSimFixture::shortenTimeouts(doc.Device());
        doc.Device().Start();
        ASSERT_TRUE(doc.Device().m_connected);
        doc.SetViews(&views);
        sim().clearRequests();
        user.clear();
    }
    sim::VirtualController& sim() { return fixture.sim(); }
    fs::path mapData() const { return fixture.home().path() / "Documents" / "Doravine" / "Map data"; }
    std::vector<std::string> requests() { return testsupport::requestNames(sim()); }
    // Answers Yes to the question and offers this file; returns what the load reports.
    CDoravineDoc::LoadResult load(const fs::path& path)
    {
        user.answerYes();
        user.answerFile(path.wstring());
        return doc.LoadSettingsFromFile();
    }
    // A settings file of the current record with some changes, cell 0 of the map at 7.0.
    fs::path settingsFile(uint8_t deviceType = 29)
    {
        CSettingsRecord record = doc.Device().m_settings;
        record.tpsThreshold = 2.25;
        record.inputSource = 1.0;
        record.wheelType = 6; // not in the file: must not arrive
        for (auto& row : record.advanceMap)
            for (double& c : row)
                c = 3.0;
        record.advanceMap[0][0] = 7.0;
        for (int j = 0; j < kMapRows; ++j)
            record.mapAxis[j] = 0.5 + 0.25 * j;
        for (int i = 0; i < kMapColumns; ++i)
            record.rpmAxis[i] = 1000.0 + 200 * i;
        CSettingsSnapshot snapshot;
        snapshot.initMarker(0x0101);
        snapshot.takeSnapshot(0x0101, deviceType, record);
        const fs::path path = fixture.home().path() / ("in" + std::to_string(deviceType) + ".settings");
        const auto bytes = snapshot.fileBytes();
        testsupport::writeAll(path, Bytes(bytes.begin(), bytes.end()));
        return path;
    }

    CSimFixture fixture;
    CRecordingUser user;
    CViewRecorder views;
    CDoravineDoc doc;
};

// The file's bytes themselves are the settings file's own tests; here: the controller's record,
// version and type, with nothing sent.
TEST_F(DocSettings, SaveWritesTheControllersSettingsByteForByte)
{
    const fs::path path = fixture.home().path() / "saved.settings";
    user.answerFile(path.wstring());
    ASSERT_TRUE(doc.SaveSettingsToFile());
    EXPECT_TRUE(user.messages().empty());
    EXPECT_TRUE(requests().empty()) << "saving only reads the record";

    CSettingsRecord controller = doc.Device().m_settings;
    const auto map = sim().map();
    decodeMapBlock(map.data(), map.size(), controller);
    CSettingsSnapshot expected;
    expected.initMarker(sim().firmwareVersion());
    expected.takeSnapshot(sim().firmwareVersion(), 29, controller);
    const auto bytes = expected.fileBytes();
    EXPECT_EQ(readAll(path), Bytes(bytes.begin(), bytes.end()));
}

TEST_F(DocSettings, LoadSendsEverythingInOrderAndSnapsToTheWheelStep)
{
    ASSERT_EQ(doc.Device().m_settings.workState, kWorkStateNormal);
    ASSERT_EQ(doc.Device().m_settings.wheelType, 0.0); // "TYP1: 60-2" Hall: step 0.6
    EXPECT_EQ(load(settingsFile()), CDoravineDoc::LoadResult::Loaded);
    EXPECT_TRUE(user.messages().empty());
    EXPECT_EQ(user.questions(),
              std::vector<std::wstring>{
                  L"Załadowanie ustawień spowoduje zmianę aktualnych ustawień. Czy kontynuować?"});

    // Every block is read back before it counts as written.
    EXPECT_EQ(requests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E", "B", "2/11", "9", "2/0E", "2/0F",
                                                    "2/0A"}));
    const CSettingsRecord& r = doc.Device().m_settings;
    EXPECT_NEAR(r.advanceMap[0][0], 7.2, 1e-9);
    EXPECT_NEAR(r.advanceMap[0][1], 3.0, 1e-9);
    EXPECT_EQ(r.tpsThreshold, 2.25);
    EXPECT_EQ(r.wheelType, 0.0) << "the wheel is not taken from the file";
    EXPECT_EQ(sim().map()[0], 72);
    EXPECT_EQ(sim().savedMap()[0], 72);
    EXPECT_EQ(sim().savedMap()[1], 30);
    const auto axes = sim().axes();
    EXPECT_EQ(axes[32], 10);                  // RPM point 0: 1000 in hundreds
    EXPECT_EQ(axes[0] | (axes[1] << 8), 100); // MAP point 0: 0.5 V in 5 mV counts
    EXPECT_EQ(views.calls, kAllPagesRefreshed);
}

TEST_F(DocSettings, RefusedFilesChangeNothingAndStillRefreshThePages)
{
    const CSettingsRecord before = doc.Device().m_settings;
    const auto mapBefore = sim().map();
    const fs::path path = fixture.home().path() / "bad.settings";
    const Bytes good = readAll(settingsFile());
    Bytes badMarker = good;
    badMarker[7] = 0x00;
    const struct {
        Bytes bytes;
        const wchar_t* message;
    } cases[] = {
        {Bytes(good.begin(), good.end() - 1), L"Niezgodny rozmiar pliku"},
        {badMarker, L"Plik nie zawiera ustawień doravinea"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        testsupport::writeAll(path, c.bytes);
        user.clear();
        views.calls.clear();
        EXPECT_EQ(load(path), CDoravineDoc::LoadResult::FileRefused);
        EXPECT_EQ(user.texts(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(views.calls, kAllPagesRefreshed);
    }
    // Declined question: no file asked for, pages still refreshed.
    user.clear();
    views.calls.clear();
    user.answerNo();
    EXPECT_EQ(doc.LoadSettingsFromFile(), CDoravineDoc::LoadResult::Declined);
    EXPECT_TRUE(user.fileRequests().empty());
    EXPECT_EQ(views.calls, kAllPagesRefreshed);

    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(sim().map(), mapBefore);
    EXPECT_EQ(std::memcmp(&before, &doc.Device().m_settings, sizeof before), 0);
}

TEST_F(DocSettings, FileOfTheRegularFirmwareIsRefusedBySignalFirmware)
{
    const fs::path regular = settingsFile(29);
    sim().setDeviceType(30);
    connect();
    ASSERT_EQ(doc.Device().m_deviceType, 30);
    const CSettingsRecord before = doc.Device().m_settings;
    EXPECT_EQ(load(regular), CDoravineDoc::LoadResult::WrongDevice);
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nieprawidłowy plik"});
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(std::memcmp(&before, &doc.Device().m_settings, sizeof before), 0);
}

TEST_F(DocSettings, RefusedWriteStopsAtTheFirstFailure)
{
    sim().addFault(sim::FaultRule{sim::FaultKind::NoReply, sim::FaultWhen::FrameType, 0, 0x0B});
    EXPECT_EQ(load(settingsFile()), CDoravineDoc::LoadResult::WriteFailed);
    EXPECT_EQ(user.texts(),
              std::vector<std::wstring>{L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!"});
    // Ten attempts of SetMapAxes, nothing after the refusal.
    EXPECT_EQ(requests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E", "B", "B", "B", "B", "B", "B", "B",
                                                    "B", "B", "B"}));
    EXPECT_NEAR(doc.Device().m_settings.advanceMap[0][0], 7.2, 1e-9) << "the record keeps what was loaded";
    // Ten attempts of SetMapAxes, no write after the refusal: the controller's record read back.
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 15u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 12),
              (std::vector<std::string>{"3", "9", "B", "B", "B", "B", "B", "B", "B", "B", "B", "B"}));
    EXPECT_EQ(sent[12], "2/07");
    // What the controller took (settings, map) and not the axes it never got.
    EXPECT_NEAR(doc.Device().m_settings.advanceMap[0][0], 7.2, 1e-9);
    EXPECT_NEAR(doc.Device().m_settings.tpsThreshold, 2.25, 0.01) << "as the controller stores it";
    EXPECT_NE(doc.Device().m_settings.rpmAxis[0], 1000.0) << "the file's axes were never written";
    EXPECT_EQ(views.calls, kAllPagesRefreshed);
}

// The load goes through the device's verified writes: a map damaged past the checksum is written
// again, and one that never reads back right is reported and never saved.
TEST_F(DocSettings, ALoadedMapIsSavedOnlyOnceItReadsBackRight)
{
    sim().addFault(twinFault(9, 1));
    EXPECT_EQ(load(settingsFile()), CDoravineDoc::LoadResult::Loaded);
    EXPECT_EQ(requests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E", "9", "2/0E", "B", "2/11", "9",
                                                    "2/0E", "2/0F", "2/0A"}));
    EXPECT_EQ(sim().savedMap(), encodeMapBlock(doc.Device().m_settings));

    const auto saved = sim().savedMap();
    sim().clearRequests();
    sim().addFault(twinFault(9, 0));
    EXPECT_EQ(load(settingsFile()), CDoravineDoc::LoadResult::WriteFailed);
    EXPECT_EQ(user.texts(),
              std::vector<std::wstring>{L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!"});
    const auto sent = requests();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "2/0F"), 0);
    EXPECT_EQ(sim().savedMap(), saved);
}

TEST_F(DocSettings, LinkErrorIsShownWithTheHandlerAndSkipsTheRefresh)
{
    const fs::path path = settingsFile();
    sim().hangUp();
    EXPECT_EQ(load(path), CDoravineDoc::LoadResult::LinkError);
    const auto texts = user.texts();
    const std::wstring handler = L"CDoravineDoc::OnFileWriteSetings()\n";
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(handler, 0), 0u) << std::string(texts[0].begin(), texts[0].end());
    EXPECT_GT(texts[0].size(), handler.size()) << "the link's own error follows";
    EXPECT_TRUE(views.calls.empty());
}

TEST_F(DocSettings, DefaultSettingsFile)
{
    // No default file: true, nothing sent.
    EXPECT_TRUE(doc.LoadDefaultSettings());
    EXPECT_TRUE(requests().empty());

    ASSERT_TRUE(doc.SaveDefaultSettings());
    const fs::path path = mapData() / "default.settings";
    ASSERT_EQ(fs::file_size(path), 2247u);

    // A default file of another controller type: false, silently, nothing sent, the record kept.
    doc.Device().m_settings.tpsThreshold = 4.5;
    fs::copy_file(settingsFile(30), path, fs::copy_options::overwrite_existing);
    user.clear();
    EXPECT_FALSE(doc.LoadDefaultSettings());
    EXPECT_TRUE(user.messages().empty());
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(doc.Device().m_settings.tpsThreshold, 4.5);

    // A good one: four writes, no reset.
    fs::copy_file(settingsFile(29), path, fs::copy_options::overwrite_existing);
    EXPECT_TRUE(doc.LoadDefaultSettings());
    EXPECT_EQ(requests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E", "B", "2/11", "9", "2/0E", "2/0F"}));
    EXPECT_EQ(sim().savedMap()[0], 72);
    EXPECT_TRUE(views.calls.empty()) << "the caller refreshes";
}

TEST_F(DocSettings, FactoryResetRebuildsAxesAndClearsTheMap)
{
    doc.Device().m_settings.sensorType = 1;
    doc.Device().m_settings.rpmAxis[0] = 1000;
    doc.Device().m_settings.mapAxis[15] = 4.0;
    ASSERT_TRUE(doc.RestoreFactorySettings());
    // What the controller holds: the settings as sent and read back, the axes, an empty map.
    const CSettingsRecord& r = doc.Device().m_settings;
    for (const auto& row : r.advanceMap)
        EXPECT_TRUE(std::all_of(std::begin(row), std::end(row), [](double c) { return c == 0.0; }));
    EXPECT_EQ(r.teethCount, 60.0);
    EXPECT_EQ(r.missingTeeth, 2.0);
    EXPECT_EQ(r.wheelAlgorithm, 5.0);
    EXPECT_EQ(r.workState, 0u);
    EXPECT_EQ(r.sensorType, 1.0) << "sensor type is kept";
    const auto axes = sim().axes();
    EXPECT_EQ(axes[32], 5) << "RPM point 0: 500";
    EXPECT_EQ(axes[32 + 14], 48);
    EXPECT_EQ(axes[30] | (axes[31] << 8), 1030) << "MAP point 15: 5.15 V in 5 mV counts";
    EXPECT_EQ(sim().map(), (std::array<uint8_t, kMapBlockSize>{}));
    EXPECT_EQ(sim().savedMap(), (std::array<uint8_t, kMapBlockSize>{}));
    EXPECT_EQ(requests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E", "2/07", "2/0A", "B", "2/11", "2/10",
                                                    "2/0F"}));
    EXPECT_TRUE(user.messages().empty());
    EXPECT_EQ(views.calls, (std::vector<std::string>{"grid", "map", "settings:0", "device", "signal"}));

    // A settings write left unanswered: false, said once, and the record keeps what it held
    // before, not a reset the controller never made.
    views.calls.clear();
    doc.Device().m_settings.teethCount = 36.0;
    doc.Device().m_settings.workState = kWorkStateNormal;
    sim().addFault(sim::FaultRule{sim::FaultKind::NoReply, sim::FaultWhen::FrameType, 0, 0x03});
    EXPECT_FALSE(doc.RestoreFactorySettings());
    EXPECT_EQ(user.texts(), (std::vector<std::wstring>{L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!"}));
    EXPECT_EQ(doc.Device().m_settings.teethCount, 36.0);
    EXPECT_EQ(doc.Device().m_settings.workState, kWorkStateNormal);
    EXPECT_TRUE(views.calls.empty());
}

} // namespace

// The live thread works on the document's device: it is joined before the device goes, even in
// the middle of a one-second read on a silent line.
TEST(DocLifetime, TheLiveThreadIsJoinedBeforeTheDeviceGoes)
{
    CRecordingUser user;
    CSimFixture fixture;
    const int before = lpgThreadManager().running();
    {
        CDoravineDoc doc;
        doc.Device().Start();
        ASSERT_TRUE(doc.Device().m_connected);
        doc.ResumeLiveSamples();
        for (int i = 0; i < 500 && doc.Device().m_diagData.count() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GT(doc.Device().m_diagData.count(), 0u);
        fixture.sim().addFault(faultRule(sim::FaultKind::Stall));
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // inside a read that gets no answer
    }
    EXPECT_EQ(lpgThreadManager().running(), before);
}

TEST_F(DocSettings, ComparisonListsWhatTheLoadWouldChangeThenGoesOnToIt)
{
    // The lines themselves, snapped as the load snaps, are the diff command's test.
    const CSettingsRecord controller = doc.Device().m_settings;
    const fs::path path = settingsFile();
    user.answerFile(path.wstring());
    const CDoravineDoc::Comparison result = doc.CompareWithFile();
    ASSERT_EQ(result.result, CDoravineDoc::Comparison::Result::Compared);
    EXPECT_EQ(result.path, path.wstring());
    ASSERT_FALSE(result.differences.empty());
    EXPECT_EQ(differenceName(result.differences[0]), "tpsThreshold");
    // Nothing asked, written or refreshed: the record is still the controller's.
    EXPECT_TRUE(user.questions().empty());
    EXPECT_TRUE(user.messages().empty());
    EXPECT_TRUE(requests().empty());
    EXPECT_TRUE(views.calls.empty());
    EXPECT_EQ(std::memcmp(&controller, &doc.Device().m_settings, sizeof controller), 0);

    // The dialog's button: the load of that very file, its question but no file dialog.
    user.clear();
    user.answerYes();
    EXPECT_EQ(doc.LoadSettingsFromFile(path.wstring()), CDoravineDoc::LoadResult::Loaded);
    EXPECT_TRUE(user.fileRequests().empty());
    EXPECT_EQ(user.questions().size(), 1u);
    EXPECT_EQ(sim().savedMap()[0], 72);
    user.answerFile(path.wstring());
    EXPECT_TRUE(doc.CompareWithFile().differences.empty()) << "after the load the file changes nothing";
}
