// The readings log's bytes for known samples, and what a full disk or a vanished file leaves.
#include "files/readings_log.h"

#include "support/comma_locale.h"
#include "support/diag_samples.h"
#include "support/file_size_limit.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

// TPS 3.00 V, MAP 1.65 V, supply 12.00 V, switch on; the time in ms after start.
CDiagEntry entry(CDiagClock::time_point start, int millis, uint16_t rpm, uint16_t advance)
{
    return {testsupport::diagSample(rpm, 200, 512, 588, advance, 1), start + std::chrono::milliseconds(millis), 0};
}

class ReadingsLog : public CTempFolderTest {
  protected:
    // Windows removes no file that is still open: the log lets go of it first.
    void TearDown() override
    {
        log.close();
        CTempFolderTest::TearDown();
    }

    const CDiagClock::time_point start = CDiagClock::now();
    CReadingsLog log;
};

} // namespace

TEST_F(ReadingsLog, HeaderThenOneLinePerSampleWithTheTimeSinceTheStart)
{
    CCommaLocale comma; // a Polish desktop must not turn the points into commas
    ASSERT_TRUE(log.create(m_folder / "log.csv"));
    ASSERT_TRUE(log.append({entry(start, 0, 850, 123), entry(start, 51, 900, 124)}, start));
    ASSERT_TRUE(log.append({}, start));
    // A sample stamped a hair before the start counts from 0.
    ASSERT_TRUE(log.append({entry(start, -1, 1200, 200), entry(start, 125432, 3000, 55)}, start));
    EXPECT_EQ(log.lines(), 4u);
    // On disk before the log is closed: a crash loses nothing already appended.
    EXPECT_EQ(bytesOf("log.csv"), "time;rpm;tps;map;advance;supply;switch\n"
                                  "0.000;850;3.00;1.65;12.30;12.00;1\n"
                                  "0.051;900;3.00;1.65;12.40;12.00;1\n"
                                  "0.000;1200;3.00;1.65;20.00;12.00;1\n"
                                  "125.432;3000;3.00;1.65;5.50;12.00;1\n");
}

TEST_F(ReadingsLog, NeverReplacesAFileAndNamesByDateAndTime)
{
    put("old.csv", "keep");
    EXPECT_FALSE(log.create(m_folder / "old.csv"));
    EXPECT_EQ(bytesOf("old.csv"), "keep");
    EXPECT_FALSE(log.create(m_folder / "missing" / "log.csv"));
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(CReadingsLog::fileNameFor(t), L"Odczyty_2026-12-07_09-05-03.csv");
}

TEST_F(ReadingsLog, AFullDiskMidwayKeepsTheWholeLinesWrittenBefore)
{
    if (!CFileSizeLimit::supported())
        GTEST_SKIP() << "no file-size limit to make a write fail part-way";
    ASSERT_TRUE(log.create(m_folder / "log.csv"));
    ASSERT_TRUE(log.append({entry(start, 0, 850, 123)}, start));
    const std::string before = bytesOf("log.csv");
    const std::vector<CDiagEntry> many(200, entry(start, 50, 850, 123));
    {
        CFileSizeLimit limit(before.size() + 100); // room for a few lines, not for 200
        EXPECT_FALSE(log.append(many, start));
    }
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(bytesOf("log.csv"), before);
    EXPECT_EQ(log.lines(), 1u);
}

TEST_F(ReadingsLog, AFileRemovedUnderTheLogStopsIt)
{
    ASSERT_TRUE(log.create(m_folder / "gone.csv"));
    std::error_code error;
    std::filesystem::remove(m_folder / "gone.csv", error);
#ifdef _WIN32
    // Windows refuses to remove a file open for writing: the log goes on in it.
    EXPECT_TRUE(error);
    EXPECT_TRUE(log.append({entry(start, 0, 850, 123)}, start));
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(log.lines(), 1u);
#else
    ASSERT_FALSE(error) << error.message();
    EXPECT_FALSE(log.append({entry(start, 0, 850, 123)}, start));
    EXPECT_FALSE(log.isOpen());
#endif
}
