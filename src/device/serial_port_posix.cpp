// The POSIX backend of CSerialPort: termios in raw mode, non-blocking descriptor, every wait
// bounded through poll. "GetLastError()" in the texts is errno here.
#include "device/serial_port.h"

#include "platform/port_table.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until deadline, for poll (never negative).
int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

bool baudToSpeed(uint32_t baud, speed_t* speed)
{
    switch (baud) {
    case 1200:
        *speed = B1200;
        return true;
    case 2400:
        *speed = B2400;
        return true;
    case 4800:
        *speed = B4800;
        return true;
    case 9600:
        *speed = B9600;
        return true;
    case 19200:
        *speed = B19200;
        return true;
    case 38400:
        *speed = B38400;
        return true;
    case 57600:
        *speed = B57600;
        return true;
    case 115200:
        *speed = B115200;
        return true;
    default:
        return false;
    }
}

bool isHangUpErrno(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
}

} // namespace

struct CSerialPort::Native {
    int fd = -1;
    // Set once the device vanished; every later operation fails and clearCommError reports it.
    int hangUpError = 0;
    // Line-error counters at the last clearCommError (real UARTs only).
    struct Counters {
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
    } counters;
    bool haveCounters = false;

    void markHungUp(int error);
    bool readCounters(Counters* out) const;
};

CSerialPort::CSerialPort() : m_native(std::make_unique<Native>()) {}

CSerialPort::~CSerialPort()
{
    close();
}

bool CSerialPort::isOpen() const
{
    return m_native->fd >= 0;
}

void CSerialPort::Native::markHungUp(int error)
{
    hangUpError = error ? error : EIO;
}

