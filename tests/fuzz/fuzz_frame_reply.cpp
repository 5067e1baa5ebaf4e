// Arbitrary bytes as the controller's side of one exchange: a scripted peer on a real
// pseudo-terminal answers each request with the input, through SendReceive and then through
// SendReceiveDiag. Time-outs are shortened so that a short reply costs milliseconds.
#include "device/frame.h"
#include "device/lpg_device.h"
#include "platform/port_table.h"
#include "support/scripted_peer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr size_t kRequestSize = 14; // command 0x06 with n = 6
constexpr size_t kMaxReply = 1024;  // well inside the terminal's input queue

struct Link {
    CScriptedPeer peer;
    CLPGDevice device;

    Link()
    {
        porttable::setPortOverride({peer.path()});
        device.Timings().readConstantMs = 2;
        device.Timings().readPerByteMs = 0;
        device.Timings().shortPayloadWaitMs = 0;
        device.Timings().drainQuietMs = 1;
        device.Port().open(1);
        device.ConfigurePort();
        device.SetFixedRandomWord(0x1234);
        peer.respondEvery(kRequestSize, {});
        peer.start();
    }
};

Link& link()
{
    static Link* instance = new Link; // lives as long as the fuzzing process
    return *instance;
}

// Whatever the reply, a success must describe a frame that fits the buffer, and the buffer past
// the reply must stay cleared.
void check(bool ok, const uint8_t* buffer, size_t used)
{
    if (!ok)
        return;
    if (used > 255)
        std::abort();
    for (size_t i = used; i < frame::kBufferSize; ++i)
        if (buffer[i] != 0)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Link& l = link();
    l.peer.setReply(std::vector<uint8_t>(data, data + std::min(size, kMaxReply)));
    for (int diag = 0; diag < 2; ++diag) {
        uint8_t buffer[frame::kBufferSize] = {0x06, 0, 0, 0, 0, 0};
        uint8_t length = 6;
        uint8_t type = 2;
        try {
            if (diag) {
                const uint8_t result = l.device.SendReceiveDiag(buffer, &length, &type);
                if (result != CLPGDevice::kDiagOk && result != CLPGDevice::kDiagFailed)
                    std::abort();
                // On success length is L itself: payload plus the two checksum bytes.
                check(result == CLPGDevice::kDiagOk, buffer, length);
            } else {
                const bool ok = l.device.SendReceive(buffer, &length, &type);
                check(ok, buffer, ok ? length + 2u : 0u);
            }
        } catch (IError* error) {
            // The peer never hangs up, so the port must not fail.
            adoptError(error);
            std::abort();
        }
    }
    return 0;
}
