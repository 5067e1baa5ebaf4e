// Starting and stopping the live samples: one live-sample thread at a time, and the main
// window's refresh timer, which runs only while samples do. The document owns one of these and
// forwards its three operations to it.
#pragma once

#include "platform/threads.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CLPGDevice;

class CLiveSampleControl {
  public:
    // Threads go to the program's thread manager unless another is given (tests join theirs).
    explicit CLiveSampleControl(CLPGDevice& device, CThreadManager* manager = nullptr);
    // Asks a running thread to end and waits for it: the thread works on the device.
    ~CLiveSampleControl();
    CLiveSampleControl(const CLiveSampleControl&) = delete;
    CLiveSampleControl& operator=(const CLiveSampleControl&) = delete;

    // The window's timer: called with true to start it, false to stop it.
    void setTimerHook(std::function<void(bool run)> hook) { m_timerHook = std::move(hook); }

    void StartLiveSamples(const std::wstring& fileName);
    // StartLiveSamples with the file name "\".
    void ResumeLiveSamples();
    // Asks the thread to end, stops the timer and gives the thread time to notice.
    void StopLiveSamples();

    // After an operation that stopped the samples and failed: the samples again when the
    // controller is connected, otherwise only the timer, whose watchdog rescans.
    void WatchLink();
    // Waits for every thread this control started (ask them to end first).
    void JoinThreads();
    // The window's refresh timer alone (the signal page needs its ticks without live samples).
    void StartRefreshTimer() { timer(true); }
    // Where the live-sample threads go; the signal capture's thread goes there too.
    CThreadManager& threadManager() { return *m_manager; }

    // Whether a thread was started and has not ended or been asked to end.
    bool running() const;
    const std::wstring& fileName() const { return m_fileName; }

  private:
    void timer(bool run);

    CLPGDevice& m_device;
    CThreadManager* m_manager;
    std::function<void(bool)> m_timerHook;
    // Each thread gets a flag of its own: a thread still finishing its last fetch after a stop
    // can never be revived by the next start.
    std::shared_ptr<std::atomic<bool>> m_running;
    std::wstring m_fileName;
    std::vector<CThreadManager::ThreadId> m_threads;
};
