#include "gui/shell/link_gateway.h"

#include "base/user_interaction.h"
#include "device/lpg_device.h"
#include "platform/ierror.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <thread>

namespace {

CLinkGateway* g_gateway = nullptr;

bool isPersonsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

// A widget inside the modal dialog on show (a question or file dialog that the running work
// opened, or a popup of one): the person must be able to answer it.
bool insideModalDialog(const QObject* target)
{
    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    for (const QObject* o = target; o; o = o->parent())
        if (o == modal)
            return true;
    return false;
}

} // namespace

CLinkGateway::CLinkGateway(CLPGDevice& device, QObject* parent) : QObject(parent), m_device(device)
{
    g_gateway = this;
}

CLinkGateway::~CLinkGateway()
{
    if (g_gateway == this)
        g_gateway = nullptr;
}

CLinkGateway* CLinkGateway::instance()
{
    return g_gateway;
}

bool CLinkGateway::eventFilter(QObject* watched, QEvent* event)
{
    if (m_busy && isPersonsInput(event->type()) && !insideModalDialog(watched))
        return true;
    return QObject::eventFilter(watched, event);
}

CLinkGateway::Outcome CLinkGateway::runAction(const wchar_t* handler, const std::function<void(CLPGDevice&)>& work)
{
    return run(handler, [&](CLPGDevice& device) {
        work(device);
        return true;
    });
}

CLinkGateway::Outcome CLinkGateway::run(const wchar_t* handler, const std::function<bool(CLPGDevice&)>& work)
{
    // Work that is already on the link's side (a step of a running operation) just runs: the
    // outer run catches for it.
    if (QThread::currentThread() != thread())
        return work(m_device) ? Outcome::Done : Outcome::Failed;
    if (m_busy)
        return Outcome::Busy;

    m_busy = true;
    emit busyChanged(true);
    qApp->installEventFilter(this);

    bool answered = false;
    IError* linkError = nullptr;
    std::exception_ptr other;
    QEventLoop loop;
    bool waitCursor = false;
    QTimer cursorDelay;
    cursorDelay.setSingleShot(true);
    connect(&cursorDelay, &QTimer::timeout, &loop, [&waitCursor] {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        waitCursor = true;
    });
    cursorDelay.start(kWaitCursorDelayMs);

    std::thread worker([&] {
        try {
            // A search still running (a rescan of the watchdog) has the device until it answered.
            const auto searchDone = m_device.HoldAgainstSearch();
            answered = work(m_device);
        } catch (IError* error) {
            linkError = error;
        } catch (...) {
            // Anything else is a fault of ours: handed to the window's thread, where the
            // application's last net shows it.
            other = std::current_exception();
        }
        // Queued: the loop may not have started yet, and quits once it runs.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    cursorDelay.stop();
    if (waitCursor)
        QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(this);
    m_busy = false;
    emit busyChanged(false);

    if (other)
        std::rethrow_exception(other);
    if (linkError) {
        if (handler)
            showLinkError(handler, linkError);
        else
            m_device.ReportLinkLost(linkError);
        m_device.m_connected = false;
        emit linkLost();
        return Outcome::LinkLost;
    }
    return answered ? Outcome::Done : Outcome::Failed;
}
