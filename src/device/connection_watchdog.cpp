#include "device/connection_watchdog.h"

#include "device/lpg_device.h"

#include <utility>

CConnectionWatchdog::CConnectionWatchdog(CLPGDevice& device, Hooks hooks)
    : m_device(device), m_hooks(std::move(hooks))
{
}

CConnectionWatchdog::Tick CConnectionWatchdog::tick()
{
    if (m_wasConnected) {
        if (!m_device.m_connected) {
            if (m_hooks.showConnection)
                m_hooks.showConnection(false);
            m_wasConnected = false;
            m_countdown = kRescanCountdown;
            return Tick::Lost;
        }
    } else if (m_device.m_connected) {
        if (m_hooks.showConnection)
            m_hooks.showConnection(true);
        m_wasConnected = true;
    } else {
        const int n = m_countdown--;
        if (n == 0) {
            ++m_rescans;
            m_device.FindDevice();
            if (m_device.m_connected) {
                if (m_hooks.showConnection)
                    m_hooks.showConnection(true);
                m_wasConnected = true;
                if (m_hooks.resumeLiveSamples)
                    m_hooks.resumeLiveSamples();
            } else {
                m_countdown = kRescanCountdown;
            }
        }
    }
    return m_device.m_diagData.count() != 0 ? Tick::Refresh : Tick::Idle;
}
