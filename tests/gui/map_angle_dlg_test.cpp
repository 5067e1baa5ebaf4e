// The map page offscreen against the virtual controller on a pseudo-terminal: the key table, the
// mouse, in-place edits of cells and headers, undo and redo, paste and copy, the axis definition,
// clear, save as default, the disabled page and the operating point. What matters is checked
// where it ends up: in the controller's map, saved map and axes. The rules behind the edits
// (steps, limits, snapping, breakpoints, history depth, selection moves, the cell of an operating
// point) are said at tests/unit: map_grid_rules, map_history, map_selection, map_model.
#include "base/language.h"
#include "device/lpg_device.h"
#include "files/settings_file.h"
#include "gui/pages/definicja_dlg.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/statics.h"
#include "gui/shell/link_gateway.h"
#include "gui/support/map_page.h"
#include "gui/support/qt_app_environment.h"
#include "operations/doravine_doc.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

const std::wstring kOffline = L"BRAK POŁĄCZENIA";
const std::wstring kMapRefused = L"Nie powiodło się wpisanie ustawień do urządzenia!";

// The page with the controller's cells, axes and frames at hand.
struct CMapPage : CMapPageFixture {
    using CMapPageFixture::CMapPageFixture;

    // The controller's angle of a cell in tenths, as it has it and as it saved it.
    int simCell(int c, int r) { return fixture.sim().map()[static_cast<size_t>(r * kMapColumns + c)]; }
    int savedCell(int c, int r) { return fixture.sim().savedMap()[static_cast<size_t>(r * kMapColumns + c)]; }
    void setSimCell(int c, int r, uint8_t tenths)
    {
        auto map = fixture.sim().map();
        map[static_cast<size_t>(r * kMapColumns + c)] = tenths;
        fixture.sim().setMap(map);
        ASSERT_TRUE(device().GetMap());
        page.v_activate();
    }
    int simRpm(int c) { return fixture.sim().axes()[static_cast<size_t>(32 + c)] * 100; }
    int simMapCounts(int r)
    {
        const auto axes = fixture.sim().axes();
        return axes[static_cast<size_t>(2 * r)] | axes[static_cast<size_t>(2 * r + 1)] << 8;
    }
    size_t framesOfType(uint8_t type)
    {
        size_t n = 0;
        for (const auto& request : fixture.sim().requests())
            n += request.type == type;
        return n;
    }
    // A key pressed on the grid, its write waited for; answers whether the grid took it.
    bool key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        const bool taken = grid().handleKey(&press);
        settle();
        return taken;
    }
    // Until the grid's writes (and a read after a failed one) have ended.
    void settle()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !grid().writing() && !gateway.busy(); }, 10000));
    }
    void click(int c, int r, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(&grid(), Qt::LeftButton, modifiers, grid().cellRect({c, r}).center());
    }
    // An in-place edit ended with Enter: a header opened by a double-click, a data cell by F2 on
    // the selection (a click would collapse it).
    void type(CCellPos cell, const QString& text)
    {
        if (cell.isData())
            QTest::keyClick(&grid(), Qt::Key_F2);
        else
            QTest::mouseDClick(&grid(), Qt::LeftButton, Qt::NoModifier, grid().cellRect(cell).center());
        ASSERT_EQ(grid().editPosition(), cell);
        ASSERT_TRUE(grid().isEditing());
        grid().editor()->setText(text);
        QTest::keyClick(grid().editor(), Qt::Key_Return);
        ASSERT_FALSE(grid().isEditing());
        settle();
    }
    std::optional<CMapRect> selection() { return grid().mapEditor().selection().scan(); }

};

