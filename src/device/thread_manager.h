// The program-wide owner of the worker threads. At program exit it ends the process at once,
// without waiting for a live-sample thread that may sit in a one-second read.
#pragma once

#include "platform/threads.h"

class CLPGThreadManager : public CMultiThread {
  public:
    CLPGThreadManager() = default;
    // Once installExitHandler() ran: clears nothing more and ends the process with status 0.
    // Otherwise (tests, tools that join their threads) it waits for the threads like its base.
    ~CLPGThreadManager() override;
};

// The one manager of the program.
CLPGThreadManager& lpgThreadManager();

// Called by the window's main: registers the exit function that ends the process with status
// 0 at once. Pending standard output is flushed first, so nothing printed is lost.
void installThreadManagerExit();
