// The QApplication every window test needs. It lives from before the first test to after the last:
// created and destroyed by the test environment, not by static destruction, which runs after Qt's
// own globals are gone. Header-only: every file in tests/gui is its own test program.
#pragma once

#include "gui/skin/theme.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <functional>

// Plain: Qt's own look. Program: the program's palette and style sheet, as at its start-up.
enum class QtAppTheme { Plain, Program };

namespace qt_test {

inline QApplication* g_app = nullptr;

// Makes the application object; a plain QApplication unless a test needs the program's own.
using AppFactory = std::function<QApplication*(int& argc, char** argv)>;

class CAppEnvironment : public ::testing::Environment {
  public:
    CAppEnvironment(QtAppTheme theme, AppFactory make) : m_theme(theme), m_make(std::move(make)) {}

    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "doravine_gui_test";
        static char* argv[] = {name, nullptr};
        g_app = m_make ? m_make(argc, argv) : new QApplication(argc, argv);
        if (m_theme == QtAppTheme::Program)
            startupGDIp();
    }
    void TearDown() override
    {
        delete g_app;
        g_app = nullptr;
    }

  private:
    QtAppTheme m_theme;
    AppFactory m_make;
};

} // namespace qt_test

// Registers the application for this test program; call once, at namespace scope, through
// `const auto* const g_environment = registerQtApp(...)`.
inline ::testing::Environment* registerQtApp(QtAppTheme theme, qt_test::AppFactory make = {})
{
    return ::testing::AddGlobalTestEnvironment(new qt_test::CAppEnvironment(theme, std::move(make)));
}

inline QApplication& app()
{
    return *qt_test::g_app;
}
