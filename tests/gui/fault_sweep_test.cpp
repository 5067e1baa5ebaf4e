// The fault sweep of the whole window: every gesture that sends a frame (the pages' buttons, keys,
// typed values and header edits, the axis definition, the File menu, the firmware update, the
// wheel auto-detection), with the cable pulled at each of its frames, with that frame lost once
// and with it unanswered on every retry. Each row: no crash and the last net never reached, one
// message for a failure and none for a frame that a retry carried, the window's event loop
// turning throughout, the watchdog reconnecting by itself soon after the controller is back, and
// the screen equal to the controller afterwards. The table is printed at the end of each slice.
#include "files/settings_file.h"
#include "gui/pages/autokalibracja_dlg.h"
#include "gui/pages/compare_dlg.h"
#include "gui/pages/definicja_dlg.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/read_signal_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/pages/version_dlg.h"
#include "gui/shell/doravine_app.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/image_check_box.h"
#include "gui/skin/str_value_combo.h"
#include "gui/support/fault_sweep.h"
#include "gui/support/qt_app_environment.h"
#include "support/byte_files.h"
#include "support/firmware_files.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

using sweep::Action;
using sweep::CSweepWindow;
using sweep::Fault;
using sweep::idle;
using sweep::Step;

// The program's own application: its event dispatch is the last net, which no row may reach.
const auto* const g_environment = registerQtApp(QtAppTheme::Program, [](int& argc, char** argv) {
    return new CDoravineApplication(argc, argv);
});

int escapes()
{
    return static_cast<CDoravineApplication*>(qApp)->escapedExceptions();
}

// The longest the window may stand still: well below a frame unanswered on every retry (100 ms x
// 10 attempts here), with room for a shared, loaded machine's scheduling.
constexpr qint64 kLongestGapMs = 600;

// The tab shown, then what else the gesture needs.
Step on(int tab, Step then = [](CSweepWindow&) {})
{
    return [tab, then](CSweepWindow& w) {
        w.showTab(tab);
        then(w);
    };
}

// ---- The settings page -------------------------------------------------------------------------

CSettingsDlg& settingsPage(CSweepWindow& w)
{
    return w.page<CSettingsDlg>(CDoravineView::TabSettings);
}

std::string settingsDiffer(CSweepWindow& w)
{
    CSettingsDlg& page = settingsPage(w);
    const auto block = w.sim->sim().settings();
    const int sensor = block[10] ? 1 : 0;
    char tps[16];
    std::snprintf(tps, sizeof tps, "%0.2f", tpsFromWire(static_cast<int16_t>(block[0] | block[1] << 8)));
    std::string out;
    if (page.sensorList()->currentIndex() != sensor)
        out += "sensor " + std::to_string(page.sensorList()->currentIndex()) + " vs " + std::to_string(sensor) + "; ";
    if (page.tpsEdit()->caption() != std::wstring(tps, tps + std::strlen(tps)))
        out += "tps vs " + std::string(tps) + "; ";
    if (!page.sensorList()->isEnabled())
        out += "greyed; ";
    return out;
}

std::vector<Action> settingsActions()
{
    const int tab = CDoravineView::TabSettings;
    return {
        {"settings: sensor type chosen", on(tab),
         [](CSweepWindow& w) {
             CStrValueCmbBox* combo = settingsPage(w).sensorList();
             combo->setFocus();
             QTest::keyClick(combo, combo->currentIndex() == 0 ? Qt::Key_Down : Qt::Key_Up);
         },
         // The map sent with the settings and its read-back.
         settingsDiffer, idle, {4, 5}},
        {"settings: TPS spin", on(tab),
         [](CSweepWindow& w) { QTest::mouseClick(settingsPage(w).tpsSpin()->upButton(), Qt::LeftButton); },
         settingsDiffer, idle, {3, 4}},
        {"settings: page shown (read)", on(tab),
         [](CSweepWindow& w) {
             w.showTab(CDoravineView::TabMap);
             w.showTab(CDoravineView::TabSettings);
         },
         settingsDiffer, idle},
    };
}

// ---- The map page and the axis definition --------------------------------------------------------

CMapAngleDlg& mapPage(CSweepWindow& w)
{
    return w.page<CMapAngleDlg>(CDoravineView::TabMap);
}

CMapAngle& grid(CSweepWindow& w)
{
    return *mapPage(w).grid();
}

