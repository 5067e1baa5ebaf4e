#include "cli/cli.h"
#include "files/signal_file.h"
#include "platform/ierror.h"
#include "support/cli_runner.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class CliCapture : public ::testing::Test {
  protected:
    CliCapture()
    {
        fixture.sim().setWheel(sim::Wheel::W36_2);
        fixture.sim().setProfile(sim::Profile::Steady);
    }
    std::string file(const char* name) const { return (fixture.home().path() / name).string(); }
    CliOutcome run(const std::vector<std::string>& args) const { return runCliAt(fixture.sim().path(), args); }
    uint8_t workState() const { return fixture.sim().settings()[13]; }
    mutable CSimFixture fixture;
};

}  // namespace

TEST_F(CliCapture, CapturesAnalysesAndPutsTheControllerBackToWork)
{
    ASSERT_EQ(workState(), 173);
    const std::string path = file("odczyt.csv");
    const CliOutcome r = run({"capture", path, "--records", "500"});
    ASSERT_EQ(r.status, cli::kOk) << r.err;

    CPulseList saved;
    ASSERT_TRUE(readSignalFile(utf82unicode(path), saved));
    ASSERT_GE(saved.size(), 500u);
    EXPECT_EQ(r.out, "records: " + std::to_string(saved.size()) + "\npulseCount: 36\npulseDeficit: 2\nalgorithm: 0\n");
    EXPECT_EQ(workState(), 173) << "the controller must be back in normal operation";
    EXPECT_EQ(fixture.sim().settings()[12], 0) << "the signal-capture flag is written back as 0";

    // The controller was put into signal-reading mode (state 0) for the capture.
    bool sawReadingMode = false;
    for (const auto& request : fixture.sim().requests())
        if (request.type == 3 && request.payload.size() == 20 && request.payload[13] == 0)
            sawReadingMode = true;
    EXPECT_TRUE(sawReadingMode);
}

TEST_F(CliCapture, AnExistingFileIsKeptWithoutForceAndNothingIsSent)
{
    const std::string path = file("kept.csv");
    std::ofstream(path) << "keep me";
    fixture.sim().clearRequests();
    const CliOutcome r = run({"capture", path});
    EXPECT_EQ(r.status, cli::kFailed);
    EXPECT_EQ(r.err, "doravine-cli: Taki plik już istnieje! Czy chcesz go zamienić?\n");
    EXPECT_EQ(fixture.sim().requestCount(), 0u);
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "keep me");
}

TEST_F(CliCapture, ACaptureThatBringsNoRecordsStopsWithTheNoRotationNoticeAndRestoresTheState)
{
    sim::FaultRule refusePulses;
    refusePulses.kind = sim::FaultKind::WrongType;
    refusePulses.when = sim::FaultWhen::Command;
    refusePulses.code = 0x08;
    fixture.sim().addFault(refusePulses);
    const std::string path = file("none.csv");
    const CliOutcome r = run({"capture", path});
    EXPECT_EQ(r.status, cli::kFailed);
    EXPECT_NE(r.err.find("doravine-cli: Nie wykryto obrotów. Zatrzymano pomiar.\n"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(workState(), 173);
}
