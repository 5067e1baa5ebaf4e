// A readings log read back: what the recorder wrote comes back, a foreign or empty file gives no
// readings, damaged and cut lines are left out; and what the replay view takes from the series.
#include "files/readings_log.h"
#include "files/readings_log_reader.h"

#include "support/diag_samples.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using Result = CReadingsLogReader::Result;
const std::string kHeader = "time;rpm;tps;map;advance;supply;switch\n";

class ReadingsLogReader : public CTempFolderTest {
  protected:
    CReadingsLogReader reader;
};

} // namespace

TEST_F(ReadingsLogReader, ReadsBackWhatTheRecorderWrote)
{
    const auto start = CDiagClock::now();
    {
        CReadingsLog log;
        ASSERT_TRUE(log.create(m_folder / "log.csv"));
        std::vector<CDiagEntry> entries;
        for (int i = 0; i < 3; ++i)
            entries.push_back({testsupport::diagSample(static_cast<uint16_t>(850 + 100 * i), 200, 512, 588,
                                                       static_cast<uint16_t>(123 + i), static_cast<uint8_t>(i % 2)),
                               start + std::chrono::milliseconds(50 * i), 0});
        ASSERT_TRUE(log.append(entries, start));
    }
    ASSERT_EQ(reader.read(m_folder / "log.csv"), Result::Read);
    const auto& s = reader.series().samples();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_DOUBLE_EQ(s[2].time, 0.1);
    EXPECT_FLOAT_EQ(s[2].rpm, 1050);
    EXPECT_FLOAT_EQ(s[2].advance, 12.5f);
    EXPECT_FLOAT_EQ(s[0].tps, 3.0f);
    EXPECT_FLOAT_EQ(s[0].map, 1.65f);
    EXPECT_FLOAT_EQ(s[0].supply, 12.0f);
    EXPECT_TRUE(s[1].switchOn);
    EXPECT_FALSE(s[2].switchOn);
    EXPECT_EQ(reader.skippedLines(), 0u);
    EXPECT_EQ(reader.read(m_folder / "missing.csv"), Result::CannotOpen);
}

TEST_F(ReadingsLogReader, BrokenForeignAndEmptyFiles)
{
    const std::string a = "0.000;850;3.00;1.65;12.30;12.00;1\n";
    const std::string b = "0.050;900;3.00;1.65;12.40;12.00;0\n";
    const struct {
        const char* what;
        std::string bytes;
        Result result;
        size_t samples, skipped;
        bool cut;
    } cases[] = {
        {"whole log", kHeader + a + b, Result::Read, 2, 0, false},
        {"CR LF line ends", "time;rpm;tps;map;advance;supply;switch\r\n0.0;1;2;3;4;5;0\r\n", Result::Read, 1, 0,
         false},
        {"cut last line", kHeader + a + "0.100;950;3.0", Result::Read, 1, 0, true},
        {"cut last line that looks whole", kHeader + a + b.substr(0, b.size() - 1), Result::Read, 1, 0, true},
        {"damaged middle lines", kHeader + a + "0.025;9x0;3;1;1;1;1\n;;;\n0.03;1;2;3;4;5;7\n0.04;1;2;3;4;5\n" +
                                     "0.045;1;2;3;4;5;1;9\nnan;1;2;3;4;5;1\n" + b,
         Result::Read, 2, 6, false},
        {"only the header", kHeader, Result::NoReadings, 0, 0, false},
        {"empty file", "", Result::NoReadings, 0, 0, false},
        {"only damaged lines", kHeader + "x\n", Result::NoReadings, 0, 1, false},
        {"settings file", "\x01\x02\x03 binary", Result::Foreign, 0, 0, false},
        {"other CSV", "time;rpm\n0;850\n", Result::Foreign, 0, 0, false},
        {"header with more columns", "time;rpm;tps;map;advance;supply;switch;lambda\n" + a, Result::Foreign, 0, 0,
         false},
        {"cut header", "time;rpm;tps", Result::Foreign, 0, 0, false},
    };
    for (const auto& c : cases) {
        put("log.csv", c.bytes);
        EXPECT_EQ(reader.read(m_folder / "log.csv"), c.result) << c.what;
        EXPECT_EQ(reader.series().size(), c.samples) << c.what;
        EXPECT_EQ(reader.skippedLines(), c.skipped) << c.what;
        EXPECT_EQ(reader.cutLastLine(), c.cut) << c.what;
    }
    for (Result r : {Result::NoReadings, Result::Foreign, Result::CannotOpen})
        EXPECT_FALSE(CReadingsLogReader::problemText(r).empty());
}

TEST_F(ReadingsLogReader, ASampleStampedBeforeTheStartStaysInTimeOrder)
{
    ASSERT_EQ(reader.parse(kHeader + "0.051;900;3;1;1;1;1\n0.000;1200;3;1;1;1;1\n0.100;1;3;1;1;1;1\n"), Result::Read);
    const auto& s = reader.series().samples();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_DOUBLE_EQ(s[1].time, 0.051);
    EXPECT_FLOAT_EQ(s[1].rpm, 1200);
}

TEST(ReadingsSeries, IndexEnvelopeAndDwellOverASpan)
{
    CReadingsSeries series;
    // 0.0 .. 0.9 s, ten samples, rpm rising by 100 from 1000; MAP decides the cell's row.
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(series.append({i * 0.1, 1000.0f + 100 * i, 0, i < 5 ? 1.0f : 2.0f, 0, 0, false}));
    EXPECT_FALSE(series.append({0.5, 0, 0, 0, 0, 0, false}));
    const struct {
        double t;
        size_t index;
    } at[] = {{-1, 0}, {0, 0}, {0.05, 0}, {0.1, 1}, {0.55, 5}, {0.9, 9}, {50, 9}};
    for (const auto& c : at)
        EXPECT_EQ(series.indexAt(c.t), c.index) << c.t;

    const auto env = series.envelope(LogLane::Rpm, 0.0, 1.0, 2);
    ASSERT_EQ(env.size(), 2u);
    EXPECT_FLOAT_EQ(env[0].first, 1000);
    EXPECT_FLOAT_EQ(env[0].second, 1400);
    EXPECT_FLOAT_EQ(env[1].first, 1400); // the sample in force at the slice's start joins the line
    EXPECT_FLOAT_EQ(env[1].second, 1900);
    // A slice narrower than the samples' spacing still carries the value in force.
    const auto fine = series.envelope(LogLane::Map, 0.0, 0.9, 90);
    ASSERT_EQ(fine.size(), 90u);
    EXPECT_FLOAT_EQ(fine[49].second, 1.0f);
    EXPECT_FLOAT_EQ(fine[51].first, 2.0f);
    EXPECT_TRUE(series.envelope(LogLane::Rpm, 1.0, 1.0, 10).empty());

    const auto cellOf = [](double, double map) { return CMapCell{0, map < 1.5 ? 0 : 1}; };
    const CMapDwell whole = series.dwell(0.0, 0.9, cellOf);
    EXPECT_NEAR(whole.seconds(0, 0), 0.5, 1e-9);
    EXPECT_NEAR(whole.seconds(0, 1), 0.4, 1e-9);
    const CMapDwell zoomed = series.dwell(0.25, 0.45, cellOf);
    EXPECT_NEAR(zoomed.seconds(0, 0), 0.2, 1e-9);
    EXPECT_EQ(zoomed.seconds(0, 1), 0.0);
}
