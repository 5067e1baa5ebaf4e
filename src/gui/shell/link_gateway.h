// The one way from the window to the controller. Every exchange that the window starts (pages,
// dialogs, menus, the document's operations) is handed to run(): the work runs on a thread of its
// own while the window keeps painting, ticking and answering; the person's clicks and keys are
// held (dropped, as a disabled window drops them) except in the dialogs that the work itself
// opens; the wait cursor appears only when the work outlasts a glance. A link error ends here,
// once: the message, the connected flag cleared, and the watchdog takes over. The result comes
// back on the window's thread.
#pragma once

#include <QObject>
#include <QPointer>

#include <exception>
#include <functional>
#include <thread>

class CLPGDevice;
class IError;

class CLinkGateway : public QObject {
    Q_OBJECT
  public:
    enum class Outcome {
        Done,     // the work answered true
        Failed,   // the work answered false (the controller refused, or did not answer)
        LinkLost, // a link error broke the work off; already shown, the connected flag cleared
        Busy,     // another exchange of the window was still running: nothing was done
    };

    // Milliseconds before the wait cursor shows.
    static constexpr int kWaitCursorDelayMs = 250;

    explicit CLinkGateway(CLPGDevice& device, QObject* parent = nullptr);
    ~CLinkGateway() override;

    // The process-wide gateway of the window; null while none exists.
    static CLinkGateway* instance();
    // run() on the process-wide gateway; Busy, with nothing done, while none exists.
    static Outcome runOnInstance(const wchar_t* handler, const std::function<bool(CLPGDevice&)>& work);

    // Runs work with the device on the link's side and answers on the window's thread. handler
    // names the action in the link-error box; without one the box says only the replug message.
    Outcome run(const wchar_t* handler, const std::function<bool(CLPGDevice&)>& work);
    // The same for work that has no answer of its own: Done unless the link broke or it was busy.
    Outcome runAction(const wchar_t* handler, const std::function<void(CLPGDevice&)>& work);

    // Work that must not hold the person's input (a page that keeps taking edits while its last
    // change is on the wire): the work runs on the link's side, the window goes on as usual, and
    // done(outcome) comes back on the window's thread unless context is gone by then. A link
    // error is caught as in run(). Answers Busy (and runs nothing) while another exchange of the
    // window runs; run() waits for this one to end before it starts.
    Outcome runInBackground(const wchar_t* handler, const std::function<bool(CLPGDevice&)>& work,
                            QObject* context, const std::function<void(Outcome)>& done);

    // An exchange of the window is running (in the foreground or the background).
    bool busy() const { return m_busy || m_background; }
    CLPGDevice& device() { return m_device; }

  signals:
    // A run broke off on a link error (after its message was shown).
    void linkLost();
    // busy() changed.
    void busyChanged(bool busy);

    // The background work ended (after its done).
    void backgroundFinished();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // A link error caught on the worker: shown once, the connected flag cleared.
    Outcome linkLostBy(const wchar_t* handler, IError* error);
    void finishBackground();
    void setBusy(bool foreground, bool background);

    CLPGDevice& m_device;
    bool m_busy = false;
    bool m_background = false;
    // The background run: its thread and what it left for the window's thread.
    std::thread m_backgroundThread;
    const wchar_t* m_backgroundHandler = nullptr;
    bool m_backgroundAnswer = false;
    IError* m_backgroundError = nullptr;
    std::exception_ptr m_backgroundFault;
    QPointer<QObject> m_backgroundContext;
    std::function<void(Outcome)> m_backgroundDone;
};
