// doravine-cli's device and document commands against the virtual controller, in-process and as a
// program: what they print, their exit statuses and what reaches the controller and the disk.
#include "cli/cli.h"

#include "operations/firmware_update.h"
#include "records/settings_record.h"
#include "support/cli_runner.h"
#include "support/firmware_files.h"
#include "support/portable.h"
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

namespace fs = std::filesystem;

namespace {

const std::string kNoController = "doravine-cli: BRAK POŁĄCZENIA\n";

class Cli : public ::testing::Test {
  protected:
    CliOutcome run(const std::vector<std::string>& args) { return runCliAt(fixture.sim().path(), args); }
    std::string path(const char* name) const { return (fixture.home().path() / name).string(); }
    static std::string mapText(double shift)
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
    std::string writeFile(const std::string& text, const char* name = "map.csv")
    {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
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

// Every command that needs a controller: the notice once, nothing on standard output, status 3.
TEST_F(Cli, NoControllerPrintsTheNoticeOnceAndExitsThree)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info"}, {"settings"}, {"set", "teethCount=36"}, {"map"},
          {"map-write", writeFile(mapText(1.0))}, {"errors"}, {"clear-errors"}, {"watch", "--count", "1"},
          {"capture", path("x.csv")}, {"autodetect", "--yes"}, {"diff", path("x.settings")},
          {"save-settings", path("x.settings")}, {"load-settings", path("x.settings")}, {"factory-reset"},
          {"flash", path("x.afm")}}) {
        const CliOutcome r = runCliAt("/nonexistent/tty", args);
        EXPECT_EQ(r.status, cli::kNoController) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.err, kNoController) << args[0];
    }
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
    CliOutcome r = run({"map-write", writeFile(mapText(3.0))});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fixture.sim().savedMap(), fixture.sim().map());
    r = run({"map"});
    ASSERT_EQ(r.status, 0);
    std::string lf = mapText(3.0);
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    EXPECT_EQ(r.out, lf);
}

// map-write and set go through the device's verified writes: damaged past the checksum once, the
// block is written again; damaged every time, the command fails and the map is never saved.
TEST_F(Cli, WritesThatNeverReadBackRightExitOneAndSaveNothing)
{
    fixture.sim().addFault(twinFault(9, 1));
    CliOutcome r = run({"map-write", writeFile(mapText(3.0))});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fixture.sim().savedMap(), fixture.sim().map());
    r = run({"map"});
    std::string lf = mapText(3.0);
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    EXPECT_EQ(r.out, lf);

    const auto saved = fixture.sim().savedMap();
    const std::string failed = "Błąd - Nie powiodło się wpisanie ustawień do urządzenia!\n";
    const struct {
        uint8_t type;
        std::vector<std::string> args;
    } rows[] = {{9, {"map-write", writeFile(mapText(5.0))}}, {3, {"set", "tpsThreshold=2.4"}}};
    for (const auto& row : rows) {
        fixture.sim().clearFaults();
        fixture.sim().clearRequests();
        fixture.sim().addFault(twinFault(row.type, 0));
        r = run(row.args);
        EXPECT_EQ(r.status, 1) << row.args[0];
        EXPECT_NE(r.err.find(failed), std::string::npos) << r.err;
        const auto sent = testsupport::requestNames(fixture.sim());
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "2/0F"), 0) << row.args[0];
        EXPECT_EQ(fixture.sim().savedMap(), saved);
    }
}

