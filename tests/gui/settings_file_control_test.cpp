// A settings file edited in the window: opened (or refused), edited on the map and settings pages
// with the real keys and in-place edits, named with its unsaved mark in the title and the strip,
// saved with Ctrl+S byte for byte, let go only after the Save / Discard / Cancel question, and
// loaded into the virtual controller through the comparison.
#include "gui/pages/compare_dlg.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/shell/bottom_dlg.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/settings_file_control.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/support/qt_app_environment.h"
#include "gui/support/sim_window.h"
#include "operations/diag_threads.h"
#include "support/byte_files.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::readAll;

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

// The window, with or without the virtual controller, and a settings file saved from the
// controller's factory state beside it.
struct CFileWindow : CSimWindow {
    explicit CFileWindow(bool withController)
        : CSimWindow(withController ? SimWindowOptions{} : SimWindowOptions::withoutController())
    {
        CSettingsRecord r = doc->Device().m_settings;
        if (!withController)
            for (int c = 0; c < kMapColumns; ++c)
                r.rpmAxis[c] = 500 + 300 * c;
        r.advanceMap[3][4] = 6.0;
        CSettingsSnapshot snapshot;
        snapshot.initMarker(0x0100);
        snapshot.takeSnapshot(0x0100, 29, r);
        auto bytes = snapshot.fileBytes();
        bytes[kSettingsMarkerSize + settings_layout::kReservedTail] = 0xEE; // a byte nobody owns
        original.assign(bytes.begin(), bytes.end());
        testsupport::writeAll(file, original);
        user.clear();
    }
    CSettingsFileControl& control() { return *frame->settingsFile(); }
    CMapAngleDlg& mapPage() { return *static_cast<CMapAngleDlg*>(frame->view()->tabPage(CDoravineView::TabMap)); }
    CSettingsDlg& settingsPage()
    {
        return *static_cast<CSettingsDlg*>(frame->view()->tabPage(CDoravineView::TabSettings));
    }
    CMapAngle& grid() { return *mapPage().grid(); }
    std::wstring strip() { return frame->view()->bottom()->editedFileText(); }
    double savedDouble(size_t snapshotOffset)
    {
        double v = 0;
        std::memcpy(&v, readAll(file).data() + kSettingsMarkerSize + snapshotOffset, 8);
        return v;
    }
    // One cell up a step with Ctrl+Up, one RPM header typed in place.
    void editMap()
    {
        frame->view()->pageCtrl()->activatePage(CDoravineView::TabMap);
        grid().selectRect({4, 3}, {4, 3});
        QTest::keyClick(&grid(), Qt::Key_Up, Qt::ControlModifier);
        QTest::mouseDClick(&grid(), Qt::LeftButton, Qt::NoModifier, grid().cellRect({2, -1}).center());
        ASSERT_TRUE(grid().isEditing());
        grid().editor()->setText(QStringLiteral("900"));
        QTest::keyClick(grid().editor(), Qt::Key_Return);
    }

    fs::path file = home.path() / "car.settings";
    Bytes original;
};

// Clicks the button of this text in the question about unsaved changes once it is up.
void answerUnsaved(const QString& button)
{
    QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == button)
                return b->click();
        ADD_FAILURE() << "no button " << button.toStdString();
        box->reject();
    });
}

} // namespace

