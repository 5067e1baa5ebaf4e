#include "stop_signals.h"

#include <csignal>

namespace cli {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void onStopSignal(int)
{
    g_stopRequested = 1;
}

} // namespace

CStopSignals::CStopSignals()
{
    g_stopRequested = 0;
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
    return g_stopRequested != 0;
}

} // namespace cli
