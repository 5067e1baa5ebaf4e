// The port scan: remembered port first, every candidate in order, demo mode with one notice,
// and what a port without a controller costs.
#include "device/lpg_device.h"
#include "platform/port_table.h"
#include "support/byte_files.h"
#include "support/recording_user.h"
#include "support/scripted_peer.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::wstring kNoConnection = L"BRAK POŁĄCZENIA";

// Silent ports first and the virtual controller last, as the whole port table; the table is
// emptied again when the bench goes.
struct CScanBench {
    explicit CScanBench(int silentPorts) : peers(silentPeers(silentPorts))
    {
        started = sim.start();
        std::vector<std::string> table;
        for (auto& p : peers)
            table.push_back(p->path());
        table.push_back(sim.path());
        porttable::setPortOverride(table);
    }
    ~CScanBench()
    {
        sim.stop();
        porttable::setPortOverride({});
    }
    std::vector<std::unique_ptr<CScriptedPeer>> peers;
    sim::VirtualController sim;
    bool started = false;
};

} // namespace

TEST(LastPort, TheLeadingNumberOfTheTextIsThePortAndOtherValuesSurvive)
{
    CTempHome home;
    const auto file = home.path() / ".config" / "Doravine" / "registry";
    EXPECT_EQ(CLPGDevice::LoadLastPort(), 0);
    CLPGDevice::SaveLastPort(12);
    CLPGDevice::SaveLastPort(7);
    EXPECT_EQ(testsupport::readText(file), "Last RS nr=7\n");
    for (const auto& [text, port] : {std::pair{"Last RS nr=abc\n", 0}, {"Other=1\nLast RS nr=15xyz\n", 15}}) {
        std::ofstream(file, std::ios::trunc) << text;
        EXPECT_EQ(CLPGDevice::LoadLastPort(), port) << text;
    }
    CLPGDevice::SaveLastPort(3);
    EXPECT_EQ(testsupport::readText(file), "Other=1\nLast RS nr=3\n");
}

TEST(LastPort, UnwritableConfigFolderLosesNothingElse)
{
    CTempHome home;
    // A file where the folder should be: the save fails quietly and the load finds nothing.
    std::ofstream(home.path() / ".config" / "Doravine") << "x";
    CLPGDevice::SaveLastPort(4);
    EXPECT_EQ(CLPGDevice::LoadLastPort(), 0);
}

TEST(Scan, LastPortIsTriedFirstAndAgainInOrderAfterTheOthers)
{
    CTempHome home;
    CRecordingUser user;
    CScanBench bench(6);
    ASSERT_TRUE(bench.started);
    CLPGDevice::SaveLastPort(7);
    // The second time the next three identification requests go unanswered: the first try on
    // port 7 fails, and each of ports 1 to 6 receives three requests of 14 bytes before 7 again.
    for (unsigned peerBytes : {0u, 3u * 14u}) {
        SCOPED_TRACE(peerBytes);
        const unsigned served = bench.sim.requestCount();
        for (unsigned n = served + 1; peerBytes && n <= served + 3; ++n)
            bench.sim.addFault(faultRule(sim::FaultKind::NoReply, n));
        CLPGDevice device;
        CSimFixture::shortenTimeouts(device);
        device.Start();
        EXPECT_TRUE(device.m_connected);
        EXPECT_EQ(device.Port().portNumber(), 7);
        for (auto& p : bench.peers)
            EXPECT_EQ(p->receivedCount(), peerBytes) << "ports before the remembered one";
        EXPECT_EQ(CLPGDevice::LoadLastPort(), 7);
        device.Close();
    }
    EXPECT_TRUE(user.texts().empty());
}

TEST(Scan, PortWithoutControllerCostsThreeIdentificationsAtTheRealTimeOut)
{
    CTempHome home;
    CRecordingUser user;
    CScanBench bench(1);
    ASSERT_TRUE(bench.started);

    CLPGDevice device; // the program's own time-outs
    const auto started = std::chrono::steady_clock::now();
    device.Start();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(device.m_connected);
    EXPECT_EQ(device.Port().portNumber(), 2);
    EXPECT_EQ(bench.peers[0]->receivedCount(), 3u * 14u);
    EXPECT_GE(seconds, 3.0); // three reads that wait out the 1 s time-out
    EXPECT_EQ(CLPGDevice::LoadLastPort(), 2);
    device.Close();
}

// No port at all gives demo mode at once; the notice comes once however many scans fail, and a
// scan that connects arms it again.
TEST(Scan, FailedScansGiveDemoModeAndTheNoticeOnceUntilAScanConnects)
{
    CTempHome home;
    CRecordingUser user;
    CSimFixture::setPorts({"/nonexistent/doravine-tty"});
    CLPGDevice device;
    CSimFixture::shortenTimeouts(device);
    device.Start();
    device.FindDevice();
    EXPECT_TRUE(device.m_demo);
    EXPECT_FALSE(device.m_connected);
    EXPECT_EQ(user.texts(), std::vector<std::wstring>{kNoConnection});
    // The demo values were read.
    EXPECT_EQ(device.m_firmwareVersion, 256);
    EXPECT_EQ(device.m_settings.advanceMap[3][4], 10.0);
    EXPECT_EQ(device.m_settings.rpmAxis[2], 200.0);

    sim::VirtualController sim;
    ASSERT_TRUE(sim.start());
    CSimFixture::setPorts({sim.path()});
    device.FindDevice();
    EXPECT_TRUE(device.m_connected);
    EXPECT_FALSE(device.m_demo);

    sim.stop();
    CSimFixture::setPorts({"/nonexistent/doravine-tty"});
    device.FindDevice();
    device.FindDevice();
    EXPECT_EQ(user.texts(), std::vector<std::wstring>(2, kNoConnection));
    device.Close();
    CSimFixture::setPorts({});
}

