// The user as the window shows it: Qt message boxes, questions, file dialogs, the wait cursor and
// a progress window. Callable from any thread: calls from other threads wait while the GUI thread
// shows the dialog, so a core thread can report safely.
#pragma once

#include "base/user_interaction.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QProgressDialog;

class CQtUserInteraction : public QObject, public IUserInteraction {
    Q_OBJECT
  public:
    // Create on the GUI thread. parent: the window that the dialogs belong to (may be null).
    explicit CQtUserInteraction(QWidget* parent = nullptr);
    ~CQtUserInteraction() override;

    void showMessage(const std::wstring& text, MessageIcon icon) override;
    bool askYesNo(const std::wstring& text) override;
    bool askYesNoDefaultYes(const std::wstring& text) override;
    std::wstring pickFile(const FileRequest& request) override;
    void beginWait() override;
    void endWait() override;
    void progress(int done, int total) override;
    // A window-modal box that does not hold up the caller: the timer goes on rescanning.
    void showNotice(const std::wstring& text) override;
    void closeNotice() override;
    // The notice while it is open (null otherwise).
    QMessageBox* notice() const { return m_notice.data(); }

    void setParentWindow(QWidget* parent) { m_parent = parent; }
    // Nesting depth of beginWait calls still open.
    int waitDepth() const { return m_waitDepth; }
    QProgressDialog* progressDialog() const { return m_progress; }

    // A filter in the "Text (*.x)|*.x|" form as Qt's name filters ("Text (*.x);;...").
    static QString toQtFilter(const std::wstring& filter);
    // The title of every message box.
    static QString caption() { return QStringLiteral("Doravine"); }

  private:
    bool ask(const std::wstring& text, QMessageBox::StandardButton preselected);
    // Runs work on the GUI thread, waiting for it when called from another thread.
    template <class F> void onGuiThread(F&& work);

    QPointer<QWidget> m_parent;
    QProgressDialog* m_progress = nullptr;
    QPointer<QMessageBox> m_notice;
    int m_waitDepth = 0;
};
