// Saves of a settings file that fail part-way (a full device, a file-size limit): the failure is
// reported, never taken for success, and the old file stays as it was. Both faults are made with
// POSIX means.
#include "files/settings_file.h"

#include "support/byte_files.h"
#include "support/file_size_limit.h"
#include "support/recording_user.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

class SettingsFileFailure : public ::testing::Test {
  protected:
    fs::path folder() const { return home.path() / "Documents"; }

    CTempHome home;
    CRecordingUser user;
};

TEST_F(SettingsFileFailure, FullDeviceIsReportedNotSuccess)
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

TEST_F(SettingsFileFailure, WriteCutShortKeepsTheOldFile)
{
    const fs::path path = folder() / "keep.settings";
    const Bytes old(2247, 0x54);
    writeAll(path, old);

    CSettingsSnapshot snapshot;
    snapshot.initMarker(1);
    CSettingsRecord record{};
    record.workState = 173;
    snapshot.takeSnapshot(1, 29, record);
    // A file-size limit below the file's size makes the write fail part-way, as a full disk does.
    user.answerYes();
    bool written = false;
    {
        CFileSizeLimit limit(1000);
        written = snapshot.writeFileAt(path.wstring());
    }

    EXPECT_FALSE(written);
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"Nie można zapisać wybranego pliku"});
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1);
}

} // namespace
