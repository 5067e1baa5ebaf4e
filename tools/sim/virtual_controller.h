// The virtual controller: the controller's side of the serial protocol on a pseudo-terminal.
//
// start() opens a pseudo-terminal pair (raw, 38400 baud) and a thread that reads the master side
// and answers every complete request frame from the controller state (sim/controller.h). The
// program opens the slave side by path(), like any serial device. The simulator keeps its own
// slave descriptor open but never reads or configures it after start, so the program's open
// (O_RDWR | O_NOCTTY, termios, TIOCEXCL) and its flushes behave as on a real port, and the
// master never reports a hang-up just because the program closed and reopened the port.
//
// Requests whose reply is swallowed by a fault (noreply, stall) count as never received: the
// state does not change. Requests whose reply is damaged (checksum, garbage, split, wrongtype,
// unknown-device) were received and acted on.
#pragma once

#include "device/frame.h"
#include "sim/controller.h"
#include "sim/faults.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sim {

struct LoggedRequest {
    unsigned number = 0; // 1-based count of requests received
    uint8_t type = 0;
    uint16_t random = 0;
    std::vector<uint8_t> payload; // plain
    // The reply as the controller built it (plain, before any damaging fault); empty when no
    // reply was sent. Filled in the log only (a listener sees the request before the reply).
    uint8_t replyType = 0;
    std::vector<uint8_t> reply;
};

class VirtualController {
  public:
    VirtualController();
    ~VirtualController();
    VirtualController(const VirtualController&) = delete;
    VirtualController& operator=(const VirtualController&) = delete;

    // false (with lastError) when the pseudo-terminal or the thread cannot be had.
    bool start();
    // Joins the thread and closes every descriptor; a link made by setLinkPath is removed.
    void stop();
    bool running() const;
    std::string path() const; // the slave side; empty while hung up
    std::string lastError() const;

    // A symbolic link at linkPath that follows the pseudo-terminal, also across comeBack().
    void setLinkPath(const std::string& linkPath);
    // Called on the simulator's thread with the new path after comeBack().
    void setPathListener(std::function<void(const std::string&)> listener);
    // Called on the simulator's thread for every request received.
    void setRequestListener(std::function<void(const LoggedRequest&)> listener);

    // Controller state, raw as on the wire.
    std::array<uint8_t, kSettingsSize> settings() const;
    void setSettings(const std::array<uint8_t, kSettingsSize>& block);
    std::array<uint8_t, kMapSize> map() const;
    void setMap(const std::array<uint8_t, kMapSize>& block);
    std::array<uint8_t, kMapSize> savedMap() const;
    std::array<uint8_t, kAxesSize> axes() const;
    void setAxes(const std::array<uint8_t, kAxesSize>& block);
    std::array<uint8_t, kErrorsSize> errors() const;
    void setErrors(const std::array<uint8_t, kErrorsSize>& bytes);
    std::array<uint8_t, kVersionSize> versionBlock() const;
    uint16_t firmwareVersion() const;
    void setFirmwareVersion(uint16_t version); // also written to the flash identity word
    uint8_t deviceType() const;
    void setDeviceType(uint8_t type); // also written to the flash identity word
    void setSerial(const std::string& serial);
    void setDayCount(uint16_t days);
    void setLiveSamplesAllowed(bool allowed);
    bool inBootloader() const;
    void enterBootloader(bool eraseApplication);
    std::vector<uint8_t> flashImage() const; // kFlashBytes; address a is byte 2a

    // The engine and the wheel.
    void setProfile(Profile profile);
    void setFixedPoint(const OperatingPoint& point); // used by Profile::Fixed
    void setWheel(Wheel wheel);
    Wheel wheel() const;
    void setJitter(double fraction);

    // Faults; stall and hang-up last until resume() / comeBack(); a noise rule replaces the
    // line's noise until clearFaults().
    void addFault(const FaultRule& rule);
    void clearFaults();
    // Bytes the noise damaged so far: received, sent.
    std::pair<size_t, size_t> damagedBytes() const;
    // Frames the noise damaged that still passed the checksum: requests received, replies sent.
    std::pair<size_t, size_t> undetectedFrames() const;
    void resume();
    bool stalled() const;
    // Closes the master side now: the program's descriptor sees HUP and EIO.
    void hangUp();
    // Opens a new pseudo-terminal (a new path) after a hang-up; also clears a stall.
    bool comeBack();

    // 38400 baud: about 260 us per byte leaving the controller.
    void setPacing(bool on);
    bool pacing() const;

    std::vector<LoggedRequest> requests() const; // the newest 4096
    unsigned requestCount() const;
    void clearRequests();

  private:
    enum class Action { HangUp, ComeBack };

    void loop();
    void runAction(Action action);
    void doAction(Action action);
    bool openPty();
    void closePty();
    void updateLink();
    void wake();
    void receive();
    void damageIncoming(uint8_t* bytes, size_t size);
    void serve(const frame::Decoded& request);
    bool writeBytes(const uint8_t* data, size_t size, bool paced);
    bool sleepInterruptibly(unsigned ms);
    double now() const;

    mutable std::mutex mutex_; // guards everything below up to the descriptors
    Controller controller_;
    std::vector<FaultRule> faults_;
    LineNoise noise_;
    size_t damagedIn_ = 0;
    size_t damagedOut_ = 0;
    size_t undetectedIn_ = 0;
    size_t undetectedOut_ = 0;
    std::deque<LoggedRequest> log_;
    unsigned requestCount_ = 0;
    bool stalled_ = false;
    bool pacing_ = false;
    std::string path_;
    std::string linkPath_;
    std::string linkedTo_;
    std::string error_;
    std::function<void(const std::string&)> pathListener_;
    std::function<void(const LoggedRequest&)> requestListener_;
    std::chrono::steady_clock::time_point epoch_;
    std::chrono::steady_clock::time_point comeBackAt_{};
    bool comeBackPending_ = false;

    // Owned by the simulator's thread while it runs.
    int master_ = -1;
    int slave_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::vector<uint8_t> rx_;
    std::vector<uint8_t> rxClean_; // rx_ as sent, before the noise: tells damage that passed
    std::chrono::steady_clock::time_point lastRx_{};
    uint32_t randomState_ = 0x2F6B;

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::mutex actionMutex_;
    std::condition_variable actionCv_;
    std::vector<Action> actions_;
    uint64_t actionsAsked_ = 0;
    uint64_t actionsDone_ = 0;
};

} // namespace sim
