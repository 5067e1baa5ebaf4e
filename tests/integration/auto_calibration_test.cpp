// The wheel auto-detection against the virtual controller: the engine profiles and every wheel it
// simulates, the progress figures tick by tick, the frames the controller receives, the settings
// copy, and the ways a run ends early. The ticks are driven here as fast as the passes allow.
#include "operations/auto_calibration.h"

#include "files/settings_file.h"
#include "operations/doravine_doc.h"
#include "support/byte_files.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using Outcome = CAutoCalibration::Outcome;
using sim::Profile;
using sim::Wheel;

namespace {

constexpr auto kDeadline = std::chrono::seconds(60);
const std::wstring kSavedIn = L"Dotychczasowe ustawienia sterownika zapisano w pliku:";
const std::wstring kPutBack = L"Przywrócono poprzednie ustawienia sterownika.";
const std::wstring kPutBackFailed = L"Nie udało się przywrócić poprzednich ustawień sterownika.";
const std::wstring kLoadByHand = L"Wczytaj je z pliku (Plik > Wczytaj ustawienia z pliku...):";

class AutoCalibration : public ::testing::Test {
  protected:
    void SetUp() override
    {
        sim().setProfile(Profile::Steady);
        CSimFixture::shortenTimeouts(device());
        device().Start();
        ASSERT_TRUE(device().m_connected);
        device().Timings().stopLiveSamplesWaitMs = 0;
        doc.ResumeLiveSamples();
        sim().clearRequests();
    }
    void TearDown() override
    {
        doc.StopLiveSamples();
        threads.joinAll();
        device().Close();
    }

    sim::VirtualController& sim() { return fixture.sim(); }
    CLPGDevice& device() { return doc.Device(); }
    fs::path mapData() const { return fixture.home().path() / "Documents" / "Doravine" / "Map data"; }

    // The requests the run sent, without the live samples that go on beside it.
    std::vector<std::string> runRequests()
    {
        std::vector<std::string> out;
        for (const std::string& r : testsupport::requestNames(sim()))
            if (r != "2/06")
                out.push_back(r);
        return out;
    }

