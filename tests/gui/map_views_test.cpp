// The map page's curves, trail and dwell shading offscreen against the virtual controller: the
// curves follow an edit and its undo at once, and the shading counts the live samples while the
// page is not shown. The arithmetic behind them is said at tests/unit: map_place, map_dwell.
#include "base/language.h"
#include "device/lpg_device.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/map_curves.h"
#include "gui/pages/map_overlay.h"
#include "gui/skin/gradient_button.h"
#include "gui/support/qt_app_environment.h"
#include "operations/doravine_doc.h"
#include "records/map_place.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QCheckBox>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

struct CMapViews {
    CMapViews()
    {
        setCurrentLanguage(kLanguagePolish);
        CSimFixture::shortenTimeouts(device());
        fixture.openDirect(device());
        EXPECT_TRUE(device().GetSettings() && device().GetMap() && device().GetMapAxes());
        page.resize(1000, 560);
        page.initialiseOnce();
        page.show();
        page.v_activate();
    }
    CLPGDevice& device() { return doc.Device(); }
    CMapAngle& grid() { return *page.grid(); }
    CMapCurves& curves() { return *page.curves(); }
    // A sample of the engine held at a point, read from the controller.
    CDiag sampleAt(double rpm, double mapVolts)
    {
        sim::OperatingPoint point;
        point.rpm = rpm;
        point.mapVolts = mapVolts;
        fixture.sim().setFixedPoint(point);
        fixture.sim().setProfile(sim::Profile::Fixed);
        CDiag sample;
        EXPECT_EQ(device().GetDiagSample(sample), CLPGDevice::kSampleOk);
        return sample;
    }

    CRecordingUser user;
    CSimFixture fixture;
    CDoravineDoc doc;
    CMapAngleDlg page{doc};
};

} // namespace

TEST(MapViews, CurvesFollowAnEditItsUndoAndTheSelection)
{
    CMapViews p;
    QTest::mouseClick(&p.grid(), Qt::LeftButton, Qt::NoModifier, p.grid().cellRect({4, 6}).center());
    QApplication::processEvents();
    EXPECT_TRUE(p.curves().strongLine(0, 6));
    EXPECT_FALSE(p.curves().strongLine(4, 5));
    const QPointF before = p.curves().cellPoint(4, 6);
    const QPointF neighbour = p.curves().cellPoint(5, 6);

    QTest::keyClick(&p.grid(), Qt::Key_Up, Qt::ControlModifier);
    QApplication::processEvents();
    const QPointF raised = p.curves().cellPoint(4, 6);
    EXPECT_LT(raised.y(), before.y());
    EXPECT_EQ(raised.x(), before.x());
    EXPECT_EQ(p.curves().cellPoint(5, 6), neighbour);

    p.grid().undo();
    QApplication::processEvents();
    EXPECT_EQ(p.curves().cellPoint(4, 6), before);

    // Against MAP the same cell moves to its MAP breakpoint; the selected column is strong.
    p.page.againstMapBox()->click();
    EXPECT_TRUE(p.curves().againstMap());
    EXPECT_TRUE(p.curves().strongLine(4, 0));
    EXPECT_FALSE(p.curves().strongLine(3, 6));
    EXPECT_GT(p.curves().cellPoint(4, 7).x(), p.curves().cellPoint(4, 6).x());
    EXPECT_EQ(p.curves().cellPoint(4, 6).y(), before.y());
    EXPECT_TRUE(p.user.texts().empty());
}

