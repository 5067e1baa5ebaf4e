// The Qt side of the user seam: message boxes, questions, file dialogs, the wait cursor and
// progress, called from the GUI thread and from a worker thread.
#include "gui/shell/qt_user_interaction.h"
#include "gui/support/qt_app_environment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Plain);

// Waits for the next modal dialog to open, then hands it to the handler (on the GUI thread).
void onNextModal(std::function<void(QWidget*)> handler)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, handler] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            handler(modal);
        }
    });
    timer->start();
}

struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onGuiThread = false;
};

void recordAndPress(QWidget* modal, Seen& seen, QMessageBox::StandardButton button)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.onGuiThread = QThread::currentThread() == app().thread();
    if (button == QMessageBox::NoButton)
        QTest::keyClick(box, Qt::Key_Return); // whatever is the default
    else
        box->button(button)->click();
}

} // namespace

TEST(QtUser, MessageBoxesAreTitledDoravineWithTheMatchingIcon)
{
    app();
    CQtUserInteraction ui;
    const std::pair<MessageIcon, QMessageBox::Icon> cases[] = {
        {MessageIcon::Information, QMessageBox::Information},
        {MessageIcon::Warning, QMessageBox::Warning},
        {MessageIcon::Error, QMessageBox::Critical},
        {MessageIcon::Question, QMessageBox::Question}};
    for (const auto& [icon, expected] : cases) {
        Seen seen;
        onNextModal([&](QWidget* w) { recordAndPress(w, seen, QMessageBox::Ok); });
        ui.showMessage(L"Hasło nieprawidłowe", icon);
        EXPECT_EQ(seen.title, QStringLiteral("Doravine"));
        EXPECT_EQ(seen.text, QStringLiteral("Hasło nieprawidłowe"));
        EXPECT_EQ(seen.icon, expected);
    }
}

TEST(QtUser, QuestionsPreselectNo)
{
    app();
    CQtUserInteraction ui;
    Seen seen;
    onNextModal([&](QWidget* w) { recordAndPress(w, seen, QMessageBox::NoButton); });
    EXPECT_FALSE(ui.askYesNo(L"Plik istnieje. Nadpisać?")) << "Enter alone answers No";
    EXPECT_EQ(seen.title, QStringLiteral("Doravine"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    onNextModal([&](QWidget* w) { recordAndPress(w, seen, QMessageBox::Yes); });
    EXPECT_TRUE(ui.askYesNo(L"Plik istnieje. Nadpisać?"));
    onNextModal([&](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_FALSE(ui.askYesNo(L"Plik istnieje. Nadpisać?")) << "Escape answers No";

    // An offer to put back what was there: Enter takes it, Escape still declines.
    onNextModal([&](QWidget* w) { recordAndPress(w, seen, QMessageBox::NoButton); });
    EXPECT_TRUE(ui.askYesNoDefaultYes(L"Przywrócić poprzednią mapę?")) << "Enter alone answers Yes";
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    onNextModal([&](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_FALSE(ui.askYesNoDefaultYes(L"Przywrócić poprzednią mapę?"));
}

TEST(QtUser, AWorkerThreadsMessageIsShownOnTheGuiThreadAndWaitsForTheUser)
{
    app();
    CQtUserInteraction ui;
    Seen seen;
    std::atomic<bool> answered{false};
    std::atomic<bool> yes{false};
    onNextModal([&](QWidget* w) {
        // The worker is still waiting for the answer while the box is open.
        EXPECT_FALSE(answered.load());
        recordAndPress(w, seen, QMessageBox::Yes);
    });
    std::thread worker([&] {
        yes = ui.askYesNo(L"Czy silnik pracuje?");
        answered = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!answered && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(yes);
    EXPECT_TRUE(seen.onGuiThread);
    EXPECT_EQ(seen.text, QStringLiteral("Czy silnik pracuje?"));
}

TEST(QtUser, FiltersBecomeQtNameFilters)
{
    EXPECT_EQ(CQtUserInteraction::toQtFilter(L"Wheal type files (*.csv)|*.csv|"),
              QStringLiteral("Wheal type files (*.csv)"));
    EXPECT_EQ(CQtUserInteraction::toQtFilter(L"Ustawienia|*.settings|Wszystkie|*.*|"),
              QStringLiteral("Ustawienia (*.settings);;Wszystkie (*.*)"));
    EXPECT_EQ(CQtUserInteraction::toQtFilter(L"Firmware|*.afm;*.bin"),
              QStringLiteral("Firmware (*.afm *.bin)"));
    EXPECT_EQ(CQtUserInteraction::toQtFilter(L""), QString());
}

TEST(QtUser, FileDialogsAreTitledOpenAndSaveAndStartInTheGivenFolder)
{
    app();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QFile f(dir.filePath(QStringLiteral("Odczyt.csv")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    CQtUserInteraction ui;
    FileRequest open;
    open.folder = QDir::toNativeSeparators(dir.path()).toStdWString();
    open.filter = L"Wheal type files (*.csv)|*.csv|";
    open.extension = L"csv";
    QString title;
    QString folder;
    QStringList filters;
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        folder = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        dialog->selectFile(dir.filePath(QStringLiteral("Odczyt.csv")));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const std::wstring picked = ui.pickFile(open);
    EXPECT_EQ(title, QStringLiteral("OPEN"));
    EXPECT_EQ(folder, QDir(dir.path()).absolutePath());
    EXPECT_EQ(filters, QStringList{QStringLiteral("Wheal type files (*.csv)")});
    EXPECT_EQ(QString::fromStdWString(picked), dir.filePath(QStringLiteral("Odczyt.csv")));

    // Save: the default extension is added to a bare name; cancel answers an empty path.
    FileRequest save = open;
    save.save = true;
    save.filter = L"Settings (*.settings)|*.settings|";
    save.extension = L"settings";
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("settings"));
        dialog->reject();
    });
    EXPECT_EQ(ui.pickFile(save), L"");
    EXPECT_EQ(title, QStringLiteral("SAVE"));
}

TEST(QtUser, WaitCursorNestsAndIgnoresUnmatchedEnds)
{
    app();
    CQtUserInteraction ui;
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    ui.endWait(); // nothing to end
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // Through the process-wide user, as the core does.
    setUserInteraction(&ui);
    {
        CWaitCursor outer;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            CWaitCursor inner;
            EXPECT_EQ(ui.waitDepth(), 2);
        }
        EXPECT_NE(QApplication::overrideCursor(), nullptr) << "the outer wait still holds";
    }
    setUserInteraction(nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ui.waitDepth(), 0);
}

TEST(QtUser, ProgressShowsAWindowThatClosesWhenDone)
{
    app();
    CQtUserInteraction ui;
    ui.progress(3, 10);
    ASSERT_NE(ui.progressDialog(), nullptr);
    EXPECT_TRUE(ui.progressDialog()->isVisible());
    EXPECT_EQ(ui.progressDialog()->value(), 3);
    EXPECT_EQ(ui.progressDialog()->maximum(), 10);
    EXPECT_FALSE(ui.progressDialog()->isModal());
    // Reports from another thread land in the same window.
    std::thread worker([&] { ui.progress(7, 10); });
    while (ui.progressDialog()->value() != 7)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    ui.progress(10, 10);
    EXPECT_FALSE(ui.progressDialog()->isVisible());
}
