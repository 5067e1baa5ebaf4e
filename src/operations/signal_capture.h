// The crank-signal capture as the signal page runs it, without the page: signal-reading mode on
// and off, the flush passes, the capture thread, the stall rule, and the signal file. The signal
// page and the command-line tool both drive it; questions and messages stay with the caller.
#pragma once

#include "records/pulse.h"
#include "platform/threads.h"

#include <string>

class CLPGDevice;

class CSignalCapture {
  public:
    // Ticks of 100 ms without a new record after which a capture below kStallRecordLimit stops.
    static constexpr int kStallTicks = 30;
    static constexpr size_t kStallRecordLimit = 1000;
    static constexpr size_t kMinimumRecords = 500;

    CSignalCapture(CLPGDevice& device, CThreadManager& threads);

    // Reads the settings and writes them back with the signal-capture flag set to value.
    bool setReadSetting(double value);

    enum class StateWrite {
        NotRead, // the settings could not be read: nothing was written
        Refused, // the controller refused the settings with the new state
        Written,
    };
    // Reads the settings, writes them back with the operating state set to workState, then after
    // 100 ms sends the restart command. previous (when given) receives the state the controller
    // had, once the settings were read.
    StateWrite writeWorkState(uint32_t workState, uint32_t* previous = nullptr);
    // The "Czytaj sygnał" check box: operating state 0 (on) or 173 (off).
    StateWrite setReadingMode(bool on, uint32_t* previous = nullptr);

    // One pass to wake the controller's recorder; false when the controller did not answer it.
    bool primePass();
    // Three passes whose records are dropped, so the capture starts on a steady signal; false at
    // the first pass the controller did not answer.
    bool flushPasses();
    // Starts the capture thread unless one runs; the device's list takes records again.
    void start();
    // Capture state back to idle; the thread ends after its current pass.
    void stop();
    bool running() const;

    enum class TickResult {
        Idle,            // no capture runs
        Capturing,       // records keep coming (or the stall is still short)
        Stalled,         // stopped itself for lack of records; the read setting was written back
        StalledUnsaved,  // as Stalled, but writing the read setting back failed
    };
    // One 100 ms tick of the stall rule: a capture that brings no new record for more than 30
    // ticks stops itself while it holds fewer than 1000 records.
    TickResult tick();
    // The next tick stops the capture for lack of records (and writes the read setting back).
    bool stallDue() const;
    // Ticks since the last new record.
    int stallTicks() const { return m_stallTicks; }
    size_t recordCount() const;

    // Takes the device's records in one step and writes them to path; saved receives them. When
    // the file cannot be written the records go back to the device's list for another try.
    bool save(const std::wstring& path, CPulseList& saved);

  private:
    CLPGDevice& m_device;
    CThreadManager& m_threads;
    size_t m_lastCount = 0;
    int m_stallTicks = 0;
};
