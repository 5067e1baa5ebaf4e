// Settings files on disk: the exact bytes of a saved file, what a load takes back into the record,
// every refusal with its message. Saves that fail part-way: settings_file_posix_test.cpp.
#include "files/settings_file.h"

#include "platform/folders.h"
#include "support/byte_files.h"
#include "support/file_size_limit.h"
#include "support/recording_user.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

// The eight bytes of a double as the file carries it, written out by hand for these values.
const Bytes kOnePointFive = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};       // 1.5
const Bytes kMinusTwo = {0, 0, 0, 0, 0, 0, 0x00, 0xC0};           // -2.0
const Bytes kSevenTwoHundred = {0, 0, 0, 0, 0, 0x20, 0xBC, 0x40}; // 7200.0
const Bytes kPointTwoFive = {0, 0, 0, 0, 0, 0, 0xD0, 0x3F};       // 0.25

void expectAt(const Bytes& file, size_t offset, const Bytes& expected, const char* what)
{
    ASSERT_LE(offset + expected.size(), file.size()) << what;
    EXPECT_EQ(Bytes(file.begin() + static_cast<long>(offset),
                    file.begin() + static_cast<long>(offset + expected.size())),
              expected)
        << what;
}

Bytes fileOf(const CSettingsSnapshot& snapshot)
{
    const auto bytes = snapshot.fileBytes();
    return Bytes(bytes.begin(), bytes.end());
}

CSettingsRecord sampleRecord()
{
    CSettingsRecord r{};
    r.tpsThreshold = 1.5;
    r.inputSource = -2.0;
    r.wheelType = 3;
    r.teethCount = 30;
    r.missingTeeth = 2;
    r.workState = 173;
    for (int row = 0; row < kMapRows; ++row)
        for (int col = 0; col < kMapColumns; ++col)
            r.advanceMap[row][col] = row + col / 10.0;
    r.advanceMap[1][2] = 0.25;
    for (int j = 0; j < kMapRows; ++j)
        r.mapAxis[j] = 0.25 * j;
    for (int i = 0; i < kMapColumns; ++i)
        r.rpmAxis[i] = 500.0 * (i + 1);
    r.rpmAxis[13] = 7200.0;
    return r;
}

class SettingsFile : public ::testing::Test {
  protected:
    fs::path folder() const { return home.path() / "Documents"; }
    std::wstring wide(const fs::path& p) const { return p.wstring(); }

    CTempHome home;
    CRecordingUser user;
};

TEST_F(SettingsFile, SavedFileHasTheDescribedBytes)
{
    CSettingsSnapshot snapshot;
    snapshot.initMarker(0x0137);
    snapshot.takeSnapshot(0x0137, 29, sampleRecord());
    const fs::path path = folder() / "a.settings";
    ASSERT_TRUE(snapshot.writeFileAt(wide(path)));
    EXPECT_TRUE(user.messages().empty());

    const Bytes file = readAll(path);
    ASSERT_EQ(file.size(), 2247u);
    expectAt(file, 0, Bytes(15, 0x54), "marker");
    expectAt(file, 15, {0x37, 0x01}, "version");
    expectAt(file, 17, {29, 0}, "device type");
    expectAt(file, 19, {0, 0, 0, 0}, "reserved head");
    expectAt(file, 23 + 8 * (1 * 15 + 2), kPointTwoFive, "map row 1 column 2");
    expectAt(file, 23, Bytes(8, 0), "map row 0 column 0 (0.0)");
    expectAt(file, 1943 + 8 * 1, kPointTwoFive, "MAP axis point 1");
    expectAt(file, 2071 + 8 * 13, kSevenTwoHundred, "RPM axis point 13");
    expectAt(file, 2191, kOnePointFive, "TPS threshold");
    expectAt(file, 2199, kMinusTwo, "input source");
    expectAt(file, 2207, Bytes(40, 0), "reserved tail");
    EXPECT_EQ(file, fileOf(snapshot));
}

TEST_F(SettingsFile, LoadTakesMapAxesAndInputsButNotWheelOrIdentity)
{
    CSettingsSnapshot saved;
    saved.initMarker(0x0200);
    saved.takeSnapshot(0x0200, 29, sampleRecord());
    const fs::path path = folder() / "b.settings";
    ASSERT_TRUE(saved.writeFileAt(wide(path)));

    CSettingsSnapshot loaded;
    loaded.initMarker(0x0100);
    ASSERT_TRUE(loaded.readFileAt(wide(path)));
    EXPECT_EQ(loaded.deviceType(), 29);
    EXPECT_EQ(loaded.firmwareVersion(), 0x0200);

    CSettingsRecord record{};
    record.wheelType = 5;
    record.teethCount = 36;
    record.sensorType = 1;
    record.workState = 12; // not normal operation: no snapping
    loaded.applySnapshot(record);
    const CSettingsRecord expected = sampleRecord();
    EXPECT_EQ(record.tpsThreshold, 1.5);
    EXPECT_EQ(record.inputSource, -2.0);
    EXPECT_EQ(record.advanceMap[1][2], 0.25);
    EXPECT_EQ(record.advanceMap[15][14], expected.advanceMap[15][14]);
    EXPECT_EQ(record.mapAxis[15], expected.mapAxis[15]);
    EXPECT_EQ(record.rpmAxis[13], 7200.0);
    EXPECT_EQ(record.wheelType, 5);
    EXPECT_EQ(record.teethCount, 36);
    EXPECT_EQ(record.sensorType, 1);
    EXPECT_EQ(record.workState, 12u);
}

