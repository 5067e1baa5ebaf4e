// The About box: what the access code does.
#include "gui/shell/about_dlg.h"

#include "base/user_interaction.h"
#include "gui/support/qt_app_environment.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "support/recording_user.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Plain);

struct Outcome {
    int result = -1;
    int reveals = 0;
    int emitted = 0;
    std::vector<CRecordingUser::Message> messages;
};

// Runs the box modally as the program does, types code and presses OK (or Enter).
Outcome enterCode(const QString& code, bool pressEnter = false)
{
    app();
    CRecordingUser recorder;
    Outcome out;
    CAboutDlg dlg;
    dlg.setRevealHandler([&out] { ++out.reveals; });
    QSignalSpy spy(&dlg, &CAboutDlg::hiddenTabsRevealed);
    QTimer::singleShot(0, &dlg, [&] {
        QTest::keyClicks(dlg.codeEdit(), code);
        if (pressEnter)
            QTest::keyClick(dlg.codeEdit(), Qt::Key_Return);
        else
            QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
        // Anything still open after OK is a fault; do not hang the test on it.
        QTimer::singleShot(500, &dlg, [&] { dlg.reject(); });
    });
    out.result = dlg.exec();
    out.emitted = static_cast<int>(spy.count());
    out.messages = recorder.messages();
    return out;
}

} // namespace

// Empty closes quietly, the code reveals the hidden tabs once (OK or Enter), anything else (even
// the code with a space or a digit more) says the code is wrong, once, and closes.
TEST(AboutBox, OnlyTheExactCodeRevealsAndAnyOtherSaysItIsWrong)
{
    const struct {
        QString code;
        bool enter;
        int reveals;
        bool wrong;
    } rows[] = {
        {QString(), false, 0, false},
        {QStringLiteral("60418273"), false, 1, false},
        {QStringLiteral("60418273"), true, 1, false},
        {QStringLiteral("6041827"), false, 0, true},
        {QStringLiteral("604182730"), false, 0, true},
        {QStringLiteral(" 60418273"), false, 0, true},
        {QStringLiteral("abc"), true, 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code.toStdString() + (row.enter ? " Enter" : " OK"));
        const Outcome out = enterCode(row.code, row.enter);
        EXPECT_EQ(out.result, QDialog::Accepted);
        EXPECT_EQ(out.reveals, row.reveals);
        EXPECT_EQ(out.emitted, row.reveals);
        ASSERT_EQ(out.messages.size(), row.wrong ? 1u : 0u);
        if (row.wrong) {
            EXPECT_EQ(out.messages[0].text, L"Hasło nieprawidłowe");
            EXPECT_EQ(out.messages[0].icon, MessageIcon::Error);
        }
    }
}
