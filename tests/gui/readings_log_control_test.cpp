// The File menu's readings log: the tick and the status strip's mark with its duration follow
// the recording, whose file in the Diag folder takes the samples.
#include "gui/shell/readings_log_control.h"

#include "gui/shell/bottom_dlg.h"
#include "gui/support/qt_app_environment.h"
#include "operations/readings_recorder.h"
#include "support/diag_samples.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QAction>

#include <gtest/gtest.h>

#include <fstream>

namespace {
const auto* const g_environment = registerQtApp(QtAppTheme::Program);
}

TEST(ReadingsLogControl, TheMenuTickAndTheStripFollowTheRecording)
{
    CTempHome home;
    CRecordingUser user;
    CDiagData store;
    CReadingsRecorder recorder(store);
    QAction action;
    CBottomDlg strip;
    CReadingsLogControl control(recorder, &action, [&] { return &strip; });

    control.toggle();
    ASSERT_TRUE(recorder.recording());
    EXPECT_TRUE(action.isCheckable() && action.isChecked());
    EXPECT_TRUE(strip.shownRecording());
    EXPECT_EQ(strip.recordingText(), L"\u25CF Zapis odczytów 0:00:00");
    store.add(testsupport::diagSample(850, 0, 0, 0, 0, 1));

    control.toggle();
    EXPECT_FALSE(recorder.recording() || action.isChecked() || strip.shownRecording());
    std::ifstream in(std::filesystem::path(recorder.path()));
    std::string header, line;
    std::getline(in, header);
    std::getline(in, line);
    EXPECT_NE(line.find(";850;"), std::string::npos) << "stopping writes what was waiting: " << line;
    EXPECT_TRUE(user.messages().empty());

    for (auto [seconds, text] : {std::pair{59LL, L"0:00:59"}, {3723LL, L"1:02:03"}, {-5LL, L"0:00:00"}})
        EXPECT_EQ(CBottomDlg::durationText(seconds), text) << seconds;
}
