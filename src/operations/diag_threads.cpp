#include "operations/diag_threads.h"

#include "device/lpg_device.h"
#include "device/run_context.h"
#include "platform/ierror.h"

#include <chrono>
#include <thread>
#include <utility>

namespace {

void sleepMs(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

CDiagInputThread::CDiagInputThread(CDiagData* target, std::wstring fileName,
                                   std::shared_ptr<std::atomic<bool>> running, const CLinkTimings& timings)
    : m_target(target), m_fileName(std::move(fileName)), m_running(std::move(running)), m_timings(timings)
{
}

void CDiagInputThread::giveUp()
{
    m_target->clear();
    onStop();
    markDisconnected();
    *m_running = false;
}

void CDiagInputThread::run()
{
    // Counted afresh for every thread: after a reconnection a single failed fetch must not
    // drop the new connection again.
    int failures = 0;
    try {
        onStart();
        while (*m_running) {
            CDiag sample{};
            sleepMs(m_timings.liveSampleIntervalMs);
            try {
                const uint8_t result = readSample(sample);
                if (result == CLPGDevice::kSampleOk) {
                    storeSample(sample);
                    failures = 0;
                } else if (result == CLPGDevice::kSampleFailed) {
                    ++failures;
                }
            } catch (IError* error) {
                auto owned = adoptError(error);
                sleepMs(m_timings.recoveryPauseMs);
                if (!reopenPort())
                    throw owned.release();
                // A port that reopens but keeps failing must still end the thread in the end.
                ++failures;
            }
            if (failures > kFailureLimit)
                giveUp();
        }
        onStop();
    } catch (IError* error) {
        auto owned = adoptError(error);
        m_target->clear();
        // The port is closed by now, so the link is gone: say so, or the watchdog would show
        // a connection that no thread serves and never rescan.
        if (*m_running)
            giveUp();
    }
}

CDiagRSThread::CDiagRSThread(CLPGDevice& device, CDiagData* target, std::wstring fileName,
                             std::shared_ptr<std::atomic<bool>> running)
    : CDiagInputThread(target, std::move(fileName), std::move(running), device.Timings()), m_device(device)
{
    m_file.open(m_fileName, true);
}

void CDiagRSThread::onStart()
{
    // Under the device mutex: the window's thread may be reopening the port meanwhile.
    m_device.PurgeInput();
    m_target->clear();
}

void CDiagRSThread::onStop()
{
    m_file.close();
}

uint8_t CDiagRSThread::readSample(CDiag& out)
{
    return m_device.GetDiagSample(out);
}

void CDiagRSThread::storeSample(CDiag& sample)
{
    ++m_sampleCount;
    if (m_file.isOpen())
        m_file.write(sample);
    sample.setSampleNumber(m_sampleCount);
    m_target->add(sample);
}

void CDiagRSThread::markDisconnected()
{
    m_device.m_connected = false;
}

bool CDiagRSThread::reopenPort()
{
    m_device.Close();
    if (m_device.Reopen())
        return true;
    m_device.Close();
    return false;
}

std::atomic<int>& captureState()
{
    return runContext().captureState;
}

CSignalCaptureThread::CSignalCaptureThread(CLPGDevice& device)
    : m_device(device), m_pauseMs(device.Timings().capturePassPauseMs)
{
}

void CSignalCaptureThread::run()
{
    while (captureState().load() != kCaptureIdle) {
        if (m_device.ReadSignalPass())
            ++m_goodPasses;
        sleepMs(m_pauseMs);
    }
}
