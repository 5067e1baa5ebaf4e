#include "sim/virtual_controller.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr size_t kLogLimit = 4096;
constexpr auto kByteTime = std::chrono::nanoseconds(1000000000LL * 10 / 38400); // start, 8 data, stop
constexpr auto kStaleFrame = std::chrono::milliseconds(200);
constexpr uint8_t kWrongType = 5; // no frame of the command set travels with type 5

std::string errnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

VirtualController::VirtualController() : epoch_(std::chrono::steady_clock::now()) {}

VirtualController::~VirtualController()
{
    stop();
}

double VirtualController::now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch_).count();
}

bool VirtualController::openPty()
{
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B38400);
    cfsetospeed(&raw, B38400);
    raw.c_cflag |= CLOCAL | CREAD;
    char name[PATH_MAX] = {};
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = errnoText("openpty");
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    master_ = master;
    slave_ = slave;
    rx_.clear();
    rxClean_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path_ = name;
    }
    updateLink();
    return true;
}

void VirtualController::closePty()
{
    {
        // Forget the path before the line drops, so nobody who saw the hang-up still finds it.
        std::lock_guard<std::mutex> lock(mutex_);
        path_.clear();
    }
    closeFd(master_);
    closeFd(slave_);
    rx_.clear();
    rxClean_.clear();
}

void VirtualController::updateLink()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (linkPath_.empty() || path_.empty())
        return;
    // Replace the link in one step, so a program scanning the ports never sees it missing.
    const std::string temporary = linkPath_ + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(path_.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        error_ = errnoText("symlink");
        ::unlink(temporary.c_str());
        return;
    }
    linkedTo_ = path_;
}

bool VirtualController::start()
{
    if (thread_.joinable())
        return true;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = errnoText("pipe");
        return false;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    for (int fd : pipeFds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    if (!openPty()) {
        closeFd(wakeRead_);
        closeFd(wakeWrite_);
        return false;
    }
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this] { loop(); });
    return true;
}

void VirtualController::stop()
{
    if (thread_.joinable()) {
        stop_ = true;
        wake();
        thread_.join();
    }
    running_ = false;
    {
        std::lock_guard<std::mutex> lock(actionMutex_);
        actionsDone_ = actionsAsked_;
    }
    actionCv_.notify_all();
    closePty();
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!linkPath_.empty() && !linkedTo_.empty()) {
        char target[PATH_MAX] = {};
        const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && linkedTo_ == std::string(target, static_cast<size_t>(n)))
            ::unlink(linkPath_.c_str());
        linkedTo_.clear();
    }
}

bool VirtualController::running() const
{
    return running_;
}

std::string VirtualController::path() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

std::string VirtualController::lastError() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

void VirtualController::setLinkPath(const std::string& linkPath)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        linkPath_ = linkPath;
    }
    updateLink();
}

void VirtualController::setPathListener(std::function<void(const std::string&)> listener)
{
    std::lock_guard<std::mutex> lock(mutex_);
    pathListener_ = std::move(listener);
}

void VirtualController::setRequestListener(std::function<void(const LoggedRequest&)> listener)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requestListener_ = std::move(listener);
}

void VirtualController::wake()
{
    if (wakeWrite_ >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &c, 1);
    }
}

void VirtualController::runAction(Action action)
{
    if (!thread_.joinable()) {
        doAction(action);
        return;
    }
    std::unique_lock<std::mutex> lock(actionMutex_);
    actions_.push_back(action);
    const uint64_t ticket = ++actionsAsked_;
    wake();
    actionCv_.wait(lock, [&] { return actionsDone_ >= ticket; });
}

void VirtualController::doAction(Action action)
{
    if (action == Action::HangUp) {
        closePty();
        return;
    }
    if (master_ >= 0)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stalled_ = false;
        comeBackPending_ = false;
    }
    if (openPty()) {
        std::function<void(const std::string&)> listener;
        std::string path;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            listener = pathListener_;
            path = path_;
        }
        if (listener)
            listener(path);
    }
}

void VirtualController::loop()
{
    while (!stop_) {
        {
            std::vector<Action> pending;
            {
                std::lock_guard<std::mutex> lock(actionMutex_);
                pending.swap(actions_);
            }
            for (Action a : pending)
                doAction(a);
            if (!pending.empty()) {
                {
                    std::lock_guard<std::mutex> lock(actionMutex_);
                    actionsDone_ += pending.size();
                }
                actionCv_.notify_all();
            }
        }
        bool comeBackNow = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            comeBackNow = comeBackPending_ && std::chrono::steady_clock::now() >= comeBackAt_;
        }
        if (comeBackNow)
            doAction(Action::ComeBack);

        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {master_, POLLIN, 0}};
        const int count = master_ >= 0 ? 2 : 1;
        if (::poll(fds, count, 20) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            receive();
        else if (!rx_.empty() && std::chrono::steady_clock::now() - lastRx_ > kStaleFrame)
            receive(); // a request cut short must not hold up the next one
    }
    running_ = false;
}

