#include "cli/cli.h"
#include "support/cli_runner.h"

#include <gtest/gtest.h>

TEST(CliArguments, PortsListsExactlyTheGivenTableInOrder)
{
    const CliOutcome r = runCli({"--port", "/dev/null", "--port", "/dev/zero", "ports"});
    EXPECT_EQ(r.status, cli::kOk);
    EXPECT_EQ(r.out, "COM1 /dev/null\nCOM2 /dev/zero\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliArguments, PortsLeavesOutEntriesThatDoNotExist)
{
    const CliOutcome r = runCli({"--port", "/dev/does-not-exist", "--port", "/dev/null", "ports"});
    EXPECT_EQ(r.status, cli::kOk);
    EXPECT_EQ(r.out, "COM2 /dev/null\n");
}

TEST(CliArguments, UsageErrorsExitTwoBeforeAnythingRuns)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--lang", "de", "ports"},
             {"--port"},
             {"--count", "0", "ports"},
             {"--records", "499", "ports"},
             {"--frobnicate", "ports"},
             {"no-such-command"},
             {"ports", "extra"}}) {
        const CliOutcome r = runCli(args);
        EXPECT_EQ(r.status, cli::kUsage) << (args.empty() ? "(none)" : args.back());
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("doravine-cli: ", 0), 0u) << r.err;
    }
}

TEST(CliArguments, ParsesEveryGlobalOptionAndKeepsCommandArgumentsInOrder)
{
    cli::Options o;
    std::string error;
    ASSERT_TRUE(cli::parseArguments({"--lang", "ru", "--port", "/a", "set", "teethCount=36", "--force",
                                     "missingTeeth=2", "--count", "5", "--records", "500", "--yes"},
                                    o, error))
        << error;
    EXPECT_EQ(o.language, 2);
    EXPECT_EQ(o.ports, std::vector<std::string>{"/a"});
    EXPECT_EQ(o.command, "set");
    EXPECT_EQ(o.args, (std::vector<std::string>{"teethCount=36", "missingTeeth=2"}));
    EXPECT_TRUE(o.force);
    EXPECT_TRUE(o.yes);
    EXPECT_EQ(o.count, 5);
    EXPECT_EQ(o.records, 500);
}
