#include "stop_signals.h"

#include <atomic>
#include <csignal>

namespace cli {

namespace {

// Lock-free, so the handler may set it; atomic, because the handler may run on any thread.
std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int)
{
    g_stopRequested = true;
}

} // namespace

CStopSignals::CStopSignals()
{
    g_stopRequested = false;
    m_int = std::signal(SIGINT, onStopSignal);
    m_term = std::signal(SIGTERM, onStopSignal);
}

CStopSignals::~CStopSignals()
{
    std::signal(SIGINT, m_int == SIG_ERR ? SIG_DFL : m_int);
    std::signal(SIGTERM, m_term == SIG_ERR ? SIG_DFL : m_term);
}

bool CStopSignals::requested()
{
    return g_stopRequested;
}

} // namespace cli