void VirtualController::receive()
{
    if (master_ >= 0) {
        uint8_t chunk[512];
        for (;;) {
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n > 0) {
                rxClean_.insert(rxClean_.end(), chunk, chunk + n);
                damageIncoming(chunk, static_cast<size_t>(n));
                rx_.insert(rx_.end(), chunk, chunk + n);
                lastRx_ = std::chrono::steady_clock::now();
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            break; // EAGAIN: all read; EIO: nobody on the other side at the moment
        }
    }
    size_t at = 0;
    while (at < rx_.size()) {
        if (rx_[at] != frame::kStart1 || (at + 1 < rx_.size() && rx_[at + 1] != frame::kStart2)) {
            ++at;
            continue;
        }
        const size_t available = rx_.size() - at;
        if (available < 3 || available < 6 + static_cast<size_t>(rx_[at + 2])) {
            // Incomplete: wait for the rest unless it has been lying here too long.
            if (std::chrono::steady_clock::now() - lastRx_ > kStaleFrame) {
                ++at;
                continue;
            }
            break;
        }
        size_t used = 0;
        const auto request = frame::decode(&rx_[at], available, &used);
        if (!request) {
            ++at; // a damaged frame is not answered; look for the next start
            continue;
        }
        if (!std::equal(rx_.begin() + static_cast<std::ptrdiff_t>(at),
                        rx_.begin() + static_cast<std::ptrdiff_t>(at + used),
                        rxClean_.begin() + static_cast<std::ptrdiff_t>(at))) {
            // The noise changed this request and its checksum still passed.
            std::lock_guard<std::mutex> lock(mutex_);
            ++undetectedIn_;
        }
        at += used;
        serve(*request);
        if (master_ < 0) {
            at = rx_.size(); // hung up while serving
            break;
        }
    }
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(std::min(at, rx_.size())));
    rxClean_.erase(rxClean_.begin(), rxClean_.begin() + static_cast<std::ptrdiff_t>(std::min(at, rxClean_.size())));
}

