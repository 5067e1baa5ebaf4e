// The start-up the window benchmarks share: a temporary home of their own, the program's
// application, a user who answers Yes, picks the file it was given and counts the messages, the
// virtual controller with a steady engine as the only port, and the document with its window once
// the controller is found. The event loop's beat is read through the window's stall probe.
#pragma once

#include "base/user_interaction.h"
#include "gui/shell/doravine_app.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/stall_probe.h"
#include "operations/diag_threads.h"
#include "operations/doravine_doc.h"
#include "platform/port_table.h"
#include "sim/virtual_controller.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace benchwindow {

class CClickThroughUser : public IUserInteraction {
  public:
    void showMessage(const std::wstring& text, MessageIcon) override
    {
        ++messages;
        std::fprintf(stderr, "message: %ls\n", text.c_str());
    }
    bool askYesNo(const std::wstring&) override { return true; }
    std::wstring pickFile(const FileRequest&) override { return file; }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}

    std::wstring file;
    int messages = 0;
};

// Runs the event loop until done() holds or the limit passes.
inline bool waitFor(const std::function<bool()>& done, int limitMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// Everything but the window. ok() is false (and the state skipped with the reason) when the
// pseudo-terminal cannot be had.
class CBenchEnvironment {
  public:
    CBenchEnvironment(benchmark::State& state, const char* name, bool pacing)
        : m_home(makeHome(name)), m_app(appFor(name))
    {
        setUserInteraction(&user);
        controller.setPacing(pacing);
        controller.setProfile(sim::Profile::Steady);
        if (!controller.start()) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        porttable::setPortOverride({controller.path()});
        m_ok = true;
        m_clock.start();
    }
    ~CBenchEnvironment()
    {
        controller.stop();
        setUserInteraction(nullptr);
        porttable::setPortOverride({});
        std::filesystem::remove_all(m_home);
    }

    bool ok() const { return m_ok; }
    const std::filesystem::path& home() const { return m_home; }

    // The longest stretch without the event loop turning while action runs (the probe's 5 ms
    // period included), in ms.
    qint64 longestStall(const std::function<void()>& action)
    {
        CStallProbe probe(QString(), m_clock);
        waitFor([] { return false; }, 3 * CStallProbe::kPeriodMs); // its first turns
        action();
        waitFor([] { return false; }, 2 * CStallProbe::kPeriodMs); // the turn that ends the last gap
        return probe.longestMs();
    }

    CClickThroughUser user;
    sim::VirtualController controller;

  private:
    static std::filesystem::path makeHome(const char* name)
    {
        const auto home = std::filesystem::temp_directory_path() / (std::string("doravine-") + name);
        std::filesystem::remove_all(home);
        std::filesystem::create_directories(home / ".config");
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
        ::setenv("XDG_DOCUMENTS_DIR", (home / "Documents").c_str(), 1);
        return home;
    }
    static std::unique_ptr<CDoravineApplication> appFor(const char* name)
    {
        static int argc = 1;
        static std::string program;
        static char* argv[] = {nullptr, nullptr};
        program = name;
        argv[0] = program.data();
        return std::make_unique<CDoravineApplication>(argc, argv);
    }

    std::filesystem::path m_home;
    std::unique_ptr<CDoravineApplication> m_app;
    QElapsedTimer m_clock;
    bool m_ok = false;
};

// The environment with the document and the whole window, connected.
class CBenchWindow : public CBenchEnvironment {
  public:
    CBenchWindow(benchmark::State& state, const char* name, bool pacing)
        : CBenchEnvironment(state, name, pacing)
    {
        if (!ok())
            return;
        doc = std::make_unique<CDoravineDoc>(&threads);
        frame = std::make_unique<CMainFrame>(*doc);
        frame->initialUpdate();
        frame->resize(1366, 768);
        frame->show();
        if (!waitFor([&] { return !view().searching() && doc->Device().m_connected; }, 20000)) {
            state.SkipWithError("no controller found");
            frame.reset();
        }
    }
    ~CBenchWindow()
    {
        frame.reset();
        if (doc)
            doc->StopLiveSamples();
        threads.joinAll();
        doc.reset();
    }

    bool connected() const { return frame != nullptr; }
    CDoravineView& view() { return *frame->view(); }

    CThreadManager threads;
    std::unique_ptr<CDoravineDoc> doc;
    std::unique_ptr<CMainFrame> frame;
};

} // namespace benchwindow