void CSerialPort::open(int n)
{
    // Reopening is always close-then-open; a handle left open here would hold the old lock.
    close();
    const std::string path = porttable::portPath(n);
    int error = 0;
    int fd = -1;
    if (path.empty()) {
        error = ENOENT;
    } else {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios tio{};
        if (fd < 0) {
            error = errno;
        } else if (!::isatty(fd)) {
            error = ENOTTY;
        } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            // Another program (or another port object) has the device.
            error = errno == EWOULDBLOCK ? EBUSY : errno;
        } else if (::ioctl(fd, TIOCEXCL) != 0) {
            error = errno;
        } else if (::tcgetattr(fd, &tio) != 0) {
            error = errno;
        } else {
            // Raw from the start: a cooked terminal would echo and edit the frames before the
            // line settings arrive.
            ::cfmakeraw(&tio);
            tio.c_cflag |= CLOCAL | CREAD;
            // VMIN 1 on a non-blocking descriptor: "no data" is EAGAIN and 0 means hang-up.
            tio.c_cc[VMIN] = 1;
            tio.c_cc[VTIME] = 0;
            if (::tcsetattr(fd, TCSANOW, &tio) != 0)
                error = errno;
        }
        if (error != 0 && fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (error != 0) {
        m_lastOpenError = error;
        raiseCallFailed(CRSError::kOpenFailed, L"open(" + std::to_wstring(n) + L")",
                        static_cast<unsigned long>(error), kLineOpen);
    }
    m_native->fd = fd;
    m_portNumber = n;
    m_lastOpenError = 0;
    m_native->hangUpError = 0;
    m_native->haveCounters = m_native->readCounters(&m_native->counters);
}

bool CSerialPort::close()
{
    if (m_native->fd < 0)
        return false;
    ::ioctl(m_native->fd, TIOCNXCL);
    const bool ok = ::close(m_native->fd) == 0;
    m_native->fd = -1;
    m_native->hangUpError = 0;
    m_native->haveCounters = false;
    return ok;
}

void CSerialPort::setState(const CSerialState& state)
{
    if (m_native->fd < 0)
        raiseWithLineState(L"setState", EBADF, kLineSetState);
    if (m_native->hangUpError)
        raiseWithLineState(L"setState", static_cast<unsigned long>(m_native->hangUpError), kLineSetState);
    termios tio{};
    if (::tcgetattr(m_native->fd, &tio) != 0) {
        const int error = errno;
        if (isHangUpErrno(error))
            m_native->markHungUp(error);
        raiseWithLineState(L"setState", static_cast<unsigned long>(error), kLineSetState);
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    speed_t speed = B38400;
    bool valid = baudToSpeed(state.baudRate, &speed);
    tio.c_cflag &= ~CSIZE;
    switch (state.byteSize) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    case 8:
        tio.c_cflag |= CS8;
        break;
    default:
        valid = false;
    }
    tio.c_cflag &= ~(PARENB | PARODD);
#ifdef CMSPAR
    tio.c_cflag &= ~CMSPAR;
#endif
    switch (state.parity) {
    case CSerialState::NoParity:
        break;
    case CSerialState::OddParity:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case CSerialState::EvenParity:
        tio.c_cflag |= PARENB;
        break;
#ifdef CMSPAR
    case CSerialState::MarkParity:
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case CSerialState::SpaceParity:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
#endif
    default:
        valid = false;
    }
    if (state.flags & CSerialState::kParityCheck)
        tio.c_iflag |= INPCK;
    if (state.stopBits == CSerialState::OneStopBit)
        tio.c_cflag &= ~CSTOPB;
    else
        tio.c_cflag |= CSTOPB;
    const uint32_t rts = (state.flags & CSerialState::kRtsControlMask) >> 12;
    if ((state.flags & CSerialState::kOutxCtsFlow) || rts == 2)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;
    if (state.flags & CSerialState::kOutX)
        tio.c_iflag |= IXON;
    if (state.flags & CSerialState::kInX)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(state.xonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(state.xoffChar);
    if (!valid)
        raiseWithLineState(L"setState", EINVAL, kLineSetState);
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        ::tcsetattr(m_native->fd, TCSANOW, &tio) != 0) {
        const int error = errno;
        if (isHangUpErrno(error))
            m_native->markHungUp(error);
        raiseWithLineState(L"setState", static_cast<unsigned long>(error), kLineSetState);
    }
    // DTR and RTS as asked; a pseudo-terminal has no modem lines, so their failure is ignored.
    const uint32_t dtr = (state.flags & CSerialState::kDtrControlMask) >> 4;
    int dtrBit = TIOCM_DTR;
    int rtsBit = TIOCM_RTS;
    ::ioctl(m_native->fd, dtr == 0 ? TIOCMBIC : TIOCMBIS, &dtrBit);
    ::ioctl(m_native->fd, rts == 0 ? TIOCMBIC : TIOCMBIS, &rtsBit);
}

void CSerialPort::setTimeout(const CSerialTimeouts& timeouts)
{
    if (m_native->fd < 0)
        raiseWithLineState(L"setTimeout", EBADF, kLineSetTimeout);
    if (m_native->hangUpError)
        raiseWithLineState(L"setTimeout", static_cast<unsigned long>(m_native->hangUpError), kLineSetTimeout);
    m_timeouts = timeouts;
}

size_t CSerialPort::read(void* buffer, size_t count)
{
    auto fail = [this](int error) {
        raiseCallFailed(CRSError::kOperationFailed, L"read()", static_cast<unsigned long>(error), kLineRead);
    };
    if (m_native->fd < 0)
        fail(EBADF);
    if (m_native->hangUpError)
        fail(m_native->hangUpError);
    if (count == 0)
        return 0;

    const CSerialTimeouts& t = m_timeouts;
    const bool immediate = t.readInterval == CSerialTimeouts::kReturnImmediately &&
                           t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
    const bool total = t.readTotalMultiplier != 0 || t.readTotalConstant != 0;
    const bool interval = t.readInterval != 0 && t.readInterval != CSerialTimeouts::kReturnImmediately;
    const auto start = Clock::now();
    const auto totalDeadline =
        start +
        std::chrono::milliseconds(static_cast<uint64_t>(t.readTotalMultiplier) * count + t.readTotalConstant);

    auto* out = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    while (got < count) {
        int wait = -1;
        if (immediate) {
            wait = 0;
        } else {
            if (total)
                wait = msLeft(totalDeadline);
            // The gap between bytes counts only once the first byte is in.
            if (interval && got > 0)
                wait = wait < 0
                           ? static_cast<int>(std::min<uint32_t>(t.readInterval, INT_MAX))
                           : std::min(wait, static_cast<int>(std::min<uint32_t>(t.readInterval, INT_MAX)));
        }
        pollfd pfd{m_native->fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (ready == 0)
            break; // time-out: the caller gets what arrived
        if (pfd.revents & POLLIN) {
            const ssize_t n = ::read(m_native->fd, out + got, count - got);
            if (n > 0) {
                got += static_cast<size_t>(n);
                continue;
            }
            if (n == 0) {
                // Readable but nothing to read: the device is gone.
                m_native->markHungUp(EIO);
                fail(EIO);
            }
            const int error = errno;
            if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) {
                // Someone discarded the input between poll and read; keep waiting.
                continue;
            }
            if (isHangUpErrno(error))
                m_native->markHungUp(error);
            fail(error);
        }
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            m_native->markHungUp(EIO);
            fail(EIO);
        }
    }
    return got;
}

