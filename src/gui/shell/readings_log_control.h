// The File menu's "Zapisuj odczyty do pliku": starts and stops the readings log of the document,
// keeps the menu item's tick and the status strip's recording mark in step with it, and once a
// second shows how long it has recorded (and, after a failed write, the message).
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class CBottomDlg;
class CReadingsRecorder;
class QAction;

class CReadingsLogControl : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRefreshMillis = 1000;

    // strip answers the status strip (or null while there is none).
    CReadingsLogControl(CReadingsRecorder& recorder, QAction* action, std::function<CBottomDlg*()> strip,
                        QObject* parent = nullptr);

    // The menu item: starts a new log in the Diag folder, or stops the running one.
    void toggle();
    // Looks at the recorder: the duration on the strip, a failure ended and reported.
    void refresh();

  private:
    CReadingsRecorder& m_recorder;
    QAction* m_action;
    std::function<CBottomDlg*()> m_strip;
    QTimer m_timer;
};