// Runs body on the modal dialog once it is up.
void onDefinitionDialog(const std::function<void(CDefinicjaDlg&)>& body)
{
    QTimer::singleShot(0, [body] {
        auto* dialog = qobject_cast<CDefinicjaDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        body(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

void clickTimes(QToolButton* arrow, int times)
{
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(arrow, Qt::LeftButton);
}

} // namespace

TEST(MapPage, ArrowsMoveAndShiftArrowsResizeAroundTheAnchor)
{
    CMapPage p;
    p.click(0, 15);
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        CMapRect after;
    } steps[] = {
        {Qt::Key_Right, Qt::ControlModifier, {1, 15, 1, 15}}, {Qt::Key_Right, Qt::ShiftModifier, {1, 15, 2, 15}},
        {Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier, {1, 15, 3, 15}},
        {Qt::Key_Left, Qt::ShiftModifier, {1, 15, 2, 15}},  {Qt::Key_Up, Qt::ShiftModifier, {1, 14, 2, 15}},
        {Qt::Key_Up, Qt::NoModifier, {1, 13, 1, 13}},        {Qt::Key_Down, Qt::NoModifier, {1, 14, 1, 14}},
        {Qt::Key_Left, Qt::NoModifier, {0, 14, 0, 14}},
    };
    for (const auto& step : steps) {
        EXPECT_TRUE(p.key(step.key, step.modifiers));
        EXPECT_EQ(p.selection(), step.after);
    }
    // Keys outside the table go on to the page.
    EXPECT_FALSE(p.key(Qt::Key_PageDown));
    EXPECT_FALSE(p.key(Qt::Key_Escape));
    EXPECT_EQ(p.fixture.sim().requests().size(), 0u);
}

TEST(MapPage, MouseSelectsCellsAndRectangles)
{
    CMapPage p;
    p.click(3, 4);
    EXPECT_EQ(p.selection(), (CMapRect{3, 4, 3, 4}));
    p.click(6, 2, Qt::ShiftModifier);
    EXPECT_EQ(p.selection(), (CMapRect{3, 2, 6, 4}));
    EXPECT_EQ(p.grid().mapEditor().selection().anchor(), (CMapCell{3, 4}));

    QTest::mousePress(&p.grid(), Qt::LeftButton, Qt::NoModifier, p.grid().cellRect({10, 12}).center());
    QMouseEvent drag(QEvent::MouseMove, QPointF(p.grid().cellRect({8, 14}).center()),
                     QPointF(p.grid().mapToGlobal(p.grid().cellRect({8, 14}).center())), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&p.grid(), &drag);
    QTest::mouseRelease(&p.grid(), Qt::LeftButton, Qt::NoModifier, p.grid().cellRect({8, 14}).center());
    EXPECT_EQ(p.selection(), (CMapRect{8, 12, 10, 14}));

    // Typing on the selection starts the edit with the typed character.
    p.click(1, 1);
    QTest::keyClick(&p.grid(), Qt::Key_7);
    ASSERT_TRUE(p.grid().isEditing());
    EXPECT_EQ(p.grid().editor()->text(), QStringLiteral("7"));
    EXPECT_EQ(p.grid().editPosition(), (CCellPos{1, 1}));
    QTest::keyClick(p.grid().editor(), Qt::Key_Escape);
    EXPECT_FALSE(p.grid().isEditing());
    EXPECT_EQ(p.fixture.sim().requests().size(), 0u);
}

TEST(MapPage, ATypedValueIsSnappedSetOnTheSelectionAndWritten)
{
    const struct {
        const char* typed;
        int expected; // tenths; -1: unchanged
    } rows[] = {{"12,5", 126}, {"abc", -1}, {"", -1}};
    CMapPage p;
    for (const auto& row : rows) {
        p.click(2, 5);
        p.click(4, 6, Qt::ShiftModifier);
        const int before = p.simCell(3, 6);
        p.fixture.sim().clearRequests();
        p.type({2, 5}, QString::fromLatin1(row.typed));
        const int want = row.expected < 0 ? before : row.expected;
        for (int c = 2; c <= 4; ++c)
            for (int r = 5; r <= 6; ++r)
                EXPECT_EQ(p.savedCell(c, r), row.expected < 0 ? p.simCell(c, r) : want) << row.typed;
        EXPECT_EQ(p.simCell(3, 6), want) << row.typed;
        EXPECT_EQ(p.framesOfType(9), row.expected < 0 ? 0u : 1u) << row.typed;
    }
    EXPECT_TRUE(p.user.texts().empty());
}

TEST(MapPage, HeaderEditsReachTheControllerOnlyWhenTheyChangeIt)
{
    CMapPage p;
    // Factory RPM axis: column 6 is 2300, column 7 2600, column 8 2900.
    const struct {
        CCellPos header;
        const char* typed;
        int rpm;    // the controller's RPM breakpoint of column 7 afterwards
        int counts; // the controller's MAP breakpoint of row 1 afterwards, 5 mV counts
        size_t writes;
    } rows[] = {
        {{7, -1}, "2450,4", 2500, 97, 1}, {{7, -1}, "abc", 2500, 97, 0},
        {{7, -1}, "2500", 2500, 97, 0}, // unchanged: nothing sent
        {{-1, 1}, "0,52", 2500, 104, 1}, {{-1, 1}, "0.5201", 2500, 104, 0}, // the same 5 mV count
    };
    for (const auto& row : rows) {
        p.fixture.sim().clearRequests();
        p.type(row.header, QString::fromLatin1(row.typed));
        EXPECT_EQ(p.simRpm(7), row.rpm) << row.typed;
        EXPECT_EQ(p.simMapCounts(1), row.counts) << row.typed;
        EXPECT_EQ(p.framesOfType(11), row.writes) << row.typed;
    }
    EXPECT_EQ(p.grid().mapEditor().columnHeaderText(7), L"2500");
    EXPECT_EQ(p.grid().mapEditor().rowHeaderText(1), L"0.52");
    EXPECT_TRUE(p.user.texts().empty());
}

// Each change reaches the controller's map (set, then saved: one frame of type 9) and axes.
TEST(MapPage, StepUndoAndRedoKeysReachTheController)
{
    CMapPage p;
    p.setSimCell(9, 9, 100);
    p.click(9, 9);
    const struct {
        Qt::KeyboardModifiers modifiers;
        int key;
        int tenths;
    } steps[] = {{Qt::ControlModifier, Qt::Key_Up, 106},
                 {Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Up, 112},
                 {Qt::ControlModifier, Qt::Key_Down, 106}};
    for (const auto& step : steps) {
        p.fixture.sim().clearRequests();
        EXPECT_TRUE(p.key(step.key, step.modifiers));
        EXPECT_EQ(p.simCell(9, 9), step.tenths);
        EXPECT_EQ(p.savedCell(9, 9), step.tenths);
        EXPECT_EQ(p.grid().mapEditor().cellValue(9, 9), step.tenths / 10.0);
        EXPECT_EQ(p.framesOfType(9), 1u);
    }
    p.type({9, -1}, QStringLiteral("3300"));
    ASSERT_EQ(p.simRpm(9), 3300);

    EXPECT_TRUE(p.key(Qt::Key_Z, Qt::ControlModifier));
    EXPECT_EQ(p.simRpm(9), 3200);
    for (int i = 0; i < 3; ++i)
        p.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(p.savedCell(9, 9), 100);
    EXPECT_FALSE(p.grid().mapEditor().canUndo());
    p.key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(p.savedCell(9, 9), 106);
    p.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(p.savedCell(9, 9), 112);
    EXPECT_TRUE(p.user.texts().empty());
    EXPECT_EQ(p.user.waitDepth(), 0);
}

// Held Ctrl+Up at the controller's real pace: every step shows at once, the steps made while a
// write is on the wire go together in the next one, and the last write carries the latest map.
TEST(MapPage, StepsWhileAWriteIsOnTheWireGoTogetherInTheNext)
{
    CMapPage p;
    p.setSimCell(9, 9, 50);
    p.click(9, 9);
    p.fixture.sim().setPacing(true);
    p.fixture.sim().clearRequests();
    constexpr int kPresses = 12;
    for (int i = 1; i <= kPresses; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier);
        ASSERT_TRUE(p.grid().handleKey(&press));
        EXPECT_EQ(p.grid().mapEditor().cellValue(9, 9), (50 + 6 * i) / 10.0) << "shown at once";
        QTest::qWait(5);
    }
    EXPECT_TRUE(p.grid().mapEditor().unwrittenCell(9, 9)) << "not yet the controller's";
    p.settle();
    EXPECT_EQ(p.savedCell(9, 9), 50 + 6 * kPresses);
    EXPECT_FALSE(p.grid().mapEditor().unwrittenCell(9, 9));
    EXPECT_GE(p.framesOfType(9), 2u);
    EXPECT_LT(p.framesOfType(9), static_cast<size_t>(kPresses)) << "each step queued its own write";
    EXPECT_TRUE(p.user.texts().empty());
}

TEST(MapPage, PasteIsSnappedAndWrittenOnceAndCopyGivesSpreadsheetRows)
{
    CMapPage p;
    p.click(2, 2);
    QApplication::clipboard()->setText(QStringLiteral("1.2\t3\r\n10,8\t0.7\r\n"));
    p.fixture.sim().clearRequests();
    EXPECT_TRUE(p.key(Qt::Key_V, Qt::ControlModifier));
    EXPECT_EQ(p.savedCell(2, 2), 12);
    EXPECT_EQ(p.savedCell(3, 2), 30);
    EXPECT_EQ(p.savedCell(2, 3), 108);
    EXPECT_EQ(p.savedCell(3, 3), 6);
    EXPECT_EQ(p.framesOfType(9), 1u);
    EXPECT_EQ(p.selection(), (CMapRect{2, 2, 3, 3}));

    p.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("1.2\t3.0\r\n10.8\t0.6\r\n"));

    QApplication::clipboard()->setText(QStringLiteral("Map\\RPM\t500"));
    p.fixture.sim().clearRequests();
    p.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{L"Schowek nie zawiera wartości mapy do wklejenia"});
    EXPECT_EQ(p.fixture.sim().requests().size(), 0u);
}

