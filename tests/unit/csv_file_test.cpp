#include "files/csv_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ierror.h"
#include "records/settings_record.h"
#include "support/recording_user.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using Fields = std::vector<std::string>;

Fields parse(const std::string& raw)
{
    Fields fields;
    CCsvFile::parsePiece(raw, ";", fields);
    return fields;
}

// Every line of bytes as readLine delivers it; a line's vector is empty for an empty line.
std::vector<Fields> readAll(const std::string& bytes)
{
    CCsvFile csv;
    csv.openBytes(bytes);
    std::vector<Fields> lines;
    Fields fields;
    while (csv.readLine(fields)) {
        lines.push_back(fields);
        fields.clear();
    }
    EXPECT_TRUE(fields.empty()) << "the end of the file appends nothing";
    return lines;
}

class TempFolder : public CTempFolderTest {};

} // namespace

// ---- Normalisation and splitting ----

TEST(CsvLine, RewritingAndSplitting)
{
    const struct {
        const char* raw;
        Fields fields;
        const char* why;
    } cases[] = {
        {"1;2,5;\"abc\"", {"1", "2.5", "abc"}, "quotes go, a decimal comma becomes a point"},
        {"\"x\",\"y\"", {"x", "y"}, "quote-comma separates like a semicolon"},
        {"a\";b", {"a", "b"}, "quote-semicolon"},
        {"\"1,5\";2", {"1.5", "2"}, "a comma inside quotes is a decimal comma"},
        {"1\",2,5", {"1", "2.5"}, "the comma rule comes last: a quote-comma is a separator"},
        {"say \"hi\" there", {"say hi there"}, "quotes inside a field"},
        {"1,5\t2,25;3", {"1.5", "2.25", "3"}, "tabs separate"},
        {"\t\t", {"", ""}, "tabs only"},
        {"a;;b", {"a", "", "b"}, "an empty field between"},
        {";a", {"", "a"}, "an empty first field"},
        {"a;", {"a"}, "no empty field at the end"},
        {"a;;", {"a", ""}, "only the last one is dropped"},
        {";", {""}, "a lone separator"},
        {"", {}, "nothing"},
        {"\"\"", {}, "a line of quotes only is empty once they are gone"},
        {"\"\";\"", {""}, "quotes around a separator"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse(c.raw), c.fields) << c.why;
}

// ---- Reading lines ----

TEST(CsvRead, ASignalFileLineKeepsItsBlanksAndCarriageReturns)
{
    const auto lines = readAll("7 ; 1234 ; 617 \r\r\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], (Fields{"7 ", " 1234 ", " 617 \r\r"}));
}

TEST(CsvRead, EmptyLinesAreTrueWithoutFieldsAndTheEndIsFalse)
{
    const auto lines = readAll("1;2\n\n\r\n3\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], (Fields{"1", "2"}));
    EXPECT_TRUE(lines[1].empty());
    EXPECT_EQ(lines[2], (Fields{"\r"})) << "a lone CR is text, not a line end";
    EXPECT_EQ(lines[3], (Fields{"3"}));

    EXPECT_TRUE(readAll("").empty());
    const auto unterminated = readAll("a;b");
    ASSERT_EQ(unterminated.size(), 1u) << "the last line needs no LF";
    EXPECT_EQ(unterminated[0], (Fields{"a", "b"}));
}

TEST(CsvRead, ALineOfAHundredThousandBytesArrivesInPiecesOf1023)
{
    std::string line;
    while (line.size() < 99'999)
        line += "0123456789";
    line.resize(99'999);
    const auto lines = readAll(line + "\nnext;line\n");
    // 97 full pieces, then 768 bytes with the LF, then the following line.
    ASSERT_EQ(lines.size(), 99u);
    std::string joined;
    for (size_t i = 0; i < 98; ++i) {
        ASSERT_EQ(lines[i].size(), 1u);
        EXPECT_EQ(lines[i][0].size(), i < 97 ? 1023u : 768u) << "piece " << i;
        joined += lines[i][0];
    }
    EXPECT_EQ(joined, line);
    EXPECT_EQ(lines[98], (Fields{"next", "line"}));

    // A line of exactly 1023 bytes leaves its LF as an empty line of its own.
    const auto exact = readAll(std::string(1023, 'x') + "\ny\n");
    ASSERT_EQ(exact.size(), 3u);
    EXPECT_TRUE(exact[1].empty());
    EXPECT_EQ(exact[2], (Fields{"y"}));
}

TEST(CsvRead, NulBytesStayInTheirField)
{
    const auto lines = readAll(std::string("a\0b;c\n", 6));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], (Fields{std::string("a\0b", 3), "c"}));
}

// ---- Files ----

TEST_F(TempFolder, ReadingAppendsFieldsAndNeedsAnOpenFile)
{
    put("in.csv", "1;2\n3;4\n");
    CCsvFile csv;
    Fields fields;
    EXPECT_FALSE(csv.readLine(fields)) << "nothing to read while closed";
    ASSERT_TRUE(csv.open(path("in.csv"), false));
    ASSERT_TRUE(csv.readLine(fields));
    ASSERT_TRUE(csv.readLine(fields));
    EXPECT_EQ(fields, (Fields{"1", "2", "3", "4"})) << "fields are appended";
    EXPECT_FALSE(csv.readLine(fields));
}

TEST_F(TempFolder, OpenFailsForMissingFilesAndFolders)
{
    CCsvFile csv;
    EXPECT_FALSE(csv.open(path("missing.csv"), false));
    EXPECT_FALSE(csv.open(utf82unicode(m_folder.string()), false)) << "a folder is not a file";
    EXPECT_FALSE(csv.open(path("no/such/folder.csv"), true));
}

TEST_F(TempFolder, OpenForWritingEmptiesTheFile)
{
    put("old.csv", "old contents\n");
    CCsvFile csv;
    ASSERT_TRUE(csv.open(path("old.csv"), true));
    csv.close();
    EXPECT_EQ(bytesOf("old.csv"), "");
}

TEST_F(TempFolder, NamesWithPolishLettersOpen)
{
    const std::string name = "Odczyt żółć.csv";
    put(name, "1;2\n");
    CCsvFile csv;
    ASSERT_TRUE(csv.open(utf82unicode((m_folder / name).string()), false));
    Fields fields;
    ASSERT_TRUE(csv.readLine(fields));
    EXPECT_EQ(fields, (Fields{"1", "2"}));
}

// ---- The file dialog ----

TEST(OpenFile, AsksTheUserAndACancelOrNoUserGivesNothing)
{
    CRecordingUser user;
    user.answerFile(L"/home/kierowca/Odczyt.csv");
    const COpenFile open(L"/home/kierowca/", L"Wheal type files (*.csv)|*.csv|", L"csv", false);
    EXPECT_EQ(open.show(), L"/home/kierowca/Odczyt.csv");
    ASSERT_EQ(user.fileRequests().size(), 1u);
    EXPECT_EQ(user.fileRequests()[0].folder, L"/home/kierowca/");
    EXPECT_EQ(open.show(), L"") << "cancel";
    setUserInteraction(nullptr);
    EXPECT_EQ(open.show(), L"") << "without a user every pick is cancelled";
}

// ---- The live-sample thread's file ----

TEST_F(TempFolder, TheDiagFileCreatesAnEmptyFileAndWritesNothing)
{
    CDiagFile file;
    ASSERT_TRUE(file.open(path("live.txt"), true));
    CDiag sample;
    sample.bytes.fill(0x5A);
    EXPECT_TRUE(file.write(sample));
    file.close();
    EXPECT_TRUE(fs::exists(m_folder / "live.txt"));
    EXPECT_EQ(bytesOf("live.txt"), "");
}

TEST_F(TempFolder, TheDiagFileRefusesFolderNamesAndMissingFiles)
{
    const fs::path before = fs::current_path();
    fs::current_path(m_folder);
    CDiagFile file;
    EXPECT_FALSE(file.open(L"\\", true)) << "the thread's usual name names a folder";
    EXPECT_FALSE(file.open(L"sub/", true));
    EXPECT_FALSE(file.open(L"", true));
    EXPECT_TRUE(fs::is_empty(m_folder)) << "no stray file is left behind";
    EXPECT_FALSE(file.open(L"missing.txt", false));
    fs::current_path(before);
}
