// The live-sample store and the captured pulse list, both shared between a worker thread that
// fills them and the GUI thread that reads them; each has its own lock.
#pragma once

#include "records/pulse.h"
#include "platform/threads.h"
#include "records/settings_record.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

using CDiagClock = std::chrono::steady_clock;

// A stored sample with what the readers of its history need: when it arrived, and its place in
// the sequence of every sample the store ever took (counting on across clears and threads).
struct CDiagEntry {
    CDiag sample;
    CDiagClock::time_point time;
    uint64_t serial = 0;
};

// Live samples in arrival order. Above 500 records the oldest 250 go before the next one is
// appended, so it never holds more than 501.
class CDiagData {
  public:
    static constexpr size_t kTrimAbove = 500;
    static constexpr size_t kTrimCount = 250;

    // Stamped with the time of the call.
    void add(const CDiag& sample);
    void add(const CDiag& sample, CDiagClock::time_point time);
    size_t count();
    // Copies the newest record into out; leaves out unchanged when the store is empty.
    bool getLast(CDiag& out);
    void clear();

    // Appends every stored record whose serial is at least `from` to out, oldest first, and
    // answers the serial the next call starts from. A reader that comes back often enough (the
    // store keeps at least 250 records, over 12 s of samples) sees every sample exactly once;
    // records trimmed before it came are skipped, and out then starts past `from`.
    uint64_t copySince(uint64_t from, std::vector<CDiagEntry>& out);
    // The serial that the next sample will get: a reader starting now passes it to copySince.
    uint64_t nextSerial();

  private:
    CMSGMutex m_mutex;
    std::vector<CDiagEntry> m_samples;
    uint64_t m_nextSerial = 0;
};

// The crank signal read from the controller, appended by the capture thread while the signal
// page reads its size on every tick.
class CSharedPulseList {
  public:
    // Dropped while the list is closed (see take).
    void append(const CPulse* pulses, size_t count);
    size_t size() const;
    CPulseList copy() const;
    void clear();
    // Every record in one step, and the list closed to appends until open(): a pass still on its
    // way when the capture was stopped can neither slip between a copy and a clear nor land in
    // the list after its records were saved.
    CPulseList take();
    // Puts taken records back in front of any others (a save that could not write them).
    void putBack(CPulseList records);
    // Accepts appends again (a new capture starts).
    void open();

  private:
    mutable std::mutex m_mutex;
    CPulseList m_pulses;
    bool m_closed = false;
};
