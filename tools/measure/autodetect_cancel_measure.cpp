// The wheel auto-detection's Cancel figure against the virtual controller: for every tick of a
// run, a run cancelled right after that many ticks must leave the controller's settings, its map
// (as it runs and as stored) and its axes byte for byte as they were before the start. One run per
// cancel point, from the question to the read back; the ticks go as fast as the passes allow (the
// collection's logic, not its 100 ms pace). The controller starts tuned by hand: a 36-2 wheel,
// TPS 2.25 V and cells off every angle step, so that a snapped or partial put-back shows.
// Usage: measure_autodetect_cancel_measure [every Nth tick, default 1]
#include "device/thread_manager.h"
#include "operations/auto_calibration.h"
#include "operations/doravine_doc.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Answers Yes to the start's question and keeps the last message.
class CYesUser : public IUserInteraction {
  public:
    void showMessage(const std::wstring& text, MessageIcon) override { last = text; }
    bool askYesNo(const std::wstring&) override { return true; }
    std::wstring pickFile(const FileRequest&) override { return {}; }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}
    std::wstring last;
};

struct Blocks {
    std::array<uint8_t, sim::kSettingsSize> settings;
    std::array<uint8_t, sim::kMapSize> map, savedMap;
    std::array<uint8_t, sim::kAxesSize> axes;
    bool operator==(const Blocks&) const = default;
};

Blocks blocksOf(const sim::VirtualController& controller)
{
    return {controller.settings(), controller.map(), controller.savedMap(), controller.axes()};
}

bool tune(sim::VirtualController& controller, CLPGDevice& device)
{
    auto settings = controller.settings();
    settings[0] = 150; // 2.25 V
    settings[2] = 5;
    settings[4] = 36;
    settings[6] = 1;
    controller.setSettings(settings);
    auto map = controller.map();
    for (size_t k = 0; k < map.size(); k += 7)
        map[k] = 73;
    controller.setMap(map);
    return device.SaveMap() && device.GetSettings() && device.GetMap() && device.GetMapAxes();
}

void waitForRunningEngine(CLPGDevice& device)
{
    CDiag sample{};
    while (!(device.m_diagData.getLast(sample) && sample.rpm() > CAutoCalibration::kRunningRpm))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// One run cancelled after `ticks` ticks (or at completion); answers the ticks it took.
int cancelledRun(CDoravineDoc& doc, int ticks, bool& prepared)
{
    CAutoCalibration calibration(doc);
    prepared = calibration.prepare();
    if (!prepared)
        return 0;
    waitForRunningEngine(doc.Device());
    int done = 0;
    while (done < ticks) {
        ++done;
        if (calibration.tick() == CAutoCalibration::TickResult::Complete)
            break;
        if (calibration.passRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    calibration.finish(true);
    return done;
}

} // namespace

int main(int argc, char** argv)
{
    const int stride = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    namespace fs = std::filesystem;
    const fs::path home = fs::temp_directory_path() / ("autodetect-cancel-" + std::to_string(::getpid()));
    fs::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::unsetenv("XDG_DOCUMENTS_DIR");

    sim::VirtualController controller;
    if (!controller.start()) {
        std::fprintf(stderr, "virtual controller: %s\n", controller.lastError().c_str());
        return 1;
    }
    controller.setProfile(sim::Profile::Steady);
    porttable::setPortOverride({controller.path()});
    CYesUser user;
    setUserInteraction(&user);
    CThreadManager threads;
    int failures = 0, points = 0, total = 0;
    {
        CDoravineDoc doc(&threads);
        doc.Device().Start();
        doc.Device().Timings().stopLiveSamplesWaitMs = 0;
        doc.ResumeLiveSamples();
        if (!doc.Device().m_connected || !tune(controller, doc.Device())) {
            std::fprintf(stderr, "no controller\n");
            return 1;
        }
        const Blocks before = blocksOf(controller);
        const auto t0 = Clock::now();
        bool prepared = false;
        total = cancelledRun(doc, 1 << 20, prepared); // the whole collection: its number of ticks
        std::printf("a complete collection takes %d ticks; cancelling after every %d\n", total, stride);
        for (int ticks = 0; ticks <= total; ticks += stride) {
            ++points;
            cancelledRun(doc, ticks, prepared);
            const bool same = prepared && blocksOf(controller) == before &&
                              user.last.find(L"\nPrzywrócono poprzednie ustawienia sterownika.\n") != std::wstring::npos;
            if (!same) {
                ++failures;
                std::printf("cancel after tick %d: the controller differs from before\n", ticks);
            }
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        std::printf("cancel points: %d, controller byte for byte as before: %d, differing: %d (%.0f s)\n", points,
                    points - failures, failures, seconds);
        doc.StopLiveSamples();
        threads.joinAll();
        doc.Device().Close();
    }
    setUserInteraction(nullptr);
    controller.stop();
    std::error_code ec;
    fs::remove_all(home, ec);
    return failures == 0 ? 0 : 1;
}
