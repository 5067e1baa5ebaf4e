#include "operations/live_samples.h"

#include "device/lpg_device.h"
#include "device/thread_manager.h"
#include "operations/diag_threads.h"

#include <chrono>
#include <thread>

CLiveSampleControl::CLiveSampleControl(CLPGDevice& device, CThreadManager* manager)
    : m_device(device), m_manager(manager ? manager : &lpgThreadManager()),
      m_running(std::make_shared<std::atomic<bool>>(false))
{
}

CLiveSampleControl::~CLiveSampleControl()
{
    *m_running = false;
    JoinThreads();
}

void CLiveSampleControl::JoinThreads()
{
    // A fetch in progress ends within its read time-out; the device must outlive it.
    for (const CThreadManager::ThreadId id : m_threads)
        m_manager->join(id);
    m_threads.clear();
}

void CLiveSampleControl::WatchLink()
{
    if (m_device.m_connected) {
        ResumeLiveSamples();
        return;
    }
    // Nothing to sample, but the timer's watchdog must keep looking for the controller.
    timer(true);
}

void CLiveSampleControl::timer(bool run)
{
    if (m_timerHook)
        m_timerHook(run);
}

void CLiveSampleControl::StartLiveSamples(const std::wstring& fileName)
{
    // A thread already running is ended first: two would halve each other's rate.
    *m_running = false;
    if (!m_device.m_liveSamplesAllowed) {
        timer(false);
        return;
    }
    m_running = std::make_shared<std::atomic<bool>>(true);
    m_fileName = fileName;
    // Threads that ended were joined by the manager; their ids need no keeping.
    std::erase_if(m_threads, [this](CThreadManager::ThreadId id) { return !m_manager->holds(id); });
    m_threads.push_back(
        m_manager->insert(new CDiagRSThread(m_device, &m_device.m_diagData, m_fileName, m_running)));
    timer(true);
}

void CLiveSampleControl::ResumeLiveSamples()
{
    StartLiveSamples(L"\\");
}

void CLiveSampleControl::StopLiveSamples()
{
    *m_running = false;
    timer(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(m_device.Timings().stopLiveSamplesWaitMs));
}

bool CLiveSampleControl::running() const
{
    return m_running->load();
}