bool mapIdle(CSweepWindow& w)
{
    return idle(w) && !grid(w).writing();
}

std::string mapDiffers(CSweepWindow& w)
{
    const CMapEditor& editor = grid(w).mapEditor();
    const auto map = w.sim->sim().map();
    const auto axes = w.sim->sim().axes();
    int cells = 0, headers = 0, marked = 0;
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapColumns; ++c) {
            cells += editor.cellText(c, r) != formatDecimal(angleFromWire(map[static_cast<size_t>(r * kMapColumns + c)]), 1);
            marked += editor.unwrittenCell(c, r);
        }
    for (int c = 0; c < kMapColumns; ++c)
        headers += editor.columnHeaderText(c) != formatDecimal(rpmPointFromWire(axes[static_cast<size_t>(32 + c)]), 0);
    for (int r = 0; r < kMapRows; ++r) {
        const auto counts = static_cast<int16_t>(axes[static_cast<size_t>(2 * r)] | axes[static_cast<size_t>(2 * r + 1)] << 8);
        headers += editor.rowHeaderText(r) != formatDecimal(mapPointFromWire(counts), 2);
    }
    if (!cells && !headers && !marked && !editor.blank() && mapPage(w).isEnabled())
        return {};
    return std::to_string(cells) + " cells, " + std::to_string(headers) + " headers differ, " +
           std::to_string(marked) + " marked" + (mapPage(w).isEnabled() ? "" : ", greyed");
}

void settle(CSweepWindow& w)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapIdle(w); }, 10000));
}

void clickCell(CSweepWindow& w, int c, int r, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mouseClick(&grid(w), Qt::LeftButton, modifiers, grid(w).cellRect({c, r}).center());
}

// An in-place edit ended with Enter: a data cell by F2 on the selection, a header by a double-click.
void typeInto(CSweepWindow& w, CCellPos cell, const QString& text)
{
    if (cell.isData()) {
        clickCell(w, cell.column, cell.row);
        QTest::keyClick(&grid(w), Qt::Key_F2);
    } else {
        QTest::mouseDClick(&grid(w), Qt::LeftButton, Qt::NoModifier, grid(w).cellRect(cell).center());
    }
    ASSERT_TRUE(grid(w).isEditing());
    grid(w).editor()->setText(text);
    QTest::keyClick(grid(w).editor(), Qt::Key_Return);
}

// A value far from the cell's (the cells snap to the angle step), so that the gesture always
// changes something.
QString otherValue(CSweepWindow& w, int c, int r, double a, double b)
{
    return QString::number(grid(w).mapEditor().cellValue(c, r) < (a + b) / 2 ? b : a, 'f', 1);
}

// A breakpoint between its neighbours, on the other side of their middle from the present one.
double otherBreakpoint(double before, double now, double after, double margin)
{
    return now < (before + after) / 2 ? after - margin : before + margin;
}

void triggerMenu(CSweepWindow& w, const wchar_t* key)
{
    std::unique_ptr<QMenu> menu(grid(w).buildContextMenu(&grid(w)));
    for (QAction* action : menu->actions())
        if (action->text() == QString::fromStdWString(translateText(key)))
            action->trigger();
}