TEST(SettingsFileWindow, EditedOfflineNamedWithItsMarkAndSavedWithCtrlS)
{
    CFileWindow w(false);
    ASSERT_TRUE(w.control().openFile(w.file.wstring()));
    EXPECT_EQ(w.frame->windowTitle(), QStringLiteral("car.settings - Doravine"));
    EXPECT_EQ(w.strip(), L"Plik: car.settings");
    EXPECT_TRUE(w.mapPage().isEnabled()) << "a file is edited without a controller";
    EXPECT_EQ(w.grid().mapEditor().limits().step, 0.6) << "the 60-2 Hall wheel by default";
    EXPECT_EQ(w.settingsPage().stateDisplay()->valueText(), L"Brak w pliku");
    EXPECT_EQ(w.settingsPage().wheelDisplay()->valueText(), L"Brak w pliku");

    w.editMap();
    w.settingsPage().onTpsSpin(-1);
    w.settingsPage().onInputSourceChosen(1);
    EXPECT_EQ(w.frame->windowTitle(), QStringLiteral("car.settings* - Doravine"));
    EXPECT_EQ(w.strip(), L"Plik: car.settings *");
    EXPECT_TRUE(w.user.texts().empty()) << "no BRAK POŁĄCZENIA for a file";
    EXPECT_EQ(readAll(w.file), w.original) << "nothing reaches the disk before Save";

    QTest::keyClick(w.frame.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(w.frame->windowTitle(), QStringLiteral("car.settings - Doravine"));
    using namespace settings_layout;
    EXPECT_DOUBLE_EQ(w.savedDouble(kAdvanceMap + 8 * (3 * kMapColumns + 4)), 6.6);
    EXPECT_EQ(w.savedDouble(kRpmAxis + 16), 900.0);
    EXPECT_DOUBLE_EQ(w.savedDouble(kTpsThreshold), w.doc->Device().m_settings.tpsThreshold + 0.05);
    const Bytes saved = readAll(w.file);
    size_t differing = 0;
    for (size_t i = 0; i < saved.size(); ++i)
        differing += saved[i] != w.original[i];
    EXPECT_DOUBLE_EQ(w.savedDouble(kInputSource), 1.0);
    EXPECT_LE(differing, 32u) << "only the four edited values";
    EXPECT_EQ(saved[kSettingsMarkerSize + kReservedTail], 0xEE);
    // "Zapisz jako domyślną" keeps the file the page shows, not the record of no controller.
    fs::remove(CDoravineDoc::defaultSettingsPath());
    QTest::mouseClick(w.mapPage().saveDefaultButton(), Qt::LeftButton);
    EXPECT_EQ(readAll(CDoravineDoc::defaultSettingsPath()), saved);

    // Another wheel chosen for the file changes its step, and the choice is remembered.
    w.control().setFileWheel(1, 1.0);
    EXPECT_EQ(w.grid().mapEditor().limits().step, 1.0);
    ASSERT_TRUE(w.control().closeFile());
    EXPECT_EQ(w.frame->windowTitle(), QStringLiteral("Doravine"));
    EXPECT_EQ(w.strip(), L"");
    ASSERT_TRUE(w.control().openFile(w.file.wstring()));
    EXPECT_EQ(w.grid().mapEditor().limits().step, 1.0);
}

TEST(SettingsFileWindow, UnsavedChangesAreLetGoOnlyAsTheAnswerSays)
{
    CFileWindow w(false);
    ASSERT_TRUE(w.control().openFile(w.file.wstring()));
    w.settingsPage().onTpsSpin(-1);

    answerUnsaved(QStringLiteral("Anuluj"));
    EXPECT_FALSE(w.control().closeFile());
    EXPECT_TRUE(w.doc->SettingsFile().isOpen());
    answerUnsaved(QStringLiteral("Anuluj"));
    EXPECT_FALSE(w.frame->close()) << "quitting is cancelled too";

    answerUnsaved(QStringLiteral("Nie zapisuj"));
    EXPECT_TRUE(w.control().closeFile());
    EXPECT_EQ(readAll(w.file), w.original);
    EXPECT_EQ(w.settingsPage().stateDisplay()->valueText(), std::wstring(CSettingsDlg::kNoValue))
        << "the controller's record again, which without a controller holds nothing";

    ASSERT_TRUE(w.control().openFile(w.file.wstring()));
    w.settingsPage().onTpsSpin(-1);
    answerUnsaved(QStringLiteral("Zapisz"));
    EXPECT_TRUE(w.frame->close());
    EXPECT_NE(readAll(w.file), w.original);
}

TEST(SettingsFileWindow, ARefusedFileSaysWhyAndChangesNothing)
{
    CFileWindow w(false);
    testsupport::writeAll(w.home.path() / "short.settings", Bytes(kSettingsFileSize - 1, kSettingsMarkerByte));
    EXPECT_FALSE(w.control().openFile((w.home.path() / "short.settings").wstring()));
    EXPECT_EQ(w.user.texts(), std::vector<std::wstring>{L"Niezgodny rozmiar pliku"});
    EXPECT_FALSE(w.doc->SettingsFile().isOpen());
    EXPECT_EQ(w.frame->windowTitle(), QStringLiteral("Doravine"));
    EXPECT_FALSE(w.control().action(CSettingsFileControl::SaveAction)->isEnabled());
}

TEST(SettingsFileWindow, LoadedThroughTheComparisonTheControllerGetsExactlyTheEdits)
{
    CFileWindow w(true);
    ASSERT_TRUE(w.doc->Device().isConnected());
    const auto settings = w.sim->sim().settings();
    const auto axes = w.sim->sim().axes();
    const auto map = w.sim->sim().map();
    ASSERT_TRUE(w.control().openFile(w.file.wstring()));
    // The file's own map is shown and edited while the controller stays as it was.
    w.editMap();
    w.settingsPage().onTpsSpin(-1);
    EXPECT_EQ(w.sim->sim().map(), map);
    EXPECT_EQ(w.sim->sim().axes(), axes);
    const CSettingsRecord edited = w.doc->SettingsFile().record();

    // The unsaved changes are saved on the way; the comparison shows them and goes on to the load.
    answerUnsaved(QStringLiteral("Zapisz"));
    // The comparison comes up after the exchanges that read the file and the controller.
    auto* poll = new QTimer(w.frame.get());
    QObject::connect(poll, &QTimer::timeout, [poll] {
        if (auto* compare = qobject_cast<CCompareDlg*>(QApplication::activeModalWidget())) {
            poll->stop();
            compare->loadButton()->click();
        }
    });
    poll->start(20);
    w.user.answerYes();
    w.control().loadIntoController();
    EXPECT_FALSE(poll->isActive()) << "no comparison was shown";
    poll->stop();
    EXPECT_FALSE(w.doc->SettingsFile().modified());

    CSettingsRecord expected{};
    decodeSettingsBlock(settings.data(), settings.size(), expected);
    decodeMapBlock(map.data(), map.size(), expected);
    decodeAxesBlock(axes.data(), axes.size(), expected);
    expected.tpsThreshold = edited.tpsThreshold;
    expected.inputSource = edited.inputSource;
    std::memcpy(expected.advanceMap, edited.advanceMap, sizeof expected.advanceMap);
    std::memcpy(expected.mapAxis, edited.mapAxis, sizeof expected.mapAxis);
    std::memcpy(expected.rpmAxis, edited.rpmAxis, sizeof expected.rpmAxis);
    EXPECT_EQ(w.sim->sim().map(), encodeMapBlock(expected));
    EXPECT_EQ(w.sim->sim().axes(), encodeAxesBlock(expected));
    EXPECT_EQ(w.sim->sim().settings(), encodeSettingsBlock(expected));
    auto differing = [](const auto& a, const auto& b) {
        size_t n = 0;
        for (size_t i = 0; i < a.size(); ++i)
            n += a[i] != b[i];
        return n;
    };
    // The file was the controller's but for the cell it was saved with: that cell, the edits, nothing else.
    EXPECT_EQ(differing(w.sim->sim().map(), map), 1u);
    EXPECT_EQ(differing(w.sim->sim().axes(), axes), 1u);
    EXPECT_EQ(differing(w.sim->sim().settings(), settings), 1u);
}