TEST(MapPage, NoEditIsLostSilentlyWhileDisconnected)
{
    CMapPage p;
    p.click(5, 5);
    const double before = p.grid().mapEditor().cellValue(5, 5);
    p.device().m_connected = false;
    p.key(Qt::Key_Up, Qt::ControlModifier);
    p.type({5, 5}, QStringLiteral("3"));
    p.type({4, -1}, QStringLiteral("1500"));
    QTest::mouseClick(p.page.clearButton(), Qt::LeftButton);
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>(4, kOffline));
    EXPECT_EQ(p.grid().mapEditor().cellValue(5, 5), before);
    EXPECT_EQ(p.device().m_settings.advanceMap[5][5], before);
    EXPECT_EQ(p.grid().mapEditor().columnHeaderText(4), L"1700");
    EXPECT_EQ(p.fixture.sim().requests().size(), 0u);
}

// A refused write says so and the grid shows the controller's map again at once; a cable pulled
// on the write leaves the change marked as not written until the controller is back and read.
TEST(MapPage, AFailedWriteShowsTheControllersMapMarkingTheUnwrittenMeanwhile)
{
    CMapPage p;
    p.setSimCell(1, 1, 50);
    p.click(1, 1);
    sim::FaultRule refuse = faultRule(sim::FaultKind::NoReply);
    refuse.when = sim::FaultWhen::FrameType;
    refuse.code = 9;
    p.fixture.sim().addFault(refuse);
    p.key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{kMapRefused});
    EXPECT_EQ(p.grid().mapEditor().cellValue(1, 1), 5.0);
    EXPECT_EQ(p.device().m_settings.advanceMap[1][1], 5.0);
    EXPECT_FALSE(p.grid().mapEditor().unwrittenCell(1, 1));
    EXPECT_EQ(p.simCell(1, 1), 50);

    p.fixture.sim().clearFaults();
    p.fixture.sim().addFault(faultRule(sim::FaultKind::HangUp, p.fixture.sim().requestCount() + 1));
    p.key(Qt::Key_Up, Qt::ControlModifier);
    ASSERT_EQ(p.user.texts().size(), 2u);
    EXPECT_FALSE(p.device().m_connected);
    EXPECT_EQ(p.grid().mapEditor().cellValue(1, 1), 5.6);
    EXPECT_TRUE(p.grid().mapEditor().unwrittenCell(1, 1));
    p.click(0, 0); // the selection's own colour off the marked cell
    const QImage shown = p.grid().grab().toImage();
    EXPECT_EQ(shown.pixelColor(p.grid().cellRect({1, 1}).topLeft() + QPoint(2, 2)), QColor(CMapAngle::kUnwrittenColor));

    ASSERT_TRUE(p.fixture.sim().comeBack());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.fixture.sim().path().empty(); }, 5000));
    CSimFixture::setPorts({p.fixture.sim().path()});
    p.fixture.openDirect(p.device());
    p.page.onTimer();
    EXPECT_EQ(p.grid().mapEditor().cellValue(1, 1), 5.0);
    EXPECT_FALSE(p.grid().mapEditor().unwrittenCell(1, 1));
    EXPECT_EQ(p.user.texts().size(), 2u);
}

