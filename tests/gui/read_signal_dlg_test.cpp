// The signal page against the virtual controller (regular firmware in reading mode, and the
// signal-reading firmware): the capture to "Odczyt.csv" byte for byte against the records served,
// the stalled capture, the save's checks and questions, loading, the drawing, the faults mended
// (live samples resumed on every ending, the operating state put back, the real save path, the
// records kept when the file cannot be written) and the tooth-logger mouse.
#include "base/language.h"
#include "device/lpg_device.h"
#include "files/signal_file.h"
#include "gui/pages/read_signal_dlg.h"
#include "gui/pages/signal_chart.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/image_check_box.h"
#include "gui/skin/statics.h"
#include "gui/shell/link_gateway.h"
#include "gui/support/qt_app_environment.h"
#include "operations/diag_threads.h"
#include "operations/doravine_doc.h"
#include "platform/folders.h"
#include "sim/wheel.h"
#include "support/byte_files.h"
#include "support/crank_pulses.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"
#include "support/wait_until.h"

#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace fs = std::filesystem;

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);
constexpr std::chrono::seconds kCaptureLimit{30};

constexpr size_t kWorkStateByte = 13;
constexpr size_t kSignalCaptureByte = 12;

// The page in the view's place: over the document of a controller on its terminal, identified,
// shown at a usual size. Teardown ends the capture and joins every thread before the device goes.
struct CSignalPage {
    explicit CSignalPage(uint8_t deviceType = CLPGDevice::kDeviceTypeRegular)
    {
        setCurrentLanguage(kLanguagePolish);
        fixture.sim().setWheel(sim::Wheel::W60_2);
        fixture.sim().setProfile(sim::Profile::Steady);
        fixture.sim().setDeviceType(deviceType);
        CSimFixture::shortenTimeouts(device());
        device().Timings().stopLiveSamplesWaitMs = 100;
        fixture.openDirect(device());
        EXPECT_TRUE(device().Identify());
        user.clear();
        page.setFolderOpener([this](const std::wstring& folder) { opened.push_back(folder); });
        page.resize(1000, 660);
        page.initialiseOnce();
        page.onLanguageChange();
    }
    ~CSignalPage()
    {
        captureState() = kCaptureIdle;
        doc.StopLiveSamples();
        threads.joinAll();
        setCurrentLanguage(kLanguagePolish);
    }
    CLPGDevice& device() { return doc.Device(); }
    uint8_t settingsByte(size_t index) { return fixture.sim().settings()[index]; }
    fs::path savedFile() const { return fs::path(CReadSignalDlg::savePath()); }

    // Step 1 as the user clicks it.
    void tickReadingMode()
    {
        if (!page.readModeBox()->isChecked())
            page.readModeBox()->click();
    }
    // Steps 1 and 2, answered Yes; then waits for at least `records` records.
    void capture(size_t records)
    {
        tickReadingMode();
        user.answerYes();
        page.onFetch();
        ASSERT_TRUE(testsupport::waitUntil([&] { return page.capture().recordCount() >= records; }, kCaptureLimit));
    }
    // A capture whose passes never arrive (the controller refuses command 8); the records are put
    // in by hand.
    void captureNothing(size_t records)
    {
        tickReadingMode();
        user.answerYes();
        page.onFetch();
        ASSERT_TRUE(page.capture().running());
        fixture.sim().addFault({sim::FaultKind::WrongType, sim::FaultWhen::Command, 0, 0x08});
        // A pass already on the line may still bring its records; after a pass's worth of refused
        // requests none comes any more.
        const unsigned seen = fixture.sim().requestCount();
        ASSERT_TRUE(testsupport::waitUntil([&] { return fixture.sim().requestCount() > seen + 12; }, kCaptureLimit));
        device().m_pulses.clear();
        const CPulseList held(records, CPulse{3000, 1500});
        device().m_pulses.append(held.data(), held.size());
    }
    void tick(int times)
    {
        for (int i = 0; i < times; ++i)
            page.onTimer();
    }
    std::vector<double> points() const
    {
        std::vector<double> out;
        for (size_t i = 0; i < page.chart()->pointCount(1); ++i)
            out.push_back(page.chart()->pointValue(1, i));
        return out;
    }
    std::wstring writeSignal(const char* name, const CPulseList& pulses) const
    {
        const fs::path path = fixture.home().path() / name;
        EXPECT_TRUE(writeSignalFile(path.wstring(), pulses));
        return path.wstring();
    }

