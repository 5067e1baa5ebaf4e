// The watch over the connected flag, driven by the main window's 100 ms timer: the timer only
// calls tick(). It tells the status strip when the flag changed, rescans the ports on every
// eleventh tick while disconnected and resumes the live samples after a rescan that connected.
#pragma once

#include <functional>

class CLPGDevice;

class CConnectionWatchdog {
  public:
    static constexpr int kRescanCountdown = 10;

    struct Hooks {
        std::function<void(bool connected)> showConnection; // the status strip
        std::function<void()> resumeLiveSamples;            // after a rescan that connected
    };

    CConnectionWatchdog(CLPGDevice& device, Hooks hooks);

    enum class Tick {
        Lost,    // the connection was just seen lost: nothing else this tick
        Refresh, // a full tick and samples are present: refresh the pages
        Idle,    // a full tick without samples to show
    };
    // One timer tick; the caller refreshes its pages on Refresh. A rescan blocks the caller.
    Tick tick();

    bool shownConnected() const { return m_wasConnected; }
    int countdown() const { return m_countdown; }
    int rescans() const { return m_rescans; }

  private:
    CLPGDevice& m_device;
    Hooks m_hooks;
    bool m_wasConnected = true;
    int m_countdown = kRescanCountdown;
    int m_rescans = 0;
};