// An edit goes through the device's verified write: damaged past the checksum once, the map is
// written again and saved right; damaged every time, the page says so and nothing is saved.
TEST(MapPage, AnEditIsSavedOnlyOnceTheMapReadsBackRight)
{
    CMapPage p;
    p.setSimCell(9, 9, 100);
    p.click(9, 9);
    p.fixture.sim().addFault(twinFault(9, 1, false, 9 * kMapColumns + 9));
    p.key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(p.framesOfType(9), 2u);
    EXPECT_EQ(p.savedCell(9, 9), 106);
    EXPECT_EQ(p.fixture.sim().savedMap(), p.fixture.sim().map());

    const auto saved = p.fixture.sim().savedMap();
    p.fixture.sim().clearRequests();
    p.fixture.sim().addFault(twinFault(9, 0, false, 9 * kMapColumns + 9));
    p.key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{kMapRefused});
    EXPECT_EQ(p.framesOfType(9), 10u);
    EXPECT_EQ(p.fixture.sim().savedMap(), saved);
    const auto sent = testsupport::requestNames(p.fixture.sim());
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "2/0F"), 0);
}

TEST(MapPage, DefinitionDialogSpinsChecksAndGeneratesTheAxes)
{
    CMapPage p;
    // Cancel changes nothing, whatever the spins did; Enter does nothing.
    onDefinitionDialog([](CDefinicjaDlg& d) {
        clickTimes(d.rpmMinSpin()->downButton(), 3); // stays at 500
        EXPECT_EQ(d.rpmMinEdit()->text(), QStringLiteral("500"));
        EXPECT_FALSE(d.rpmMinEdit()->isEnabled());
        QTest::keyClick(&d, Qt::Key_Return);
        EXPECT_TRUE(d.isVisible());
        clickTimes(d.rpmMaxSpin()->upButton(), 30); // 4800 -> 7000 at most
        EXPECT_EQ(d.rpmMaxEdit()->text(), QStringLiteral("7000"));
        QTest::mouseClick(d.cancelButton(), Qt::LeftButton);
    });
    p.page.onDefinition();
    EXPECT_EQ(p.simRpm(14), 4800);
    EXPECT_EQ(p.framesOfType(11), 0u);

    // Min above max: the message, the dialog stays; then equal ends are accepted.
    onDefinitionDialog([&p](CDefinicjaDlg& d) {
        clickTimes(d.rpmMaxSpin()->downButton(), 43); // 4800 -> 500
        clickTimes(d.rpmMinSpin()->upButton(), 1);    // 600
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{L"Wartość RPM Min nie może być większa od RPM Max!"});
        clickTimes(d.rpmMaxSpin()->upButton(), 20);  // 2500
        clickTimes(d.mapMaxSpin()->upButton(), 2);   // 5.25
        clickTimes(d.mapMinSpin()->downButton(), 4); // 0.00 (0.15 less 0.20, held at the lowest)
        EXPECT_EQ(d.mapMinEdit()->text(), QStringLiteral("0.00"));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
    });
    p.page.onDefinition();
    EXPECT_EQ(p.simRpm(0), 600);
    EXPECT_EQ(p.simRpm(14), 2500);
    EXPECT_EQ(p.simMapCounts(0), 0);
    EXPECT_EQ(p.simMapCounts(15), 1050);
    EXPECT_EQ(p.grid().mapEditor().columnHeaderText(14), L"2500");

    // The definition is undone like any other change.
    p.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(p.simRpm(14), 4800);
    EXPECT_EQ(p.simMapCounts(15), 1030);
}

