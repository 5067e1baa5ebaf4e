// doravine-cli autodetect against the virtual controller, at the real 100 ms pace of the ticks.
#include "cli/cli.h"
#include "support/cli_runner.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <future>
#include <thread>

namespace {

class CliAutodetect : public ::testing::Test {
  protected:
    CliAutodetect()
    {
        fixture.sim().setWheel(sim::Wheel::W36_2);
        fixture.sim().setProfile(sim::Profile::Steady);
    }
    CliOutcome autodetect(const char* answer) const
    {
        return runCliAt(fixture.sim().path(), answer ? std::vector<std::string>{"autodetect", answer}
                                                     : std::vector<std::string>{"autodetect"});
    }
    bool received(uint8_t type, int command = -1) const
    {
        for (const auto& r : fixture.sim().requests())
            if (r.type == type && (command < 0 || (!r.payload.empty() && r.payload[0] == command)))
                return true;
        return false;
    }
    static bool contains(const std::string& text, const std::string& part)
    {
        return text.find(part) != std::string::npos;
    }
    mutable CSimFixture fixture;
};

std::atomic<bool> g_earlySignals{false};
extern "C" void countEarlySignal(int)
{
    g_earlySignals = true;
}

} // namespace

TEST_F(CliAutodetect, DetectsTheWheelPrintsItAndReportsTheWayThere)
{
    const CliOutcome r = autodetect("--yes");
    ASSERT_EQ(r.status, cli::kOk) << r.err;
    EXPECT_EQ(r.out, "teethCount: 36\nmissingTeeth: 2\nwheelAlgorithm: 0\nwheelType: 1\n");
    for (const char* line : {"doravine-cli: Uruchom silnik\n", "doravine-cli: Ustal jednostajne obroty silnika\n",
                             "doravine-cli: 20%\n", "doravine-cli: 40%\n", "doravine-cli: 80%\n",
                             "doravine-cli: Pobieranie danych...\n", "doravine-cli: 100%\n",
                             "doravine-cli: Autokalibracja zakończona sukcesem!\n"
                             "Dotychczasowe ustawienia sterownika zapisano w pliku:\n"})
        EXPECT_TRUE(contains(r.err, line)) << line << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, "/Doravine/Map data/ustawienia-")) << r.err;
    EXPECT_EQ(fixture.sim().settings()[13], 173);
}

TEST_F(CliAutodetect, WithoutYesOnlyTheQuestionIsPrinted)
{
    const CliOutcome r = autodetect(nullptr);
    EXPECT_EQ(r.status, cli::kFailed);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "doravine-cli: Automatyczne wykrywanie spowoduje skasowanie dotychczasowych ustawień! "
                     "Czy chcesz kontynuować?\n");
    EXPECT_FALSE(received(3)) << "nothing written";
}

TEST_F(CliAutodetect, SigintDuringTheCollectionCancelsAndPutsTheOldSettingsBack)
{
    const auto settings = fixture.sim().settings();
    const auto map = fixture.sim().savedMap();
    // A signal that came before the command listens must not end the test program.
    g_earlySignals = false;
    const auto previous = std::signal(SIGINT, countEarlySignal);
    auto run = std::async(std::launch::async, [&] { return autodetect("--yes"); });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!received(2, 0x0A) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(received(2, 0x0A)) << "the reset never came";
    std::this_thread::sleep_for(std::chrono::milliseconds(600)); // past the 100 ms pause: collecting
    fixture.sim().clearRequests();
    std::raise(SIGINT);
    const CliOutcome r = run.get();
    std::signal(SIGINT, previous);
    EXPECT_FALSE(g_earlySignals) << "the signal came too early for the test";
    EXPECT_EQ(r.status, cli::kFailed);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(contains(r.err, "doravine-cli: Autodetekcja koła zamachowego przerwana.\n"
                                "Przywrócono poprzednie ustawienia sterownika.\n"))
        << r.err;
    EXPECT_TRUE(received(2, 0x07)) << "the settings read back";
    EXPECT_EQ(fixture.sim().settings(), settings);
    EXPECT_EQ(fixture.sim().savedMap(), map);
}
