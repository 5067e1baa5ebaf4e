#include "sim/pty_client.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

size_t findFrameStart(const std::vector<uint8_t>& bytes)
{
    for (size_t k = 0; k + 1 < bytes.size(); ++k)
        if (bytes[k] == frame::kStart1 && bytes[k + 1] == frame::kStart2)
            return k;
    return std::string::npos;
}

bool PtyClient::open(const std::string& path)
{
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return false;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    hungUp_ = false;
    readError_ = 0;
    return true;
}

void PtyClient::close()
{
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    fd_ = -1;
}

bool PtyClient::sendRaw(const std::vector<uint8_t>& bytes)
{
    size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return fd_ >= 0;
}

bool PtyClient::send(uint8_t type, const std::vector<uint8_t>& payload, uint16_t random)
{
    return sendRaw(frame::encode(type, random, payload.data(), payload.size()));
}

namespace {

// One read with a deadline; false when the deadline passed or the line failed.
bool readSome(int fd, std::chrono::steady_clock::time_point deadline, std::vector<uint8_t>& out, size_t max,
              int& error, bool& hungUp)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0)
        return errno == EINTR;
    if (r == 0)
        return false;
    if (p.revents & POLLHUP)
        hungUp = true;
    uint8_t chunk[512];
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, max - out.size()));
    if (n > 0) {
        out.insert(out.end(), chunk, chunk + n);
        return true;
    }
    if (n < 0 && errno == EINTR)
        return true;
    error = n < 0 ? errno : 0;
    if (n < 0 && errno == EIO)
        hungUp = true;
    return false;
}

} // namespace

std::vector<uint8_t> PtyClient::readReply(int timeoutMs)
{
    std::vector<uint8_t> bytes;
    readError_ = 0;
    if (fd_ < 0)
        return bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t start = findFrameStart(bytes);
        if (start != std::string::npos && bytes.size() >= start + 3 &&
            bytes.size() >= start + 6 + bytes[start + 2])
            return bytes;
        if (!readSome(fd_, deadline, bytes, 4096, readError_, hungUp_))
            return bytes;
    }
}

std::vector<uint8_t> PtyClient::readFor(int timeoutMs, size_t max)
{
    std::vector<uint8_t> bytes;
    readError_ = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (fd_ >= 0 && bytes.size() < max && readSome(fd_, deadline, bytes, max, readError_, hungUp_)) {
    }
    return bytes;
}

std::optional<frame::Decoded> PtyClient::exchange(uint8_t type, const std::vector<uint8_t>& payload,
                                                  int timeoutMs)
{
    if (!send(type, payload))
        return std::nullopt;
    const std::vector<uint8_t> reply = readReply(timeoutMs);
    const size_t start = findFrameStart(reply);
    if (start == std::string::npos)
        return std::nullopt;
    return frame::decode(reply.data() + start, reply.size() - start);
}

std::optional<frame::Decoded> PtyClient::command(uint8_t code, uint16_t word, int timeoutMs)
{
    return exchange(2, {code, 0, static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8), 0, 0},
                    timeoutMs);
}

} // namespace sim