TEST_F(SettingsFile, NormalOperationSnapsTheLoadedMapToTheWheelStep)
{
    CSettingsRecord source{};
    source.advanceMap[0][0] = 7.0;
    source.advanceMap[0][1] = 25.0;
    source.advanceMap[0][2] = -1.0;
    CSettingsSnapshot snapshot;
    snapshot.initMarker(0);
    snapshot.takeSnapshot(0, 29, source);

    CSettingsRecord record{};
    record.wheelType = 0; // "TYP1: 60-2" on a Hall sensor: 0.6 step up to 24.0
    record.sensorType = 0;
    record.workState = 173;
    snapshot.applySnapshot(record);
    EXPECT_NEAR(record.advanceMap[0][0], 7.2, 1e-9);
    EXPECT_EQ(angleToWire(record.advanceMap[0][0]), 72);
    EXPECT_EQ(record.advanceMap[0][1], 24.0);
    EXPECT_EQ(record.advanceMap[0][2], 0.0);
}

TEST_F(SettingsFile, WrongSizeOrMarkerIsRefusedAndLeavesTheData)
{
    CSettingsSnapshot good;
    good.initMarker(1);
    good.takeSnapshot(1, 29, sampleRecord());
    Bytes badMarker = fileOf(good);
    badMarker[7] = 0x53;
    // Files without a marker must be refused for their size, which is looked at first.
    const struct {
        Bytes bytes;
        const wchar_t* message;
    } cases[] = {{Bytes(2246, 0), L"Niezgodny rozmiar pliku"},
                 {Bytes(2248, 0), L"Niezgodny rozmiar pliku"},
                 {Bytes(), L"Niezgodny rozmiar pliku"},
                 {badMarker, L"Plik nie zawiera ustawień doravinea"}};
    const fs::path path = folder() / "bad.settings";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        writeAll(path, c.bytes);
        CSettingsSnapshot snapshot;
        snapshot.initMarker(0);
        snapshot.data().fill(0xA5);
        user.clear();
        user.answerFile(wide(path));
        EXPECT_FALSE(snapshot.readFileWithDialog());
        ASSERT_EQ(user.texts(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(user.messages()[0].icon, MessageIcon::Error);
        EXPECT_TRUE(
            std::all_of(snapshot.data().begin(), snapshot.data().end(), [](uint8_t b) { return b == 0xA5; }));
        user.clear();
        EXPECT_FALSE(snapshot.readFileAt(wide(path)));
        EXPECT_TRUE(user.messages().empty()) << "readFileAt never speaks";
    }
}

TEST_F(SettingsFile, UnreadableChoicesAndTheDialogRequest)
{
    CSettingsSnapshot snapshot;
    snapshot.initMarker(0);
    // Cancelled dialog: nothing said.
    EXPECT_FALSE(snapshot.readFileWithDialog());
    EXPECT_FALSE(snapshot.writeFileWithDialog());
    EXPECT_TRUE(user.messages().empty());
    const auto requests = user.fileRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(requests[0].extension, L"data");
    EXPECT_TRUE(requests[1].save);
    EXPECT_EQ(requests[1].extension, L"settings");
    for (const auto& r : requests) {
        EXPECT_EQ(r.folder, getMapDataFolder());
        EXPECT_EQ(r.filter, L"Settings files (*.settings)|*.settings|");
    }

    for (const fs::path& path : {folder() / "missing.settings", folder()}) {
        user.clear();
        user.answerFile(wide(path));
        EXPECT_FALSE(snapshot.readFileWithDialog());
        EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie można otworzyć wybranego pliku"}) << path;
    }
    user.clear();
    user.answerFile(wide(folder() / "no such folder" / "x.settings"));
    EXPECT_FALSE(snapshot.writeFileWithDialog());
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie można otworzyć wybranego pliku"});
    EXPECT_FALSE(fs::exists(folder() / "no such folder"));
}

TEST_F(SettingsFile, OverwriteAsksAndNoLeavesTheFile)
{
    const fs::path path = folder() / "old.settings";
    writeAll(path, Bytes{1, 2, 3});
    CSettingsSnapshot snapshot;
    snapshot.initMarker(3);
    snapshot.takeSnapshot(3, 30, sampleRecord());

    user.answerNo();
    EXPECT_FALSE(snapshot.writeFileAt(wide(path)));
    EXPECT_EQ(user.questions(), std::vector<std::wstring>{L"Czy chcesz nadpisać wybrany plik?"});
    EXPECT_EQ(readAll(path), (Bytes{1, 2, 3}));

    user.answerYes();
    EXPECT_TRUE(snapshot.writeFileAt(wide(path)));
    EXPECT_EQ(readAll(path), fileOf(snapshot));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1)
        << "no temporary file is left beside it";
}

TEST_F(SettingsFile, FullDeviceIsReportedNotSuccess)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    CSettingsSnapshot snapshot;
    snapshot.initMarker(1);
    user.answerYes();
    EXPECT_FALSE(snapshot.writeFileAt(L"/dev/full"));
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie można zapisać wybranego pliku"});
    EXPECT_TRUE(fs::is_character_file("/dev/full")) << "a device is written in place, never replaced";
}

TEST_F(SettingsFile, WriteCutShortKeepsTheOldFile)
{
    if (!CFileSizeLimit::supported())
        GTEST_SKIP() << "no file-size limit to make a write fail part-way";
    const fs::path path = folder() / "keep.settings";
    const Bytes old(2247, 0x54);
    writeAll(path, old);

    CSettingsSnapshot snapshot;
    snapshot.initMarker(1);
    snapshot.takeSnapshot(1, 29, sampleRecord());
    // A file-size limit below the file's size makes the write fail part-way, as a full disk does.
    user.answerYes();
    bool written = false;
    {
        CFileSizeLimit limit(1000);
        written = snapshot.writeFileAt(wide(path));
    }

    EXPECT_FALSE(written);
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie można zapisać wybranego pliku"});
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1);
}

} // namespace