std::vector<Action> mapActions()
{
    const int tab = CDoravineView::TabMap;
    return {
        {"map: Ctrl+Up", on(tab, [](CSweepWindow& w) { clickCell(w, 5, 5); }),
         [](CSweepWindow& w) {
             const bool up = grid(w).mapEditor().cellValue(5, 5) < 15.0;
             QTest::keyClick(&grid(w), up ? Qt::Key_Up : Qt::Key_Down, Qt::ControlModifier);
         },
         mapDiffers, mapIdle},
        {"map: typed value", on(tab), [](CSweepWindow& w) { typeInto(w, {6, 6}, otherValue(w, 6, 6, 7.0, 8.0)); },
         mapDiffers, mapIdle},
        {"map: RPM header typed", on(tab),
         [](CSweepWindow& w) {
             const double* axis = grid(w).mapEditor().shown().rpmAxis;
             typeInto(w, {7, -1}, QString::number(otherBreakpoint(axis[6], axis[7], axis[8], 100), 'f', 0));
         },
         mapDiffers, mapIdle},
        {"map: MAP header typed", on(tab),
         [](CSweepWindow& w) {
             const double* axis = grid(w).mapEditor().shown().mapAxis;
             typeInto(w, {-1, 5}, QString::number(otherBreakpoint(axis[4], axis[5], axis[6], 0.05), 'f', 2));
         },
         mapDiffers, mapIdle},
        {"map: undo (Ctrl+Z)", on(tab, [](CSweepWindow& w) { typeInto(w, {3, 3}, otherValue(w, 3, 3, 4.0, 5.0)); }),
         [](CSweepWindow& w) { QTest::keyClick(&grid(w), Qt::Key_Z, Qt::ControlModifier); }, mapDiffers, mapIdle},
        {"map: redo (Ctrl+Y)", on(tab,
                                  [](CSweepWindow& w) {
                                      typeInto(w, {3, 3}, otherValue(w, 3, 3, 4.0, 5.0));
                                      settle(w);
                                      QTest::keyClick(&grid(w), Qt::Key_Z, Qt::ControlModifier);
                                  }),
         [](CSweepWindow& w) { QTest::keyClick(&grid(w), Qt::Key_Y, Qt::ControlModifier); }, mapDiffers, mapIdle},
        {"map: interpolate rows (menu)", on(tab,
                                            [](CSweepWindow& w) {
                                                for (const auto& [c, v] : {std::pair{0, "2.0"}, {3, "9.0"}, {1, "0.0"}}) {
                                                    typeInto(w, {c, 2}, QString::fromLatin1(v));
                                                    settle(w);
                                                }
                                                clickCell(w, 0, 2);
                                                clickCell(w, 3, 2, Qt::ShiftModifier);
                                            }),
         [](CSweepWindow& w) { triggerMenu(w, L"Interpoluj w wierszach (wzdłuż RPM)"); }, mapDiffers, mapIdle},
        {"map: paste (Ctrl+V)", on(tab,
                                   [](CSweepWindow& w) {
                                       QApplication::clipboard()->setText(otherValue(w, 8, 8, 4.0, 5.0));
                                       clickCell(w, 8, 8);
                                   }),
         [](CSweepWindow& w) { QTest::keyClick(&grid(w), Qt::Key_V, Qt::ControlModifier); }, mapDiffers, mapIdle},
        {"map: Kasuj", on(tab, [](CSweepWindow& w) { w.user.answerYes(); }),
         [](CSweepWindow& w) { QTest::mouseClick(mapPage(w).clearButton(), Qt::LeftButton); }, mapDiffers, mapIdle},
        {"definition: OK", on(tab),
         [](CSweepWindow& w) {
             QTimer::singleShot(0, [] {
                 auto* dialog = qobject_cast<CDefinicjaDlg*>(QApplication::activeModalWidget());
                 if (!dialog)
                     return;
                 const bool up = dialog->definition().rpmMax < 6000;
                 QTest::mouseClick(up ? dialog->rpmMaxSpin()->upButton() : dialog->rpmMaxSpin()->downButton(),
                                   Qt::LeftButton);
                 QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
             });
             QTest::mouseClick(mapPage(w).definitionButton(), Qt::LeftButton);
         },
         mapDiffers, mapIdle},
    };
}

// ---- The device page, the signal page, the File menu and the firmware update -------------------

constexpr size_t kSensorTypeByte = 10;
constexpr size_t kWorkStateByte = 13;

// What the record behind the pages, the device page and the signal page's mode show against
// what the controller holds.
std::string recordDiffers(CSweepWindow& w)
{
    const CSettingsRecord& record = w.device().m_settings;
    const auto held = w.sim->sim().settings();
    const auto map = w.sim->sim().map();
    const auto axes = w.sim->sim().axes();
    const SettingsBlock shown = encodeSettingsBlock(record);
    const MapBlock shownMap = encodeMapBlock(record);
    const AxesBlock shownAxes = encodeAxesBlock(record);
    std::string out;
    if (!std::equal(held.begin(), held.end(), shown.begin()))
        out += "settings; ";
    if (!std::equal(map.begin(), map.end(), shownMap.begin()))
        out += "map; ";
    if (!std::equal(axes.begin(), axes.end(), shownAxes.begin()))
        out += "axes; ";
    if (w.view().versionPage()->typeDisplay()->valueText() != CVersionDlg::sensorTypeText(held[kSensorTypeByte]))
        out += "device page's sensor; ";
    if (w.view().pageCtrl()->activePage() == w.view().signalPage() &&
        w.view().signalPage()->readModeBox()->isChecked() != (held[kWorkStateByte] != kWorkStateNormal))
        out += "reading mode; ";
    return out;
}