    CSimFixture fixture;
    CRecordingUser user;
    CThreadManager threads;
    CDoravineDoc doc{&threads};
    CLinkGateway gateway{doc.Device()};
    CReadSignalDlg page{doc};
    std::vector<std::wstring> opened;
};

// The simulator's crank signal of a 60-2 wheel at 800 RPM.
CPulseList wheel6022(size_t count)
{
    return testsupport::crankPulses(sim::Wheel::W60_2, 800, count, 0.01);
}

} // namespace

TEST(SignalPage, CaptureSavesTheServedRecordsByteForByteAndPutsTheControllerBack)
{
    for (const uint8_t type : {CLPGDevice::kDeviceTypeRegular, CLPGDevice::kDeviceTypeSignal}) {
        SCOPED_TRACE(type);
        CSignalPage p(type);
        p.doc.ResumeLiveSamples();
        p.page.v_activate();
        EXPECT_EQ(p.page.liveStoppedByPage(), type == CLPGDevice::kDeviceTypeSignal);
        EXPECT_EQ(p.doc.LiveSamples().running(), type == CLPGDevice::kDeviceTypeRegular);
        p.capture(1000);
        EXPECT_EQ(p.settingsByte(kWorkStateByte), 0) << "reading mode";
        EXPECT_FALSE(p.doc.LiveSamples().running());
        p.page.onSave();
        ASSERT_TRUE(p.user.texts().empty()) << QString::fromStdWString(p.user.texts()[0]).toStdString();
        EXPECT_FALSE(p.page.capture().running());

        // The prime pass and the three flush passes are dropped; the rest is the signal.
        std::vector<CPulseList> passes = servedPulsePasses(p.fixture.sim());
        ASSERT_GE(passes.size(), 6u);
        CPulseList served;
        for (size_t k = 4; k < passes.size(); ++k)
            served.insert(served.end(), passes[k].begin(), passes[k].end());
        const CPulseList& saved = p.page.pulses();
        ASSERT_GE(saved.size(), 1000u);
        ASSERT_EQ(saved.size() % 500, 0u);
        ASSERT_LE(saved.size(), served.size());
        served.resize(saved.size());
        EXPECT_EQ(saved, served);
        EXPECT_EQ(testsupport::readText(p.savedFile()), testsupport::signalFileBytes(served));
        EXPECT_EQ(p.device().m_pulses.size(), 0u);

        // Drawn and analysed: a 60-2 wheel.
        EXPECT_EQ(p.page.pulseCountDisplay()->valueText(), L"60");
        EXPECT_EQ(p.page.deficitDisplay()->valueText(), L"2");
        EXPECT_EQ(p.points().size(), CSignalTrace::kPoints);
        EXPECT_FALSE(p.page.chart()->gapSpans().empty());
        EXPECT_EQ(p.settingsByte(kSignalCaptureByte), 0);
        EXPECT_TRUE(p.doc.LiveSamples().running()) << "a save resumes the live samples";

        // Leaving the page: the controller works on its map again.
        p.page.v_deactivate();
        EXPECT_EQ(p.settingsByte(kWorkStateByte), 173);
        EXPECT_FALSE(p.page.readModeBox()->isChecked());
        EXPECT_TRUE(p.doc.LiveSamples().running());
        EXPECT_TRUE(p.user.texts().empty());
    }
}

