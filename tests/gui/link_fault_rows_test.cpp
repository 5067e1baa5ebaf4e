// Every window action of the device page, the signal page and the File menu that sends a frame,
// run in the whole window against the virtual controller, once with the cable pulled at that frame
// (the controller back 300 ms later on a new terminal) and once with that frame never answered:
// nothing ends the program, exactly one error message, the event loop keeps turning while the
// action waits, the controller is found again by itself, and afterwards the screen shows what
// the controller holds.
#include "files/settings_file.h"
#include "gui/pages/read_signal_dlg.h"
#include "gui/pages/version_dlg.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/skin/described_display.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/image_check_box.h"
#include "gui/support/qt_app_environment.h"
#include "operations/diag_threads.h"
#include "support/byte_files.h"
#include "support/firmware_files.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"
#include "support/wait_until.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);
constexpr int kBackAfterMs = 300;
constexpr int kReconnectLimitMs = 5000;
constexpr size_t kSensorTypeByte = 10;
constexpr size_t kWorkStateByte = 13;

// The program's start-up against the controller, signal tab revealed.
struct CWindow {
    CWindow()
    {
        setCurrentLanguage(kLanguagePolish);
        CSimFixture::setPorts({sim.sim().path()});
        doc = std::make_unique<CDoravineDoc>(&threads);
        CSimFixture::shortenTimeouts(doc->Device());
        frame = std::make_unique<CMainFrame>(*doc);
        frame->initialUpdate();
        frame->resize(1366, 768);
        frame->show();
        EXPECT_TRUE(QTest::qWaitFor([this] { return !view().searching(); }, 20000));
        EXPECT_TRUE(device().m_connected);
        view().revealHiddenTabs();
    }
    ~CWindow()
    {
        firmwareUpdateTimings() = CFirmwareUpdateTimings{};
        captureState() = kCaptureIdle;
        frame.reset();
        doc->StopLiveSamples();
        threads.joinAll();
        doc.reset();
        CSimFixture::setPorts({});
    }
    CDoravineView& view() { return *frame->view(); }
    CLPGDevice& device() { return doc->Device(); }
    void showTab(int tab) { ASSERT_TRUE(view().pageCtrl()->activatePage(tab)); }
    std::vector<std::wstring> errors() const
    {
        std::vector<std::wstring> out;
        for (const auto& m : user.messages())
            if (m.icon == MessageIcon::Error)
                out.push_back(m.text);
        return out;
    }
    // A settings file of this controller whose settings, map and axes all differ from its own.
    std::wstring changedSettingsFile()
    {
        CSettingsRecord record = device().m_settings;
        record.tpsThreshold = 2.25;
        record.sensorType = record.sensorType == 0 ? 1 : 0;
        record.advanceMap[0][0] = 7.0;
        for (int i = 0; i < kMapColumns; ++i)
            record.rpmAxis[i] = 1000.0 + 200 * i;
        CSettingsSnapshot snapshot;
        snapshot.initMarker(device().m_firmwareVersion);
        snapshot.takeSnapshot(device().m_firmwareVersion, device().m_deviceType, record);
        const auto path = sim.home().path() / "changed.settings";
        const auto bytes = snapshot.fileBytes();
        testsupport::writeAll(path, testsupport::Bytes(bytes.begin(), bytes.end()));
        return path.wstring();
    }

    CRecordingUser user;
    CSimFixture sim;
    CThreadManager threads;
    std::unique_ptr<CDoravineDoc> doc;
    std::unique_ptr<CMainFrame> frame;
};

enum class Fault { Pulled, Unanswered };

struct Row {
    const char* action;
    sim::FaultWhen when; // the frame the fault lands on: a command code or a frame type
    uint8_t code;
    std::function<void(CWindow&)> prepare; // brings the window to the action, before the fault
    std::function<void(CWindow&)> act;
};

sim::FaultRule faultAt(Fault fault, const Row& row)
{
    sim::FaultRule rule;
    rule.when = row.when;
    rule.code = row.code;
    if (fault == Fault::Pulled) {
        rule.kind = sim::FaultKind::HangUp;
        rule.backAfterMs = kBackAfterMs;
        rule.times = 1;
    } else {
        rule.kind = sim::FaultKind::NoReply;
    }
    return rule;
}

// Whether a 20 ms timer kept beating while the action ran: at least once in every 200 ms it took.
// An action that holds the window's thread gets no beat at all.
bool answeredThroughout(const std::function<void()>& action)
{
    int beats = 0;
    QTimer beat;
    beat.setInterval(20);
    QObject::connect(&beat, &QTimer::timeout, [&beats] { ++beats; });
    QElapsedTimer took;
    took.start();
    beat.start();
    action();
    return beats >= took.elapsed() / 200;
}

// The controller back (on the terminal the hang-up reopened, which the port table now names) and
// connected again by the window's own timer.
bool reconnects(CWindow& w, Fault fault)
{
    if (fault == Fault::Unanswered) {
        w.sim.sim().clearFaults();
    } else {
        std::string path;
        if (!testsupport::waitUntil([&] { return !(path = w.sim.sim().path()).empty(); }, std::chrono::seconds(5)))
            return false;
        CSimFixture::setPorts({path});
    }
    return QTest::qWaitFor([&] { return w.device().m_connected.load() && !w.frame->gateway().busy(); },
                           kReconnectLimitMs);
}

