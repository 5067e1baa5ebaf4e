// The fault sweep's window and table: the whole window over the virtual controller (its port a
// link that follows the controller across a hang-up), and one row run as a person meets it: the
// action's gesture with one of its frames pulled or unanswered, the window's event loop watched
// throughout, the messages counted, the watchdog left to reconnect, and the page compared with
// what the controller holds. Header-only: each window test is its own program; rows for other
// pages add their Action and reuse the rest.
#pragma once

#include "device/lpg_device.h"
#include "gui/shell/doravine_view.h"
#include "gui/shell/main_frame.h"
#include "gui/support/qt_app_environment.h"
#include "operations/doravine_doc.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace sweep {

// HangUp: the cable pulled at the frame (back after kBackMs). LostFrame: that one frame never
// answered (its retry must carry the action). Unanswered: the frame and every retry of it.
enum class Fault { HangUp, LostFrame, Unanswered };

inline const char* faultName(Fault f)
{
    switch (f) {
    case Fault::HangUp:
        return "hangup";
    case Fault::LostFrame:
        return "noreply";
    case Fault::Unanswered:
        return "noreply x10";
    }
    return "?";
}

constexpr int kBackMs = 300;
constexpr int kReconnectLimitMs = 15000;

class CSweepWindow;

struct Action {
    std::string name;
    int tab;
    // The person's gesture; the window's own event loops run inside it as they would.
    std::function<void(CSweepWindow&)> act;
    // Empty when the page shows what the controller holds, else what differs.
    std::function<std::string(CSweepWindow&)> screenDiffers;
    // Frames (1-based) whose unanswered retries change nothing on the controller, so that no
    // message is due (a map sent along with settings that are already taken).
    std::vector<int> harmlessWhenUnanswered;
    // The page's exchanges have ended (a background write included).
    std::function<bool(CSweepWindow&)> settled;
    // What must hold before the gesture (a change to undo, cells to interpolate); its own frames
    // go before the counting starts.
    std::function<void(CSweepWindow&)> setup = [](CSweepWindow&) {};
};

struct Result {
    size_t messages = 0;
    qint64 longestGapMs = 0;
    bool reconnected = false;
    std::string screen; // empty: equal to the controller
};

class CSweepWindow {
  public:
    CSweepWindow()
    {
        setCurrentLanguage(kLanguagePolish);
        m_link = m_sim.home().path() / "ttyDORAVINE";
        m_sim.sim().setLinkPath(m_link.string());
        CSimFixture::setPorts({m_link.string()});
        m_doc = std::make_unique<CDoravineDoc>(&m_threads);
        CSimFixture::shortenTimeouts(device());
        device().Timings().stopLiveSamplesWaitMs = 0;
        device().Timings().recoveryPauseMs = 100;
        m_frame = std::make_unique<CMainFrame>(*m_doc);
        m_frame->initialUpdate();
        m_frame->resize(1366, 768);
        m_frame->show();
        EXPECT_TRUE(QTest::qWaitFor([this] { return !view().searching() && device().m_connected; }, 20000));
    }
    ~CSweepWindow()
    {
        m_frame.reset();
        m_doc->StopLiveSamples();
        m_threads.joinAll();
        m_doc.reset();
        CSimFixture::setPorts({});
    }

    CMainFrame& frame() { return *m_frame; }
    CDoravineView& view() { return *m_frame->view(); }
    CLPGDevice& device() { return m_doc->Device(); }
    CDoravineDoc& doc() { return *m_doc; }
    sim::VirtualController& sim() { return m_sim.sim(); }
    CRecordingUser& user() { return m_user; }
    template <class Page> Page& page(int tab) { return *static_cast<Page*>(view().tabPage(tab)); }

    // Only the action talks to the controller: the live samples and the main timer stopped, so
    // that the action's frames are the controller's next requests.
    void quiet()
    {
        m_frame->stopMainTimer();
        m_doc->StopLiveSamples();
        m_threads.joinAll();
    }
    // As while connected: the main timer (the watchdog's ticks) and the live samples.
    void resume()
    {
        if (device().m_connected)
            m_doc->ResumeLiveSamples();
        m_frame->startMainTimer();
    }
    void showTab(int tab) { view().pageCtrl()->activatePage(tab); }

    // The frames an action sends when nothing goes wrong.
    int countFrames(const Action& action)
    {
        prepare(action);
        const unsigned before = sim().requestCount();
        action.act(*this);
        EXPECT_TRUE(QTest::qWaitFor([&] { return action.settled(*this); }, 10000)) << action.name;
        const int frames = static_cast<int>(sim().requestCount() - before);
        resume();
        return frames;
    }

    Result run(const Action& action, Fault fault, int frame)
    {
        prepare(action);
        const size_t messagesBefore = m_user.texts().size();
        const unsigned at = sim().requestCount() + static_cast<unsigned>(frame);
        if (fault == Fault::HangUp) {
            sim::FaultRule rule = faultRule(sim::FaultKind::HangUp, at);
            rule.backAfterMs = kBackMs;
            sim().addFault(rule);
        } else {
            const unsigned frames = fault == Fault::LostFrame ? 1 : CLPGDevice::kConfigAttempts;
            for (unsigned k = 0; k < frames; ++k)
                sim().addFault(faultRule(sim::FaultKind::NoReply, at + k));
        }
        Result r;
        QElapsedTimer sinceBeat;
        sinceBeat.start();
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] { r.longestGapMs = std::max(r.longestGapMs, sinceBeat.restart()); });
        beat.start(10);
        action.act(*this);
        EXPECT_TRUE(QTest::qWaitFor([&] { return action.settled(*this); }, 20000)) << action.name;
        r.longestGapMs = std::max(r.longestGapMs, sinceBeat.elapsed());
        beat.stop();
        sim().clearFaults();
        resume();
        r.reconnected = QTest::qWaitFor([&] { return device().m_connected && m_frame->mainTimerRunning(); },
                                        kReconnectLimitMs);
        // The page reads again on its ticks once the controller is back.
        (void)QTest::qWaitFor([&] { return action.settled(*this) && action.screenDiffers(*this).empty(); }, 10000);
        r.screen = action.screenDiffers(*this);
        r.messages = m_user.texts().size() - messagesBefore;
        return r;
    }

  private:
    void prepare(const Action& action)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return device().m_connected.load(); }, kReconnectLimitMs));
        if (view().pageCtrl()->activeIndex() != action.tab)
            showTab(action.tab);
        action.setup(*this);
        EXPECT_TRUE(QTest::qWaitFor([&] { return action.settled(*this); }, 10000)) << action.name;
        quiet();
    }

    CSimFixture m_sim;
    std::filesystem::path m_link;
    CRecordingUser m_user;
    CThreadManager m_threads;
    std::unique_ptr<CDoravineDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace sweep
