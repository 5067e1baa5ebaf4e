// The fault sweep's row and runner: one gesture of the whole window over the virtual controller
// (its port a link that follows the controller across a hang-up), run as a person meets it with
// one of its frames pulled, lost once or unanswered on every retry; the window's event loop
// watched by the stall probe throughout, the messages counted, the watchdog left to reconnect
// (timed from the moment the controller is back), and the screen compared with what the
// controller holds. Header-only: each window test is its own program.
#pragma once

#include "device/lpg_device.h"
#include "gui/shell/link_gateway.h"
#include "gui/shell/stall_probe.h"
#include "gui/support/sim_window.h"
#include "operations/diag_threads.h"
#include "operations/firmware_update.h"
#include "operations/signal_capture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
        return "noreply x1";
    case Fault::Unanswered:
        return "noreply";
    }
    return "?";
}

constexpr int kBackMs = 300;
// Connected again, as the window sees it, this long after the controller is back at the latest.
// The figure is the release build's; a sanitized build runs the rescan several times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kReconnectLimitMs = 3000;
#else
constexpr int kReconnectLimitMs = 1500;
#endif

class CSweepWindow;
using Step = std::function<void(CSweepWindow&)>;

struct Action {
    std::string name;
    // Brings the window to the gesture (its tab, the answers it will ask for, a change to undo);
    // its own frames go before the counting starts.
    Step setup;
    // The person's gesture; the window's own event loops run inside it as they would.
    Step act;
    // Empty when the screen shows what the controller holds, else what differs.
    std::function<std::string(CSweepWindow&)> screenDiffers;
    // The gesture's exchanges have ended (a background write included).
    std::function<bool(CSweepWindow&)> settled;
    // Frames (1-based) whose unanswered retries change nothing on the controller, so that no
    // message is due (a map sent along with settings that are already taken).
    std::vector<int> harmlessWhenUnanswered = {};
    // A gesture whose frames cannot be counted (a capture that runs until stopped, a detection
    // paced by the engine) names the frames the faults land on, by command code or frame type,
    // each at its first occurrence; the window stays live meanwhile.
    std::vector<std::pair<sim::FaultWhen, uint8_t>> at = {};
    // A failed run puts back what the controller held before it; with the cable pulled it cannot,
    // and then names the backup that holds it.
    bool putsBack = false;
};

struct Result {
    std::string frame;   // "n/of name", or the named frame
    int messages = 0;    // messages other than a success's note
    std::string message; // the first of them
    std::string said;    // the first lines of every message, for a failure's report
    qint64 longestGapMs = 0;
    qint64 reconnectMs = -1; // from the controller's return; -1: never lost, or not found again
    bool reconnected = false;
    std::string screen; // empty: equal to the controller
    bool controllerKept = false; // the controller holds afterwards what it held before
    bool namesBackup = false;    // a message names a dated settings backup
};

inline bool idle(CSweepWindow&)
{
    return !CLinkGateway::instance()->busy() && !QApplication::activeModalWidget();
}

class CSweepWindow : public CSimWindow {
  public:
    CSweepWindow()
        : CSimWindow(SimWindowOptions::followingHangUps())
    {
        sim->sim().setPathListener([this](const std::string&) { m_backAt = Clock::now().time_since_epoch().count(); });
        device().Timings().stopLiveSamplesWaitMs = 0;
        device().Timings().recoveryPauseMs = 100;
        EXPECT_TRUE(QTest::qWaitFor([this] { return device().m_connected.load(); }, 20000));
        view().revealHiddenTabs();
    }
    ~CSweepWindow()
    {
        sim->sim().setPathListener({});
        firmwareUpdateTimings() = CFirmwareUpdateTimings{};
        captureState() = kCaptureIdle;
    }

    sim::VirtualController& controller() { return sim->sim(); }
    template <class Page> Page& page(int tab) { return *static_cast<Page*>(view().tabPage(tab)); }
    void showTab(int tab) { view().pageCtrl()->activatePage(tab); }

    // The frames a gesture sends when nothing goes wrong, by name.
    std::vector<std::string> countFrames(const Action& action)
    {
        if (!action.at.empty()) {
            std::vector<std::string> named;
            for (const auto& [when, code] : action.at)
                named.push_back(frameName(when, code));
            return named;
        }
        prepare(action, true);
        const unsigned before = controller().requestCount();
        action.act(*this);
        EXPECT_TRUE(QTest::qWaitFor([&] { return action.settled(*this); }, 10000)) << action.name;
        const auto names = testsupport::requestNames(controller());
        const size_t sent = std::min<size_t>(controller().requestCount() - before, names.size());
        resume();
        return {names.end() - static_cast<std::ptrdiff_t>(sent), names.end()};
    }

