#include "gui/shell/gui_thread.h"

#include <QEventLoop>

#include <thread>

void runOffGuiThread(const std::function<void()>& work)
{
    QEventLoop loop;
    std::thread worker([&] {
        work();
        // Queued: the loop may not have started yet, and quits once it runs.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
}
