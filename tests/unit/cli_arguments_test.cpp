#include "cli/cli.h"
#include "cli/commands.h"
#include "doravine_version.h"
#include "support/cli_runner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Two devices that exist and one that does not, as each system names them.
#ifdef _WIN32
const std::string kDeviceA = "COM3", kDeviceB = "\\\\.\\COM4", kMissing = "C:\\doravine-does-not-exist";
#else
const std::string kDeviceA = "/dev/null", kDeviceB = "/dev/zero", kMissing = "/dev/does-not-exist";
#endif

} // namespace

TEST(CliArguments, PortsListsTheGivenTableInOrderWithoutTheMissing)
{
    const CliOutcome r = runCli({"--port", kDeviceA, "--port", kMissing, "--port", kDeviceB, "ports"});
    EXPECT_EQ(r.status, cli::kOk);
    EXPECT_EQ(r.out, "COM1 " + kDeviceA + "\nCOM3 " + kDeviceB + "\n");
    EXPECT_EQ(r.err, "");
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

TEST(CliArguments, VersionAndHelpPrintOnStandardOutputAndRunNothingElse)
{
    const std::string version = std::string("doravine-cli ") + kDoravineVersion + "\n";
    struct Case {
        std::vector<std::string> args;
        bool help;
    };
    const Case cases[] = {
        {{"--version"}, false},
        {{"--version", "no-such-command"}, false},
        {{"--port", "/dev/null", "--version", "ports"}, false},
        {{"--help"}, true},
        {{"--lang", "en", "--help", "ports"}, true},
    };
    for (const Case& c : cases) {
        const CliOutcome r = runCli(c.args);
        EXPECT_EQ(r.status, cli::kOk) << c.args.back();
        EXPECT_EQ(r.err, "") << c.args.back();
        if (c.help)
            EXPECT_EQ(r.out, cli::usageText()) << c.args.back();
        else
            EXPECT_EQ(r.out, version) << c.args.back();
    }
}

TEST(CliArguments, UsageNamesEveryOptionAndEveryCommandOfTheTable)
{
    const std::string usage = cli::usageText();
    EXPECT_EQ(usage.rfind("usage: doravine-cli [--port DEVICE]... [--lang pl|en|ru] COMMAND [ARGS]\n", 0), 0u);
    for (const char* option : {"--port DEVICE", "--lang pl|en|ru", "--help", "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    for (const cli::Command& c : cli::commandTable())
        EXPECT_NE(usage.find(std::string("\n  ") + c.usage + "\n"), std::string::npos) << c.usage;
    // A usage error shows the same text on standard error.
    const CliOutcome r = runCli({"no-such-command"});
    EXPECT_NE(r.err.find(usage), std::string::npos);
}