// When a capture stalls is said at tests/unit/signal_capture_test; the page says so, puts the
// controller back (here refused, which it also says) and resumes the readings.
TEST(SignalPage, AStalledCaptureSaysSoKeepsItsRecordsAndResumesTheReadings)
{
    CSignalPage p;
    p.doc.ResumeLiveSamples();
    p.captureNothing(999);
    p.fixture.sim().addFault({sim::FaultKind::NoReply, sim::FaultWhen::FrameType, 0, 3});
    p.tick(32);
    EXPECT_EQ(p.user.texts(),
              (std::vector<std::wstring>{L"Nie udało się zapisać.", L"Nie wykryto obrotów. Zatrzymano pomiar."}));
    EXPECT_EQ(p.user.messages().back().icon, MessageIcon::Information);
    EXPECT_FALSE(p.page.capture().running());
    EXPECT_TRUE(p.doc.LiveSamples().running()) << "the readings must not freeze once the capture stopped";
    EXPECT_EQ(p.device().m_pulses.size(), 999u);
    EXPECT_EQ(p.page.countDisplay()->valueText(), L"999");
}

TEST(SignalPage, SavesFromFiveHundredRecordsUnderAFolderWithPolishLetters)
{
    CSignalPage p;
    const fs::path documents = p.fixture.home().path() / u8"Dokumenty źółćęśąń";
    fs::create_directories(documents);
    setenv("XDG_DOCUMENTS_DIR", documents.c_str(), 1);
    const fs::path expected = documents / "Doravine" / "Diag" / "Odczyt.csv";
    p.captureNothing(499);
    p.page.onSave();
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{L"Za mało pobranych próbek"});
    EXPECT_EQ(p.user.messages()[0].icon, MessageIcon::Error);
    EXPECT_TRUE(p.page.capture().running());
    EXPECT_FALSE(fs::exists(expected));

    const CPulse last{3000, 1500};
    p.device().m_pulses.append(&last, 1);
    p.page.onSave();
    EXPECT_EQ(p.user.texts().size(), 1u);
    ASSERT_TRUE(fs::exists(expected));
    EXPECT_EQ(testsupport::readText(expected), testsupport::signalFileBytes(CPulseList(500, CPulse{3000, 1500})));
}

TEST(SignalPage, FetchNeedsReadingModeAndTheEngineQuestion)
{
    CSignalPage p;
    p.page.onFetch();
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{L"Sterownik nie jest ustawiony w tryb do odczytu! "
                                                        L"Wróć do kroku pierwszego."});
    EXPECT_FALSE(p.page.capture().running());

    p.user.clear();
    p.tickReadingMode();
    p.user.answerNo();
    p.page.onFetch();
    EXPECT_EQ(p.user.questions(),
              std::vector<std::wstring>{L"Uruchom silnik i ustal jednostajne obroty. Czy zostało to wykonane?"});
    EXPECT_FALSE(p.page.capture().running());
}

// A second "Pobierz dane" while the capture runs asks nothing and stops nothing: the count goes
// on rising and the refresh timer keeps running.
TEST(SignalPage, ASecondFetchDuringACaptureIsHarmless)
{
    CSignalPage p;
    bool timerRuns = false;
    p.doc.LiveSamples().setTimerHook([&](bool run) { timerRuns = run; });
    p.capture(600);
    ASSERT_TRUE(timerRuns);
    const auto questions = p.user.questions();
    const size_t before = p.page.capture().recordCount();

    p.user.answerYes();
    QTest::mouseClick(p.page.button(CReadSignalDlg::kIdFetch), Qt::LeftButton);
    EXPECT_EQ(p.user.questions(), questions);
    EXPECT_TRUE(timerRuns);
    EXPECT_TRUE(p.page.capture().running());
    EXPECT_TRUE(testsupport::waitUntil([&] { return p.page.capture().recordCount() > before + 500; }, kCaptureLimit));
    p.doc.LiveSamples().setTimerHook({});
}

