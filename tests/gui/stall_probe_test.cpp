// The event-loop probe that the measuring tools read: a GUI thread held up shows as a stall of
// about that length, with the moment it began; a loop that keeps turning shows none.
#include "gui/shell/stall_probe.h"

#include "gui/support/qt_app_environment.h"
#include "support/temp_folder.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

const auto* const g_environment = registerQtApp(QtAppTheme::Plain);

class StallProbe : public CTempFolderTest {
  protected:
    // The figures by name; the listed stalls under "stall <n>" (when it began) and "stall <n> length".
    std::map<std::string, long long> figures() const
    {
        std::map<std::string, long long> out;
        std::ifstream in(m_folder / "probe.txt");
        std::string line;
        int stalls = 0;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string key;
            long long value = 0, length = 0;
            fields >> key >> value;
            if (key == "stall") {
                fields >> length;
                const std::string name = "stall " + std::to_string(stalls++);
                out[name] = value;
                out[name + " length"] = length;
            } else {
                out[key] = value;
            }
        }
        return out;
    }
};

} // namespace

TEST_F(StallProbe, HeldUpLoopIsRecordedWithItsLengthAndMoment)
{
    app();
    QElapsedTimer clock;
    clock.start();
    {
        CStallProbe probe(QString::fromStdString((m_folder / "probe.txt").string()), clock);
        QTest::qWait(200);
        EXPECT_LT(figures().at("longest_stall_ms"), 150) << "a turning loop has no stall";

        const qint64 heldFrom = clock.elapsed();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        QTest::qWait(100);
        // Written as soon as the longer stall was seen, not only at the end.
        const auto held = figures();
        EXPECT_GE(held.at("longest_stall_ms"), 400);
        EXPECT_LT(held.at("longest_stall_ms"), 1000);
        EXPECT_LE(held.at("longest_stall_at_ms"), heldFrom);
        EXPECT_GE(held.at("longest_stall_at_ms"), heldFrom - 50);
        EXPECT_EQ(probe.longestMs(), held.at("longest_stall_ms"));
        EXPECT_EQ(held.at("stall 0"), held.at("longest_stall_at_ms"));
        EXPECT_EQ(held.at("stall 0 length"), held.at("longest_stall_ms"));
    }
    EXPECT_GE(figures().at("turns"), 10);
}