size_t CSerialPort::write(const void* buffer, size_t count)
{
    auto fail = [this](int error) {
        raiseCallFailed(CRSError::kOperationFailed, L"write()", static_cast<unsigned long>(error),
                        kLineWrite);
    };
    if (m_native->fd < 0)
        fail(EBADF);
    if (m_native->hangUpError)
        fail(m_native->hangUpError);
    const CSerialTimeouts& t = m_timeouts;
    const bool bounded = t.writeTotalMultiplier != 0 || t.writeTotalConstant != 0;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<uint64_t>(t.writeTotalMultiplier) * count +
                                                 t.writeTotalConstant);
    const auto* in = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_native->fd, in + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        const int error = n == 0 ? EAGAIN : errno;
        if (error == EINTR)
            continue;
        if (error != EAGAIN && error != EWOULDBLOCK) {
            if (isHangUpErrno(error))
                m_native->markHungUp(error);
            fail(error);
        }
        pollfd pfd{m_native->fd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, bounded ? msLeft(deadline) : -1);
        if (ready < 0 && errno != EINTR)
            fail(errno);
        if (ready == 0)
            break; // time-out: the caller gets the count that went out
        if (ready > 0 && !(pfd.revents & POLLOUT) && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            m_native->markHungUp(EIO);
            fail(EIO);
        }
    }
    return done;
}

void CSerialPort::purgeIn()
{
    if (m_native->fd < 0)
        raiseWithLineState(L"purgeIn", EBADF, kLinePurgeIn);
    if (m_native->hangUpError)
        raiseWithLineState(L"purgeIn", static_cast<unsigned long>(m_native->hangUpError), kLinePurgeIn);
    if (::tcflush(m_native->fd, TCIFLUSH) != 0) {
        const int error = errno;
        if (isHangUpErrno(error))
            m_native->markHungUp(error);
        raiseWithLineState(L"purgeIn", static_cast<unsigned long>(error), kLinePurgeIn);
    }
}

bool CSerialPort::Native::readCounters(Counters* out) const
{
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct counts{};
    if (::ioctl(fd, TIOCGICOUNT, &counts) != 0)
        return false;
    out->frame = counts.frame;
    out->overrun = counts.overrun;
    out->parity = counts.parity;
    out->brk = counts.brk;
    out->bufOverrun = counts.buf_overrun;
    return true;
#else
    (void)out;
    return false;
#endif
}

uint32_t CSerialPort::clearCommError()
{
    if (m_native->fd < 0)
        return EBADF;
    if (m_native->hangUpError)
        return static_cast<uint32_t>(m_native->hangUpError);
    pollfd pfd{m_native->fd, 0, 0};
    if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        m_native->markHungUp(EIO);
        return EIO;
    }
    uint32_t flags = 0;
    Native::Counters now;
    if (m_native->haveCounters && m_native->readCounters(&now)) {
        if (now.frame != m_native->counters.frame)
            flags |= kErrorFrame;
        if (now.overrun != m_native->counters.overrun)
            flags |= kErrorOverrun;
        if (now.parity != m_native->counters.parity)
            flags |= kErrorParity;
        if (now.brk != m_native->counters.brk)
            flags |= kErrorBreak;
        if (now.bufOverrun != m_native->counters.bufOverrun)
            flags |= kErrorRxOver;
        m_native->counters = now;
    }
    return flags;
}
