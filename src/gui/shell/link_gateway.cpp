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
#include <utility>

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

// The work on the link's side: its answer, or the link error or the other exception it raised,
// each kept for the window's thread.
void runCatching(const std::function<bool(CLPGDevice&)>& work, CLPGDevice& device, bool& answered,
                 IError*& linkError, std::exception_ptr& other)
{
    try {
        // A search still running (a rescan of the watchdog) has the device until it answered.
        const auto searchDone = device.HoldAgainstSearch();
        answered = work(device);
    } catch (IError* error) {
        linkError = error;
    } catch (...) {
        // Anything else is a fault of ours: handed to the window's thread, where the
        // application's last net shows it.
        other = std::current_exception();
    }
}

} // namespace

CLinkGateway::CLinkGateway(CLPGDevice& device, QObject* parent) : QObject(parent), m_device(device)
{
    g_gateway = this;
}

CLinkGateway::~CLinkGateway()
{
    // A background write still on the wire ends before the device can go; its answer is dropped.
    if (m_backgroundThread.joinable())
        m_backgroundThread.join();
    if (m_backgroundError)
        adoptError(m_backgroundError);
    if (g_gateway == this)
        g_gateway = nullptr;
}

CLinkGateway* CLinkGateway::instance()
{
    return g_gateway;
}

CLinkGateway::Outcome CLinkGateway::runOnInstance(const wchar_t* handler,
                                                  const std::function<bool(CLPGDevice&)>& work)
{
    return g_gateway ? g_gateway->run(handler, work) : Outcome::Busy;
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

void CLinkGateway::setBusy(bool foreground, bool background)
{
    const bool was = busy();
    m_busy = foreground;
    m_background = background;
    if (busy() != was)
        emit busyChanged(busy());
}

CLinkGateway::Outcome CLinkGateway::linkLostBy(const wchar_t* handler, IError* error)
{
    if (handler)
        showLinkError(handler, error);
    else
        m_device.ReportLinkLost(error);
    m_device.m_connected = false;
    emit linkLost();
    return Outcome::LinkLost;
}

CLinkGateway::Outcome CLinkGateway::run(const wchar_t* handler, const std::function<bool(CLPGDevice&)>& work)
{
    // Work that is already on the link's side (a step of a running operation) just runs: the
    // outer run catches for it.
    if (QThread::currentThread() != thread())
        return work(m_device) ? Outcome::Done : Outcome::Failed;
    if (m_busy)
        return Outcome::Busy;

    qApp->installEventFilter(this);
    // One exchange at a time: a background write ends first, with the person's input held.
    while (m_background) {
        QEventLoop wait;
        connect(this, &CLinkGateway::backgroundFinished, &wait, &QEventLoop::quit);
        wait.exec();
    }
    setBusy(true, false);

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
        runCatching(work, m_device, answered, linkError, other);
        // Queued: the loop may not have started yet, and quits once it runs.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    cursorDelay.stop();
    if (waitCursor)
        QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(this);
    setBusy(false, false);

    if (other)
        std::rethrow_exception(other);
    if (linkError)
        return linkLostBy(handler, linkError);
    return answered ? Outcome::Done : Outcome::Failed;
}

CLinkGateway::Outcome CLinkGateway::runInBackground(const wchar_t* handler,
                                                    const std::function<bool(CLPGDevice&)>& work,
                                                    QObject* context, const std::function<void(Outcome)>& done)
{
    if (busy())
        return Outcome::Busy;
    if (m_backgroundThread.joinable())
        m_backgroundThread.join();
    setBusy(false, true);
    m_backgroundHandler = handler;
    m_backgroundAnswer = false;
    m_backgroundError = nullptr;
    m_backgroundFault = nullptr;
    m_backgroundContext = context;
    m_backgroundDone = done;
    m_backgroundThread = std::thread([this, work] {
        runCatching(work, m_device, m_backgroundAnswer, m_backgroundError, m_backgroundFault);
        QMetaObject::invokeMethod(this, &CLinkGateway::finishBackground, Qt::QueuedConnection);
    });
    return Outcome::Done;
}

void CLinkGateway::finishBackground()
{
    m_backgroundThread.join();
    IError* error = std::exchange(m_backgroundError, nullptr);
    const std::exception_ptr fault = std::exchange(m_backgroundFault, nullptr);
    const auto done = std::exchange(m_backgroundDone, nullptr);
    const QPointer<QObject> context = m_backgroundContext;
    // No longer busy before the message: a run() waiting for this one may go on after it.
    setBusy(m_busy, false);
    Outcome outcome = m_backgroundAnswer ? Outcome::Done : Outcome::Failed;
    if (error)
        outcome = linkLostBy(m_backgroundHandler, error);
    if (fault) {
        emit backgroundFinished();
        std::rethrow_exception(fault);
    }
    if (context && done)
        done(outcome);
    emit backgroundFinished();
}
