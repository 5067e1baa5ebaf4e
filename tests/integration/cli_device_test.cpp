// doravine-cli's device commands against the virtual controller, in-process and as a program.
#include "cli/cli.h"

#include "operations/firmware_update.h"
#include "platform/port_table.h"
#include "records/settings_record.h"
#include "support/cli_runner.h"
#include "support/firmware_files.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Cli : public ::testing::Test {
  protected:
    CliOutcome run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--lang", "pl", "--port", fixture.sim().path()});
        CliOutcome outcome = runCli(args);
        porttable::setPortOverride({});
        return outcome;
    }
    std::string mapText(double shift)
    {
        std::string text = "Map\\RPM";
        // Appended piece by piece: GCC 12 at -O3 reports a false overlap (-Wrestrict) for ";" + string.
        for (int c = 0; c < 15; ++c) {
            text += ';';
            text += std::to_string(500 + 300 * c);
        }
        text += "\r\n";
        for (int r = 0; r < 16; ++r) {
            char point[16];
            std::snprintf(point, sizeof point, "%.2f", 0.15 + 0.2 * r);
            text += point;
            for (int c = 0; c < 15; ++c) {
                char angle[16];
                std::snprintf(angle, sizeof angle, "%.1f", shift + 0.1 * c);
                text += std::string(";") + angle;
            }
            text += "\r\n";
        }
        return text;
    }
    // 850 RPM, MAP 1.65 V, supply 12.00 V, switch on, without any wobble.
    void holdTheEngineAt850()
    {
        sim::OperatingPoint point;
        point.rpm = 850;
        point.mapVolts = 1.65;
        point.supplyVolts = 12.0;
        point.switchOn = true;
        fixture.sim().setProfile(sim::Profile::Fixed);
        fixture.sim().setFixedPoint(point);
    }
    std::string writeFile(const std::string& text)
    {
        const auto path = fixture.home().path() / "map.csv";
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    CSimFixture fixture;
};

} // namespace

TEST_F(Cli, InfoPrintsTheIdentityAndThePort)
{
    fixture.sim().setSerial("AB12");
    fixture.sim().setFirmwareVersion(0x0100);
    const CliOutcome r = run({"info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "name: DORAVINE\ntype: 29\nversion: v 1.0\nserial: AB12\nproduction: 02/10/2015\nport: COM1 " +
                  fixture.sim().path() + "\n");
}

TEST_F(Cli, NoControllerPrintsTheNoticeOnceAndExitsThree)
{
    const CliOutcome r = runCli({"--lang", "pl", "--port", "/nonexistent/tty", "info"});
    porttable::setPortOverride({});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "doravine-cli: BRAK POŁĄCZENIA\n");
}

TEST_F(Cli, SettingsAndSetChangeOnlyTheNamedFields)
{
    CliOutcome r = run({"settings"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 10);
    EXPECT_EQ(r.out.rfind("tpsThreshold: ", 0), 0u);

    const auto before = fixture.sim().settings();
    r = run({"set", "tpsThreshold=2.4", "teethCount=36", "wheelType=700"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"settings"});
    char tps[32];
    std::snprintf(tps, sizeof tps, "tpsThreshold: %.4f\n",
                  tpsFromWire(tpsToWire(2.4))); // as the wire carries it
    EXPECT_NE(r.out.find(tps), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("teethCount: 36\n"), std::string::npos);
    EXPECT_NE(r.out.find("wheelType: 700\n"), std::string::npos);
    const auto after = fixture.sim().settings();
    EXPECT_EQ(after[10], before[10]); // sensorType untouched
    EXPECT_EQ(after[13], before[13]); // workState untouched
}

TEST_F(Cli, SetRefusesBadInputBeforeAnythingIsSent)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"set", "nosuch=1"},
                                                 {"set", "teethCount=256"},
                                                 {"set", "teethCount=3.5"},
                                                 {"set", "tpsThreshold=15.5"},
                                                 {"set", "wheelType=65536"},
                                                 {"set", "sensorType=abc"},
                                                 {"set", "teethCount"},
                                                 {"set", "wheelType=-1"}}) {
        const CliOutcome r = run(args);
        EXPECT_EQ(r.status, 2) << args[1];
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(fixture.sim().requestCount(), 0u);
}

