#include "records/diag_data.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

CDiag numbered(uint32_t n)
{
    CDiag d;
    d.bytes[0] = static_cast<uint8_t>(n);
    d.setSampleNumber(n);
    return d;
}

} // namespace

TEST(DiagData, TrimsTheOldest250BeforeAppendingAbove500)
{
    CDiagData data;
    for (uint32_t n = 1; n <= 501; ++n)
        data.add(numbered(n));
    EXPECT_EQ(data.count(), 501u); // 501 fit: trimming starts only above 500

    data.add(numbered(502));
    EXPECT_EQ(data.count(), 252u);
    CDiag last;
    ASSERT_TRUE(data.getLast(last));
    EXPECT_EQ(last.sampleNumber(), 502u);

    // The oldest kept record is number 251: 250 left before the new one came.
    for (uint32_t n = 503; n <= 751; ++n)
        data.add(numbered(n));
    EXPECT_EQ(data.count(), 501u);
    data.add(numbered(752));
    EXPECT_EQ(data.count(), 252u);
}

TEST(DiagData, GetLastLeavesTheRecordAloneWhenEmptyAndClearEmpties)
{
    CDiagData data;
    CDiag out = numbered(77);
    EXPECT_FALSE(data.getLast(out));
    EXPECT_EQ(out.sampleNumber(), 77u);

    data.add(numbered(5));
    data.add(numbered(6));
    ASSERT_TRUE(data.getLast(out));
    EXPECT_EQ(out.sampleNumber(), 6u);
    data.clear();
    EXPECT_EQ(data.count(), 0u);
    EXPECT_FALSE(data.getLast(out));
    EXPECT_EQ(out.sampleNumber(), 6u);
}

TEST(DiagData, AWriterAndAReaderNeverSeeMoreThan501)
{
    CDiagData data;
    std::thread writer([&] {
        for (uint32_t n = 1; n <= 5000; ++n)
            data.add(numbered(n));
    });
    size_t largest = 0;
    uint32_t previous = 0;
    for (int i = 0; i < 5000; ++i) {
        largest = std::max(largest, data.count());
        CDiag last;
        if (data.getLast(last)) {
            EXPECT_GE(last.sampleNumber(), previous); // never an older record than seen before
            previous = last.sampleNumber();
        }
    }
    writer.join();
    EXPECT_LE(largest, 501u);
}

TEST(SharedPulseList, TakeEmptiesInOneStepAndDropsLateAppendsUntilOpened)
{
    CSharedPulseList list;
    const CPulseList first = {{10, 5}, {11, 5}};
    list.append(first.data(), first.size());
    EXPECT_EQ(list.take(), first);
    EXPECT_EQ(list.size(), 0u);

    // A pass that was still on its way when the records were taken lands nowhere.
    const CPulse late{99, 9};
    list.append(&late, 1);
    EXPECT_EQ(list.size(), 0u);

    // A save that failed puts its records back in front; the list stays closed.
    list.putBack(first);
    list.append(&late, 1);
    EXPECT_EQ(list.copy(), first);

    list.open();
    list.append(&late, 1);
    EXPECT_EQ(list.copy(), (CPulseList{{10, 5}, {11, 5}, {99, 9}}));
}

TEST(DiagData, CopySinceHandsEachSampleOnceAcrossClearsAndTrims)
{
    CDiagData data;
    const auto t0 = CDiagClock::now();
    std::vector<CDiagEntry> out;
    data.add(numbered(1), t0);
    data.add(numbered(2), t0 + std::chrono::milliseconds(50));
    uint64_t next = data.copySince(0, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].time, t0 + std::chrono::milliseconds(50));
    // Nothing new, nothing again; a clear (a new thread) keeps the count going.
    EXPECT_EQ(data.copySince(next, out), 2u);
    EXPECT_EQ(out.size(), 2u);
    data.clear();
    data.add(numbered(1));
    next = data.copySince(next, out);
    EXPECT_EQ(out.back().serial, 2u);
    // A reader away while 250 were trimmed gets what is left, starting past where it stopped.
    out.clear();
    for (uint32_t n = 2; n <= 502; ++n)
        data.add(numbered(n));
    next = data.copySince(next, out);
    ASSERT_EQ(out.size(), 252u);
    EXPECT_EQ(out.front().serial, 252u);
    EXPECT_EQ(next, data.nextSerial());
}

