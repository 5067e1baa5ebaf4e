#include "support/sim_fixture.h"

#include "device/lpg_device.h"
#include "platform/port_table.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

CTempHome::CTempHome()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "doravine-home-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    std::filesystem::create_directories(m_path / ".config");
    std::filesystem::create_directories(m_path / "Documents");
    setenv("HOME", m_path.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_path / ".config").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (m_path / "Documents").c_str(), 1);
}

CTempHome::~CTempHome()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

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

sim::FaultRule faultRule(sim::FaultKind kind, unsigned nth)
{
    sim::FaultRule rule;
    rule.kind = kind;
    rule.when = nth ? sim::FaultWhen::NthRequest : sim::FaultWhen::Always;
    rule.nth = nth;
    return rule;
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
