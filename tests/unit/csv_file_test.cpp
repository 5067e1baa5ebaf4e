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

TEST(CsvLine, QuotedFieldsAndDecimalCommasBecomePlainFields)
{
    EXPECT_EQ(parse("1;2,5;\"abc\""), (Fields{"1", "2.5", "abc"}));
    EXPECT_EQ(parse("\"a\";\"b\";\"c\""), (Fields{"a", "b", "c"}));
    EXPECT_EQ(parse("\"x\",\"y\""), (Fields{"x", "y"})) << "quote-comma separates like a semicolon";
    EXPECT_EQ(parse("\"1,5\";2"), (Fields{"1.5", "2"})) << "a comma inside quotes is a decimal comma";
    EXPECT_EQ(parse("say \"hi\" there"), (Fields{"say hi there"}));
    EXPECT_EQ(parse("5\t6\t7"), (Fields{"5", "6", "7"}));
    EXPECT_EQ(parse("1,5\t2,25;3"), (Fields{"1.5", "2.25", "3"}));
}

TEST(CsvLine, TheRewritingStepsRunInTheirOrder)
{
    EXPECT_EQ(CCsvFile::normalise("\"a\";\"b\""), "a;b");
    EXPECT_EQ(CCsvFile::normalise("a\";b"), "a;b");
    EXPECT_EQ(CCsvFile::normalise("a\",b"), "a;b");
    // The comma rule comes last: a quote-comma is a separator, not a decimal point.
    EXPECT_EQ(CCsvFile::normalise("1\",2,5"), "1;2.5");
    EXPECT_EQ(CCsvFile::normalise("\"\";\""), ";");
    EXPECT_EQ(CCsvFile::normalise("\t\t"), ";;");
}

TEST(CsvLine, SeparatorsGiveEmptyFieldsExceptAtTheEnd)
{
    EXPECT_EQ(parse("a;;b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(parse(";a"), (Fields{"", "a"}));
    EXPECT_EQ(parse("a;"), (Fields{"a"}));
    EXPECT_EQ(parse("a;;"), (Fields{"a", ""}));
    EXPECT_EQ(parse(";"), (Fields{""}));
    EXPECT_EQ(parse("single"), (Fields{"single"}));
    EXPECT_EQ(parse(""), Fields{});
    EXPECT_EQ(parse("\"\""), Fields{}) << "a line of quotes only is empty once they are gone";
}

TEST(CsvLine, AMultiCharacterSeparatorSplitsToo)
{
    Fields fields;
    CCsvFile::split("a::b::::c::", "::", fields);
    EXPECT_EQ(fields, (Fields{"a", "b", "", "c"}));
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

TEST_F(TempFolder, OpenRemembersTheNameAndCloseForgetsIt)
{
    put("in.csv", "1;2\n3;4\n");
    CCsvFile csv;
    Fields none;
    EXPECT_FALSE(csv.readLine(none)) << "nothing to read while closed";
    EXPECT_TRUE(none.empty());
    ASSERT_TRUE(csv.open(path("in.csv"), false));
    EXPECT_EQ(csv.fileName(), path("in.csv"));
    Fields fields;
    ASSERT_TRUE(csv.readLine(fields));
    ASSERT_TRUE(csv.readLine(fields));
    EXPECT_EQ(fields, (Fields{"1", "2", "3", "4"})) << "fields are appended";
    EXPECT_FALSE(csv.readLine(fields));
    csv.close();
    EXPECT_FALSE(csv.isOpen());
    EXPECT_TRUE(csv.fileName().empty());
}

TEST_F(TempFolder, OpenFailsForMissingFilesAndFolders)
{
    CCsvFile csv;
    EXPECT_FALSE(csv.open(path("missing.csv"), false));
    EXPECT_TRUE(csv.fileName().empty());
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

TEST(OpenFile, AsksTheUserWithTheObjectsRequestAndReturnsTheAnswer)
{
    CRecordingUser user;
    const std::wstring answer = L"/home/kierowca/Doravine/Diag/Odczyt.csv";
    user.answerFile(answer);
    const COpenFile open(L"/home/kierowca/Doravine/Diag/", L"Wheal type files (*.csv)|*.csv|", L"csv", false);
    EXPECT_EQ(open.show(), answer);
    auto requests = user.fileRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].folder, L"/home/kierowca/Doravine/Diag/");
    EXPECT_EQ(requests[0].filter, L"Wheal type files (*.csv)|*.csv|");
    EXPECT_EQ(requests[0].extension, L"csv");
    EXPECT_FALSE(requests[0].save);
    EXPECT_STREQ(open.title(), L"OPEN");

    // No answer left: the user cancels.
    const COpenFile save(L"/tmp/", L"Settings files (*.settings)|*.settings|", L"settings", true);
    EXPECT_EQ(save.show(), L"") << "cancel";
    requests = user.fileRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[1].save);
    EXPECT_STREQ(save.title(), L"SAVE");
    EXPECT_TRUE(user.messages().empty());
    setUserInteraction(nullptr);

    EXPECT_EQ(open.show(), L"") << "without a user every pick is cancelled";
}

// ---- The live-sample thread's file ----

TEST_F(TempFolder, TheDiagFileCreatesAnEmptyFileAndWritesNothing)
{
    CDiagFile file;
    ASSERT_TRUE(file.open(path("live.txt"), true));
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(file.fileName(), path("live.txt"));
    CDiag sample;
    sample.bytes.fill(0x5A);
    EXPECT_TRUE(file.write(sample));
    EXPECT_TRUE(file.write(sample));
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.fileName().empty());
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
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.fileName().empty());
    fs::current_path(before);
}