TEST(MapPage, ClearAsksAndWritesABackupBeforeAnythingIsSent)
{
    CMapPage p;
    namespace fs = std::filesystem;
    const fs::path folder = p.fixture.home().path() / "Documents" / "Doravine" / "Map data";
    const auto before = p.fixture.sim().savedMap();
    const std::wstring question =
        L"Skasowanie mapy ustawi kąt 0° we wszystkich punktach mapy w sterowniku! Czy chcesz kontynuować?";
    fs::remove_all(folder);
    fs::create_directories(folder.parent_path());
    {
        std::ofstream blocker(folder); // a file where the folder should be: no backup can be written
    }
    for (const bool yes : {false, true}) {
        p.user.clear();
        yes ? p.user.answerYes() : p.user.answerNo();
        QTest::mouseClick(p.page.clearButton(), Qt::LeftButton);
        EXPECT_EQ(p.user.questions(), std::vector<std::wstring>{question});
        EXPECT_EQ(p.fixture.sim().requests().size(), 0u) << "nothing sent";
        EXPECT_EQ(p.grid().mapEditor().cellValue(14, 0), before[14] / 10.0);
    }
    ASSERT_FALSE(p.user.texts().empty());
    EXPECT_EQ(p.user.texts().back().rfind(L"Nie udało się zapisać kopii ustawień sterownika w pliku:\n" +
                                              folder.wstring() + L"/ustawienia-",
                                          0),
              0u)
        << "the backup's failure names the file";

    fs::remove(folder);
    p.user.clear();
    p.user.answerYes();
    QTest::mouseClick(p.page.clearButton(), Qt::LeftButton);
    ASSERT_TRUE(fs::is_directory(folder));
    ASSERT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    const fs::path backup = fs::directory_iterator(folder)->path();
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{L"Mapa została skasowana.\nDotychczasowe ustawienia "
                                                        L"sterownika zapisano w pliku: " +
                                                        backup.wstring()});
    CSettingsSnapshot copy;
    copy.initMarker(0);
    ASSERT_TRUE(copy.readFileAt(backup.wstring()));
    CSettingsRecord restored;
    copy.applySnapshot(restored);
    EXPECT_EQ(restored.advanceMap[0][14], before[14] / 10.0) << "the backup holds the map from before";
    for (int i = 0; i < kMapRows * kMapColumns; ++i) {
        ASSERT_EQ(p.fixture.sim().savedMap()[static_cast<size_t>(i)], 0);
        ASSERT_EQ(p.grid().mapEditor().cellValue(i % kMapColumns, i / kMapColumns), 0.0);
    }
    p.click(0, 0);
    p.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(p.savedCell(14, 0), 0);

}

