// The worker threads of the signal capture: the live-sample thread, which fetches one sample
// about every 50 ms while connected, and the crank-capture thread, which reads passes of pulse
// records while the signal page captures.
#pragma once

#include "device/link_timings.h"
#include "device/run_context.h"
#include "files/csv_file.h"
#include "records/diag_data.h"
#include "platform/threads.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class CLPGDevice;

// The loop of a live-sample reader: fetch, store, count failures, recover from port errors.
class CDiagInputThread : public CSThread {
  public:
    // More failed fetches in a row than this and the thread gives up.
    static constexpr int kFailureLimit = 5;

    // running is the owner's flag; the thread ends when it turns false and clears it when it
    // gives up. It is shared so that an owner that goes away cannot leave the thread dangling.
    CDiagInputThread(CDiagData* target, std::wstring fileName, std::shared_ptr<std::atomic<bool>> running,
                     const CLinkTimings& timings);
    ~CDiagInputThread() override = default;

    void run() override;

  protected:
    virtual void onStart() = 0;
    virtual void onStop() = 0;
    // CLPGDevice::kSampleOk, kSampleOther or kSampleFailed.
    virtual uint8_t readSample(CDiag& out) = 0;
    virtual void storeSample(CDiag& sample) = 0;
    // The link's part of giving up and of recovering from a port error.
    virtual void markDisconnected() = 0;
    // After a port error: close and reopen the port; false when it cannot be had again (the
    // port is then closed).
    virtual bool reopenPort() = 0;

    CDiagData* m_target;
    std::wstring m_fileName;
    std::shared_ptr<std::atomic<bool>> m_running;
    CLinkTimings m_timings;

  private:
    void giveUp();
};

// The live-sample thread over the device's port.
class CDiagRSThread : public CDiagInputThread {
  public:
    CDiagRSThread(CLPGDevice& device, CDiagData* target, std::wstring fileName,
                  std::shared_ptr<std::atomic<bool>> running);

  protected:
    void onStart() override;
    void onStop() override;
    uint8_t readSample(CDiag& out) override;
    void storeSample(CDiag& sample) override;
    void markDisconnected() override;
    bool reopenPort() override;

  private:
    CLPGDevice& m_device;
    uint32_t m_sampleCount = 0;
    CDiagFile m_file;
};

// The process-wide state of the crank capture, shared by the signal page and the capture thread.
constexpr int kCaptureRunning = 1;
constexpr int kCaptureIdle = CRunContext::kCaptureIdleValue;
std::atomic<int>& captureState();

// Reads passes of 500 pulse records into the device's pulse list while the capture state is not
// idle; a failed pass adds nothing and the next one follows.
class CSignalCaptureThread : public CSThread {
  public:
    explicit CSignalCaptureThread(CLPGDevice& device);
    void run() override;
    // Passes that arrived whole, and all passes tried.
    int goodPasses() const { return m_goodPasses.load(); }

  private:
    CLPGDevice& m_device;
    uint32_t m_pauseMs;
    std::atomic<int> m_goodPasses{0};
};
