// The far end of a real pseudo-terminal, acting from a script: it waits for the program's bytes,
// writes chosen bytes at chosen moments, pauses, or hangs up as a pulled cable does, and records
// every byte it received. The program opens path() as it would open /dev/ttyUSB0.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>
#include <memory>
#include <vector>

class CScriptedPeer {
  public:
    // Opens the pseudo-terminal pair (raw mode); throws std::runtime_error on failure.
    CScriptedPeer();
    ~CScriptedPeer();
    CScriptedPeer(const CScriptedPeer&) = delete;
    CScriptedPeer& operator=(const CScriptedPeer&) = delete;

    // The device path the program opens.
    const std::string& path() const { return m_path; }

    // Script steps, run in order on the peer's thread after start().
    // Waits until this many bytes have been received in all (counted from the start).
    CScriptedPeer& waitFor(size_t totalReceived);
    CScriptedPeer& send(std::vector<uint8_t> bytes);
    CScriptedPeer& pause(int milliseconds);
    // Closes the pseudo-terminal's far end: the program's side sees a hang-up.
    CScriptedPeer& hangUp();

    // Answer mode, after the script: each time another requestSize bytes have arrived, write
    // reply (which may be changed between exchanges with setReply).
    void respondEvery(size_t requestSize, std::vector<uint8_t> reply);
    void setReply(std::vector<uint8_t> reply);

    void start();
    // Waits until every step has run; false when a wait timed out or the time ran out.
    bool finish(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    std::vector<uint8_t> received() const;
    // The line settings of the terminal as the program left them.
    termios lineSettings() const;
    size_t receivedCount() const;

    // How long a waitFor step waits before the script is abandoned.
    std::chrono::milliseconds stepTimeout{10000};

  private:
    struct Step {
        enum Kind { WaitFor, Send, Pause, HangUp } kind;
        size_t count = 0;
        std::vector<uint8_t> bytes;
        int milliseconds = 0;
    };

    void run();
    // Reads whatever is there within the wait; false once the far end is closed.
    bool pump(int waitMs);
    void writeAll(const std::vector<uint8_t>& bytes);
    void closeFds();

    std::string m_path;
    int m_master = -1;
    int m_slave = -1;
    std::vector<Step> m_steps;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};

    mutable std::mutex m_lock;
    std::condition_variable m_done;
    bool m_scriptDone = false;
    bool m_scriptFailed = false;
    std::vector<uint8_t> m_received;
    size_t m_requestSize = 0;
    size_t m_answered = 0;
    std::vector<uint8_t> m_reply;
};

// Silent ports: pseudo-terminals that exist and accept bytes but never answer.
std::vector<std::unique_ptr<CScriptedPeer>> silentPeers(int count);