void VirtualController::serve(const frame::Decoded& request)
{
    std::vector<uint8_t> wire;
    size_t splitAt = 0;
    unsigned gapMs = 0;
    bool paced = false;
    bool hangUpNow = false;
    std::function<void(const LoggedRequest&)> listener;
    LoggedRequest entry;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entry = LoggedRequest{++requestCount_, request.type, request.random, request.payload, 0, {}};
        log_.push_back(entry);
        if (log_.size() > kLogLimit)
            log_.pop_front();
        listener = requestListener_;
        paced = pacing_;

        const uint8_t command = request.payload.empty() ? 0 : request.payload[0];
        std::vector<FaultRule> fired;
        for (auto it = faults_.begin(); it != faults_.end();) {
            if (faultMatches(*it, entry.number, request.type, command)) {
                fired.push_back(*it);
                if (it->times == 1) {
                    it = faults_.erase(it);
                    continue;
                }
                if (it->times > 1)
                    --it->times;
            }
            ++it;
        }
        auto has = [&](FaultKind kind) {
            return std::find_if(fired.begin(), fired.end(),
                                [&](const FaultRule& r) { return r.kind == kind; });
        };
        if (auto h = has(FaultKind::HangUp); h != fired.end()) {
            hangUpNow = true;
            if (h->backAfterMs >= 0) {
                comeBackPending_ = true;
                comeBackAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(h->backAfterMs);
            }
        }
        if (has(FaultKind::Stall) != fired.end())
            stalled_ = true;
        if (!hangUpNow && !stalled_ && has(FaultKind::NoReply) == fired.end()) {
            auto twin = std::find_if(fired.begin(), fired.end(),
                                     [](const FaultRule& r) { return r.kind == FaultKind::Twin && !r.reply; });
            std::vector<uint8_t> received = request.payload;
            if (twin != fired.end() && twinDamage(received, twin->byteIndex))
                log_.back().payload = received; // what the controller acts on
            Reply reply = controller_.handle(request.type, received, now());
            log_.back().replyType = reply.type;
            log_.back().reply = reply.payload;
            twin = std::find_if(fired.begin(), fired.end(),
                                [](const FaultRule& r) { return r.kind == FaultKind::Twin && r.reply; });
            if (twin != fired.end())
                twinDamage(reply.payload, twin->byteIndex);
            if (has(FaultKind::UnknownDevice) != fired.end() && request.type == 2 && command == 0xCC &&
                reply.payload.size() >= 2 && reply.payload[0] == kStatusAccepted)
                reply.payload[1] = 0x07;
            if (has(FaultKind::WrongType) != fired.end())
                reply.type = kWrongType;
            // The controller's own 15-bit random word (a small LCG is plenty for scrambling).
            randomState_ = randomState_ * 1103515245u + 12345u;
            const uint16_t random = static_cast<uint16_t>((randomState_ >> 16) & 0x7FFF);
            wire = frame::encode(reply.type, random, reply.payload.data(), reply.payload.size());
            if (has(FaultKind::BadChecksum) != fired.end())
                wire.back() = static_cast<uint8_t>(wire.back() + 1);
            if (auto g = has(FaultKind::Garbage); g != fired.end()) {
                std::vector<uint8_t> noise;
                for (unsigned k = 0; k < g->garbageBytes; ++k)
                    noise.push_back(static_cast<uint8_t>(0x13 + 0x29 * k)); // never 0xAA
                wire.insert(wire.begin(), noise.begin(), noise.end());
            }
            if (auto s = has(FaultKind::Split); s != fired.end()) {
                splitAt = wire.size() - (reply.payload.size() + 2) + reply.payload.size() / 2;
                gapMs = s->gapMs;
            }
            if (auto d = has(FaultKind::Damage); d != fired.end() && d->byteIndex < wire.size())
                wire[d->byteIndex] ^= d->xorMask;
            const size_t damaged = noise_.apply(wire.data(), wire.size());
            damagedOut_ += damaged;
            if (damaged > 0) {
                // A damaged reply that still decodes carries a wrong block the receiver cannot see.
                const auto seen = frame::decode(wire.data(), wire.size());
                if (seen && (seen->type != reply.type || seen->payload != reply.payload))
                    ++undetectedOut_;
            }
        }
    }
    if (listener)
        listener(entry);
    if (hangUpNow) {
        closePty();
        return;
    }
    if (wire.empty())
        return;
    if (splitAt > 0 && splitAt < wire.size()) {
        if (!writeBytes(wire.data(), splitAt, paced) || !sleepInterruptibly(gapMs))
            return;
        writeBytes(wire.data() + splitAt, wire.size() - splitAt, paced);
        return;
    }
    writeBytes(wire.data(), wire.size(), paced);
}

bool VirtualController::sleepInterruptibly(unsigned ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(5), until - std::chrono::steady_clock::now()));
    return !stop_;
}

bool VirtualController::writeBytes(const uint8_t* data, size_t size, bool paced)
{
    const auto begin = std::chrono::steady_clock::now();
    size_t sent = 0;
    while (sent < size && !stop_ && master_ >= 0) {
        const size_t chunk = paced ? 1 : size - sent;
        const ssize_t n = ::write(master_, data + sent, chunk);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            if (paced)
                std::this_thread::sleep_until(begin + kByteTime * static_cast<long>(sent));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        // The other side is not reading: wait a little, but give up rather than block for good.
        pollfd out{master_, POLLOUT, 0};
        if (::poll(&out, 1, 1000) <= 0)
            return false;
    }
    return sent == size;
}

// State accessors.

#define SIM_LOCKED std::lock_guard<std::mutex> lock(mutex_)