// A settings file of this controller whose settings, map and axes all differ from its own.
std::wstring changedSettingsFile(CSweepWindow& w)
{
    CSettingsRecord record = w.device().m_settings;
    record.tpsThreshold = record.tpsThreshold < 2.0 ? 2.25 : 1.5;
    record.sensorType = record.sensorType == 0 ? 1 : 0;
    record.advanceMap[0][0] = record.advanceMap[0][0] == 7.0 ? 8.0 : 7.0;
    for (int i = 0; i < kMapColumns; ++i)
        record.rpmAxis[i] = record.rpmAxis[0] == 1000.0 ? 1100.0 + 200 * i : 1000.0 + 200 * i;
    CSettingsSnapshot snapshot;
    snapshot.initMarker(w.device().m_firmwareVersion);
    snapshot.takeSnapshot(w.device().m_firmwareVersion, w.device().m_deviceType, record);
    const auto path = w.home.path() / "changed.settings";
    const auto bytes = snapshot.fileBytes();
    testsupport::writeAll(path, testsupport::Bytes(bytes.begin(), bytes.end()));
    return path.wstring();
}

CReadSignalDlg& signalPage(CSweepWindow& w)
{
    return *w.view().signalPage();
}

// No capture running, or one that has records, or has said why it has none.
bool fetched(CSweepWindow& w)
{
    const CSignalCapture& capture = signalPage(w).capture();
    return idle(w) && (!capture.running() || capture.recordCount() > 0 || !w.user.messages().empty());
}

// The signal page shown, the controller in reading mode.
void readingMode(CSweepWindow& w)
{
    w.showTab(CDoravineView::TabSignal);
    if (!signalPage(w).modeTicked())
        signalPage(w).readModeBox()->click();
}

void click(CGDIpGradientButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

void trigger(CSweepWindow& w, int command)
{
    w.frame->action(command)->trigger();
}

// Clicks a button of the dialog of type Dialog once it is shown (after the exchange that opens
// it), for as long as the gesture runs.
template <class Dialog>
void clickWhenShown(CGDIpGradientButton* (Dialog::*button)() const, const std::function<void()>& gesture)
{
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
            click((dialog->*button)());
    });
    poll.start();
    gesture();
}

constexpr auto kCommand = sim::FaultWhen::Command;
constexpr auto kType = sim::FaultWhen::FrameType;

std::vector<Action> devicePageActions()
{
    const int tab = CDoravineView::TabVersion;
    return {
        {"device: Wczytaj błędy", on(tab), [](CSweepWindow& w) { click(w.view().versionPage()->readButton()); },
         recordDiffers, idle},
        // The settings read after the clear: unanswered, the record stays as it was.
        {"device: Kasuj błędy", on(tab), [](CSweepWindow& w) { click(w.view().versionPage()->clearButton()); },
         recordDiffers, idle, {2}},
    };
}

std::vector<Action> signalPageActions()
{
    return {
        {"signal: tab shown", on(CDoravineView::TabVersion),
         [](CSweepWindow& w) { w.showTab(CDoravineView::TabSignal); }, recordDiffers, idle, {}, {{kCommand, 0x07}}},
        {"signal: Czytaj sygnał ticked", on(CDoravineView::TabSignal),
         [](CSweepWindow& w) { signalPage(w).readModeBox()->click(); }, recordDiffers, idle, {}, {{kType, 0x03}}},
        // Each from a page left and shown again: no capture of an earlier row still running.
        {"signal: Pobierz dane",
         [](CSweepWindow& w) {
             w.showTab(CDoravineView::TabVersion);
             readingMode(w);
             w.user.answerYes();
         },
         [](CSweepWindow& w) { click(signalPage(w).button(CReadSignalDlg::kIdFetch)); }, recordDiffers, fetched, {},
         {{kCommand, 0x08}}},
        {"signal: Zapisz dane",
         [](CSweepWindow& w) {
             w.showTab(CDoravineView::TabVersion);
             readingMode(w);
             w.user.answerYes();
             signalPage(w).onFetch();
             ASSERT_TRUE(QTest::qWaitFor([&] { return signalPage(w).capture().recordCount() >= 600; }, 20000));
         },
         [](CSweepWindow& w) { click(signalPage(w).button(CReadSignalDlg::kIdSave)); }, recordDiffers, idle, {},
         {{kType, 0x03}}},
        {"signal: tab left in reading mode", readingMode, [](CSweepWindow& w) { w.showTab(CDoravineView::TabVersion); },
         recordDiffers, idle, {}, {{kType, 0x03}}},
    };
}

