// The document's commands of doravine-cli run in-process against the virtual controller: exit
// statuses, messages on standard error and what reaches the controller and the disk.
#include "cli/cli.h"

#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class DocCli : public ::testing::Test {
  protected:
    int run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        args.insert(args.begin(), {"--lang", "pl", "--port", fixture.sim().path()});
        return cli::run(args, out, err);
    }
    std::string path(const char* name) const { return (fixture.home().path() / name).string(); }

    CSimFixture fixture;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(DocCli, SaveAndLoadSettings)
{
    const std::string file = path("c.settings");
    ASSERT_EQ(run({"save-settings", file}), cli::kOk) << err.str();
    EXPECT_EQ(fs::file_size(file), 2247u);
    // Existing file without --force: the question on standard error, status 1, file untouched.
    const auto written = fs::last_write_time(file);
    EXPECT_EQ(run({"save-settings", file}), cli::kFailed);
    EXPECT_NE(err.str().find("doravine-cli: Czy chcesz nadpisać wybrany plik?"), std::string::npos)
        << err.str();
    EXPECT_EQ(fs::last_write_time(file), written);
    EXPECT_EQ(run({"save-settings", file, "--force"}), cli::kOk) << err.str();

    fixture.sim().clearRequests();
    EXPECT_EQ(run({"load-settings", file}), cli::kOk) << err.str();
    bool reset = false;
    for (const auto& r : fixture.sim().requests())
        reset = reset || (r.type == 2 && r.payload[0] == 0x0A);
    EXPECT_TRUE(reset);

    // A file of the wrong size: status 2, its message, nothing written.
    std::ofstream(path("short.settings")) << "TTTT";
    fixture.sim().clearRequests();
    EXPECT_EQ(run({"load-settings", path("short.settings")}), cli::kUsage);
    EXPECT_NE(err.str().find("doravine-cli: Niezgodny rozmiar pliku"), std::string::npos) << err.str();
    for (const auto& r : fixture.sim().requests())
        EXPECT_EQ(r.type, 2) << "only reads before the refusal";
}

TEST_F(DocCli, FactoryResetAndFlashRefusal)
{
    ASSERT_EQ(run({"factory-reset"}), cli::kOk) << err.str();
    EXPECT_EQ(fixture.sim().axes()[32], 5);
    EXPECT_EQ(fixture.sim().savedMap()[100], 0);

    std::ofstream(path("bad.afm")) << "not firmware";
    EXPECT_EQ(run({"flash", path("bad.afm")}), cli::kUsage);
    EXPECT_NE(err.str().find("doravine-cli: Nie powiodło się zaprogramowanie urządzenia!"), std::string::npos)
        << err.str();
}

TEST_F(DocCli, NoControllerExitsThree)
{
    fixture.sim().stop();
    std::vector<std::string> args = {"--lang", "pl", "--port", path("nothing"), "factory-reset"};
    EXPECT_EQ(cli::run(args, out, err), cli::kNoController);
    EXPECT_NE(err.str().find("BRAK POŁĄCZENIA"), std::string::npos);
}

} // namespace
