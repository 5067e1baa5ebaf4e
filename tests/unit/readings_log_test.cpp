// The readings log's bytes for known samples, and what a failing disk leaves behind.
#include "files/readings_log.h"

#include "support/comma_locale.h"
#include "support/diag_samples.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

CDiagEntry entry(CDiagClock::time_point start, int millis, uint16_t rpm, uint16_t advance)
{
    CDiagEntry e;
    // TPS 3.00 V, MAP 1.65 V, supply 12.00 V, switch on.
    e.sample = testsupport::diagSample(rpm, 200, 512, 588, advance, 1);
    e.time = start + std::chrono::milliseconds(millis);
    return e;
}

class ReadingsLog : public CTempFolderTest {};

// Lets writes beyond a size fail as on a full disk, for the object's lifetime.
class CFileSizeLimit {
  public:
    explicit CFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }

  private:
    rlimit m_previous{};
    void (*m_handler)(int);
};

} // namespace

TEST_F(ReadingsLog, HeaderThenOneLinePerSampleWithTheTimeSinceTheStart)
{
    CCommaLocale comma; // a Polish desktop must not turn the points into commas
    const auto start = CDiagClock::now();
    CReadingsLog log;
    ASSERT_TRUE(log.create(m_folder / "log.csv"));
    ASSERT_TRUE(log.append({entry(start, 0, 850, 123), entry(start, 51, 900, 124)}, start));
    ASSERT_TRUE(log.append({}, start));
    // A sample stamped a hair before the start counts from 0.
    ASSERT_TRUE(log.append({entry(start, -1, 1200, 200), entry(start, 125432, 3000, 55)}, start));
    EXPECT_EQ(log.lines(), 4u);
    // Everything is on disk before close: a crash loses nothing already appended.
    const std::string expected = "time;rpm;tps;map;advance;supply;switch\n"
                                 "0.000;850;3.00;1.65;12.30;12.00;1\n"
                                 "0.051;900;3.00;1.65;12.40;12.00;1\n"
                                 "0.000;1200;3.00;1.65;20.00;12.00;1\n"
                                 "125.432;3000;3.00;1.65;5.50;12.00;1\n";
    EXPECT_EQ(bytesOf("log.csv"), expected);
    log.close();
    EXPECT_EQ(bytesOf("log.csv"), expected);
}

TEST_F(ReadingsLog, NeverReplacesAFileAndNamesByDateAndTime)
{
    put("old.csv", "keep");
    CReadingsLog log;
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
    const auto start = CDiagClock::now();
    CReadingsLog log;
    ASSERT_TRUE(log.create(m_folder / "log.csv"));
    ASSERT_TRUE(log.append({entry(start, 0, 850, 123)}, start));
    const std::string before = bytesOf("log.csv");
    std::vector<CDiagEntry> many;
    for (int k = 0; k < 200; ++k)
        many.push_back(entry(start, 50 * k, 850, 123));
    {
        // Room for a few more bytes, not for 200 lines: the write stops part way.
        CFileSizeLimit limit(before.size() + 100);
        EXPECT_FALSE(log.append(many, start));
    }
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(bytesOf("log.csv"), before);
    EXPECT_EQ(log.lines(), 1u);
    EXPECT_FALSE(log.append({entry(start, 0, 850, 123)}, start));
}

TEST_F(ReadingsLog, AFileRemovedUnderTheLogStopsIt)
{
    const auto start = CDiagClock::now();
    CReadingsLog log;
    ASSERT_TRUE(log.create(m_folder / "sub.csv"));
    std::filesystem::remove(m_folder / "sub.csv");
    EXPECT_FALSE(log.append({entry(start, 0, 850, 123)}, start));
    EXPECT_FALSE(log.isOpen());
}
