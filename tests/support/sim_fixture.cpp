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