    // Waits until the newest live sample shows the engine turning (or stopped, with running false).
    void waitForEngine(bool running)
    {
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        CDiag sample{};
        while (!(device().m_diagData.getLast(sample) && (sample.rpm() > 50) == running)) {
            ASSERT_LT(std::chrono::steady_clock::now(), end) << "no live sample of that engine";
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // Ticks until the collection completes (or stop says so), waiting on the line while a pass runs.
    // Answers the progress after every tick that did not merely wait for a pass.
    std::vector<int> collect(CAutoCalibration& calibration, const std::function<bool()>& stop = {})
    {
        std::vector<int> seen;
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (std::chrono::steady_clock::now() < end) {
            const bool waiting = calibration.passRunning();
            const bool complete = calibration.tick() == CAutoCalibration::TickResult::Complete;
            if (!waiting)
                seen.push_back(calibration.progress());
            if (complete || (stop && stop()))
                return seen;
            if (calibration.passRunning())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ADD_FAILURE() << "the collection did not end";
        return seen;
    }

    Outcome detect(CAutoCalibration& calibration)
    {
        user.answerYes();
        if (!calibration.prepare())
            return calibration.outcome();
        waitForEngine(true);
        collect(calibration);
        return calibration.finish(false);
    }

    // A default settings file of this controller whose cells all hold the given angle.
    void writeDefaultSettings(double angle)
    {
        CSettingsRecord record = device().m_settings;
        for (auto& row : record.advanceMap)
            for (double& cell : row)
                cell = angle;
        CSettingsSnapshot snapshot;
        snapshot.initMarker(device().m_firmwareVersion);
        snapshot.takeSnapshot(device().m_firmwareVersion, device().m_deviceType, record);
        fs::create_directories(mapData());
        ASSERT_TRUE(snapshot.writeFileAt(CDoravineDoc::defaultSettingsPath()));
    }

    std::wstring withBackupLine(const std::wstring& message, const CAutoCalibration& calibration) const
    {
        return message + L"\n" + kSavedIn + L"\n" + calibration.backupPath();
    }
    std::wstring withPutBack(const std::wstring& message, const CAutoCalibration& calibration, bool putBack) const
    {
        return putBack ? withBackupLine(message + L"\n" + kPutBack, calibration)
                       : message + L"\n" + kPutBackFailed + L"\n" + kLoadByHand + L"\n" + calibration.backupPath();
    }

    // What a mechanic tuned: a 36-2 wheel, TPS 2.25 V, cells off the 60-2 step, all stored.
    struct Blocks {
        std::array<uint8_t, sim::kSettingsSize> settings;
        std::array<uint8_t, sim::kMapSize> map, savedMap;
        std::array<uint8_t, sim::kAxesSize> axes;
        bool operator==(const Blocks&) const = default;
    };
    Blocks controller() { return {sim().settings(), sim().map(), sim().savedMap(), sim().axes()}; }
    Blocks tuneController()
    {
        Blocks tuned = controller();
        tuned.settings[0] = 150;
        tuned.settings[2] = 5;
        tuned.settings[4] = 36;
        tuned.settings[6] = 1;
        for (size_t k = 0; k < tuned.map.size(); k += 7)
            tuned.map[k] = 73;
        tuned.savedMap = tuned.map;
        setController(tuned);
        return tuned;
    }
    // The controller's blocks set and read in, as a connection would.
    void setController(const Blocks& blocks)
    {
        sim().setSettings(blocks.settings);
        sim().setMap(blocks.map);
        sim().setAxes(blocks.axes);
        EXPECT_TRUE(device().SaveMap() && device().GetSettings() && device().GetMap() && device().GetMapAxes());
        sim().clearRequests();
    }

    CSimFixture fixture;
    CRecordingUser user;
    CThreadManager threads;
    CDoravineDoc doc{&threads};
};

TEST_F(AutoCalibration, ProgressFollowsTheDescribedFiguresAndTheFramesTheirOrder)
{
    CAutoCalibration calibration(doc);
    user.answerYes();
    ASSERT_TRUE(calibration.prepare());
    // The settings and map written are read back; the described read after them finds them unchanged.
    EXPECT_EQ(runRequests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E", "2/07", "2/10", "2/0F", "2/0A"}));
    const auto reset = sim().settings();
    EXPECT_EQ((std::vector<int>{reset[0], reset[2], reset[3], reset[4], reset[5], reset[6], reset[11], reset[13]}),
              (std::vector<int>{0, 5, 0, 60, 2, 0, 10, 0}))
        << "TPS, algorithm, input, teeth, missing, wheel type, factor, state";
    EXPECT_EQ(sim().savedMap(), (std::array<uint8_t, 240>{})) << "the map is cleared and stored";

    waitForEngine(true);
    const std::vector<int> seen = collect(calibration);
    ASSERT_GT(seen.size(), 160u);
    // Tick 1 of running shows 20; ten seconds of ticks later 40; the smoothed speed needs 7 ticks
    // to settle and then 50 steady ticks: 80 follows 57 ticks (about 6 s) after 40.
    EXPECT_EQ(seen[0], 20);
    EXPECT_EQ(seen[50], 30);
    EXPECT_EQ(std::find(seen.begin(), seen.end(), 40) - seen.begin(), 100);
    EXPECT_EQ(std::find(seen.begin(), seen.end(), 80) - seen.begin(), 157);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(device().m_pulses.size(), 2000u) << "the flushed pass is dropped";
    const std::vector<std::string> run = runRequests();
    EXPECT_EQ(std::count(run.begin(), run.end(), "2/08"), 50) << "the flush and four passes of ten blocks";

    sim().clearRequests();
    EXPECT_EQ(calibration.finish(false), Outcome::Calibrated);
    EXPECT_EQ(runRequests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E", "9", "2/0E", "2/0F", "2/07"}))
        << "the wheel stored, no default file, the fitted map written and stored, the read back";
    EXPECT_EQ(user.texts().back(), withBackupLine(L"Autokalibracja zakończona sukcesem!", calibration));
}

TEST_F(AutoCalibration, TheDetectedWheelIsStoredWithItsListEntryAndMapStep)
{
    writeDefaultSettings(7.3);
    const struct {
        Wheel wheel;
        int teeth, missing, algorithm, wheelType, cellTenths;
    } cases[] = {
        // Each wheel's pulses are the simulator's tests and the list entries the table below; here
        // one wheel of each map step, and the one with algorithm 5.
        {Wheel::W60_2, 60, 2, 0, 0, 78},
        {Wheel::W30_2, 30, 2, 0, 3, 84},
        {Wheel::W36_4Typ4, 36, 4, 5, 5, 80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(sim::wheelInfo(c.wheel).name);
        sim().setWheel(c.wheel);
        CAutoCalibration calibration(doc);
        ASSERT_EQ(detect(calibration), Outcome::Calibrated);
        const auto s = sim().settings();
        EXPECT_EQ((std::vector<int>{s[4], s[5], s[2], s[6], s[11], s[13]}),
                  (std::vector<int>{c.teeth, c.missing, c.algorithm, c.wheelType, 10, 173}));
        EXPECT_EQ(device().m_settings.wheelType, c.wheelType) << "the record read back";
        EXPECT_EQ(sim().savedMap()[0], c.cellTenths) << "7.3 snapped to the wheel's step";
        EXPECT_EQ(sim().savedMap()[239], c.cellTenths);
        EXPECT_FALSE(calibration.offerPreviousMap()) << "the default file was loaded: nothing to offer";
        EXPECT_TRUE(user.yesPreselected().empty());
    }
}

TEST_F(AutoCalibration, TheTwelvePlusOneWheelIsNoSupportedSignalAndTheOldSettingsGoBack)
{
    const Blocks before = tuneController();
    sim().setWheel(Wheel::W12_1);
    CAutoCalibration calibration(doc);
    EXPECT_EQ(detect(calibration), Outcome::Unsupported);
    EXPECT_EQ(user.texts().back(), withPutBack(L"Nieobsługiwany sygnał", calibration, true));
    EXPECT_TRUE(controller() == before) << "the controller as it was, byte for byte";
    EXPECT_EQ(runRequests().back(), "2/07");
}

// A recorder that never answers would hold the progress for ever: three unanswered passes end
// the run with its message, and the old settings go back.
TEST_F(AutoCalibration, UnansweredCrankRecordsEndTheRunAndTheOldSettingsGoBack)
{
    const Blocks before = tuneController();
    sim::FaultRule blocks = faultRule(sim::FaultKind::NoReply);
    blocks.when = sim::FaultWhen::Command;
    blocks.code = 0x08;
    sim().addFault(blocks);
    CAutoCalibration calibration(doc);
    EXPECT_EQ(detect(calibration), Outcome::Unanswered);
    sim().clearFaults();
    EXPECT_EQ(user.texts().back(), withPutBack(L"Sterownik nie odpowiada.", calibration, true));
    EXPECT_TRUE(controller() == before) << "the controller as it was, byte for byte";
}

TEST_F(AutoCalibration, EveryRunningEngineProfileEndsDetected)
{
    for (const Profile profile : {Profile::Start, Profile::Rev, Profile::Idle}) {
        SCOPED_TRACE(sim::profileName(profile));
        sim().setProfile(profile);
        CAutoCalibration calibration(doc);
        EXPECT_EQ(detect(calibration), Outcome::Calibrated);
        EXPECT_EQ(sim().settings()[4], 60);
    }
}

TEST_F(AutoCalibration, AStallStartsAgainFromZeroAndTheRunGoesOnOnceTheEngineRuns)
{
    CAutoCalibration calibration(doc);
    user.answerYes();
    ASSERT_TRUE(calibration.prepare());
    sim().setProfile(Profile::Stall); // idles 2 s, dies within the next second
    waitForEngine(true);
    int highest = 0;
    collect(calibration, [&] {
        highest = std::max(highest, calibration.progress());
        // About the window's pace, so that the engine dies before the collection is through.
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        return highest > 0 && calibration.progress() == 0;
    });
    EXPECT_GE(highest, 20) << "the engine ran for a while";
    EXPECT_LT(highest, 80);
    EXPECT_EQ(calibration.progress(), 0);
    EXPECT_STREQ(calibration.instruction(), L"Uruchom silnik");

    sim().setProfile(Profile::Steady);
    waitForEngine(true);
    const std::vector<int> seen = collect(calibration);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 20) << "warming up from the start";
    EXPECT_EQ(calibration.finish(false), Outcome::Calibrated);
}

TEST_F(AutoCalibration, CancelInEveryPhasePutsTheControllerBackByteForByte)
{
    const Blocks before = tuneController();
    const struct {
        const char* phase;
        std::function<bool(CAutoCalibration&)> stop; // null: cancelled before the first tick
    } cases[] = {
        {"engine stopped", nullptr},
        {"warming up", [](CAutoCalibration& c) { return c.progress() == 30; }},
        {"steady ticks", [](CAutoCalibration& c) { return c.progress() == 60; }},
        {"flushing pass on the line", [](CAutoCalibration& c) { return c.passRunning(); }},
        {"collecting pass on the line",
         [this](CAutoCalibration& c) { return c.passRunning() && device().m_pulses.size() > 0; }},
        {"records complete", [](CAutoCalibration&) { return false; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.phase);
        user.clear();
        CAutoCalibration calibration(doc);
        user.answerYes();
        ASSERT_TRUE(calibration.prepare());
        ASSERT_NE(controller().savedMap, before.savedMap) << "the run has reset the controller";
        if (c.stop) {
            waitForEngine(true);
            collect(calibration, [&] { return c.stop(calibration); });
        }
        sim().clearRequests();
        EXPECT_EQ(calibration.finish(true), Outcome::Cancelled);
        std::vector<std::string> run = runRequests();
        std::erase(run, "2/08"); // the rest of a pass that was on the line
        // Each write read back before it counts.
        EXPECT_EQ(run, (std::vector<std::string>{"3", "2/07", "9", "2/0E", "B", "2/11", "9", "2/0E", "2/0F", "2/0A",
                                                 "2/07"}))
            << "the load's sequence once the pass is over, then the read back";
        EXPECT_TRUE(controller() == before);
        EXPECT_EQ(device().m_settings.workState, kWorkStateNormal);
        EXPECT_EQ(user.texts(),
                  std::vector<std::wstring>{withPutBack(L"Autodetekcja koła zamachowego przerwana.", calibration, true)});
    }
}

TEST_F(AutoCalibration, AnswerNoChangesNothing)
{
    const auto settings = sim().settings();
    const auto map = sim().map();
    CAutoCalibration calibration(doc);
    user.answerNo();
    EXPECT_FALSE(calibration.prepare());
    EXPECT_EQ(calibration.outcome(), Outcome::Declined);
    EXPECT_EQ(user.questions(),
              (std::vector<std::wstring>{
                  L"Automatyczne wykrywanie spowoduje skasowanie dotychczasowych ustawień! Czy chcesz kontynuować?"}));
    EXPECT_TRUE(runRequests().empty());
    EXPECT_EQ(sim().settings(), settings);
    EXPECT_EQ(sim().map(), map);
    EXPECT_FALSE(fs::exists(mapData()) && !fs::is_empty(mapData())) << "no copy either";
}

TEST_F(AutoCalibration, WithoutAControllerItSaysSoAndResetsNothing)
{
    doc.StopLiveSamples();
    device().m_connected = false;
    const CSettingsRecord before = device().m_settings;
    CAutoCalibration calibration(doc);
    user.answerYes();
    EXPECT_FALSE(calibration.prepare());
    EXPECT_EQ(calibration.outcome(), Outcome::NotConnected);
    EXPECT_EQ(user.texts(), (std::vector<std::wstring>{L"BRAK POŁĄCZENIA"}));
    EXPECT_EQ(device().m_settings.teethCount, before.teethCount);
    EXPECT_TRUE(calibration.backupPath().empty());
    EXPECT_TRUE(runRequests().empty());
}

TEST_F(AutoCalibration, TheCopyIsWrittenBeforeTheResetAndLoadsTheOldSettingsBack)
{
    const auto map = sim().map();
    const auto axes = sim().axes();
    const int tps = sim().settings()[0];
    CAutoCalibration calibration(doc);
    user.answerYes();
    ASSERT_TRUE(calibration.prepare());
    // Where the copy goes and its name are the firmware update's and the command's tests.
    const fs::path copy(calibration.backupPath());
    calibration.finish(true);

    user.answerYes();
    user.answerFile(copy.wstring());
    EXPECT_EQ(doc.LoadSettingsFromFile(), CDoravineDoc::LoadResult::Loaded);
    EXPECT_EQ(sim().savedMap(), map);
    EXPECT_EQ(sim().axes(), axes);
    EXPECT_EQ(sim().settings()[0], tps);
}

TEST_F(AutoCalibration, FailuresPutTheOldSettingsBackOrNameTheCopy)
{
    struct Case {
        const char* name;
        sim::FaultRule fault;
        bool faultFromStart; // else only once the collection is over
        Outcome outcome;
        bool putBack; // the fault spares the load's sequence
    };
    sim::FaultRule settings = faultRule(sim::FaultKind::NoReply);
    settings.when = sim::FaultWhen::FrameType;
    settings.code = 3;
    sim::FaultRule map = settings;
    map.code = 9;
    sim::FaultRule clear = faultRule(sim::FaultKind::NoReply);
    clear.when = sim::FaultWhen::Command;
    clear.code = 0x10;
    const Case cases[] = {
        {"reset refused", settings, true, Outcome::ResetFailed, false},
        {"clear refused", clear, true, Outcome::ResetFailed, true},
        {"wheel refused", settings, false, Outcome::StoreFailed, false},
        {"fitted map refused", map, false, Outcome::StoreFailed, false},
    };
    const Blocks before = tuneController();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        user.clear();
        CAutoCalibration calibration(doc);
        user.answerYes();
        if (c.faultFromStart)
            sim().addFault(c.fault);
        if (calibration.prepare()) {
            waitForEngine(true);
            collect(calibration);
            sim().addFault(c.fault);
            sim().clearRequests();
            calibration.finish(false);
            EXPECT_EQ(runRequests().back(), "2/07") << "read back after the failure";
        }
        sim().clearFaults();
        EXPECT_EQ(calibration.outcome(), c.outcome);
        EXPECT_EQ(user.texts().at(0),
                  withPutBack(L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!", calibration, c.putBack));
        EXPECT_EQ(user.texts().size(), 1u) << "no success after a failure";
        if (c.putBack) {
            EXPECT_TRUE(controller() == before);
        }
        setController(before); // the next run starts from the tuned controller again
    }
}

TEST_F(AutoCalibration, WithoutADefaultFileThePreviousMapIsOfferedSnappedToTheNewWheel)
{
    const Blocks before = tuneController(); // cells of 7.3 among those of the default map
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        user.clear();
        setController(before);
        CAutoCalibration calibration(doc);
        ASSERT_EQ(detect(calibration), Outcome::Calibrated);
        ASSERT_EQ(sim().savedMap(), (std::array<uint8_t, 240>{})) << "60-2 detected, the map empty";
        sim().clearRequests();
        yes ? user.answerYes() : user.answerNo();
        EXPECT_EQ(calibration.offerPreviousMap(), yes);
        ASSERT_EQ(user.yesPreselected().size(), 1u);
        EXPECT_EQ(user.yesPreselected()[0], user.questions().back());
        if (!yes) {
            EXPECT_TRUE(runRequests().empty());
            continue;
        }
        EXPECT_EQ(runRequests(), (std::vector<std::string>{"3", "2/07", "9", "2/0E", "B", "2/11", "9", "2/0E", "2/0F"}));
        EXPECT_EQ(sim().axes(), before.axes);
        EXPECT_EQ(sim().settings()[0], before.settings[0]) << "the TPS threshold";
        EXPECT_EQ(sim().settings()[4], 60) << "the detected wheel stays";
        for (size_t k = 0; k < 240; ++k)
            ASSERT_EQ(sim().savedMap()[k], before.savedMap[k] == 73 ? 78 : before.savedMap[k]) << k;
        EXPECT_EQ(user.texts().back(), withBackupLine(kPutBack, calibration));
    }
}

TEST(AutoCalibrationWheelType, TheDetectionNamesTheListEntry)
{
    const struct {
        int teeth, missing, algorithm, wheelType;
    } cases[] = {{60, 2, 0, 0}, {36, 2, 0, 1}, {36, 2, 5, 1}, {36, 4, 0, 2}, {30, 2, 0, 3},
                 {36, 6, 0, 4}, {36, 4, 5, 5}, {12, 1, 0, 7}, {36, 1, 0, 0}, {60, 2, 5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(CAutoCalibration::wheelTypeFor(c.teeth, c.missing, c.algorithm), c.wheelType)
            << c.teeth << "-" << c.missing << " algorithm " << c.algorithm;
}

} // namespace