TEST(Scan, PortRefusedForPermissionIsNamedInTheNotice)
{
    // Root may open anything, so the scan runs in a child that gives up its privileges.
    CScriptedPeer peer;
    ASSERT_EQ(chmod(peer.path().c_str(), 0600), 0);
    const bool root = geteuid() == 0;
    if (!root && access(peer.path().c_str(), R_OK | W_OK) == 0)
        GTEST_SKIP() << "the pseudo-terminal cannot be made unopenable for this user";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        if (root && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        setenv("XDG_CONFIG_HOME", "/nonexistent", 1);
        CRecordingUser user;
        porttable::setPortOverride({peer.path()});
        CLPGDevice device;
        device.FindDevice();
        std::string text;
        for (const auto& t : user.texts())
            text += unicode2utf8(t) + "\x1f";
        if (write(fds[1], text.data(), text.size()) < 0)
            _exit(3);
        _exit(device.m_demo ? 0 : 4);
    }
    close(fds[1]);
    std::string got;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        got.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const std::string expected =
        "BRAK POŁĄCZENIA\nPort " + peer.path() +
        " istnieje, ale brak uprawnień do jego otwarcia. Dodaj użytkownika do grupy, "
        "która jest właścicielem urządzenia (w Debianie: dialout).\x1f";
    EXPECT_EQ(got, expected);
}

namespace {

// Descriptors of this process open on path (the virtual controller keeps one of its own).
int openDescriptors(const std::string& path)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path)
            ++count;
    }
    return count;
}

} // namespace

// Several controllers answer: the remembered port wins, else the lowest that answers, however
// the silent ports before them delay their answers; only the winner stays open. The silent ports
// wait out their three time-outs side by side, and their attempts still all go out.
TEST(Scan, CandidatesAreAskedTogetherAndTheOrderPicksTheWinner)
{
    CTempHome home;
    CRecordingUser user;
    const auto silent = silentPeers(3);
    std::vector<std::unique_ptr<sim::VirtualController>> sims;
    std::vector<std::string> table;
    for (const auto& p : silent)
        table.push_back(p->path());
    for (int i = 0; i < 3; ++i) {
        sims.push_back(std::make_unique<sim::VirtualController>());
        ASSERT_TRUE(sims.back()->start());
        table.push_back(sims.back()->path());
    }
    // COM1-3 silent, COM4-6 controllers.
    porttable::setPortOverride(table);
    struct Case {
        int saved;
        int winner;
    };
    for (const Case c : {Case{0, 4}, Case{6, 6}, Case{2, 4}}) {
        SCOPED_TRACE(c.saved);
        if (c.saved)
            CLPGDevice::SaveLastPort(c.saved);
        std::vector<int> before;
        for (const auto& path : table)
            before.push_back(openDescriptors(path));
        std::vector<unsigned> served;
        for (const auto& s : sims)
            served.push_back(s->requestCount());
        std::vector<size_t> heard;
        for (const auto& p : silent)
            heard.push_back(p->receivedCount());

        CLPGDevice device; // the program's own time-outs: a silent port costs three 1 s reads
        const auto started = std::chrono::steady_clock::now();
        bool answered = false;
        device.FindDevice([&] { answered = true; });
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_TRUE(answered);
        EXPECT_TRUE(device.m_connected);
        EXPECT_EQ(device.Port().portNumber(), c.winner);
        EXPECT_EQ(CLPGDevice::LoadLastPort(), c.winner);
        for (size_t i = 0; i < table.size(); ++i)
            EXPECT_EQ(openDescriptors(table[i]), before[i] + (static_cast<int>(i) + 1 == c.winner ? 1 : 0))
                << "COM" << i + 1;
        if (c.saved == c.winner) {
            // The remembered port alone: nobody else was asked anything.
            for (size_t i = 0; i < sims.size(); ++i) {
                if (static_cast<int>(i) + 4 != c.winner) {
                    EXPECT_EQ(sims[i]->requestCount(), served[i]);
                }
            }
            continue;
        }
        // Three silent ports cost one port's three reads (about 3 s), not three ports' worth (9 s);
        // the remembered silent port costs its own three before them.
        EXPECT_LT(seconds, c.saved ? 8.0 : 5.0);
        // Every silent port got its three attempts; the remembered one three more of its own.
        for (size_t i = 0; i < silent.size(); ++i)
            EXPECT_EQ(silent[i]->receivedCount() - heard[i], (static_cast<int>(i) + 1 == c.saved ? 2u : 1u) * 3u * 14u);
        device.Close();
    }
    for (auto& s : sims)
        s->stop();
    porttable::setPortOverride({});
}
