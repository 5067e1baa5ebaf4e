// The fault sweep of the settings page, the map page and the axis definition: every gesture that
// sends a frame, with the cable pulled at each of its frames, with that frame lost once and with
// it unanswered on every retry. Each row: no crash, the window's event loop turning throughout,
// one message for a failure and none for a frame that a retry carried, the watchdog reconnecting
// by itself, and the page equal to the controller afterwards. The table is printed.
#include "gui/pages/definicja_dlg.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/shell/link_gateway.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/str_value_combo.h"
#include "gui/support/fault_sweep.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

using sweep::Action;
using sweep::CSweepWindow;
using sweep::Fault;

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

// The longest the window may stand still: well below a frame unanswered on every retry (100 ms x
// 10 attempts here), with room for a shared, loaded machine's scheduling.
constexpr qint64 kLongestGapMs = 600;

bool idle(CSweepWindow&)
{
    return !CLinkGateway::instance()->busy() && !QApplication::activeModalWidget();
}

// ---- The settings page -------------------------------------------------------------------------

CSettingsDlg& settingsPage(CSweepWindow& w)
{
    return w.page<CSettingsDlg>(CDoravineView::TabSettings);
}

std::string settingsDiffer(CSweepWindow& w)
{
    CSettingsDlg& page = settingsPage(w);
    const auto block = w.sim().settings();
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
        {"settings: sensor type chosen", tab,
         [](CSweepWindow& w) {
             CStrValueCmbBox* combo = settingsPage(w).sensorList();
             combo->setFocus();
             QTest::keyClick(combo, combo->currentIndex() == 0 ? Qt::Key_Down : Qt::Key_Up);
         },
         settingsDiffer, {3}, idle},
        {"settings: TPS spin", tab,
         [](CSweepWindow& w) { QTest::mouseClick(settingsPage(w).tpsSpin()->upButton(), Qt::LeftButton); },
         settingsDiffer, {2}, idle},
        {"settings: page shown (read)", tab,
         [](CSweepWindow& w) {
             w.showTab(CDoravineView::TabMap);
             w.showTab(CDoravineView::TabSettings);
         },
         settingsDiffer, {}, idle},
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
    const auto map = w.sim().map();
    const auto axes = w.sim().axes();
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
    std::vector<Action> rows = {
        {"map: Ctrl+Up", tab,
         [](CSweepWindow& w) {
             const bool up = grid(w).mapEditor().cellValue(5, 5) < 15.0;
             QTest::keyClick(&grid(w), up ? Qt::Key_Up : Qt::Key_Down, Qt::ControlModifier);
         },
         mapDiffers, {}, mapIdle, [](CSweepWindow& w) { clickCell(w, 5, 5); }},
        {"map: typed value", tab, [](CSweepWindow& w) { typeInto(w, {6, 6}, otherValue(w, 6, 6, 7.0, 8.0)); },
         mapDiffers, {}, mapIdle},
        {"map: RPM header typed", tab,
         [](CSweepWindow& w) {
             const double* axis = grid(w).mapEditor().shown().rpmAxis;
             typeInto(w, {7, -1}, QString::number(otherBreakpoint(axis[6], axis[7], axis[8], 100), 'f', 0));
         },
         mapDiffers, {}, mapIdle},
        {"map: MAP header typed", tab,
         [](CSweepWindow& w) {
             const double* axis = grid(w).mapEditor().shown().mapAxis;
             typeInto(w, {-1, 5}, QString::number(otherBreakpoint(axis[4], axis[5], axis[6], 0.05), 'f', 2));
         },
         mapDiffers, {}, mapIdle},
        {"map: undo (Ctrl+Z)", tab, [](CSweepWindow& w) { QTest::keyClick(&grid(w), Qt::Key_Z, Qt::ControlModifier); },
         mapDiffers, {}, mapIdle, [](CSweepWindow& w) { typeInto(w, {3, 3}, otherValue(w, 3, 3, 4.0, 5.0)); }},
        {"map: redo (Ctrl+Y)", tab, [](CSweepWindow& w) { QTest::keyClick(&grid(w), Qt::Key_Y, Qt::ControlModifier); },
         mapDiffers, {}, mapIdle,
         [](CSweepWindow& w) {
             typeInto(w, {3, 3}, otherValue(w, 3, 3, 4.0, 5.0));
             settle(w);
             QTest::keyClick(&grid(w), Qt::Key_Z, Qt::ControlModifier);
         }},
        {"map: interpolate rows (menu)", tab,
         [](CSweepWindow& w) { triggerMenu(w, L"Interpoluj w wierszach (wzdłuż RPM)"); }, mapDiffers, {}, mapIdle,
         [](CSweepWindow& w) {
             typeInto(w, {0, 2}, QStringLiteral("2.0"));
             settle(w);
             typeInto(w, {3, 2}, QStringLiteral("9.0"));
             settle(w);
             typeInto(w, {1, 2}, QStringLiteral("0.0"));
             settle(w);
             clickCell(w, 0, 2);
             clickCell(w, 3, 2, Qt::ShiftModifier);
         }},
        {"map: paste (Ctrl+V)", tab, [](CSweepWindow& w) { QTest::keyClick(&grid(w), Qt::Key_V, Qt::ControlModifier); },
         mapDiffers, {}, mapIdle,
         [](CSweepWindow& w) {
             QApplication::clipboard()->setText(otherValue(w, 8, 8, 4.0, 5.0));
             clickCell(w, 8, 8);
         }},
        {"map: Kasuj", tab, [](CSweepWindow& w) { QTest::mouseClick(mapPage(w).clearButton(), Qt::LeftButton); },
         mapDiffers, {}, mapIdle},
        {"definition: OK", tab,
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
         mapDiffers, {}, mapIdle},
    };
    return rows;
}

} // namespace

TEST(FaultSweep, EveryGestureOfTheSettingsAndMapPagesSurvivesEachFaultAtEachFrame)
{
    CSweepWindow w;
    ASSERT_TRUE(w.device().m_connected);
    std::vector<Action> actions = settingsActions();
    for (Action& a : mapActions())
        actions.push_back(std::move(a));
    std::printf("%-32s %-12s %5s %8s %7s %9s %s\n", "action", "fault", "frame", "messages", "gap ms",
                "reconnect", "screen");
    for (const Action& action : actions) {
        const int frames = w.countFrames(action);
        EXPECT_GT(frames, 0) << action.name << " sends nothing";
        for (const Fault fault : {Fault::HangUp, Fault::LostFrame, Fault::Unanswered}) {
            for (int frame = 1; frame <= frames; ++frame) {
                SCOPED_TRACE(action.name + " / " + sweep::faultName(fault) + " @" + std::to_string(frame));
                const sweep::Result r = w.run(action, fault, frame);
                const auto& harmless = action.harmlessWhenUnanswered;
                const bool quietRetry = fault == Fault::LostFrame ||
                                        (fault == Fault::Unanswered &&
                                         std::find(harmless.begin(), harmless.end(), frame) != harmless.end());
                std::printf("%-32s %-12s %2d/%-2d %8zu %7lld %9s %s\n", action.name.c_str(), sweep::faultName(fault),
                            frame, frames, r.messages, static_cast<long long>(r.longestGapMs),
                            r.reconnected ? "yes" : "NO", r.screen.empty() ? "= controller" : r.screen.c_str());
                EXPECT_EQ(r.messages, quietRetry ? 0u : 1u);
                EXPECT_LE(r.longestGapMs, kLongestGapMs);
                EXPECT_TRUE(r.reconnected);
                EXPECT_EQ(r.screen, "");
            }
        }
    }
}
