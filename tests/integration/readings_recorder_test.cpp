// The window's readings log against the virtual controller: every fetched sample reaches the
// file in order; a disk that fills up midway stops it with a message; a folder that cannot take
// the file is reported at once.
#include "operations/readings_recorder.h"

#include "platform/folders.h"
#include "records/readings_format.h"
#include "support/file_size_limit.h"
#include "support/live_link.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using testsupport::waitUntil;

namespace {

std::vector<std::string> linesOf(const std::wstring& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The line without its time: what the sample itself says.
std::string readingsPart(const std::string& line)
{
    return line.substr(line.find(';') + 1);
}

class Recorder : public CLiveLinkTest {
  protected:
    void TearDown() override
    {
        recorder.stop();
        CLiveLinkTest::TearDown();
    }

    CReadingsRecorder recorder{device.m_diagData};
};

} // namespace

TEST_F(Recorder, EverySampleFetchedReachesTheFileInOrder)
{
    // The test taps the store far more often than the recorder does, so it sees every sample.
    uint64_t next = device.m_diagData.nextSerial();
    ASSERT_TRUE(recorder.start(getDiagFolder()));
    live.ResumeLiveSamples();
    std::vector<CDiagEntry> tapped;
    ASSERT_TRUE(waitUntil([&] { return (next = device.m_diagData.copySince(next, tapped)), tapped.size() >= 40; }));
    live.StopLiveSamples();
    threads.joinAll();
    device.m_diagData.copySince(next, tapped);
    recorder.stop();

    EXPECT_EQ(fs::path(recorder.path()).filename().string().rfind("Odczyty_", 0), 0u);
    const std::vector<std::string> lines = linesOf(recorder.path());
    ASSERT_EQ(lines.size(), tapped.size() + 1);
    EXPECT_EQ(recorder.written(), tapped.size());
    EXPECT_EQ(lines[0], kReadingsCsvHeader);
    double previous = -1;
    for (size_t k = 0; k < tapped.size(); ++k) {
        ASSERT_EQ(tapped[k].sample.sampleNumber(), k + 1) << "the tap saw every sample";
        EXPECT_EQ(readingsPart(lines[k + 1]), readingsPart(readingsCsvLine(0, tapped[k].sample))) << k;
        const double seconds = std::stod(lines[k + 1]);
        EXPECT_GT(seconds, previous);
        previous = seconds;
    }
    EXPECT_TRUE(user.messages().empty());
}

TEST_F(Recorder, AFullDiskStopsItWithAMessageAndKeepsWholeLines)
{
    ASSERT_TRUE(recorder.start(getDiagFolder()));
    live.ResumeLiveSamples();
    ASSERT_TRUE(waitUntil([&] { return recorder.written() >= 5; }));
    const std::uintmax_t size = fs::file_size(fs::path(recorder.path()));
    {
        CFileSizeLimit limit(size + 300);
        ASSERT_TRUE(waitUntil([&] { return !recorder.poll(); }));
    }
    ASSERT_EQ(user.messages().size(), 1u);
    EXPECT_EQ(user.messages()[0].icon, MessageIcon::Error);
    EXPECT_EQ(user.texts()[0], L"Błąd zapisu pliku odczytów. Zapis zatrzymano; odczyty zapisane do tej chwili są "
                               L"w pliku:\n" + recorder.path());
    // Whole lines only: the readings log's own test says how a full disk leaves the file.
    EXPECT_EQ(linesOf(recorder.path()).size(), recorder.written() + 1);
    EXPECT_FALSE(recorder.poll());
    EXPECT_EQ(user.messages().size(), 1u) << "the message comes once";
}

TEST_F(Recorder, AFolderThatCannotTakeTheFileIsReportedAtOnce)
{
    const std::wstring folder = fixture.home().path().wstring() + L"/no such folder/";
    EXPECT_FALSE(recorder.start(folder));
    EXPECT_FALSE(recorder.recording());
    ASSERT_EQ(user.texts().size(), 1u);
    EXPECT_EQ(user.texts()[0].rfind(L"Nie można utworzyć pliku odczytów:\n" + folder + L"Odczyty_", 0), 0u);
}
