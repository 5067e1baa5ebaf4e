#include "device/lpg_device.h"

#include <chrono>
#include <cstdio>

namespace {

std::atomic<CLPGDevice*> g_device{nullptr};
std::atomic<CLPGDevice::BootloaderUpdateHandler> g_bootloaderUpdate{nullptr};

}  // namespace

CLPGDevice::CLPGDevice()
{
    m_demo = false;
    m_connected = false;
    m_noConnectionNoticePending = true;
    g_device.store(this);
}

CLPGDevice::~CLPGDevice()
{
    CLPGDevice* self = this;
    g_device.compare_exchange_strong(self, nullptr);
}

CLPGDevice* CLPGDevice::instance() { return g_device.load(); }

std::wstring CLPGDevice::VersionText() const
{
    return L"v " + std::to_wstring(m_firmwareVersion >> 8) + L"." + std::to_wstring(m_firmwareVersion & 0xFF);
}

std::wstring CLPGDevice::ProductionDateText() const
{
    using namespace std::chrono;
    const sys_days date = sys_days{year{2004} / April / 1} + days{m_productionDays + 1};
    const year_month_day ymd{date};
    wchar_t text[16];
    std::swprintf(text, 16, L"%02u/%02u/%04d", static_cast<unsigned>(ymd.day()),
                  static_cast<unsigned>(ymd.month()), static_cast<int>(ymd.year()));
    return text;
}

bool CLPGDevice::UpdateFirmwareFromBootloader()
{
    const BootloaderUpdateHandler handler = g_bootloaderUpdate.load();
    return handler ? handler(*this) : false;
}

void CLPGDevice::SetBootloaderUpdateHandler(BootloaderUpdateHandler handler) { g_bootloaderUpdate.store(handler); }
