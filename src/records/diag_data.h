// The live-sample store and the captured pulse list, both shared between a worker thread that
// fills them and the GUI thread that reads them; each has its own lock.
#pragma once

#include "records/pulse.h"
#include "platform/threads.h"
#include "records/settings_record.h"

#include <cstddef>
#include <mutex>
#include <vector>

// Live samples in arrival order. Above 500 records the oldest 250 go before the next one is
// appended, so it never holds more than 501.
class CDiagData {
  public:
    static constexpr size_t kTrimAbove = 500;
    static constexpr size_t kTrimCount = 250;

    void add(const CDiag& sample);
    size_t count();
    // Copies the newest record into out; leaves out unchanged when the store is empty.
    bool getLast(CDiag& out);
    void clear();

  private:
    CMSGMutex m_mutex;
    std::vector<CDiag> m_samples;
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
