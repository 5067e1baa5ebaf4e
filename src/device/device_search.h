// The search for the controller on a thread of its own, so that the window's thread never waits
// on a silent port. The thread answers as soon as the search has its outcome (connected, or
// demo mode); it may go on a little longer, closing the ports that lost, and a new search
// starts only once it has ended.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

class CLPGDevice;

class CDeviceSearch {
  public:
    explicit CDeviceSearch(CLPGDevice& device);
    // Waits for a search that still runs: it works on the device.
    ~CDeviceSearch();
    CDeviceSearch(const CDeviceSearch&) = delete;
    CDeviceSearch& operator=(const CDeviceSearch&) = delete;

    // Starts the device's start-up (startUp) or a rescan; answered runs on the search's thread
    // once the outcome is set. False, doing nothing, while the last search still runs.
    bool begin(bool startUp, std::function<void()> answered = {});
    // The search begun last has its outcome.
    bool answered() const { return m_answered; }
    // The search's thread has not ended yet.
    bool running() const { return !m_ended; }
    // Waits for the search's thread; false when none was started.
    bool wait();

  private:
    CLPGDevice& m_device;
    std::thread m_thread;
    std::atomic<bool> m_answered{false};
    std::atomic<bool> m_ended{true};
};
