// The record in front of the map page: without a controller every edit of the controller's record
// is refused, while an open file takes each kind of edit into its own record, marks itself changed
// and leaves the controller's record alone; closing it hands the pages back to the controller's.
#include "operations/edited_record.h"

#include "device/lpg_device.h"
#include "files/settings_document.h"
#include "operations/map_editor.h"
#include "operations/map_operations.h"
#include "support/byte_files.h"
#include "support/recording_user.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

class EditedRecord : public CTempFolderTest {
  protected:
    void SetUp() override
    {
        CTempFolderTest::SetUp();
        CSettingsRecord record{};
        for (int c = 0; c < kMapColumns; ++c)
            record.rpmAxis[c] = 500 + 300 * c;
        for (int r = 0; r < kMapRows; ++r)
            record.mapAxis[r] = 0.15 + 0.3 * r;
        CSettingsSnapshot snapshot;
        snapshot.initMarker(1);
        snapshot.takeSnapshot(1, 29, record);
        const auto bytes = snapshot.fileBytes();
        testsupport::writeAll(m_folder / "f.settings", testsupport::Bytes(bytes.begin(), bytes.end()));
        device.m_connected = false;
        device.m_settings.advanceMap[1][1] = 5.0;
    }

    CRecordingUser user;
    CLPGDevice device;
    CSettingsDocument file;
    CEditedRecord edited{device, file};
};

TEST_F(EditedRecord, EveryMapEditGoesToTheOpenFileAndNoneToTheController)
{
    CMapEditor editor(edited);
    editor.selection().selectCell({1, 1});
    editor.incrementSelected(0.6);
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{L"BRAK POŁĄCZENIA"});
    EXPECT_EQ(device.m_settings.advanceMap[1][1], 5.0);

    ASSERT_EQ(file.open(path("f.settings")), nullptr);
    editor.recordSwitched();
    EXPECT_FALSE(editor.canUndo());
    const CSettingsRecord controllerBefore = device.m_settings;
    const CSettingsRecord& r = file.record();
    EXPECT_EQ(&edited.record(), &r);

    EXPECT_EQ(editor.getText({1, 1}, L"8,4"), L"8.4");
    EXPECT_TRUE(file.modified());
    EXPECT_EQ(r.advanceMap[1][1], 8.4);
    editor.getText({3, -1}, L"1500");
    EXPECT_EQ(r.rpmAxis[3], 1500);
    editor.selection().selectRect({0, 1}, {2, 1});
    EXPECT_TRUE(editor.interpolate(InterpolationDirection::Rows));
    EXPECT_TRUE(editor.paste(L"3.0"));
    EXPECT_EQ(r.advanceMap[1][2], 3.0);
    EXPECT_TRUE(editor.undo());
    EXPECT_NE(r.advanceMap[1][2], 3.0);
    const CMapState beforeClear = CMapState::of(r);
    EXPECT_TRUE(clearMapStep(edited));
    editor.recordChange(beforeClear);
    EXPECT_EQ(r.advanceMap[1][1], 0.0);
    EXPECT_EQ(editor.cellValue(1, 1), 0.0);
    CAxisDefinition definition{1000, 5000, 0.5, 4.5};
    EXPECT_TRUE(definition.applyDefinition(edited));
    EXPECT_EQ(r.rpmAxis[0], 1000);
    EXPECT_DOUBLE_EQ(r.mapAxis[15], 4.5);

    EXPECT_EQ(user.texts().size(), 1u) << "a file takes edits without a word";
    EXPECT_EQ(CMapState::of(device.m_settings), CMapState::of(controllerBefore));

    file.close();
    editor.recordSwitched();
    EXPECT_EQ(&edited.record(), &device.m_settings);
    EXPECT_EQ(editor.cellValue(1, 1), 5.0);
    EXPECT_FALSE(editor.canUndo()) << "a file's change is never replayed on the controller";
}

} // namespace
