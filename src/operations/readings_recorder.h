// Recording the live samples to a readings log in the Diag folder while the window runs. A
// worker thread takes every new sample from the sample store several times a second and hands
// it to the file at once, so the file never lags the controller by more than a fraction of a
// second and a window that is busy elsewhere (a long write to the controller) loses nothing.
#pragma once

#include "files/readings_log.h"
#include "records/diag_data.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

class CReadingsRecorder {
  public:
    // How often the thread takes the new samples (and with them flushes the file).
    static constexpr int kPumpMillis = 200;

    explicit CReadingsRecorder(CDiagData& store);
    ~CReadingsRecorder();
    CReadingsRecorder(const CReadingsRecorder&) = delete;
    CReadingsRecorder& operator=(const CReadingsRecorder&) = delete;

    // Starts a new log in folder, named by the local date and time; every sample stored from now
    // on goes to it. When the file cannot be made the user sees why and the answer is false.
    bool start(const std::wstring& folder);
    // Writes the samples still waiting and closes the file.
    void stop();
    // On the owner's thread, now and then: after a failed write, ends the recording and shows
    // the message (once). Answers whether it still records.
    bool poll();

    bool recording() const { return m_thread.joinable() && !m_failed.load(); }
    // Whole seconds since the start of the recording (0 when none runs).
    long long seconds() const;
    // The file of the current or last recording.
    const std::wstring& path() const { return m_path; }
    uint64_t written() const { return m_written.load(); }
    // Samples that the store dropped before the log could take them (none unless the thread was
    // held up for many seconds).
    uint64_t skipped() const { return m_skipped.load(); }

  private:
    void run();
    bool pump();
    void join();

    CDiagData& m_store;
    CReadingsLog m_log;
    std::wstring m_path;
    CDiagClock::time_point m_start{};
    uint64_t m_next = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    std::atomic<bool> m_failed{false};
    std::atomic<uint64_t> m_written{0};
    std::atomic<uint64_t> m_skipped{0};
};
