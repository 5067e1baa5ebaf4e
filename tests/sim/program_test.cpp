// doravine-sim as a program: path on the first line, a link for the port table, clean exit on
// SIGTERM, and a usage text that names every option.
#include "sim/pty_client.h"
#include "support/portable.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string simProgram()
{
    return (testsupport::programPath().parent_path() / "doravine-sim").string();
}

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;
};

Child launch(const std::vector<std::string>& args)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        const std::string program = simProgram();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fdopen(fds[0], "r")};
}

std::string readLine(FILE* f)
{
    char line[4096] = {};
    if (!fgets(line, sizeof line, f))
        return {};
    const std::string s = line;
    return s.substr(0, s.find('\n'));
}

int finish(Child& c)
{
    int status = 0;
    waitpid(c.pid, &status, 0);
    if (c.out)
        fclose(c.out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SimProgram : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (access(simProgram().c_str(), X_OK) != 0)
            GTEST_SKIP() << "doravine-sim is not built beside the tests";
    }
};

} // namespace

TEST_F(SimProgram, AnswersOnThePrintedPathAndThroughTheLink)
{
    char folder[] = "/tmp/simprogXXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string link = std::string(folder) + "/ttySIM0";
    Child c = launch({"--wheel", "36-2", "--device-type", "30", "--serial", "WS-0042", "--link", link});
    ASSERT_GT(c.pid, 0);
    const std::string path = readLine(c.out);
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

    sim::PtyClient port;
    ASSERT_TRUE(port.open(link));
    const auto identity = port.command(0xCC, 0, 2000);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->payload, (std::vector<uint8_t>{4, 30, 0x55, 0, 0, 0}));
    const auto version = port.command(0x0D, 0, 2000);
    ASSERT_TRUE(version);
    EXPECT_EQ(std::string(version->payload.begin() + 12, version->payload.begin() + 19), "WS-0042");
    EXPECT_EQ(version->payload[19], 0);
    port.close();

    kill(c.pid, SIGTERM);
    EXPECT_EQ(finish(c), 0);
    EXPECT_NE(access(link.c_str(), F_OK), 0) << "the link is removed on exit";
    rmdir(folder);
}

TEST_F(SimProgram, BootloaderOptionAndFaultFromTheCommandLine)
{
    Child c = launch({"--bootloader", "--no-pacing", "--fault", "noreply@1"});
    const std::string path = readLine(c.out);
    sim::PtyClient port;
    ASSERT_TRUE(port.open(path));
    EXPECT_FALSE(port.command(0xCC, 0, 300)) << "the first request is swallowed";
    const auto identity = port.command(0xCC);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->payload[0], 5) << "a blank controller answers from its boot loader";
    kill(c.pid, SIGINT);
    EXPECT_EQ(finish(c), 0);
}

TEST_F(SimProgram, HelpNamesEveryOptionAndBadOptionsAreRefused)
{
    Child c = launch({"--help"});
    std::string text;
    for (int ch; (ch = fgetc(c.out)) != EOF;)
        text += static_cast<char>(ch);
    EXPECT_EQ(finish(c), 0);
    for (const char* option :
         {"--wheel", "--profile", "--device-type", "--bootloader", "--no-pacing", "--fault", "--link", "idle",
          "start", "rev", "steady", "stall", "60-2", "12+1"})
        EXPECT_NE(text.find(option), std::string::npos) << option;

    for (std::vector<std::string> bad : {std::vector<std::string>{"--wheel", "58-2"},
                                         {"--device-type", "31"},
                                         {"--fault", "fire@2"},
                                         {"--profile"},
                                         {"--frobnicate"}}) {
        Child b = launch(bad);
        EXPECT_EQ(readLine(b.out), "") << "nothing on standard output for " << bad[0];
        EXPECT_EQ(finish(b), 2) << bad[0];
    }
}
