// doravine-cli diff against the virtual controller: the lines, their order and formats, and the
// exit statuses for an equal file, a changed one, a refused one and no controller.
#include "cli/cli.h"

#include "files/settings_file.h"
#include "platform/port_table.h"
#include "records/settings_compare.h"
#include "support/byte_files.h"
#include "support/cli_runner.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class Diff : public ::testing::Test {
  protected:
    CliOutcome run(const fs::path& file)
    {
        CliOutcome outcome = runCli({"--lang", "pl", "--port", fixture.sim().path(), "diff", file.string()});
        porttable::setPortOverride({});
        return outcome;
    }
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
        const fs::path path = fixture.home().path() / ("f" + std::to_string(++m_files) + ".settings");
        testsupport::writeAll(path, testsupport::Bytes(bytes.begin(), bytes.end()));
        return path;
    }

    CSimFixture fixture;
    int m_files = 0;
};

} // namespace

TEST_F(Diff, EqualFileExitsZeroAndPrintsNothing)
{
    const CliOutcome r = run(file(controller()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(Diff, EachDifferenceIsALineInTheLoadsOrderAndTheStatusIsOne)
{
    const CSettingsRecord c = controller();
    CSettingsRecord f = c;
    f.advanceMap[15][0] = c.advanceMap[15][0] == 0 ? 0.6 : 0.0;
    f.advanceMap[2][3] = 1.2;
    f.mapAxis[1] = c.mapAxis[1] + 0.05;
    f.rpmAxis[3] = c.rpmAxis[3] + 100;
    f.inputSource = c.inputSource == 0 ? 1 : 0;
    f.tpsThreshold = 2.0;
    const auto mapBefore = fixture.sim().map();
    const auto settingsBefore = fixture.sim().settings();
    fixture.sim().clearRequests();
    const CliOutcome r = run(file(f));
    EXPECT_EQ(r.status, 1) << r.err;
    const auto value = [](CSettingsDifference::Field field, double v) { return differenceValue({field}, v); };
    using F = CSettingsDifference::Field;
    std::string expected = "tpsThreshold: " + value(F::TpsThreshold, c.tpsThreshold) + " -> 2.0000\n" +
                           "inputSource: " + value(F::InputSource, c.inputSource) + " -> " +
                           value(F::InputSource, f.inputSource) + "\n" + "rpmAxis[3]: " +
                           value(F::RpmAxis, c.rpmAxis[3]) + " -> " + value(F::RpmAxis, f.rpmAxis[3]) + "\n" +
                           "mapAxis[1]: " + value(F::MapAxis, c.mapAxis[1]) + " -> " +
                           value(F::MapAxis, f.mapAxis[1]) + "\n";
    if (c.advanceMap[2][3] != 1.2)
        expected += "advanceMap[2][3]: " + value(F::AdvanceMap, c.advanceMap[2][3]) + " -> 1.2\n";
    expected += "advanceMap[15][0]: " + value(F::AdvanceMap, c.advanceMap[15][0]) + " -> " +
                value(F::AdvanceMap, f.advanceMap[15][0]) + "\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
    // Nothing written: no settings (3), map (9), axes (B) or store (2/0F) request.
    for (const std::string& name : testsupport::requestNames(fixture.sim()))
        EXPECT_TRUE(name != "3" && name != "9" && name != "B" && name != "2/0F") << name;
    EXPECT_EQ(fixture.sim().map(), mapBefore);
    EXPECT_EQ(fixture.sim().settings(), settingsBefore);
}

TEST_F(Diff, RefusedFilesExitTwoWithTheLoadsMessage)
{
    const fs::path shortFile = fixture.home().path() / "short.settings";
    testsupport::writeAll(shortFile, testsupport::Bytes(2246, 0x54));
    const fs::path noMarker = fixture.home().path() / "nomarker.settings";
    testsupport::writeAll(noMarker, testsupport::Bytes(2247, 0x00));
    const struct {
        fs::path path;
        const char* err;
    } cases[] = {
        {shortFile, "doravine-cli: Niezgodny rozmiar pliku\n"},
        {noMarker, "doravine-cli: Plik nie zawiera ustawień doravinea\n"},
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

TEST_F(Diff, NoControllerExitsThree)
{
    const fs::path path = file(controller());
    const CliOutcome r = runCli({"--lang", "pl", "--port", "/nonexistent/tty", "diff", path.string()});
    porttable::setPortOverride({});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "doravine-cli: BRAK POŁĄCZENIA\n");
}
