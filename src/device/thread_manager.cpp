#include "device/thread_manager.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<bool> g_exitInstalled{false};

[[noreturn]] void endProcessNow()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

void exitHandler()
{
    if (g_exitInstalled.load())
        endProcessNow();
}

} // namespace

CLPGThreadManager::~CLPGThreadManager()
{
    if (g_exitInstalled.load())
        endProcessNow();
}

CLPGThreadManager& lpgThreadManager()
{
    static CLPGThreadManager manager;
    return manager;
}

void installThreadManagerExit()
{
    lpgThreadManager();
    g_exitInstalled = true;
    // Registered after the manager exists, so it runs before every exit function registered
    // earlier and before the static objects are destroyed.
    std::atexit(exitHandler);
}