TEST(SignalPage, EveryEndOfACaptureResumesTheLiveSamples)
{
    enum class End { OverwriteNo, UnwritableFile, LeavingThePage };
    for (const End end : {End::OverwriteNo, End::UnwritableFile, End::LeavingThePage}) {
        SCOPED_TRACE(static_cast<int>(end));
        CSignalPage p;
        p.doc.ResumeLiveSamples();
        p.page.v_activate();
        if (end == End::OverwriteNo)
            testsupport::writeAll(p.savedFile(), {'k', 'e', 'e', 'p'});
        if (end == End::UnwritableFile)
            fs::create_directories(p.savedFile()); // a folder where the file should go
        p.captureNothing(600);
        EXPECT_FALSE(p.doc.LiveSamples().running());

        if (end == End::OverwriteNo) {
            p.user.answerNo();
            p.page.onSave();
            EXPECT_EQ(p.user.questions().back(), L"Taki plik już istnieje! Czy chcesz go zamienić?");
            EXPECT_EQ(testsupport::readText(p.savedFile()), "keep");
            EXPECT_EQ(p.device().m_pulses.size(), 600u);
        } else if (end == End::UnwritableFile) {
            p.user.answerYes();
            p.page.onSave();
            ASSERT_EQ(p.user.texts().size(), 1u);
            EXPECT_EQ(p.user.texts()[0], L"Nie można zapisać wybranego pliku\n" + CReadSignalDlg::savePath());
            // The records wait for another try (tests/integration/signal_capture_test).
            EXPECT_EQ(p.device().m_pulses.size(), 600u);
        } else {
            p.page.v_deactivate();
            EXPECT_EQ(p.settingsByte(kWorkStateByte), 173);
        }
        EXPECT_FALSE(p.page.capture().running());
        EXPECT_TRUE(p.doc.LiveSamples().running());
    }
}

TEST(SignalPage, TheCheckBoxFollowsWhatTheControllerTook)
{
    CSignalPage p;
    p.page.v_activate();
    ASSERT_FALSE(p.page.readModeBox()->isChecked());
    // The settings write goes unanswered: the box stays as it was and says so.
    p.fixture.sim().addFault({sim::FaultKind::NoReply, sim::FaultWhen::FrameType, 0, 3});
    p.page.readModeBox()->click();
    EXPECT_FALSE(p.page.readModeBox()->isChecked());
    EXPECT_FALSE(p.page.modeTicked());
    EXPECT_EQ(p.user.texts(), std::vector<std::wstring>{L"Nie udało się zapisać!"});
    EXPECT_EQ(p.settingsByte(kWorkStateByte), 173);

    p.fixture.sim().clearFaults();
    p.user.clear();
    p.page.readModeBox()->click();
    EXPECT_TRUE(p.page.modeTicked());
    EXPECT_EQ(p.settingsByte(kWorkStateByte), 0);
    // Unticked by hand, there is nothing to put back on leaving.
    p.page.readModeBox()->click();
    EXPECT_EQ(p.settingsByte(kWorkStateByte), 173);
    p.fixture.sim().clearRequests();
    p.page.v_deactivate();
    for (const auto& r : p.fixture.sim().requests())
        EXPECT_NE(r.type, 3) << "no settings write";

    // A controller found in reading mode is shown ticked, and stays so on leaving.
    auto settings = p.fixture.sim().settings();
    settings[kWorkStateByte] = 0;
    p.fixture.sim().setSettings(settings);
    p.page.v_activate();
    EXPECT_TRUE(p.page.readModeBox()->isChecked());
    EXPECT_TRUE(p.page.modeTicked());
    p.page.v_deactivate();
    EXPECT_EQ(p.settingsByte(kWorkStateByte), 0);
    EXPECT_TRUE(p.user.texts().empty());
}