TEST(MapPage, SaveAsDefaultAndTheDisabledPage)
{
    CMapPage p;
    const std::filesystem::path file(CDoravineDoc::defaultSettingsPath());
    std::filesystem::remove(file);
    QTest::mouseClick(p.page.saveDefaultButton(), Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(p.user.texts().empty());

    CMapPage autodetecting(0);
    EXPECT_FALSE(autodetecting.page.isEnabled());
    EXPECT_TRUE(p.page.isEnabled());
}

// Without a controller, or with only demo values, the grid has nothing to show: dashes, greyed.
TEST(MapPage, WithoutAControllerTheGridShowsDashesGreyed)
{
    for (const bool demo : {false, true}) {
        SCOPED_TRACE(demo);
        CRecordingUser user;
        CDoravineDoc doc;
        CLinkGateway gateway{doc.Device()};
        doc.Device().m_demo = demo;
        doc.Device().GetSettings();
        doc.Device().GetMap();
        doc.Device().GetMapAxes();
        CMapAngleDlg page{doc};
        page.initialiseOnce();
        page.v_activate();
        const CMapEditor& editor = page.grid()->mapEditor();
        EXPECT_TRUE(editor.blank());
        EXPECT_FALSE(page.isEnabled());
        EXPECT_TRUE(page.limitsLabel()->text().contains(QStringLiteral("<b>-</b>")));
        EXPECT_FALSE(page.limitsLabel()->text().contains(QStringLiteral("°")));
    }
}

TEST(MapPage, TheOperatingPointFollowsTheEngine)
{
    CMapPage p;
    EXPECT_FALSE(p.grid().mapEditor().operatingPoint());
    sim::OperatingPoint point;
    point.rpm = 2000;
    point.mapVolts = 1.0;
    p.fixture.sim().setFixedPoint(point);
    p.fixture.sim().setProfile(sim::Profile::Fixed);
    CDiag sample;
    ASSERT_EQ(p.device().GetDiagSample(sample), CLPGDevice::kSampleOk);
    p.device().m_diagData.add(sample);
    p.page.onTimer();
    EXPECT_EQ(p.grid().mapEditor().operatingPoint(), (CMapCell{6, 3}));

    // The cable pulled: the last sample stays in the log, but no cell is the engine's any more.
    p.fixture.sim().hangUp();
    EXPECT_FALSE(p.device().RunCommand([&] { p.device().GetDiagSample(sample); }));
    ASSERT_FALSE(p.device().isConnected());
    p.page.onTimer();
    EXPECT_FALSE(p.grid().mapEditor().operatingPoint());
}