    // The gesture with its frame-th frame (1-based) faulted.
    Result run(const Action& action, Fault fault, int frame, const std::string& name)
    {
        const bool counted = action.at.empty();
        prepare(action, counted);
        const size_t said = user.messages().size();
        for (const sim::FaultRule& rule : rules(action, fault, frame))
            controller().addFault(rule);
        Result r;
        r.frame = counted ? std::to_string(frame) + " " + name : name;
        m_backAt = 0;
        const auto held = heldBlocks();
        CStallProbe probe(QString(), m_clock);
        QTest::qWait(3 * CStallProbe::kPeriodMs); // its first turns: a stall in the gesture counts
        action.act(*this);
        EXPECT_TRUE(QTest::qWaitFor([&] { return action.settled(*this); }, 20000)) << action.name;
        r.longestGapMs = probe.longestMs();
        const bool lost = !device().m_connected;
        controller().clearFaults();
        if (fault != Fault::HangUp)
            m_backAt = Clock::now().time_since_epoch().count();
        resume();
        r.reconnected = QTest::qWaitFor([&] { return connected(); }, 10000);
        if (lost && r.reconnected && m_backAt)
            r.reconnectMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                Clock::now() - Clock::time_point(Clock::duration(m_backAt.load())))
                                .count();
        // The page reads again on its ticks once the controller is back.
        (void)QTest::qWaitFor([&] { return action.settled(*this) && action.screenDiffers(*this).empty(); }, 5000);
        r.screen = action.screenDiffers(*this);
        r.controllerKept = heldBlocks() == held;
        // What went wrong is said once; a success's own note (the clear's backup) is not counted.
        for (size_t i = said; i < user.messages().size(); ++i) {
            if (user.messages()[i].icon != MessageIcon::Information && r.messages++ == 0)
                r.message = firstLine(user.messages()[i].text);
            r.namesBackup |= user.messages()[i].text.find(L"ustawienia-") != std::wstring::npos;
            r.said += firstLine(user.messages()[i].text) + " | ";
        }
        return r;
    }

  private:
    using Clock = std::chrono::steady_clock;

    static std::string frameName(sim::FaultWhen when, uint8_t code)
    {
        char text[16];
        std::snprintf(text, sizeof text, when == sim::FaultWhen::Command ? "2/%02X" : "%X", code);
        return text;
    }
    static std::string firstLine(const std::wstring& text)
    {
        const std::wstring line = text.substr(0, text.find(L'\n'));
        return QString::fromStdWString(line).left(48).toStdString();
    }

    std::vector<sim::FaultRule> rules(const Action& action, Fault fault, int frame) const
    {
        sim::FaultRule rule;
        if (action.at.empty()) {
            rule.when = sim::FaultWhen::NthRequest;
            rule.nth = controller().requestCount() + static_cast<unsigned>(frame);
        } else {
            std::tie(rule.when, rule.code) = action.at[static_cast<size_t>(frame - 1)];
        }
        rule.times = 1;
        if (fault == Fault::HangUp) {
            rule.kind = sim::FaultKind::HangUp;
            rule.backAfterMs = kBackMs;
            return {rule};
        }
        if (fault == Fault::LostFrame || !action.at.empty()) {
            rule.times = fault == Fault::LostFrame ? 1 : 0;
            return {rule};
        }
        std::vector<sim::FaultRule> each;
        for (unsigned k = 0; k < CLPGDevice::kConfigAttempts; ++k, ++rule.nth)
            each.push_back(rule);
        return each;
    }
    sim::VirtualController& controller() const { return sim->sim(); }
    // The controller's settings, map and axes, raw.
    std::vector<uint8_t> heldBlocks() const
    {
        const auto settings = controller().settings();
        const auto map = controller().map();
        const auto axes = controller().axes();
        std::vector<uint8_t> all(settings.begin(), settings.end());
        all.insert(all.end(), map.begin(), map.end());
        all.insert(all.end(), axes.begin(), axes.end());
        return all;
    }

    // Connected as the window sees it: the watchdog has collected the search and refreshed the
    // pages, and its ticks run again.
    bool connected()
    {
        return device().m_connected.load() && frame->watchdog().shownConnected() && !frame->gateway().busy() &&
               frame->mainTimerRunning();
    }

    void prepare(const Action& action, bool counted)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return connected(); }, 10000));
        action.setup(*this);
        EXPECT_TRUE(QTest::qWaitFor([&] { return action.settled(*this); }, 20000)) << action.name;
        if (counted)
            quiet();
        user.clear();
    }
    // Only the gesture talks to the controller: the live samples and the main timer stopped, so
    // that its frames are the controller's next requests.
    void quiet()
    {
        frame->stopMainTimer();
        doc->StopLiveSamples();
        threads.joinAll();
    }
    // As while connected: the main timer (the watchdog's ticks) and the live samples.
    void resume()
    {
        if (device().m_connected)
            doc->ResumeLiveSamples();
        frame->startMainTimer();
    }

    QElapsedTimer m_clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    std::atomic<Clock::rep> m_backAt{0};
};

} // namespace sweep