TEST(SignalPage, LoadDrawsTheDescribedFirstRecordAndAnalyses)
{
    CSignalPage p;
    CPulseList pulses(600, CPulse{40, 20});
    p.user.answerFile(p.writeSignal("even.csv", pulses));
    p.page.onLoad();
    ASSERT_EQ(p.user.fileRequests().size(), 1u);
    EXPECT_EQ(p.user.fileRequests()[0].folder, getDiagFolder());
    EXPECT_EQ(p.user.fileRequests()[0].filter, L"Wheal type files (*.csv)|*.csv|");
    EXPECT_EQ(p.user.fileRequests()[0].extension, L"csv");
    EXPECT_FALSE(p.user.fileRequests()[0].save);
    EXPECT_EQ(p.page.pulses(), pulses);

    // Scale 2: ten points high, ten low, one edge; the next tooth starts one phase on.
    const std::vector<double> points = p.points();
    ASSERT_EQ(points.size(), 2000u);
    for (size_t i = 0; i < 21; ++i)
        EXPECT_EQ(points[i], i < 10 ? 2.0 : i < 20 ? 0.01 : 0.0) << i;
    for (size_t i = 21; i < 42; ++i)
        EXPECT_EQ(points[i], i < 30 ? 2.0 : i < 40 ? 0.01 : i == 40 ? 0.0 : 2.0) << i;
    // An even signal has no gaps: the analysis fails and shows 0.
    EXPECT_EQ(p.page.pulseCountDisplay()->valueText(), L"0");

    // "-" stops at 2, "Lewo" at the start; exactly 500 records draw nothing.
    for (int i = 0; i < 30; ++i)
        p.page.onMinus();
    EXPECT_EQ(p.page.scaleDivisor(), 2);
    p.page.onLeft();
    EXPECT_EQ(p.page.startIndex(), 0u);
    p.page.onRight();
    EXPECT_EQ(p.page.startIndex(), 2u);
    EXPECT_TRUE(p.page.loadFile(p.writeSignal("short.csv", CPulseList(500, CPulse{40, 20}))));
    EXPECT_EQ(p.page.chart()->pointCount(1), 0u) << "the previous picture must not stay";
    EXPECT_EQ(p.page.pulses().size(), 500u);

    // A file that cannot be opened changes nothing.
    EXPECT_FALSE(p.page.loadFile((p.fixture.home().path() / "missing.csv").wstring()));
    EXPECT_EQ(p.page.pulses().size(), 500u);
}

TEST(SignalPage, ADroppedFileLoadsAndTheFolderButtonOpensTheDiagFolder)
{
    CSignalPage p;
    const CPulseList pulses = wheel6022(2000);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdWString(p.writeSignal("dropped.csv", pulses)))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&p.page, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&p.page, &drop);
    EXPECT_EQ(p.page.pulses(), pulses);
    EXPECT_EQ(p.page.pulseCount(), 60);
    EXPECT_EQ(p.page.pulseDeficit(), 2);

    QTest::mouseClick(p.page.button(CReadSignalDlg::kIdOpenFolder), Qt::LeftButton);
    EXPECT_EQ(p.opened, std::vector<std::wstring>{getDiagFolder()});
}