TEST(MapViews, TheMarkerSitsOnTheInterpolatedAdvance)
{
    CMapViews p;
    EXPECT_FALSE(p.curves().markerPoint());
    const CSettingsRecord& r = p.device().m_settings;
    // Half way between two RPM breakpoints, on a MAP breakpoint.
    const double rpm = (r.rpmAxis[3] + r.rpmAxis[4]) / 2;
    p.device().m_diagData.add(p.sampleAt(rpm, r.mapAxis[5]));
    p.page.onTimer();
    QApplication::processEvents();
    const auto marker = p.curves().markerPoint();
    ASSERT_TRUE(marker);
    const CDiag last = [&] {
        CDiag s;
        p.device().m_diagData.getLast(s);
        return s;
    }();
    const CMapPlace place = mapPlace(r, last.rpm(), last.mapVolts());
    const double advance = advanceAt(r.advanceMap, place);
    // Between the two cells' points of the row, in x and in angle.
    const QPointF left = p.curves().cellPoint(3, 5);
    const QPointF right = p.curves().cellPoint(4, 5);
    EXPECT_GT(marker->x(), left.x());
    EXPECT_LT(marker->x(), right.x());
    const double share = (marker->x() - left.x()) / (right.x() - left.x());
    EXPECT_NEAR(share, place.column - 3, 0.02);
    // The angle scale read off two cells of different angles, then the marker's angle on it.
    const QPointF low = p.curves().cellPoint(0, kMapRows - 1);
    const QPointF high = p.curves().cellPoint(kMapColumns - 1, 0);
    const double a0 = r.advanceMap[kMapRows - 1][0];
    const double a1 = r.advanceMap[0][kMapColumns - 1];
    ASSERT_NE(a0, a1);
    EXPECT_NEAR(marker->y(), low.y() + (advance - a0) * (high.y() - low.y()) / (a1 - a0), 0.5);
}

TEST(MapViews, TheShadingCountsSamplesWhileThePageIsHiddenAndResets)
{
    CMapViews p;
    const CDiag idle = p.sampleAt(900, 1.0);
    const CDiag cruise = p.sampleAt(2600, 3.0);
    CMapModel model(p.device().m_settings);
    const CMapCell idleCell = model.findCell(idle.rpm(), idle.mapVolts());
    const CMapCell cruiseCell = model.findCell(cruise.rpm(), cruise.mapVolts());
    ASSERT_FALSE(idleCell == cruiseCell);

    p.page.dwellBox()->click();
    ASSERT_TRUE(p.page.overlay()->dwellShown());
    p.page.hide();
    const auto t0 = CDiagClock::now();
    const auto at = [&](int ms) { return t0 + std::chrono::milliseconds(ms); };
    p.page.countSamples(); // the count starts here: earlier samples are not the engine's time since
    for (int i = 0; i < 40; ++i) // 2 s at idle
        p.device().m_diagData.add(idle, at(50 * i));
    p.page.countSamples();
    for (int i = 40; i < 60; ++i) // 1 s cruising, taken over two ticks
        p.device().m_diagData.add(cruise, at(50 * i));
    p.page.countSamples();
    p.device().m_diagData.add(cruise, at(3000));
    p.page.countSamples();
    const CMapDwell& dwell = p.page.overlay()->dwell();
    EXPECT_NEAR(dwell.seconds(idleCell.column, idleCell.row), 2.0, 1e-6);
    EXPECT_NEAR(dwell.seconds(cruiseCell.column, cruiseCell.row), 1.0, 1e-6);
    EXPECT_EQ(dwell.shade(idleCell.column, idleCell.row), 1.0);

    p.page.resetDwellButton()->click();
    EXPECT_EQ(p.page.overlay()->dwell().total(), 0.0);
    p.device().m_diagData.add(cruise, at(3050));
    p.device().m_diagData.add(cruise, at(3100));
    p.page.countSamples();
    EXPECT_NEAR(p.page.overlay()->dwell().total(), 0.05, 1e-6);
    // Switched off, samples are not counted; switched on again, the count starts afresh.
    p.page.dwellBox()->click();
    EXPECT_FALSE(p.page.resetDwellButton()->isEnabled());
    p.device().m_diagData.add(cruise, at(3150));
    p.page.countSamples();
    p.page.dwellBox()->click();
    EXPECT_EQ(p.page.overlay()->dwell().total(), 0.0);
}