// A gesture that loads a file whose settings, map and axes all differ from the controller's: the
// map sent with the settings and its read-back are the quiet frames.
Action loadRow(const char* name, Step act)
{
    return {name,
            on(CDoravineView::TabSettings,
               [](CSweepWindow& w) {
                   w.user.answerYes();
                   w.user.answerFile(changedSettingsFile(w));
               }),
            std::move(act), recordDiffers, idle, {3, 4}};
}

std::vector<Action> fileMenuActions()
{
    return {
        loadRow("File: Wczytaj ustawienia z pliku", [](CSweepWindow& w) { trigger(w, CMainFrame::CmdLoadSettings); }),
        // The comparison with a file, or with a backup, and its "Wczytaj": the same load.
        loadRow("File: Porównaj z plikiem, Wczytaj",
                [](CSweepWindow& w) {
                    clickWhenShown(&CCompareDlg::loadButton, [&] { trigger(w, CMainFrame::CmdCompareSettings); });
                }),
        loadRow("File: Przywróć z kopii, Wczytaj",
                [](CSweepWindow& w) {
                    clickWhenShown(&CCompareDlg::loadButton, [&] { trigger(w, CMainFrame::CmdRestoreBackup); });
                }),
        // The map sent with the settings and its read-back, and the clear of the errors log.
        {"File: Przywróć ustawienia fabryczne", on(CDoravineView::TabSettings, [](CSweepWindow& w) { w.user.answerYes(); }),
         [](CSweepWindow& w) { trigger(w, CMainFrame::CmdFactorySettings); }, recordDiffers, idle, {3, 4, 6}},
        // From the request that sends the application into its boot loader on: a controller that
        // is pulled there keeps its program and comes back as it was.
        {"Aktualizacja sterownika",
         on(CDoravineView::TabSettings,
            [](CSweepWindow& w) {
                firmwareUpdateTimings() = {0, 0, 0};
                const auto path = w.home.path() / "new.afm";
                testsupport::writeFirmware(path, {.version = 0x0160});
                w.user.answerFile(path.wstring());
            }),
         [](CSweepWindow& w) { trigger(w, CMainFrame::CmdDeviceUpdate); }, recordDiffers, idle, {}, {{kType, 0xF6}}},
    };
}

// ---- The wheel auto-detection ------------------------------------------------------------------

// The detection from the settings page's button, the engine's pulses at their real pace (its
// collection counts them). A run that never ends is cancelled after 40 s.
void runDetection(CSweepWindow& w)
{
    QElapsedTimer took;
    took.start();
    QTimer limit;
    QObject::connect(&limit, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CAutokalibracjaDlg*>(QApplication::activeModalWidget());
        if (dialog && took.elapsed() > 40000) {
            ADD_FAILURE() << "the detection did not end";
            dialog->cancelButton()->click();
        }
    });
    limit.start(100);
    QTest::mouseClick(settingsPage(w).autoButton(), Qt::LeftButton);
    (void)QTest::qWaitFor([&] { return !settingsPage(w).autoCalibrationRunning(); }, 45000);
}

bool detectionIdle(CSweepWindow& w)
{
    return idle(w) && !settingsPage(w).autoCalibrationRunning();
}

std::vector<Action> autoDetectionActions()
{
    return {
        {"settings: auto-detection", on(CDoravineView::TabSettings,
                                        [](CSweepWindow& w) {
                                            w.sim->sim().setProfile(sim::Profile::Steady);
                                            w.sim->sim().setPacing(true);
                                            w.user.answerYes();
                                        }),
         runDetection, settingsDiffer, detectionIdle, {},
         // Its reads, the reset, the map clear and save, the capture, the map written at the end.
         {{kCommand, 0x07}, {kType, 0x03}, {kCommand, 0x10}, {kCommand, 0x0F}, {kCommand, 0x08}, {kType, 0x09}},
         true},
    };
}

// ---- The sweep ---------------------------------------------------------------------------------

