// The application's last net: an exception that a handler lets through (a link error, a fault of
// ours) is caught in the event dispatch, shown once, and the program goes on handling events.
#include "gui/shell/doravine_app.h"
#include "gui/support/qt_app_environment.h"
#include "platform/ierror.h"
#include "support/recording_user.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Plain, [](int& argc, char** argv) {
    return new CDoravineApplication(argc, argv);
});

CDoravineApplication& program()
{
    return static_cast<CDoravineApplication&>(app());
}

} // namespace

TEST(LastNet, AnExceptionEscapingAHandlerIsShownAndTheProgramGoesOn)
{
    const struct {
        const char* handler;
        std::function<void()> raise;
        const wchar_t* shown; // a part of the message
    } rows[] = {
        {"a click", [] { throw std::runtime_error("bad index"); }, L"bad index"},
        {"a timer", [] { throw new IError(6, L"port gone", __LINE__, L"last_net_test.cpp"); }, L"port gone"},
        {"a timer", [] { throw 42; }, L"Nieoczekiwany błąd programu"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.handler);
        CRecordingUser user;
        const int before = program().escapedExceptions();
        QPushButton button;
        button.resize(80, 20);
        bool clickedAfter = false;
        bool first = true;
        QObject::connect(&button, &QPushButton::clicked, [&] {
            if (!first) {
                clickedAfter = true;
                return;
            }
            first = false;
            if (std::string(row.handler) == "a click")
                row.raise();
        });
        button.show();
        if (std::string(row.handler) == "a timer")
            QTimer::singleShot(0, &program(), row.raise);
        else
            QTest::mouseClick(&button, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !user.texts().empty(); }, 2000));

        EXPECT_EQ(program().escapedExceptions(), before + 1);
        const auto texts = user.texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].rfind(L"Nieoczekiwany błąd programu. Praca trwa dalej.", 0), 0u);
        EXPECT_NE(texts[0].find(row.shown), std::wstring::npos);
        EXPECT_EQ(user.messages()[0].icon, MessageIcon::Error);
        // The window goes on: the next click is handled as usual.
        first = false;
        QTest::mouseClick(&button, Qt::LeftButton);
        EXPECT_TRUE(clickedAfter);
    }
}
