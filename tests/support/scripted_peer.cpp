#include "support/scripted_peer.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <unistd.h>

CScriptedPeer::CScriptedPeer()
{
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_path = name;
    // The peer keeps its own slave descriptor open, so the master never reads EIO while the
    // program has the port closed.
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
}

CScriptedPeer::~CScriptedPeer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    closeFds();
}

void CScriptedPeer::closeFds()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

CScriptedPeer& CScriptedPeer::waitFor(size_t totalReceived)
{
    m_steps.push_back({Step::WaitFor, totalReceived, {}, 0});
    return *this;
}

CScriptedPeer& CScriptedPeer::send(std::vector<uint8_t> bytes)
{
    m_steps.push_back({Step::Send, 0, std::move(bytes), 0});
    return *this;
}

CScriptedPeer& CScriptedPeer::pause(int milliseconds)
{
    m_steps.push_back({Step::Pause, 0, {}, milliseconds});
    return *this;
}

CScriptedPeer& CScriptedPeer::hangUp()
{
    m_steps.push_back({Step::HangUp, 0, {}, 0});
    return *this;
}

void CScriptedPeer::respondEvery(size_t requestSize, std::vector<uint8_t> reply)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_requestSize = requestSize;
    m_reply = std::move(reply);
}

void CScriptedPeer::setReply(std::vector<uint8_t> reply)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_reply = std::move(reply);
}

void CScriptedPeer::start()
{
    m_thread = std::thread([this] { run(); });
}

bool CScriptedPeer::finish(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_lock);
    const bool done = m_done.wait_for(lock, timeout, [this] { return m_scriptDone; });
    return done && !m_scriptFailed;
}

std::vector<uint8_t> CScriptedPeer::received() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_received;
}

termios CScriptedPeer::lineSettings() const
{
    termios tio{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0)
        throw std::runtime_error("no terminal to ask");
    return tio;
}

size_t CScriptedPeer::receivedCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_received.size();
}

bool CScriptedPeer::pump(int waitMs)
{
    if (m_master < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        return false;
    }
    pollfd pfd{m_master, POLLIN, 0};
    if (::poll(&pfd, 1, waitMs) <= 0)
        return true;
    uint8_t chunk[1024];
    const ssize_t n = ::read(m_master, chunk, sizeof chunk);
    if (n > 0) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_received.insert(m_received.end(), chunk, chunk + n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        // No slave open at the moment: nothing to read, do not spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void CScriptedPeer::writeAll(const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size() && m_master >= 0 && !m_stop) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pfd{m_master, POLLOUT, 0};
            ::poll(&pfd, 1, 10);
        } else {
            return;
        }
    }
}

void CScriptedPeer::run()
{
    bool failed = false;
    for (const Step& step : m_steps) {
        if (m_stop || failed)
            break;
        switch (step.kind) {
        case Step::WaitFor: {
            const auto deadline = std::chrono::steady_clock::now() + stepTimeout;
            while (receivedCount() < step.count && !m_stop) {
                if (std::chrono::steady_clock::now() > deadline) {
                    failed = true;
                    break;
                }
                pump(5);
            }
            break;
        }
        case Step::Send:
            writeAll(step.bytes);
            break;
        case Step::Pause: {
            // Keep recording what arrives while pausing.
            const auto until =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(step.milliseconds);
            while (!m_stop) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    until - std::chrono::steady_clock::now());
                if (left.count() <= 0)
                    break;
                pump(static_cast<int>(left.count()));
            }
            break;
        }
        case Step::HangUp:
            pump(0);
            closeFds();
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_scriptDone = true;
        m_scriptFailed = failed;
    }
    m_done.notify_all();

    // Answer mode (or just keep recording) until destroyed.
    while (!m_stop) {
        pump(5);
        std::vector<uint8_t> reply;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_requestSize == 0 || m_received.size() < m_answered + m_requestSize)
                continue;
            m_answered += m_requestSize;
            reply = m_reply;
        }
        writeAll(reply);
    }
}

std::vector<std::unique_ptr<CScriptedPeer>> silentPeers(int count)
{
    std::vector<std::unique_ptr<CScriptedPeer>> peers;
    for (int i = 0; i < count; ++i) {
        peers.push_back(std::make_unique<CScriptedPeer>());
        peers.back()->waitFor(1u << 30); // keeps reading until destroyed
        peers.back()->start();
    }
    return peers;
}
