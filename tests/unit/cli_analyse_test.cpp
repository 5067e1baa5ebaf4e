#include "cli/cli.h"
#include "files/signal_file.h"
#include "support/cli_runner.h"
#include "support/temp_home.h"
#include "support/crank_pulses.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class CliAnalyse : public ::testing::Test {
  protected:
    std::string writeSignal(const std::string& name, const CPulseList& pulses)
    {
        const std::string path = (home.path() / name).string();
        EXPECT_TRUE(writeSignalFile(std::wstring(path.begin(), path.end()), pulses));
        return path;
    }
    CTempHome home;
};

}  // namespace

TEST_F(CliAnalyse, PrintsTheWheelOfARecordedSignal)
{
    const CPulseList pulses = testsupport::crankPulses(sim::Wheel::W36_2, 1500, 2000, 0.03);
    const CliOutcome r = runCli({"analyse", writeSignal("a.csv", pulses)});
    EXPECT_EQ(r.status, cli::kOk) << r.err;
    EXPECT_EQ(r.out, "records: 2000\npulseCount: 36\npulseDeficit: 2\nalgorithm: 0\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliAnalyse, NoPatternPrintsTheRecordCountThenTheTranslatedNoticeAndFails)
{
    const CPulseList flat(600, CPulse{1000, 500});
    const std::string path = writeSignal("flat.csv", flat);
    CliOutcome r = runCli({"--lang", "pl", "analyse", path});
    EXPECT_EQ(r.status, cli::kFailed);
    EXPECT_EQ(r.out, "records: 600\n");
    EXPECT_EQ(r.err, "doravine-cli: Nieobsługiwany sygnał\n");

    r = runCli({"--lang", "en", "analyse", path});
    EXPECT_EQ(r.status, cli::kFailed);
    EXPECT_NE(r.err.find("doravine-cli: "), std::string::npos);
    EXPECT_EQ(r.err.find("Nieobsługiwany"), std::string::npos) << "English run must not print the Polish key";
}

TEST_F(CliAnalyse, AFileThatCannotBeOpenedIsAUsageError)
{
    const CliOutcome r = runCli({"--lang", "pl", "analyse", (home.path() / "missing.csv").string()});
    EXPECT_EQ(r.status, cli::kUsage);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "doravine-cli: Nie można otworzyć wybranego pliku\n");
}
