// Crossing between the GUI thread and the core's threads: work for the widgets handed to the GUI
// thread, and long controller work taken off it so that the window keeps painting.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <functional>
#include <utility>

// Runs work on context's thread (the GUI thread for a widget); a caller on another thread waits
// for it. The GUI thread must not itself be waiting for the caller meanwhile.
template <class F> void runOnGuiThread(QObject* context, F&& work)
{
    if (QThread::currentThread() == context->thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(context, std::forward<F>(work), Qt::BlockingQueuedConnection);
}

// Runs work on a thread of its own and returns when it is done. Meanwhile the GUI thread goes on
// painting, ticking its timers and showing the dialogs the work asks for; the user's clicks and keys
// wait until the work is done, as they would while the GUI thread itself worked.
void runOffGuiThread(const std::function<void()>& work);
