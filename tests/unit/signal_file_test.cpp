#include "files/signal_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

#include "platform/ierror.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class SignalFile : public CTempFolderTest {};

} // namespace

TEST_F(SignalFile, WritesTheLinesByteForByteReplacingAnyOldFile)
{
    put("pomiar źrebię.csv", std::string(10'000, 'x'));
    const struct {
        CPulseList pulses;
        std::string bytes;
    } cases[] = {
        {{{1234, 617}, {0, 0}, {65535, 65535}, {7, 40000}},
         "0 ; 1234 ; 617 \r\r\n1 ; 0 ; 0 \r\r\n2 ; 65535 ; 65535 \r\r\n3 ; 7 ; 40000 \r\r\n"},
        {{{5, 2}}, "0 ; 5 ; 2 \r\r\n"},
        {{}, ""}, // no records, no lines
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writeSignalFile(path("pomiar źrebię.csv"), c.pulses));
        EXPECT_EQ(bytesOf("pomiar źrebię.csv"), c.bytes);
    }
}

TEST_F(SignalFile, FiveHundredRecordsMakeFiveHundredNumberedLinesThatReadBack)
{
    CPulseList pulses;
    for (uint32_t i = 0; i < 500; ++i)
        pulses.push_back({static_cast<uint16_t>(i * 2654435761u >> 16), static_cast<uint16_t>(i * 40503u)});
    ASSERT_TRUE(writeSignalFile(path("Odczyt.csv"), pulses));
    CPulseList back = {{9, 9}}; // replaced, not appended to
    SignalReadReport report;
    ASSERT_TRUE(readSignalFile(path("Odczyt.csv"), back, &report));
    EXPECT_EQ(back, pulses);
    EXPECT_EQ(report.lines, 500u);
    EXPECT_EQ(report.skipped, 0u);
    EXPECT_EQ(report.notNumbers, 0u);
}

TEST_F(SignalFile, FilesFromOtherToolsReadTheSame)
{
    // LF or CR LF line ends, spreadsheet quotes, tabs, no index column blanks, no final line end.
    put("other.csv", "0;100;50\n1\t200\t60\r\n\"2\";\"300\";\"70\"\n3 ; 400 ; 80");
    CPulseList pulses;
    ASSERT_TRUE(readSignalFile(path("other.csv"), pulses));
    EXPECT_EQ(pulses, (CPulseList{{100, 50}, {200, 60}, {300, 70}, {400, 80}}));
}

TEST_F(SignalFile, TextWhereNumbersShouldBeReadsAsZeroAndShortLinesAreSkipped)
{
    put("bad.csv", "0 ; abc ; 617 \r\r\n"
                   "\r\n"
                   "1 ; 1234 \r\r\n"
                   "2 ; 12ms ; x9 \r\r\n"
                   "nonsense\n"
                   "3 ; 500 ; 250 \r\r\n");
    CPulseList pulses;
    SignalReadReport report;
    ASSERT_TRUE(readSignalFile(path("bad.csv"), pulses, &report));
    EXPECT_EQ(pulses, (CPulseList{{0, 617}, {12, 0}, {500, 250}}));
    EXPECT_EQ(report.lines, 6u);
    EXPECT_EQ(report.skipped, 3u) << "the CR-only line, the two-field line and the one-field line";
    EXPECT_EQ(report.notNumbers, 2u);
}

TEST_F(SignalFile, AnUnreadableFileLeavesTheRecordsAlone)
{
    CPulseList pulses = {{1, 2}, {3, 4}};
    EXPECT_FALSE(readSignalFile(path("missing.csv"), pulses));
    EXPECT_FALSE(readSignalFile(utf82unicode(m_folder.string()), pulses));
    EXPECT_EQ(pulses, (CPulseList{{1, 2}, {3, 4}}));
}

TEST_F(SignalFile, AFileThatCannotBeWrittenIsReported)
{
    EXPECT_FALSE(writeSignalFile(path("no/such/folder/Odczyt.csv"), {{1, 2}}));
    EXPECT_FALSE(writeSignalFile(utf82unicode(m_folder.string()), {{1, 2}}));
    if (fs::exists("/dev/full")) {
        // A full disk must not pass for a saved signal; the records are enough to need a flush.
        const CPulseList many(20'000, CPulse{1000, 500});
        EXPECT_FALSE(writeSignalFile(L"/dev/full", many));
    }
}

TEST(SignalNumbers, ReadLikeAtoiWithoutItsOverflowAndCutTo16Bits)
{
    EXPECT_EQ(signalAtoi(" 1234 "), 1234);
    EXPECT_EQ(signalAtoi(" 617 \r\r"), 617);
    EXPECT_EQ(signalAtoi("\t\v +7x"), 7);
    EXPECT_EQ(signalAtoi("-12"), -12);
    EXPECT_EQ(signalAtoi("- 12"), 0);
    EXPECT_EQ(signalAtoi("abc"), 0);
    EXPECT_EQ(signalAtoi(""), 0);
    EXPECT_EQ(signalAtoi("2147483647"), INT_MAX);
    EXPECT_EQ(signalAtoi("2147483648"), INT_MAX);
    EXPECT_EQ(signalAtoi("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(signalAtoi("-2147483648"), INT_MIN);
    EXPECT_EQ(signalAtoi("-99999999999999999999999999"), INT_MIN);
    EXPECT_EQ(signalAtoi("1.5"), 1) << "decimal points stop the number";

    CPulse pulse;
    ASSERT_TRUE(pulseFromFields({"0 ", " 70000 ", " -1 "}, pulse));
    EXPECT_EQ(pulse.period, 70000 - 65536);
    EXPECT_EQ(pulse.highTime, 65535);
    ASSERT_TRUE(pulseFromFields({"x", " 99999999999 ", "65536", "extra"}, pulse));
    EXPECT_EQ(pulse.period, 65535) << "saturated to INT_MAX, then cut";
    EXPECT_EQ(pulse.highTime, 0);
    EXPECT_FALSE(pulseFromFields({"1", "2"}, pulse));
}

TEST(SignalBytes, ReadFromMemoryAsFromAFile)
{
    CPulseList pulses;
    readSignalBytes(formatSignalLine(0, {3, 1}) + formatSignalLine(1, {4, 2}), pulses);
    EXPECT_EQ(pulses, (CPulseList{{3, 1}, {4, 2}}));
    EXPECT_EQ(formatSignalLine(499, {1234, 617}), "499 ; 1234 ; 617 \r\r\n");
}
