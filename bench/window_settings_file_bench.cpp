// Opening a settings file in the window: from the file dialog's OK (the moment the dialog hands
// over the chosen path) through the load's checks, the pages switching to the file's record, to
// the map grid drawn with the file's cells (the grid rendered once more, as its paint does).
// The whole window runs without a controller, offscreen; each iteration closes the file first.
// Run: QT_QPA_PLATFORM=offscreen bench_window_settings_file_bench
#include "base/user_interaction.h"
#include "files/settings_file.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/settings_file_control.h"
#include "operations/doravine_doc.h"
#include "platform/port_table.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// The file dialog answers with the file at once and starts the clock as it returns.
class COpeningUser : public IUserInteraction {
  public:
    explicit COpeningUser(std::wstring path) : m_path(std::move(path)) {}
    void showMessage(const std::wstring& text, MessageIcon) override { std::fprintf(stderr, "message: %ls\n", text.c_str()); }
    bool askYesNo(const std::wstring&) override { return false; }
    std::wstring pickFile(const FileRequest&) override
    {
        clock.start();
        return m_path;
    }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}

    QElapsedTimer clock;

  private:
    std::wstring m_path;
};

void OpenASettingsFileToThePaintedGrid(benchmark::State& state)
{
    const auto home = std::filesystem::temp_directory_path() / "doravine-bench-settings-file";
    std::filesystem::create_directories(home);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", home.c_str(), 1);
    const auto file = home / "car.settings";
    {
        CSettingsRecord record = demoRecord();
        for (int r = 0; r < kMapRows; ++r)
            for (int c = 0; c < kMapColumns; ++c)
                record.advanceMap[r][c] = 0.6 * ((r + c) % 30);
        CSettingsSnapshot snapshot;
        snapshot.initMarker(0x0100);
        snapshot.takeSnapshot(0x0100, 29, record);
        const auto bytes = snapshot.fileBytes();
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    static int argc = 1;
    static char name[] = "bench_window_settings_file_bench";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    COpeningUser user(file.wstring());
    setUserInteraction(&user);
    porttable::setPortOverride({});

    CThreadManager threads;
    CDoravineDoc doc(&threads);
    CMainFrame frame(doc);
    frame.initialUpdate();
    frame.resize(1366, 768);
    frame.show();
    while (frame.view()->searching())
        QApplication::processEvents();
    frame.view()->pageCtrl()->activatePage(CDoravineView::TabMap);
    auto* map = static_cast<CMapAngleDlg*>(frame.view()->tabPage(CDoravineView::TabMap));
    QApplication::processEvents();

    double longest = 0;
    for (auto _ : state) {
        frame.settingsFile()->closeFile();
        QApplication::processEvents();
        frame.settingsFile()->action(CSettingsFileControl::OpenAction)->trigger();
        const QPixmap drawn = map->grid()->grab();
        const double ms = user.clock.nsecsElapsed() / 1e6;
        benchmark::DoNotOptimize(drawn.cacheKey());
        state.SetIterationTime(ms / 1000.0);
        longest = std::max(longest, ms);
        if (!doc.SettingsFile().isOpen())
            state.SkipWithError("the file was not opened");
        QApplication::processEvents();
    }
    state.counters["longest_ms"] = longest;

    frame.settingsFile()->closeFile();
    setUserInteraction(nullptr);
    std::filesystem::remove_all(home);
}
BENCHMARK(OpenASettingsFileToThePaintedGrid)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