TEST(SignalPage, WheelZoomsAroundThePointerAndDoubleClickGoesBack)
{
    CSignalPage p;
    const CPulseList pulses = wheel6022(3000);
    ASSERT_TRUE(p.page.loadFile(p.writeSignal("wheel.csv", pulses)));
    const auto gap = p.page.firstGapInView();
    ASSERT_TRUE(gap);
    const int point = (gap->first + gap->second) / 2;
    const int64_t gapRecord = p.page.trace().record[static_cast<size_t>(point)];
    EXPECT_GT(pulses[static_cast<size_t>(gapRecord)].period, 2 * pulses[static_cast<size_t>(gapRecord) - 1].period);

    // Three notches of the real wheel over the gap, through the chart.
    CSignalChart* chart = p.page.chart();
    const QPointF at(chart->pointX(point), chart->height() / 2.0);
    QWheelEvent wheel(at, chart->mapToGlobal(at), QPoint(), QPoint(0, 360), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_GT(p.page.scaleDivisor(), 20 + 2);
    EXPECT_EQ(p.page.trace().record[static_cast<size_t>(chart->pointAt(at.x()))], gapRecord)
        << "the gap stays under the pointer";

    // Out again, down to the smallest divisor.
    p.page.zoomAt(point, -40);
    EXPECT_EQ(p.page.scaleDivisor(), 2);

    QTest::mouseDClick(chart, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    EXPECT_EQ(p.page.scaleDivisor(), 20);
    EXPECT_EQ(p.page.startIndex(), 0u);
}

TEST(SignalPage, DraggingMovesTheGrabbedToothWithThePointer)
{
    CSignalPage p;
    ASSERT_TRUE(p.page.loadFile(p.writeSignal("wheel.csv", wheel6022(3000))));
    CSignalChart* chart = p.page.chart();
    const int from = 1500;
    const int64_t grabbed = p.page.trace().record[from];
    QTest::mousePress(chart, Qt::LeftButton, Qt::NoModifier, QPoint(static_cast<int>(chart->pointX(from)), 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(chart->pointX(300), 50), chart->mapToGlobal(QPointF(chart->pointX(300), 50)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(chart, &move);
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::NoModifier, QPoint(static_cast<int>(chart->pointX(300)), 50));
    EXPECT_GT(p.page.startIndex(), 0u);
    const int64_t now = p.page.trace().record[static_cast<size_t>(chart->pointAt(chart->pointX(300)))];
    EXPECT_GE(now, grabbed);
    EXPECT_LE(now, grabbed + 2);
}

TEST(SignalPage, ReadoutShowsTheToothUnderThePointerAndGapsAreMarked)
{
    CSignalPage p;
    const CPulseList pulses = wheel6022(2000);
    ASSERT_TRUE(p.page.loadFile(p.writeSignal("wheel.csv", pulses)));
    const auto gap = p.page.firstGapInView();
    ASSERT_TRUE(gap);
    // Every marked place shows a record in front of a gap, and every such record drawn is marked.
    const std::vector<bool> gaps = gapRecords(pulses);
    for (size_t i = 0; i < p.page.trace().record.size(); ++i) {
        const int64_t r = p.page.trace().record[i];
        bool marked = false;
        for (const auto& [first, last] : p.page.chart()->gapSpans())
            marked = marked || (static_cast<int>(i) >= first && static_cast<int>(i) <= last);
        EXPECT_EQ(marked, r >= 0 && gaps[static_cast<size_t>(r)]) << i;
    }

    const int point = gap->first + 3;
    const auto record = static_cast<size_t>(p.page.trace().record[static_cast<size_t>(point)]);
    p.page.showReadoutAt(point);
    char ratio[16];
    std::snprintf(ratio, sizeof ratio, "%.2f", pulses[record].period /
                                                   ((pulses[record - 1].period + pulses[record - 2].period +
                                                     pulses[record - 3].period) / 3.0));
    const std::vector<QString> expected = {
        QStringLiteral("Rekord %1  (przerwa)").arg(record),
        QStringLiteral("Okres: %1 taktów").arg(pulses[record].period),
        QStringLiteral("Czas stanu wysokiego: %1 taktów").arg(pulses[record].highTime),
        QStringLiteral("Współczynnik przerwy: %1").arg(QString::fromLatin1(ratio)),
    };
    EXPECT_EQ(p.page.chart()->readoutLines(), expected);
    EXPECT_GT(std::atof(ratio), 2.5);

    // A tooth of its own: no gap mark; past the end of the drawing: no readout.
    p.page.showReadoutAt(gap->second + 40);
    EXPECT_FALSE(p.page.chart()->readoutLines()[0].contains(QStringLiteral("przerwa")));
    setCurrentLanguage(kLanguageEnglish);
    p.page.onLanguageChange();
    EXPECT_TRUE(p.page.chart()->readoutLines()[1].startsWith(QStringLiteral("Period: ")));
    p.page.showReadoutAt(-1);
    EXPECT_TRUE(p.page.chart()->readoutLines().empty());
}
