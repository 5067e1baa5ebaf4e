// The program's end of a serial line, reduced to what it takes to talk to a controller: opens a
// device path the way the program's serial port does (O_RDWR | O_NOCTTY, raw 38400 baud termios,
// exclusive), writes request frames and collects reply bytes with a time-out. The simulator's
// tests drive it with plain POSIX I/O; it is also a quick probe for a real cable.
#pragma once

#include "device/frame.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class PtyClient {
  public:
    PtyClient() = default;
    ~PtyClient() { close(); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool open(const std::string& path); // errno is left set on failure
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool send(uint8_t type, const std::vector<uint8_t>& payload, uint16_t random = 0x1234);
    bool sendRaw(const std::vector<uint8_t>& bytes);
    // Reads until one whole frame (from the first 0xAA 0x55 on) has arrived or the time-out
    // passed since the call; returns every byte read, noise included.
    std::vector<uint8_t> readReply(int timeoutMs = 1000);
    // Reads whatever arrives within the time-out, at most max bytes.
    std::vector<uint8_t> readFor(int timeoutMs, size_t max = 4096);
    // send, then readReply and decode; nothing when no good frame came back.
    std::optional<frame::Decoded> exchange(uint8_t type, const std::vector<uint8_t>& payload,
                                           int timeoutMs = 1000);
    std::optional<frame::Decoded> command(uint8_t code, uint16_t word = 0, int timeoutMs = 1000);

    // Error of the last read, 0 when none; a hung-up line reads as end of file (POLLHUP).
    int readError() const { return readError_; }
    bool hungUp() const { return hungUp_; }

  private:
    int fd_ = -1;
    int readError_ = 0;
    bool hungUp_ = false;
};

// Where a frame's bytes start in a reply that may carry noise before it; npos when none.
size_t findFrameStart(const std::vector<uint8_t>& bytes);

} // namespace sim