struct Slice {
    const char* name;
    std::vector<Action> (*actions)();
};

std::vector<Action> settingsAndDevicePages()
{
    std::vector<Action> rows = settingsActions();
    for (Action& a : devicePageActions())
        rows.push_back(std::move(a));
    return rows;
}

const Slice kSlices[] = {
    {"settings_device", settingsAndDevicePages},
    {"files", fileMenuActions},
    {"map", mapActions},
    {"signal", signalPageActions},
    {"autodetection", autoDetectionActions},
};

struct Row {
    std::string action;
    const char* fault;
    sweep::Result r;
};

void printTable(const std::vector<Row>& table)
{
    std::printf("\n%-34s %-14s %-11s %2s %-40s %6s %9s %s\n", "action", "frame", "fault", "n", "message seen",
                "gap ms", "reconnect", "screen");
    qint64 gap = 0, reconnect = -1;
    for (const Row& row : table) {
        const std::string again = row.r.reconnectMs >= 0 ? std::to_string(row.r.reconnectMs) + " ms"
                                  : row.r.reconnected ? "-"
                                                      : "NO";
        std::printf("%-34s %-14s %-11s %2d %-40s %6lld %9s %s\n", row.action.c_str(), row.r.frame.c_str(), row.fault,
                    row.r.messages, row.r.messages ? row.r.message.c_str() : "(none)",
                    static_cast<long long>(row.r.longestGapMs),
                    again.c_str(), row.r.screen.empty() ? "= controller" : row.r.screen.c_str());
        gap = std::max(gap, row.r.longestGapMs);
        reconnect = std::max(reconnect, row.r.reconnectMs);
    }
    std::printf("%zu rows; longest gap %lld ms; longest reconnection %lld ms\n", table.size(),
                static_cast<long long>(gap), static_cast<long long>(reconnect));
}

class FaultSweep : public ::testing::TestWithParam<Slice> {};

TEST_P(FaultSweep, EveryGestureSurvivesEachFaultAtEachFrame)
{
    CSweepWindow w;
    ASSERT_TRUE(w.device().m_connected);
    const int netBefore = escapes();
    std::vector<Row> table;
    for (const Action& action : GetParam().actions()) {
        const std::vector<std::string> frames = w.countFrames(action);
        EXPECT_FALSE(frames.empty()) << action.name << " sends nothing";
        for (const Fault fault : {Fault::HangUp, Fault::LostFrame, Fault::Unanswered}) {
            for (int frame = 1; frame <= static_cast<int>(frames.size()); ++frame) {
                SCOPED_TRACE(action.name + " / " + sweep::faultName(fault) + " @" + std::to_string(frame));
                const sweep::Result r = w.run(action, fault, frame, frames[static_cast<size_t>(frame - 1)]);
                table.push_back({action.name, sweep::faultName(fault), r});
                const auto& harmless = action.harmlessWhenUnanswered;
                const bool quietRetry = fault == Fault::LostFrame ||
                                        (fault == Fault::Unanswered &&
                                         std::find(harmless.begin(), harmless.end(), frame) != harmless.end());
                // A pulled cable that stops a run which must put settings back: the link's message,
                // and the run's own naming the backup that holds them.
                const bool backupToLoad = action.putsBack && fault == Fault::HangUp && !r.controllerKept;
                if (backupToLoad) {
                    EXPECT_TRUE(r.namesBackup);
                    EXPECT_LE(r.messages, 2) << r.said;
                } else {
                    EXPECT_EQ(r.messages, quietRetry ? 0 : 1) << r.said;
                }
                EXPECT_LE(r.longestGapMs, kLongestGapMs);
                EXPECT_TRUE(r.reconnected);
                EXPECT_LE(r.reconnectMs, sweep::kReconnectLimitMs);
                EXPECT_EQ(r.screen, "");
                if (action.putsBack && !quietRetry && fault != Fault::HangUp) {
                    EXPECT_TRUE(r.controllerKept) << "the controller's settings from before put back";
                }
            }
        }
    }
    EXPECT_EQ(escapes(), netBefore) << "the last net was reached";
    printTable(table);
}

INSTANTIATE_TEST_SUITE_P(Window, FaultSweep, ::testing::ValuesIn(kSlices),
                         [](const ::testing::TestParamInfo<Slice>& info) { return std::string(info.param.name); });

} // namespace