// What the pages show against what the controller holds.
void expectScreenEqualsController(CWindow& w)
{
    const CSettingsRecord& record = w.device().m_settings;
    const auto held = w.sim.sim().settings();
    const SettingsBlock shown = encodeSettingsBlock(record);
    EXPECT_TRUE(std::equal(held.begin(), held.end(), shown.begin())) << "the settings the pages show";
    const auto map = w.sim.sim().map();
    const MapBlock shownMap = encodeMapBlock(record);
    EXPECT_TRUE(std::equal(map.begin(), map.end(), shownMap.begin())) << "the map the page shows";
    const auto axes = w.sim.sim().axes();
    const AxesBlock shownAxes = encodeAxesBlock(record);
    EXPECT_TRUE(std::equal(axes.begin(), axes.end(), shownAxes.begin())) << "the axes the map page shows";
    EXPECT_EQ(w.view().versionPage()->typeDisplay()->valueText(),
              CVersionDlg::sensorTypeText(held[kSensorTypeByte]));
    if (w.view().pageCtrl()->activePage() == w.view().signalPage()) {
        EXPECT_EQ(w.view().signalPage()->readModeBox()->isChecked(), held[kWorkStateByte] != kWorkStateNormal);
    }
}

// The signal page shown, the controller in reading mode.
void tickReadingMode(CWindow& w)
{
    w.showTab(CDoravineView::TabSignal);
    if (!w.view().signalPage()->modeTicked())
        w.view().signalPage()->readModeBox()->click();
}

const Row kRows[] = {
    {"Wczytaj błędy", sim::FaultWhen::Command, 0x05, [](CWindow& w) { w.showTab(CDoravineView::TabVersion); },
     [](CWindow& w) { QTest::mouseClick(w.view().versionPage()->readButton(), Qt::LeftButton); }},
    {"Kasuj błędy", sim::FaultWhen::Command, 0x0A, [](CWindow& w) { w.showTab(CDoravineView::TabVersion); },
     [](CWindow& w) { QTest::mouseClick(w.view().versionPage()->clearButton(), Qt::LeftButton); }},
    {"Czytaj sygnał (tab)", sim::FaultWhen::Command, 0x07, [](CWindow& w) { w.showTab(CDoravineView::TabVersion); },
     [](CWindow& w) { w.showTab(CDoravineView::TabSignal); }},
    {"Czytaj sygnał (box)", sim::FaultWhen::FrameType, 0x03, [](CWindow& w) { w.showTab(CDoravineView::TabSignal); },
     [](CWindow& w) { w.view().signalPage()->readModeBox()->click(); }},
    {"Pobierz dane", sim::FaultWhen::Command, 0x08,
     [](CWindow& w) {
         tickReadingMode(w);
         w.user.answerYes();
     },
     [](CWindow& w) {
         QTest::mouseClick(w.view().signalPage()->button(CReadSignalDlg::kIdFetch), Qt::LeftButton);
     }},
    {"Zapisz dane", sim::FaultWhen::FrameType, 0x03,
     [](CWindow& w) {
         tickReadingMode(w);
         w.user.answerYes();
         w.view().signalPage()->onFetch();
         ASSERT_TRUE(QTest::qWaitFor([&] { return w.view().signalPage()->capture().recordCount() >= 600; }, 20000));
     },
     [](CWindow& w) {
         QTest::mouseClick(w.view().signalPage()->button(CReadSignalDlg::kIdSave), Qt::LeftButton);
     }},
    {"Czytaj sygnał (leaving the tab)", sim::FaultWhen::FrameType, 0x03, tickReadingMode,
     [](CWindow& w) { w.showTab(CDoravineView::TabVersion); }},
    // In the middle of the load: the settings and the map are taken, the axes not.
    {"Wczytaj ustawienia z pliku", sim::FaultWhen::FrameType, 0x0B,
     [](CWindow& w) {
         w.user.answerYes();
         w.user.answerFile(w.changedSettingsFile());
     },
     [](CWindow& w) { w.frame->action(CMainFrame::CmdLoadSettings)->trigger(); }},
    {"Przywróć ustawienia fabryczne", sim::FaultWhen::FrameType, 0x03, nullptr,
     [](CWindow& w) { w.frame->action(CMainFrame::CmdFactorySettings)->trigger(); }},
    // At the request that sends the application into its boot loader: the controller keeps its
    // program and comes back as it was.
    {"Aktualizacja sterownika", sim::FaultWhen::FrameType, 0xF6,
     [](CWindow& w) {
         firmwareUpdateTimings() = {0, 0, 0};
         const auto path = w.sim.home().path() / "new.afm";
         testsupport::writeFirmware(path, {.version = 0x0160});
         w.user.answerFile(path.wstring());
     },
     [](CWindow& w) { w.frame->action(CMainFrame::CmdDeviceUpdate)->trigger(); }},
};

} // namespace

TEST(LinkFaultRows, EveryActionSurvivesAPulledCableAndAnUnansweredFrame)
{
    for (const Row& row : kRows) {
        for (const Fault fault : {Fault::Pulled, Fault::Unanswered}) {
            SCOPED_TRACE(std::string(row.action) + (fault == Fault::Pulled ? ": pulled" : ": unanswered"));
            CWindow w;
            ASSERT_TRUE(QTest::qWaitFor([&] { return w.device().m_diagData.count() > 0; }, 10000));
            if (row.prepare)
                row.prepare(w);
            w.user.clear();
            w.sim.sim().addFault(faultAt(fault, row));
            EXPECT_TRUE(answeredThroughout([&] { row.act(w); })) << "the event loop turned while the action waited";
            EXPECT_EQ(w.errors().size(), 1u) << "one message says what failed";
            ASSERT_TRUE(reconnects(w, fault)) << "connected again by itself";
            expectScreenEqualsController(w);
        }
    }
}
