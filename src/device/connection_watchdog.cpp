#include "device/connection_watchdog.h"

#include "device/lpg_device.h"
#include "device/run_context.h"

#include <utility>

CConnectionWatchdog::CConnectionWatchdog(CLPGDevice& device, Hooks hooks)
    : m_device(device), m_hooks(std::move(hooks)), m_search(device)
{
}

bool CConnectionWatchdog::linkBusy() const
{
    return (m_hooks.linkHeld && m_hooks.linkHeld()) || m_device.m_updatingFirmware ||
           runContext().captureState != CRunContext::kCaptureIdleValue || m_search.running();
}

void CConnectionWatchdog::collectRescan()
{
    m_rescanning = false;
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

CConnectionWatchdog::Tick CConnectionWatchdog::tick()
{
    if (m_rescanning) {
        if (m_search.answered())
            collectRescan();
    } else if (m_wasConnected) {
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
    } else if (m_countdown-- <= 0) {
        // A rescan that cannot start now starts on the first tick that it can.
        m_countdown = 0;
        if (!linkBusy() && m_search.begin(false)) {
            ++m_rescans;
            m_rescanning = true;
        }
    }
    return m_device.m_diagData.count() != 0 ? Tick::Refresh : Tick::Idle;
}
