// The readings log replayed offscreen: a log written by the program's own writer is picked and
// opened, a foreign file refused with the reason; the cursor, the zoom and playing move what
// the map grid shades and marks.
#include "base/language.h"
#include "files/readings_log.h"
#include "gui/pages/readings_replay_dlg.h"
#include "gui/skin/log_chart.h"
#include "gui/support/qt_app_environment.h"
#include "records/map_model.h"
#include "support/diag_samples.h"
#include "support/recording_user.h"
#include "support/temp_folder.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

class ReadingsReplay : public CTempFolderTest {
  protected:
    void SetUp() override
    {
        CTempFolderTest::SetUp();
        setCurrentLanguage(kLanguagePolish);
        for (int c = 0; c < kMapColumns; ++c)
            record.rpmAxis[c] = 500 + 300 * c;
        for (int r = 0; r < kMapRows; ++r)
            record.mapAxis[r] = 0.3 * (r + 1);
    }
    // 10 s at idle (850 RPM) then 10 s cruising (2600 RPM), 20 samples a second.
    void writeLog(const std::string& name)
    {
        CReadingsLog log;
        ASSERT_TRUE(log.create(m_folder / name));
        const auto start = CDiagClock::now();
        std::vector<CDiagEntry> entries;
        for (int i = 0; i < 400; ++i)
            entries.push_back({testsupport::diagSample(i < 200 ? 850 : 2600, 200, i < 200 ? 200 : 700, 588, 100, 1),
                               start + std::chrono::milliseconds(50 * i), 0});
        ASSERT_TRUE(log.append(entries, start));
    }
    CMapCell cellOf(double rpm, double map) { return CMapModel(record).findCell(rpm, map); }

    CSettingsRecord record;
    CRecordingUser user;
};

} // namespace

TEST_F(ReadingsReplay, ALogIsShadedByWhereTheEngineWasAndFollowsTheCursorAndTheZoom)
{
    writeLog("Odczyty.csv");
    user.answerFile(path("Odczyty.csv"));
    std::unique_ptr<CReadingsReplayDlg> dlg(CReadingsReplayDlg::pickAndOpen(record, nullptr));
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(user.texts().empty());
    ASSERT_EQ(dlg->series().size(), 400u);
    const auto& idle = dlg->series().samples().front();
    const auto& cruise = dlg->series().samples().back();
    const CMapCell idleCell = cellOf(idle.rpm, idle.map);
    const CMapCell cruiseCell = cellOf(cruise.rpm, cruise.map);
    ASSERT_FALSE(idleCell == cruiseCell);
    EXPECT_NEAR(dlg->spanDwell().seconds(idleCell.column, idleCell.row), 10.0, 0.01);
    EXPECT_NEAR(dlg->spanDwell().seconds(cruiseCell.column, cruiseCell.row), 9.95, 0.01);

    // The wheel zooms around the pointer: a span inside the idle part shades only idle.
    CLogChart& chart = *dlg->chart();
    dlg->resize(1000, 500);
    chart.zoomAt(4.0, 0.2);
    EXPECT_LT(chart.spanTo(), 10.0);
    EXPECT_EQ(dlg->spanDwell().seconds(cruiseCell.column, cruiseCell.row), 0.0);
    EXPECT_NEAR(dlg->spanDwell().seconds(idleCell.column, idleCell.row), chart.spanTo() - chart.spanFrom(), 0.06);
    QWheelEvent wheel(QPointF(chart.xOf(4.0), 50), chart.mapToGlobal(QPointF(chart.xOf(4.0), 50)), {}, {0, -120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    const double before = chart.spanTo() - chart.spanFrom();
    QApplication::sendEvent(&chart, &wheel);
    EXPECT_GT(chart.spanTo() - chart.spanFrom(), before);
    EXPECT_NEAR(chart.timeAt(chart.xOf(4.0)), 4.0, 1e-6);
    chart.showWhole();

    // The mouse moves the cursor; playing at 8x moves it by the clock and stops at the end.
    QTest::mouseMove(&chart, QPoint(static_cast<int>(chart.xOf(15.0)), 40));
    EXPECT_NEAR(chart.cursorTime(), 15.0, (chart.spanTo() - chart.spanFrom()) / chart.width() * 2);
    dlg->play(8);
    QTest::qWait(300);
    EXPECT_GT(chart.cursorTime(), 15.0 + 8 * 0.2);
    EXPECT_LT(chart.cursorTime(), 15.0 + 8 * 1.0);
    QTest::qWait(700);
    EXPECT_EQ(chart.cursorTime(), dlg->series().endTime());
    EXPECT_EQ(dlg->playSpeed(), 0.0);
}

TEST_F(ReadingsReplay, AFileThatIsNotALogIsRefusedWithTheReason)
{
    put("settings.csv", "time;rpm\n0;850\n");
    put("empty.csv", "");
    EXPECT_FALSE(CReadingsReplayDlg::open(m_folder / "settings.csv", record, nullptr));
    EXPECT_FALSE(CReadingsReplayDlg::open(m_folder / "empty.csv", record, nullptr));
    user.answerFile(L""); // cancelled: nothing said
    EXPECT_FALSE(CReadingsReplayDlg::pickAndOpen(record, nullptr));
    const auto texts = user.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find(L"nie jest zapisem odczytów"), std::wstring::npos);
    EXPECT_NE(texts[0].find(L"settings.csv"), std::wstring::npos);
    EXPECT_NE(texts[1].find(L"ani jednego pełnego odczytu"), std::wstring::npos);
}
