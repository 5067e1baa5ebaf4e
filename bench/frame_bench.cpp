// Frame costs: encoding and decoding the largest frame, and one whole exchange over a real
// pseudo-terminal with a peer that answers at once.
#include "device/frame.h"
#include "device/lpg_device.h"
#include "platform/port_table.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

void BM_EncodeDecode253(benchmark::State& state)
{
    std::vector<uint8_t> plain(frame::kMaxPayload);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<uint8_t>(i * 13 + 5);
    uint16_t random = 0x1235;
    for (auto _ : state) {
        const auto wire = frame::encode(9, random, plain.data(), plain.size());
        auto back = frame::decode(wire.data(), wire.size());
        benchmark::DoNotOptimize(back);
        random = static_cast<uint16_t>((random + 1) & 0x7FFF);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 *
                            static_cast<int64_t>(frame::kMaxFrame));
}
BENCHMARK(BM_EncodeDecode253);

// The controller's side: every 14 request bytes get one status reply, written at once.
class ImmediatePeer {
  public:
    ImmediatePeer()
    {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
            return;
        m_path = name;
        const uint8_t status[6] = {4, 0, 0, 0, 0, 0};
        m_reply = frame::encode(2, 0x0ABC, status, sizeof status);
        m_thread = std::thread([this] { run(); });
    }
    ~ImmediatePeer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_master);
        ::close(m_slave);
    }
    const std::string& path() const { return m_path; }

  private:
    void run()
    {
        size_t pending = 0;
        uint8_t chunk[512];
        while (!m_stop) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0)
                continue;
            pending += static_cast<size_t>(n);
            while (pending >= 14) {
                pending -= 14;
                if (::write(m_master, m_reply.data(), m_reply.size()) < 0)
                    return;
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    std::vector<uint8_t> m_reply;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

void BM_ExchangeOverPseudoTerminal(benchmark::State& state)
{
    ImmediatePeer peer;
    porttable::setPortOverride({peer.path()});
    CLPGDevice device;
    device.Port().open(1);
    device.ConfigurePort();
    int64_t failures = 0;
    for (auto _ : state) {
        uint8_t buffer[frame::kBufferSize] = {0x0D, 0, 0, 0, 0, 0};
        uint8_t length = 6;
        uint8_t type = 2;
        if (!device.SendReceive(buffer, &length, &type))
            ++failures;
    }
    state.counters["failures"] = static_cast<double>(failures);
    device.Port().close();
    porttable::setPortOverride({});
}
BENCHMARK(BM_ExchangeOverPseudoTerminal)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
