// doravine-cli --file: settings, map, set and map-write on a settings file. The virtual controller
// is the port table's only port throughout and must never see a request; what a command rewrites
// is checked byte for byte, and an edited file loaded into the controller changes exactly the
// edited values there.
#include "files/settings_document.h"
#include "operations/edited_record.h"
#include "operations/map_editor.h"
#include "support/byte_files.h"
#include "support/cli_runner.h"
#include "support/file_size_limit.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::readAll;

namespace {

class CliSettingsFile : public ::testing::Test {
  protected:
    void SetUp() override
    {
        // The file as save-settings writes it from the controller, with reserved bytes that a
        // rewrite must carry over untouched.
        ASSERT_EQ(runCliAt(port(), {"save-settings", file.string()}).status, 0);
        original = readAll(file);
        original[kSettingsMarkerSize + settings_layout::kReservedTail + 3] = 0xA5;
        original[kSettingsMarkerSize + settings_layout::kReservedHead] = 0x5A;
        testsupport::writeAll(file, original);
        requestsBefore = fixture.sim().requestCount();
    }
    std::string port() { return fixture.sim().path(); }
    CliOutcome run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--file", file.string()});
        return runCliAt(port(), args);
    }
    fs::path put(const std::string& name, const std::string& text)
    {
        const fs::path path = fixture.home().path() / name;
        testsupport::writeAll(path, Bytes(text.begin(), text.end()));
        return path;
    }
    // The byte offsets (in the file) where the saved file differs from the original.
    std::vector<size_t> changedBytes()
    {
        const Bytes now = readAll(file);
        EXPECT_EQ(now.size(), original.size());
        std::vector<size_t> at;
        for (size_t i = 0; i < std::min(now.size(), original.size()); ++i)
            if (now[i] != original[i])
                at.push_back(i);
        return at;
    }
    static bool within(const std::vector<size_t>& offsets, size_t field, size_t width)
    {
        for (size_t o : offsets)
            if (o < kSettingsMarkerSize + field || o >= kSettingsMarkerSize + field + width)
                return false;
        return !offsets.empty();
    }

    CSimFixture fixture;
    fs::path file = fixture.home().path() / "car.settings";
    Bytes original;
    unsigned requestsBefore = 0;
};

TEST_F(CliSettingsFile, ReadsPrintTheFileInTheControllersFormats)
{
    const CliOutcome settings = run({"settings"});
    EXPECT_EQ(settings.status, 0) << settings.err;
    const CliOutcome controller = runCliAt(port(), {"settings"});
    const CliOutcome map = run({"map"});
    EXPECT_EQ(map.status, 0) << map.err;
    const CliOutcome controllerMap = runCliAt(port(), {"map"});
    requestsBefore = fixture.sim().requestCount();

    // The file was saved from this controller: its two fields and its map print as the controller's.
    EXPECT_EQ(settings.out, controller.out.substr(0, controller.out.find("teethCount")));
    EXPECT_EQ(map.out, controllerMap.out);
    EXPECT_EQ(run({"settings"}).out, settings.out);
    EXPECT_EQ(fixture.sim().requestCount(), requestsBefore) << "--file opened the serial port";
}

