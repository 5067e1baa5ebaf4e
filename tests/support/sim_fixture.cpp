#include "support/sim_fixture.h"

#include "device/lpg_device.h"
#include "platform/port_table.h"

#include <cstdio>
#include <stdexcept>

CSimFixture::CSimFixture()
{
    if (!m_sim.start())
        throw std::runtime_error("virtual controller: " + m_sim.lastError());
    setPorts({m_sim.path()});
}

CSimFixture::~CSimFixture()
{
    m_sim.stop();
    porttable::setPortOverride({});
}

void CSimFixture::setPorts(const std::vector<std::string>& paths) { porttable::setPortOverride(paths); }

void CSimFixture::openDirect(CLPGDevice& device, int port)
{
    device.Port().close();
    device.Port().open(port);
    device.ConfigurePort();
    device.m_demo = false;
    device.m_connected = true;
}

void CSimFixture::shortenTimeouts(CLPGDevice& device)
{
    device.Timings().readConstantMs = 100;
    device.Timings().shortPayloadWaitMs = 10;
}

sim::FaultRule twinFault(uint8_t code, unsigned times, bool reply, unsigned byte)
{
    sim::FaultRule rule = faultRule(sim::FaultKind::Twin);
    rule.when = reply ? sim::FaultWhen::Command : sim::FaultWhen::FrameType;
    rule.code = code;
    rule.times = times;
    rule.reply = reply;
    rule.byteIndex = byte;
    return rule;
}

sim::FaultRule faultRule(sim::FaultKind kind, unsigned nth)
{
    sim::FaultRule rule;
    rule.kind = kind;
    rule.when = nth ? sim::FaultWhen::NthRequest : sim::FaultWhen::Always;
    rule.nth = nth;
    return rule;
}

std::vector<std::string> testsupport::requestNames(const sim::VirtualController& sim)
{
    std::vector<std::string> out;
    for (const auto& r : sim.requests()) {
        char text[16];
        if (r.type == 2 && !r.payload.empty())
            std::snprintf(text, sizeof text, "2/%02X", r.payload[0]);
        else
            std::snprintf(text, sizeof text, "%X", r.type);
        out.emplace_back(text);
    }
    return out;
}

std::vector<CPulseList> servedPulsePasses(const sim::VirtualController& sim)
{
    std::vector<CPulseList> passes;
    for (const auto& r : sim.requests()) {
        if (r.type != 2 || r.payload.size() < 4 || r.payload[0] != 0x08 || r.replyType != 4)
            continue;
        const unsigned block = r.payload[2] | (r.payload[3] << 8);
        if (block == 0 || passes.empty())
            passes.emplace_back();
        for (size_t k = 0; k < 50 && 4 * k + 4 <= r.reply.size(); ++k)
            passes.back().push_back(pulseFromBytes(r.reply.data() + 4 * k));
    }
    return passes;
}
