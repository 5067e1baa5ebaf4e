// The watch over the connected flag, driven by the main window's 100 ms timer: the timer only
// calls tick(). It tells the status strip when the flag changed, rescans the ports on every
// eleventh tick while disconnected and resumes the live samples after a rescan that connected.
// A rescan runs on a thread of its own: a tick only starts it and later collects its outcome,
// so a silent port never holds up the window. No rescan starts while something else holds the
// link (an exchange of the window, a capture, a firmware update).
#pragma once

#include "device/device_search.h"

#include <functional>

class CLPGDevice;

class CConnectionWatchdog {
  public:
    static constexpr int kRescanCountdown = 10;

    struct Hooks {
        std::function<void(bool connected)> showConnection; // the status strip
        std::function<void()> resumeLiveSamples;            // after a rescan that connected
        std::function<bool()> linkHeld;                     // an exchange of the window runs
    };

    CConnectionWatchdog(CLPGDevice& device, Hooks hooks);

    enum class Tick {
        Lost,    // the connection was just seen lost: nothing else this tick
        Refresh, // a full tick and samples are present: refresh the pages
        Idle,    // a full tick without samples to show
    };
    // One timer tick; the caller refreshes its pages on Refresh. Never waits on the link.
    Tick tick();

    bool shownConnected() const { return m_wasConnected; }
    int countdown() const { return m_countdown; }
    int rescans() const { return m_rescans; }
    // A rescan was started and its outcome not yet collected.
    bool rescanning() const { return m_rescanning; }

  private:
    // Something other than the watchdog uses the link, or the last search still closes its ports.
    bool linkBusy() const;
    void collectRescan();

    CLPGDevice& m_device;
    Hooks m_hooks;
    CDeviceSearch m_search;
    bool m_wasConnected = true;
    bool m_rescanning = false;
    int m_countdown = kRescanCountdown;
    int m_rescans = 0;
};
