#include "operations/signal_capture.h"

#include "device/lpg_device.h"
#include "operations/diag_threads.h"
#include "files/signal_file.h"

#include <chrono>
#include <thread>

namespace {

void sleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

CSignalCapture::CSignalCapture(CLPGDevice& device, CThreadManager& threads) : m_device(device), m_threads(threads)
{
}

bool CSignalCapture::setReadSetting(double value)
{
    if (!m_device.GetSettings())
        return false;
    const double held = m_device.m_settings.signalCapture;
    m_device.m_settings.signalCapture = value;
    if (m_device.SetSettings())
        return true;
    // Not taken: the record keeps what the controller holds.
    m_device.m_settings.signalCapture = held;
    return false;
}

CSignalCapture::StateWrite CSignalCapture::setReadingMode(bool on, uint32_t* previous)
{
    return writeWorkState(on ? 0 : kWorkStateNormal, previous);
}

CSignalCapture::StateWrite CSignalCapture::writeWorkState(uint32_t workState, uint32_t* previous)
{
    if (!m_device.GetSettings())
        return StateWrite::NotRead;
    if (previous)
        *previous = m_device.m_settings.workState;
    const uint32_t held = m_device.m_settings.workState;
    m_device.m_settings.workState = workState;
    const bool written = m_device.SetSettings();
    // Not taken: the record keeps what the controller holds.
    if (!written)
        m_device.m_settings.workState = held;
    sleepMs(100);
    m_device.ResetDevice();
    return written ? StateWrite::Written : StateWrite::Refused;
}

bool CSignalCapture::primePass() { return m_device.ReadSignalPass(); }

bool CSignalCapture::flushPasses()
{
    for (int i = 0; i < 3; ++i) {
        // A pass the controller does not answer costs all its attempts: the next would too.
        if (!m_device.ReadSignalPass())
            return false;
        sleepMs(50);
    }
    m_device.m_pulses.clear();
    return true;
}

void CSignalCapture::start()
{
    m_lastCount = 0;
    m_stallTicks = 0;
    if (captureState().load() == kCaptureRunning)
        return;
    captureState() = kCaptureRunning;
    m_device.m_pulses.open();
    m_threads.insert(new CSignalCaptureThread(m_device));
    sleepMs(10);
}

void CSignalCapture::stop() { captureState() = kCaptureIdle; }

bool CSignalCapture::running() const { return captureState().load() == kCaptureRunning; }

size_t CSignalCapture::recordCount() const { return m_device.m_pulses.size(); }

bool CSignalCapture::stallDue() const
{
    const size_t count = recordCount();
    return running() && count == m_lastCount && m_stallTicks > kStallTicks && count < kStallRecordLimit;
}

CSignalCapture::TickResult CSignalCapture::tick()
{
    if (!running())
        return TickResult::Idle;
    const size_t count = recordCount();
    TickResult result = TickResult::Capturing;
    if (count != m_lastCount) {
        m_lastCount = count;
        m_stallTicks = 0;
    } else if (stallDue()) {
        stop();
        result = setReadSetting(0) ? TickResult::Stalled : TickResult::StalledUnsaved;
    }
    ++m_stallTicks;
    return result;
}

bool CSignalCapture::save(const std::wstring& path, CPulseList& saved)
{
    CPulseList records = m_device.m_pulses.take();
    if (!writeSignalFile(path, records)) {
        m_device.m_pulses.putBack(std::move(records));
        return false;
    }
    saved = std::move(records);
    return true;
}
