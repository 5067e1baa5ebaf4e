#include "gui/shell/qt_user_interaction.h"

#include "gui/shell/gui_thread.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>
#include <QTreeView>

#include <algorithm>

CQtUserInteraction::CQtUserInteraction(QWidget* parent) : m_parent(parent) {}

CQtUserInteraction::~CQtUserInteraction()
{
    while (m_waitDepth > 0) {
        QApplication::restoreOverrideCursor();
        --m_waitDepth;
    }
    delete m_progress;
    delete m_notice.data();
}

template <class F> void CQtUserInteraction::onGuiThread(F&& work)
{
    runOnGuiThread(this, std::forward<F>(work));
}

void CQtUserInteraction::showMessage(const std::wstring& text, MessageIcon icon)
{
    onGuiThread([&] {
        QMessageBox::Icon shown = QMessageBox::Information;
        switch (icon) {
        case MessageIcon::Information:
            shown = QMessageBox::Information;
            break;
        case MessageIcon::Warning:
            shown = QMessageBox::Warning;
            break;
        case MessageIcon::Error:
            shown = QMessageBox::Critical;
            break;
        case MessageIcon::Question:
            shown = QMessageBox::Question;
            break;
        }
        QMessageBox box(shown, caption(), QString::fromStdWString(text), QMessageBox::Ok, m_parent.data());
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
    });
}

void CQtUserInteraction::showNotice(const std::wstring& text)
{
    onGuiThread([&] {
        if (!m_notice) {
            m_notice = new QMessageBox(QMessageBox::Information, caption(), QString(), QMessageBox::Ok,
                                       m_parent.data());
            m_notice->setObjectName(QStringLiteral("noConnectionNotice"));
            m_notice->setAttribute(Qt::WA_DeleteOnClose);
        }
        m_notice->setText(QString::fromStdWString(text));
        m_notice->open();
    });
}

void CQtUserInteraction::closeNotice()
{
    onGuiThread([&] {
        if (m_notice)
            m_notice->close();
    });
}

bool CQtUserInteraction::askYesNo(const std::wstring& text)
{
    // No is the safe answer: Enter alone must not overwrite or erase anything.
    return ask(text, QMessageBox::No);
}

bool CQtUserInteraction::askYesNoDefaultYes(const std::wstring& text)
{
    return ask(text, QMessageBox::Yes);
}

bool CQtUserInteraction::ask(const std::wstring& text, QMessageBox::StandardButton preselected)
{
    bool yes = false;
    onGuiThread([&] {
        QMessageBox box(QMessageBox::Question, caption(), QString::fromStdWString(text),
                        QMessageBox::Yes | QMessageBox::No, m_parent.data());
        box.setDefaultButton(preselected);
        box.setEscapeButton(QMessageBox::No);
        yes = box.exec() == QMessageBox::Yes;
    });
    return yes;
}

QString CQtUserInteraction::toQtFilter(const std::wstring& filter)
{
    const QStringList parts = QString::fromStdWString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (name.isEmpty() && patterns.isEmpty())
            continue;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses; a name that already shows them is kept.
        if (name.endsWith(QLatin1Char(')')) && name.contains(QLatin1Char('(')))
            filters << name;
        else
            filters << QStringLiteral("%1 (%2)").arg(name, patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

std::wstring CQtUserInteraction::pickFile(const FileRequest& request)
{
    std::wstring chosen;
    onGuiThread([&] {
        QFileDialog dialog(m_parent.data());
        dialog.setWindowTitle(request.save ? QStringLiteral("SAVE") : QStringLiteral("OPEN"));
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (!request.folder.empty())
            dialog.setDirectory(QString::fromStdWString(request.folder));
        const QString filter = toQtFilter(request.filter);
        if (!filter.isEmpty())
            dialog.setNameFilters(filter.split(QStringLiteral(";;")));
        if (!request.extension.empty())
            dialog.setDefaultSuffix(QString::fromStdWString(request.extension));
        // Dated names (the settings backups) must show whole, or their date is elided away.
        dialog.resize(dialog.sizeHint().expandedTo(QSize(900, 520)));
        if (auto* list = dialog.findChild<QTreeView*>())
            list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().first().toStdWString();
    });
    return chosen;
}

void CQtUserInteraction::beginWait()
{
    onGuiThread([&] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_waitDepth;
    });
}

void CQtUserInteraction::endWait()
{
    onGuiThread([&] {
        // An unmatched end must not pop a cursor that someone else set.
        if (m_waitDepth == 0)
            return;
        QApplication::restoreOverrideCursor();
        --m_waitDepth;
    });
}

void CQtUserInteraction::progress(int done, int total)
{
    onGuiThread([&] {
        if (total <= 0 || done >= total) {
            if (m_progress)
                m_progress->hide();
            return;
        }
        if (!m_progress) {
            m_progress = new QProgressDialog(m_parent.data());
            m_progress->setWindowTitle(caption());
            m_progress->setCancelButton(nullptr);
            m_progress->setMinimumDuration(0);
            m_progress->setAutoClose(false);
            m_progress->setAutoReset(false);
            // Not modal: the long operation runs on this thread and must not be re-entered by
            // clicks; it paints below without handing user input to the window.
            m_progress->setWindowModality(Qt::NonModal);
        }
        m_progress->setRange(0, total);
        m_progress->setValue(std::clamp(done, 0, total));
        if (!m_progress->isVisible())
            m_progress->show();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}