TEST_F(CliSettingsFile, SetAndMapWriteRewriteOnlyTheirFields)
{
    CliOutcome r = run({"set", "tpsThreshold=2.25"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(within(changedBytes(), settings_layout::kTpsThreshold, 8));
    EXPECT_EQ(run({"settings"}).out.substr(0, 23), "tpsThreshold: 2.2500\nin");

    std::string map = run({"map"}).out;
    // One angle off the 0.6 step, one RPM point: stored as given, nothing snapped.
    const auto cell = map.find('\n') + 1 + map.substr(map.find('\n') + 1).find(';') + 1;
    map.replace(cell, map.find(';', cell) - cell, "7.0");
    map.replace(map.find(";800;"), 5, ";900;");
    testsupport::writeAll(file, original);
    r = run({"map-write", put("m.csv", map).string()});
    ASSERT_EQ(r.status, 0) << r.err;
    // The MAP points are stored as the text gives them (two decimals); nothing outside the map and
    // the axes changes.
    const auto changed = changedBytes();
    EXPECT_TRUE(within({changed.front()}, settings_layout::kAdvanceMap, 8));
    for (size_t o : changed)
        EXPECT_TRUE(within({o}, settings_layout::kAdvanceMap, settings_layout::kTpsThreshold - settings_layout::kAdvanceMap))
            << "byte " << o << " outside the map and its axes";
    EXPECT_EQ(run({"map"}).out, map);
    double angle = 0;
    std::memcpy(&angle, readAll(file).data() + kSettingsMarkerSize + settings_layout::kAdvanceMap, 8);
    EXPECT_EQ(angle, 7.0);
    EXPECT_EQ(fixture.sim().requestCount(), requestsBefore) << "--file opened the serial port";
}

TEST_F(CliSettingsFile, RefusalsExitTwoAndFailedSavesExitOneLeavingTheFile)
{
    const fs::path shortFile = put("short.settings", std::string(2246, 'T'));
    for (const char* command : {"settings", "map", "set", "map-write"}) {
        std::vector<std::string> args = {"--file", shortFile.string(), command};
        if (std::string(command) == "set")
            args.push_back("inputSource=1");
        if (std::string(command) == "map-write")
            args.push_back(put("m.csv", run({"map"}).out).string());
        const CliOutcome r = runCliAt(port(), args);
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_EQ(r.err, "doravine-cli: Niezgodny rozmiar pliku\n") << command;
    }
    const struct {
        std::vector<std::string> args;
        std::string err;
    } usage[] = {
        {{"set", "teethCount=60"}, "doravine-cli: a settings file does not hold teethCount\n"},
        {{"set", "tpsThreshold=16"}, "doravine-cli: tpsThreshold: 16 is outside 0 to 15\n"},
        {{"info"}, "doravine-cli: --file works with settings, map, set and map-write only\n"},
    };
    for (const auto& u : usage) {
        const CliOutcome r = run(u.args);
        EXPECT_EQ(r.status, 2) << u.args[0];
        EXPECT_EQ(r.err, u.err);
    }
    const CliOutcome empty = runCliAt(port(), {"--file", "", "set", "inputSource=1"});
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err.rfind("doravine-cli: --file needs a file name\n", 0), 0u);
    if (CFileSizeLimit::supported()) {
        CliOutcome r;
        {
            CFileSizeLimit limit(1000);
            r = run({"set", "inputSource=1"});
        }
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "doravine-cli: Nie można zapisać wybranego pliku\n" + file.string() + "\n");
    }
    EXPECT_EQ(readAll(file), original);
    EXPECT_EQ(fixture.sim().requestCount(), requestsBefore) << "--file opened the serial port";
}

TEST_F(CliSettingsFile, AnEditedFileLoadedChangesExactlyTheEditedValuesInTheController)
{
    const auto settings = fixture.sim().settings();
    const auto axes = fixture.sim().axes();
    const auto map = fixture.sim().map();
    {
        // The window's edits: one cell, one RPM header and the TPS threshold, then Save.
        CSettingsDocument doc;
        ASSERT_EQ(doc.open(file.wstring()), nullptr);
        doc.record().sensorType = 0; // 60-2 Hall: the 0.6 step
        CFileRecord target(doc);
        CMapEditor editor(target);
        editor.getText({0, 0}, L"9.6");
        editor.getText({1, -1}, L"900");
        doc.record().tpsThreshold = 2.25;
        ASSERT_EQ(doc.saveTo(), nullptr);
    }
    const CliOutcome load = runCliAt(port(), {"load-settings", file.string()});
    ASSERT_EQ(load.status, 0) << load.err;

    auto differing = [](const auto& a, const auto& b) {
        std::vector<size_t> at;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i])
                at.push_back(i);
        return at;
    };
    EXPECT_EQ(differing(fixture.sim().map(), map), std::vector<size_t>{0}) << "advanceMap[0][0] only";
    EXPECT_EQ(fixture.sim().map()[0], 96);
    EXPECT_EQ(differing(fixture.sim().axes(), axes), std::vector<size_t>{33}) << "rpmAxis[1] only";
    EXPECT_EQ(fixture.sim().axes()[33], 9);
    EXPECT_EQ(differing(fixture.sim().settings(), settings), std::vector<size_t>{0}) << "tpsThreshold only";
    EXPECT_EQ(fixture.sim().settings()[0] | fixture.sim().settings()[1] << 8, tpsToWire(2.25));
}

} // namespace
