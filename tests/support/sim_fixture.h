// A virtual controller on a pseudo-terminal, the port table pointing at it, and a temporary home
// so that the remembered port and the documents folder never touch the real user's.
#pragma once

#include "records/pulse.h"
#include "sim/virtual_controller.h"
#include "support/temp_home.h"

#include <filesystem>
#include <string>
#include <vector>

class CLPGDevice;

namespace testsupport {
// The controller's request log as short names ("B" for a type-0x0B frame, "2/0F" for a type-2
// command), so that a test compares the whole exchange in one expression.
std::vector<std::string> requestNames(const sim::VirtualController& sim);
} // namespace testsupport

// The crank records the controller served, pass by pass (ten blocks of command 8 each), in order.
std::vector<CPulseList> servedPulsePasses(const sim::VirtualController& sim);

// A fault on every request, or only on the nth when nth is given.
sim::FaultRule faultRule(sim::FaultKind kind, unsigned nth = 0);
// Two payload bytes (from byte `byte` on) of the requests of one frame type damaged so that the
// checksum still passes, `times` times (0: always); with reply, the replies to command `code`.
sim::FaultRule twinFault(uint8_t code, unsigned times, bool reply = false, unsigned byte = 1);

class CSimFixture {
  public:
    // Starts the controller (pacing off) and makes it COM1 of the port table.
    CSimFixture();
    ~CSimFixture();

    sim::VirtualController& sim() { return m_sim; }
    const CTempHome& home() const { return m_home; }

    // Makes the port table exactly these paths (COM1 first).
    static void setPorts(const std::vector<std::string>& paths);

    // Opens COM1 on the device with the link settings and marks it connected, without
    // identification: for tests of single commands (also against a scripted peer).
    static void openDirect(CLPGDevice& device, int port = 1);
    // Shortens the link's time-outs so that failure paths stay fast.
    static void shortenTimeouts(CLPGDevice& device);

  private:
    CTempHome m_home;
    sim::VirtualController m_sim;
};
