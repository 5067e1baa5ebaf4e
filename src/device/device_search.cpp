#include "device/device_search.h"

#include "device/lpg_device.h"
#include "platform/ierror.h"

#include <utility>

CDeviceSearch::CDeviceSearch(CLPGDevice& device) : m_device(device) {}

CDeviceSearch::~CDeviceSearch()
{
    wait();
}

bool CDeviceSearch::begin(bool startUp, std::function<void()> answered)
{
    if (running())
        return false;
    wait();
    m_answered = false;
    m_ended = false;
    m_thread = std::thread([this, startUp, answered = std::move(answered)] {
        auto tell = [&] {
            if (m_answered.exchange(true))
                return;
            if (answered)
                answered();
        };
        try {
            if (startUp)
                m_device.Start(tell);
            else
                m_device.FindDevice(tell);
        } catch (IError* error) {
            // The search catches what a port raises; anything else is a link that failed mid-way.
            adoptError(error);
            m_device.m_connected = false;
        }
        tell();
        m_ended = true;
    });
    return true;
}

bool CDeviceSearch::wait()
{
    if (!m_thread.joinable())
        return false;
    m_thread.join();
    return true;
}
