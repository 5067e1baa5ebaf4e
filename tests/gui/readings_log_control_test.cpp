// The File menu's readings log: the tick, the status strip's mark with its duration, and a file
// in the Diag folder that takes the samples while it runs.
#include "gui/shell/readings_log_control.h"

#include "gui/shell/bottom_dlg.h"
#include "gui/support/qt_app_environment.h"
#include "operations/readings_recorder.h"
#include "platform/folders.h"
#include "support/recording_user.h"
#include "support/sim_fixture.h"

#include <QAction>

#include <gtest/gtest.h>

#include <fstream>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Program);

} // namespace

TEST(ReadingsLogControl, TheMenuTickAndTheStripFollowTheRecording)
{
    CTempHome home;
    CRecordingUser user;
    CDiagData store;
    CReadingsRecorder recorder(store);
    QAction action(QStringLiteral("Zapisuj odczyty do pliku"));
    CBottomDlg strip;
    CReadingsLogControl control(recorder, &action, [&] { return &strip; });
    EXPECT_TRUE(action.isCheckable());
    EXPECT_FALSE(strip.shownRecording());

    control.toggle();
    ASSERT_TRUE(recorder.recording());
    EXPECT_TRUE(action.isChecked());
    EXPECT_TRUE(strip.shownRecording());
    EXPECT_EQ(strip.recordingText(), L"\u25CF Zapis odczytów 0:00:00");
    EXPECT_EQ(std::filesystem::path(recorder.path()).parent_path(),
              std::filesystem::path(getDiagFolder()).parent_path());
    CDiag sample;
    sample.bytes[0] = 0x52; // 850 RPM
    sample.bytes[1] = 0x03;
    store.add(sample);

    control.toggle();
    EXPECT_FALSE(recorder.recording());
    EXPECT_FALSE(action.isChecked());
    EXPECT_FALSE(strip.shownRecording());
    EXPECT_EQ(recorder.written(), 1u) << "stopping writes what was waiting";
    std::ifstream in(std::filesystem::path(recorder.path()));
    std::string header, line;
    std::getline(in, header);
    std::getline(in, line);
    EXPECT_EQ(header, "time;rpm;tps;map;advance;supply;switch");
    EXPECT_NE(line.find(";850;"), std::string::npos) << line;
    EXPECT_TRUE(user.messages().empty());
}

TEST(ReadingsLogControl, TheStripShowsHoursMinutesAndSeconds)
{
    for (auto [seconds, text] : {std::pair{0LL, L"0:00:00"}, {59LL, L"0:00:59"}, {61LL, L"0:01:01"},
                                 {3723LL, L"1:02:03"}, {-5LL, L"0:00:00"}})
        EXPECT_EQ(CBottomDlg::durationText(seconds), text) << seconds;
}
