// The window program. At exit the thread manager ends the process at once with status 0, even
// while the live-sample thread still waits on the serial port; a failure status is kept.
#include "gui/shell/doravine_app.h"
#include "device/thread_manager.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    installThreadManagerExit();
    const int status = runDoravine(argc, argv);
    if (status != 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return 0;
}