TEST_F(Cli, MalformedMapFileNamesItsLineAndSendsNothing)
{
    const std::string base = mapText(1.0);
    auto replaceLine = [&](int number, const std::string& with) {
        std::istringstream in(base);
        std::string out, l;
        for (int n = 1; std::getline(in, l); ++n)
            out += (n == number ? with + "\r" : l) + "\n";
        return out;
    };
    const struct {
        std::string text;
        std::string line;
    } cases[] = {
        {replaceLine(5, "0.95;1.0;1.0"), ":5:"},
        {replaceLine(3, "0.35;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;25.6"), ":3:"},
        {replaceLine(4, "0.30;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0"),
         ":4:"}, // not rising
        {replaceLine(1, "Map\\RPM;500;400;1100;1400;1700;2000;2300;2600;2900;3200;3500;3800;4100;4400;4700"),
         ":1:"},
        {replaceLine(17, "x;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0;1.0"), ":17:"},
        {base.substr(0, base.size() - 40), ":17:"},
    };
    for (const auto& c : cases) {
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
    EXPECT_EQ(r.err, kNoController);
}

// The built program: watch without --count runs until SIGINT and then ends cleanly with status 0.
TEST_F(Cli, TheProgramEndsWatchOnSigint)
{
    const std::string program = (testsupport::programPath().parent_path() / "doravine-cli").string();
    if (access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << "doravine-cli is not built beside the tests";

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
    char buffer[256];
    for (bool stopped = false;;) {
        if (!stopped && std::count(watched.begin(), watched.end(), '\n') >= 2) {
            kill(child, SIGINT);
            stopped = true;
        }
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
    for (std::vector<std::string> args : {std::vector<std::string>{"settings"},
                                          {"map"},
                                          {"errors"},
                                          {"set", "inputSource=1"},
                                          {"map-write", writeFile(mapText(2.0))},
                                          {"clear-errors"},
                                          {"factory-reset"}}) {
        CSimFixture own;
        own.sim().addFault(faultRule(sim::FaultKind::HangUp, 6));
        const CliOutcome r = runCliAt(own.sim().path(), args);
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.err, "doravine-cli: Błąd - Komunikacja wymaga ponownego wyciągnięcia i włożenia wtyczki w "
                         "komputerze\n");
        EXPECT_EQ(own.sim().requestCount(), 6u);
    }
}

TEST_F(Cli, SaveSettingsAsksBeforeReplacingAndLoadSettingsRefusesABadFile)
{
    const std::string file = path("c.settings");
    CliOutcome r = run({"save-settings", file});
    ASSERT_EQ(r.status, cli::kOk) << r.err;
    EXPECT_EQ(fs::file_size(file), 2247u);
    // Existing file without --force: the question on standard error, status 1, file untouched.
    const auto written = fs::last_write_time(file);
    r = run({"save-settings", file});
    EXPECT_EQ(r.status, cli::kFailed);
    EXPECT_NE(r.err.find("doravine-cli: Czy chcesz nadpisać wybrany plik?"), std::string::npos) << r.err;
    EXPECT_EQ(fs::last_write_time(file), written);
    EXPECT_EQ(run({"save-settings", file, "--force"}).status, cli::kOk);

    fixture.sim().clearRequests();
    EXPECT_EQ(run({"load-settings", file}).status, cli::kOk);
    const auto sent = testsupport::requestNames(fixture.sim());
    EXPECT_NE(std::find(sent.begin(), sent.end(), "2/0A"), sent.end()) << "the load ends in a reset";

    // A file of the wrong size: status 2, its message, nothing written.
    fixture.sim().clearRequests();
    r = run({"load-settings", writeFile("TTTT", "short.settings")});
    EXPECT_EQ(r.status, cli::kUsage);
    EXPECT_NE(r.err.find("doravine-cli: Niezgodny rozmiar pliku"), std::string::npos) << r.err;
    for (const auto& request : fixture.sim().requests())
        EXPECT_EQ(request.type, 2) << "only reads before the refusal";
}

TEST_F(Cli, FactoryResetAndFlashRefusal)
{
    ASSERT_NE(fixture.sim().savedMap()[100], 0);
    ASSERT_EQ(run({"factory-reset"}).status, cli::kOk);
    EXPECT_EQ(fixture.sim().savedMap()[100], 0);

    const CliOutcome r = run({"flash", writeFile("not firmware", "bad.afm")});
    EXPECT_EQ(r.status, cli::kUsage);
    EXPECT_NE(r.err.find("doravine-cli: Nie powiodło się zaprogramowanie urządzenia!"), std::string::npos) << r.err;
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
        const CliOutcome r = runCliAt(own.sim().path(), {"flash", file.string()});
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