TEST_F(Cli, MapWriteThenMapReadsBackAndSavesWithCrLfLines)
{
    const auto path = writeFile(mapText(3.0));
    CliOutcome r = run({"map-write", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fixture.sim().savedMap(), fixture.sim().map());
    r = run({"map"});
    ASSERT_EQ(r.status, 0);
    std::string expected = mapText(3.0);
    std::string lf;
    for (char c : expected)
        if (c != '\r')
            lf += c;
    EXPECT_EQ(r.out, lf);
}

TEST_F(Cli, MalformedMapFileNamesItsLineAndSendsNothing)
{
    struct Case {
        std::string text;
        std::string line;
    };
    std::string base = mapText(1.0);
    auto replaceLine = [&](int number, const std::string& with) {
        std::istringstream in(base);
        std::string out, l;
        for (int n = 1; std::getline(in, l); ++n)
            out += (n == number ? with + "\r" : l) + "\n";
        return out;
    };
    const Case cases[] = {
        {replaceLine(5, "0.95;1.0;1.0"), ":5:"},
        {replaceLine(3, "0.35;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;25.6"), ":3:"},
        {replaceLine(4, "0.30;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0"),
         ":4:"}, // not rising
        {replaceLine(1, "Map\\RPM;500;400;1100;1400;1700;2000;2300;2600;2900;3200;3500;3800;4100;4400;4700"),
         ":1:"},
        {replaceLine(17, "x;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0"), ":17:"},
        {base.substr(0, base.size() - 40), ":17:"},
    };
    for (const Case& c : cases) {
        const CliOutcome r = run({"map-write", writeFile(c.text)});
        EXPECT_EQ(r.status, 2) << c.line;
        EXPECT_NE(r.err.find(c.line), std::string::npos) << r.err;
    }
    EXPECT_EQ(run({"map-write", "/nonexistent/map.csv"}).status, 2);
    EXPECT_EQ(fixture.sim().requestCount(), 0u);
}

TEST_F(Cli, ErrorsAndClearErrors)
{
    fixture.sim().setErrors({0, 0, 0, 0});
    CliOutcome r = run({"errors"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Brak błędów\n");

    fixture.sim().setErrors({0x00, 0x03, 0x00, 0x00});
    r = run({"errors"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    EXPECT_EQ(r.out.find("Brak błędów"), std::string::npos);

    r = run({"clear-errors"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Błędy skasowane\n");
    EXPECT_EQ(fixture.sim().errors(), (std::array<uint8_t, 4>{0, 0, 0, 0}));
}

TEST_F(Cli, WatchPrintsTheReadingsPanelsValues)
{
    holdTheEngineAt850();
    const CliOutcome r = run({"watch", "--count", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        EXPECT_EQ(line.rfind("rpm=850 tps=", 0), 0u) << line;
        EXPECT_NE(line.find(" map=1.65 "), std::string::npos) << line;
        EXPECT_NE(line.find(" supply=12.00 switch=1"), std::string::npos) << line;
    }
    EXPECT_EQ(n, 3);
}

TEST_F(Cli, WatchCsvPrintsTheHeaderThenTimedLines)
{
    holdTheEngineAt850();
    const CliOutcome r = run({"watch", "--csv", "--count", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "time;rpm;tps;map;advance;supply;switch");
    // The first sample at 0.000, then rising by about the fetch period, three decimals each.
    double previous = -1;
    for (int n = 0; std::getline(lines, line); ++n) {
        const double seconds = std::stod(line);
        EXPECT_EQ(line.find(';'), line.find('.') + 4) << line;
        EXPECT_TRUE(n == 0 ? line.rfind("0.000;", 0) == 0 : seconds > previous + 0.02) << line;
        EXPECT_NE(line.find(";850;"), std::string::npos) << line;
        EXPECT_NE(line.find(";1.65;"), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.size() - 8), ";12.00;1") << line;
        previous = seconds;
    }
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5);
}

TEST_F(Cli, WatchExitsOneWhenTheLiveSamplesGiveUp)
{
    sim::FaultRule rule{sim::FaultKind::NoReply, sim::FaultWhen::Command};
    rule.code = 0x06;
    fixture.sim().addFault(rule);
    const CliOutcome r = run({"watch", "--count", "3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "doravine-cli: BRAK POŁĄCZENIA\n");
}

TEST_F(Cli, TheProgramPrintsInfoAndEndsWatchOnSigint)
{
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    std::string program(self);
    program = program.substr(0, program.rfind('/') + 1) + "doravine-cli";
    if (access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << "doravine-cli is not built beside the tests";

    const std::string command = "'" + program + "' --lang pl --port '" + fixture.sim().path() + "' info";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(out.find("name: DORAVINE\n"), std::string::npos);
    EXPECT_NE(out.find("port: COM1 " + fixture.sim().path() + "\n"), std::string::npos);

    // watch without --count runs until SIGINT and then ends cleanly with status 0.
    int fds[2];
    ASSERT_EQ(pipe2(fds, 0), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        const std::string port = fixture.sim().path();
        execl(program.c_str(), program.c_str(), "--port", port.c_str(), "watch", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string watched;
    while (std::count(watched.begin(), watched.end(), '\n') < 2) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        watched.append(buffer, static_cast<size_t>(n));
    }
    kill(child, SIGINT);
    while (true) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        watched.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    int watchStatus = 0;
    waitpid(child, &watchStatus, 0);
    ASSERT_TRUE(WIFEXITED(watchStatus));
    EXPECT_EQ(WEXITSTATUS(watchStatus), 0);
    EXPECT_GE(std::count(watched.begin(), watched.end(), '\n'), 2);
    EXPECT_EQ(watched.rfind("rpm=", 0), 0u);
}

TEST_F(Cli, ACablePulledInTheMiddleOfACommandExitsOneWithTheReplugMessage)
{
    // The connection reads five frames (identification, version, settings, map, axes); the
    // cable goes at the sixth, the command's own first request.
    struct Case {
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {{"settings"}},    {{"map"}},          {{"errors"}},        {{"set", "inputSource=1"}},
        {{"map-write", ""}}, {{"clear-errors"}}, {{"factory-reset"}},
    };
    for (Case c : cases) {
        CSimFixture own;
        own.sim().addFault(faultRule(sim::FaultKind::HangUp, 6));
        if (c.args[0] == "map-write") {
            c.args[1] = (own.home().path() / "map.csv").string();
            std::ofstream(c.args[1], std::ios::binary) << mapText(2.0);
        }
        c.args.insert(c.args.begin(), {"--lang", "pl", "--port", own.sim().path()});
        const CliOutcome r = runCli(c.args);
        porttable::setPortOverride({});
        SCOPED_TRACE(c.args[4]);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.err, "doravine-cli: Błąd - Komunikacja wymaga ponownego wyciągnięcia i włożenia wtyczki w "
                         "komputerze\n");
        EXPECT_EQ(own.sim().requestCount(), 6u);
    }
}

TEST_F(Cli, FlashThatCannotFinishEndsWithItsMessageAndStatusOne)
{
    const std::string replug =
        "doravine-cli: Błąd - Komunikacja wymaga ponownego wyciągnięcia i włożenia wtyczki w komputerze\n";
    const std::string failed = "doravine-cli: Nie powiodło się zaprogramowanie urządzenia!\n";
    struct Case {
        const char* what;
        bool startInBootloader;
        uint8_t identityType; // 0: an image that never starts
        unsigned hangUpAt;
        const std::string& lastLine;
    };
    const Case cases[] = {
        {"cable pulled among the rows", false, 29, 30, replug},
        {"image that stays in the boot loader", false, 0, 0, failed},
        {"the same, found in the boot loader", true, 0, 0, failed},
    };
    firmwareUpdateTimings() = {0, 0, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSimFixture own;
        const auto file = own.home().path() / "fw.afm";
        testsupport::writeFirmware(file, {.identityType = c.identityType});
        if (c.startInBootloader)
            own.sim().enterBootloader(true);
        if (c.hangUpAt)
            own.sim().addFault(faultRule(sim::FaultKind::HangUp, c.hangUpAt));
        const CliOutcome r = runCli({"--lang", "pl", "--port", own.sim().path(), "flash", file.string()});
        porttable::setPortOverride({});
        EXPECT_EQ(r.status, 1) << r.err;
        ASSERT_GE(r.err.size(), c.lastLine.size());
        EXPECT_EQ(r.err.substr(r.err.size() - c.lastLine.size()), c.lastLine) << r.err;
        EXPECT_EQ(r.err.find("OnDeviceUpdate"), std::string::npos) << r.err;
        const auto sent = testsupport::requestNames(own.sim());
        const auto rows = std::count(sent.begin(), sent.end(), "F7");
        if (c.hangUpAt) {
            EXPECT_EQ(own.sim().requestCount(), c.hangUpAt);
            EXPECT_GT(rows, 0);
        } else {
            EXPECT_EQ(rows, 60) << "programmed once";
        }
    }
    firmwareUpdateTimings() = CFirmwareUpdateTimings{};
}