std::array<uint8_t, kSettingsSize> VirtualController::settings() const
{
    SIM_LOCKED;
    return controller_.settings;
}
void VirtualController::setSettings(const std::array<uint8_t, kSettingsSize>& block)
{
    SIM_LOCKED;
    controller_.settings = block;
}
std::array<uint8_t, kMapSize> VirtualController::map() const
{
    SIM_LOCKED;
    return controller_.map;
}
void VirtualController::setMap(const std::array<uint8_t, kMapSize>& block)
{
    SIM_LOCKED;
    controller_.map = block;
}
std::array<uint8_t, kMapSize> VirtualController::savedMap() const
{
    SIM_LOCKED;
    return controller_.savedMap;
}
std::array<uint8_t, kAxesSize> VirtualController::axes() const
{
    SIM_LOCKED;
    return controller_.axes;
}
void VirtualController::setAxes(const std::array<uint8_t, kAxesSize>& block)
{
    SIM_LOCKED;
    controller_.axes = block;
}
std::array<uint8_t, kErrorsSize> VirtualController::errors() const
{
    SIM_LOCKED;
    return controller_.errors;
}
void VirtualController::setErrors(const std::array<uint8_t, kErrorsSize>& bytes)
{
    SIM_LOCKED;
    controller_.errors = bytes;
}
std::array<uint8_t, kVersionSize> VirtualController::versionBlock() const
{
    SIM_LOCKED;
    return controller_.versionBlock();
}
uint16_t VirtualController::firmwareVersion() const
{
    SIM_LOCKED;
    return controller_.firmwareVersion;
}
void VirtualController::setFirmwareVersion(uint16_t version)
{
    SIM_LOCKED;
    controller_.firmwareVersion = version;
    controller_.storeIdentityInFlash();
}
uint8_t VirtualController::deviceType() const
{
    SIM_LOCKED;
    return controller_.deviceType;
}
void VirtualController::setDeviceType(uint8_t type)
{
    SIM_LOCKED;
    controller_.deviceType = type;
    controller_.storeIdentityInFlash();
}
void VirtualController::setSerial(const std::string& serial)
{
    SIM_LOCKED;
    controller_.serial = serial.substr(0, 16);
}
void VirtualController::setDayCount(uint16_t days)
{
    SIM_LOCKED;
    controller_.dayCount = days;
}
void VirtualController::setLiveSamplesAllowed(bool allowed)
{
    SIM_LOCKED;
    controller_.liveSamplesAllowed = allowed;
}
bool VirtualController::inBootloader() const
{
    SIM_LOCKED;
    return controller_.bootloader;
}
void VirtualController::enterBootloader(bool eraseApplication)
{
    SIM_LOCKED;
    controller_.enterBootloader(eraseApplication);
}
std::vector<uint8_t> VirtualController::flashImage() const
{
    SIM_LOCKED;
    return controller_.flash;
}
void VirtualController::setProfile(Profile profile)
{
    SIM_LOCKED;
    controller_.setProfile(profile, now());
}
void VirtualController::setFixedPoint(const OperatingPoint& point)
{
    SIM_LOCKED;
    controller_.setFixedPoint(point);
}
void VirtualController::setWheel(Wheel wheel)
{
    SIM_LOCKED;
    controller_.setWheel(wheel);
}
Wheel VirtualController::wheel() const
{
    SIM_LOCKED;
    return controller_.wheel();
}
void VirtualController::setJitter(double fraction)
{
    SIM_LOCKED;
    controller_.setJitter(fraction);
}
void VirtualController::addFault(const FaultRule& rule)
{
    SIM_LOCKED;
    // A noisy line is a state of the line, not an event of one request.
    if (rule.kind == FaultKind::Noise)
        noise_.reset(rule.ppm, rule.seed);
    else
        faults_.push_back(rule);
}
void VirtualController::damageIncoming(uint8_t* bytes, size_t size)
{
    SIM_LOCKED;
    damagedIn_ += noise_.apply(bytes, size);
}
std::pair<size_t, size_t> VirtualController::damagedBytes() const
{
    SIM_LOCKED;
    return {damagedIn_, damagedOut_};
}
std::pair<size_t, size_t> VirtualController::undetectedFrames() const
{
    SIM_LOCKED;
    return {undetectedIn_, undetectedOut_};
}
void VirtualController::clearFaults()
{
    SIM_LOCKED;
    faults_.clear();
    noise_.reset(0, 1);
}
void VirtualController::resume()
{
    SIM_LOCKED;
    stalled_ = false;
}
bool VirtualController::stalled() const
{
    SIM_LOCKED;
    return stalled_;
}
void VirtualController::setPacing(bool on)
{
    SIM_LOCKED;
    pacing_ = on;
}
bool VirtualController::pacing() const
{
    SIM_LOCKED;
    return pacing_;
}
std::vector<LoggedRequest> VirtualController::requests() const
{
    SIM_LOCKED;
    return {log_.begin(), log_.end()};
}
unsigned VirtualController::requestCount() const
{
    SIM_LOCKED;
    return requestCount_;
}
void VirtualController::clearRequests()
{
    SIM_LOCKED;
    log_.clear();
}

#undef SIM_LOCKED

void VirtualController::hangUp()
{
    runAction(Action::HangUp);
}

bool VirtualController::comeBack()
{
    runAction(Action::ComeBack);
    return !path().empty();
}

} // namespace sim
