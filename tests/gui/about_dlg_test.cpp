// The About box: its texts, and what the access code does.
#include "gui/shell/about_dlg.h"

#include "base/user_interaction.h"
#include "gui/support/qt_app_environment.h"
#include "gui/skin/gradient_button.h"
#include "gui/skin/gradient_edit.h"
#include "gui/skin/statics.h"
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

TEST(AboutBox, ShowsVersionAndTheHintAndAPlainCodeField)
{
    app();
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About Doravine"));
    EXPECT_EQ(dlg.versionText()->caption(), L"Doravine, Version 1.55");
    EXPECT_EQ(dlg.hintText()->caption(), L"Wprowadź hasło by zobaczyć opcje zaawansowane");
    EXPECT_EQ(dlg.codeEdit()->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(dlg.codeEdit()->text().isEmpty());
}

TEST(AboutBox, EmptyCodeJustCloses)
{
    const Outcome out = enterCode(QString());
    EXPECT_EQ(out.result, QDialog::Accepted);
    EXPECT_TRUE(out.messages.empty());
    EXPECT_EQ(out.reveals, 0);
    EXPECT_EQ(out.emitted, 0);
}

TEST(AboutBox, RightCodeRevealsTheHiddenTabsOnce)
{
    for (bool enter : {false, true}) {
        const Outcome out = enterCode(QStringLiteral("60418273"), enter);
        EXPECT_EQ(out.result, QDialog::Accepted);
        EXPECT_TRUE(out.messages.empty());
        EXPECT_EQ(out.reveals, 1) << (enter ? "Enter" : "OK");
        EXPECT_EQ(out.emitted, 1);
    }
}

TEST(AboutBox, AnyOtherCodeSaysTheCodeIsWrongAndCloses)
{
    for (const QString& code : {QStringLiteral("6041827"), QStringLiteral("604182730"),
                                QStringLiteral(" 60418273"), QStringLiteral("abc")}) {
        const Outcome out = enterCode(code);
        EXPECT_EQ(out.result, QDialog::Accepted);
        ASSERT_EQ(out.messages.size(), 1u) << code.toStdString();
        EXPECT_EQ(out.messages[0].text, L"Hasło nieprawidłowe");
        EXPECT_EQ(out.messages[0].icon, MessageIcon::Error);
        EXPECT_EQ(out.reveals, 0);
    }
    // Enter must not report the wrong code twice.
    const Outcome out = enterCode(QStringLiteral("1234"), true);
    EXPECT_EQ(out.messages.size(), 1u);
}

TEST(AboutBox, CodeComparisonIsExact)
{
    EXPECT_TRUE(CAboutDlg::isAccessCode(L"60418273"));
    EXPECT_FALSE(CAboutDlg::isAccessCode(L"60418273 "));
    EXPECT_FALSE(CAboutDlg::isAccessCode(L""));
}
