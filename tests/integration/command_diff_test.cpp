// doravine-cli diff against the virtual controller: the lines in the load's order and the exit
// statuses for an equal file (0), a changed one (1) and refused ones (2).
#include "files/settings_file.h"
#include "support/byte_files.h"
#include "support/cli_runner.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::Bytes;

namespace {

class Diff : public ::testing::Test {
  protected:
    CliOutcome run(const fs::path& file) { return runCliAt(fixture.sim().path(), {"diff", file.string()}); }
    // The record as the controller holds it, from its own blocks.
    CSettingsRecord controller()
    {
        CSettingsRecord r{};
        const auto settings = fixture.sim().settings();
        const auto map = fixture.sim().map();
        const auto axes = fixture.sim().axes();
        decodeSettingsBlock(settings.data(), settings.size(), r);
        decodeMapBlock(map.data(), map.size(), r);
        decodeAxesBlock(axes.data(), axes.size(), r);
        return r;
    }
    fs::path file(const CSettingsRecord& record, uint8_t deviceType = 29)
    {
        CSettingsSnapshot snapshot;
        snapshot.initMarker(0x0100);
        snapshot.takeSnapshot(0x0100, deviceType, record);
        const auto bytes = snapshot.fileBytes();
        return put(Bytes(bytes.begin(), bytes.end()));
    }
    fs::path put(const Bytes& bytes)
    {
        const fs::path path = fixture.home().path() / ("f" + std::to_string(++m_files) + ".settings");
        testsupport::writeAll(path, bytes);
        return path;
    }

    CSimFixture fixture;
    int m_files = 0;
};

} // namespace

TEST_F(Diff, PrintsEachDifferenceInTheLoadsOrderAndWritesNothing)
{
    const CSettingsRecord c = controller();
    EXPECT_EQ(c.tpsThreshold, 1.5005);
    CSettingsRecord f = c;
    f.advanceMap[15][0] = 0.6;
    f.advanceMap[2][3] = 1.2; // snapped as the load snaps: stays 1.2 on the 0.6 step
    f.mapAxis[1] = c.mapAxis[1] + 0.05;
    f.rpmAxis[3] = 1500;
    f.inputSource = c.inputSource == 0 ? 1 : 0;
    f.tpsThreshold = 2.0;
    const auto mapBefore = fixture.sim().map();
    const auto settingsBefore = fixture.sim().settings();

    const CliOutcome equal = run(file(c));
    EXPECT_EQ(equal.status, 0) << equal.err;
    EXPECT_EQ(equal.out, "");
    const CliOutcome r = run(file(f));
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string input = c.inputSource == 0 ? "0 -> 1" : "1 -> 0";
    char mapPoints[64], cells[96];
    std::snprintf(mapPoints, sizeof mapPoints, "mapAxis[1]: %.2f -> %.2f\n", c.mapAxis[1], f.mapAxis[1]);
    std::snprintf(cells, sizeof cells, "advanceMap[2][3]: %.1f -> 1.2\nadvanceMap[15][0]: %.1f -> 0.6\n",
                  c.advanceMap[2][3], c.advanceMap[15][0]);
    EXPECT_EQ(r.out, "tpsThreshold: 1.5005 -> 2.0000\ninputSource: " + input + "\nrpmAxis[3]: 1400 -> 1500\n" +
                         mapPoints + cells);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(fixture.sim().map(), mapBefore);
    EXPECT_EQ(fixture.sim().settings(), settingsBefore);
}

TEST_F(Diff, RefusedFilesExitTwo)
{
    const struct {
        fs::path path;
        const char* err;
    } cases[] = {
        {put(Bytes(2246, 0x54)), "doravine-cli: Niezgodny rozmiar pliku\n"},
        {put(Bytes(2247, 0x00)), "doravine-cli: Plik nie zawiera ustawień doravinea\n"},
        {file(controller(), 30), "doravine-cli: Nieprawidłowy plik\n"},
        {fixture.home().path() / "missing.settings", "doravine-cli: Nie można otworzyć wybranego pliku\n"},
    };
    for (const auto& c : cases) {
        const CliOutcome r = run(c.path);
        EXPECT_EQ(r.status, 2) << c.path;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
}
