// A settings file opened as a document: the load's refusals, a save that keeps every byte it does
// not own, edits that change exactly their own bytes, and saves that fail without harming the file.
#include "files/settings_document.h"

#include "support/byte_files.h"
#include "support/file_size_limit.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

// A valid file whose identity, reserved bytes and values are all different noise, so that any
// byte a save rewrites from scratch shows.
Bytes noisyFile()
{
    Bytes bytes(kSettingsFileSize);
    uint32_t x = 2463534242u;
    for (uint8_t& b : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    std::fill_n(bytes.begin(), kSettingsMarkerSize, kSettingsMarkerByte);
    return bytes;
}

double doubleAt(const Bytes& file, size_t snapshotOffset)
{
    double value = 0;
    std::memcpy(&value, file.data() + kSettingsMarkerSize + snapshotOffset, 8);
    return value;
}

class SettingsDocument : public CTempFolderTest {
  protected:
    std::wstring withFile(const std::string& name, const Bytes& bytes)
    {
        writeAll(m_folder / name, bytes);
        return path(name);
    }
    CSettingsDocument doc;
};

TEST_F(SettingsDocument, RefusesWhatTheLoadRefusesAndKeepsTheOpenFile)
{
    const std::wstring good = withFile("good.settings", noisyFile());
    ASSERT_EQ(doc.open(good), nullptr);
    doc.record().tpsThreshold = 3.25;
    doc.markModified();

    Bytes wrongMarker = noisyFile();
    wrongMarker[7] = 'U';
    const struct {
        std::string name;
        Bytes bytes;
        std::wstring message;
    } cases[] = {
        {"short.settings", Bytes(kSettingsFileSize - 1, kSettingsMarkerByte), L"Niezgodny rozmiar pliku"},
        {"long.settings", Bytes(kSettingsFileSize + 1, kSettingsMarkerByte), L"Niezgodny rozmiar pliku"},
        {"marker.settings", wrongMarker, L"Plik nie zawiera ustawień doravinea"},
    };
    for (const auto& c : cases) {
        const wchar_t* refusal = doc.open(withFile(c.name, c.bytes));
        ASSERT_NE(refusal, nullptr) << c.name;
        EXPECT_EQ(std::wstring(refusal), c.message) << c.name;
    }
    EXPECT_EQ(std::wstring(doc.open(path("missing.settings"))), L"Nie można otworzyć wybranego pliku");
    EXPECT_EQ(doc.path(), good);
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(doc.record().tpsThreshold, 3.25);
}

TEST_F(SettingsDocument, UneditedSaveIsByteIdenticalAndEditsChangeOnlyTheirBytes)
{
    const Bytes original = noisyFile();
    const std::wstring file = withFile("a.settings", original);
    ASSERT_EQ(doc.open(file), nullptr);
    ASSERT_EQ(doc.saveTo(path("copy.settings")), nullptr);
    EXPECT_EQ(readAll(m_folder / "copy.settings"), original);
    EXPECT_EQ(doc.path(), path("copy.settings")) << "save as names the new file";

    doc.record().advanceMap[2][3] = 8.4;
    doc.record().rpmAxis[4] = 1900;
    doc.record().tpsThreshold = 1.5;
    doc.markModified();
    ASSERT_EQ(doc.saveTo(), nullptr);
    EXPECT_FALSE(doc.modified());
    const Bytes saved = readAll(m_folder / "copy.settings");
    ASSERT_EQ(saved.size(), original.size());
    using namespace settings_layout;
    const size_t edited[] = {kAdvanceMap + 8 * (2 * kMapColumns + 3), kRpmAxis + 8 * 4, kTpsThreshold};
    EXPECT_EQ(doubleAt(saved, edited[0]), 8.4);
    EXPECT_EQ(doubleAt(saved, edited[1]), 1900.0);
    EXPECT_EQ(doubleAt(saved, edited[2]), 1.5);
    for (size_t i = 0; i < saved.size(); ++i) {
        const size_t at = i - kSettingsMarkerSize;
        const bool own = i >= kSettingsMarkerSize &&
                         std::any_of(std::begin(edited), std::end(edited), [&](size_t e) { return at - e < 8; });
        if (!own) {
            ASSERT_EQ(saved[i], original[i]) << "byte " << i << " is not one of the edited fields";
        }
    }
    EXPECT_EQ(readAll(m_folder / "a.settings"), original) << "the file opened first is not touched";
}

TEST_F(SettingsDocument, FailedSavesLeaveTheOldFileAndNothingBeside)
{
    const Bytes original = noisyFile();
    ASSERT_EQ(doc.open(withFile("a.settings", original)), nullptr);
    doc.record().inputSource = 1;
    doc.markModified();

    EXPECT_EQ(std::wstring(doc.saveTo(path("no such folder/b.settings"))), L"Nie można otworzyć wybranego pliku");
    // A folder in the way: everything is written, the rename fails.
    fs::create_directory(m_folder / "dir.settings");
    writeAll(m_folder / "dir.settings" / "inside", Bytes{1});
    EXPECT_EQ(std::wstring(doc.saveTo(path("dir.settings"))), L"Nie można zapisać wybranego pliku");
    if (CFileSizeLimit::supported()) {
        CFileSizeLimit limit(1000);
        EXPECT_EQ(std::wstring(doc.saveTo()), L"Nie można zapisać wybranego pliku") << "a disk that fills up";
    }
    EXPECT_EQ(readAll(m_folder / "a.settings"), original);
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(doc.path(), path("a.settings"));
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(m_folder))
        entries += e.path().filename().string().find(".tmp") == std::string::npos ? 1 : 100;
    EXPECT_EQ(entries, 2u) << "a temporary file was left beside";
}

} // namespace
