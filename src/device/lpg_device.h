// The device object: the program's single picture of the controller. It owns the serial port,
// the exchange mutex, the link's time-outs and the random generator of the frame layer.
// The frame exchange lives in lpg_device_exchange.cpp; the command set, the error decoder base
// and the connection manager add their parts to this class in files of their own.
#pragma once

#include "device/frame.h"
#include "device/link_timings.h"
#include "device/serial_port.h"
#include "platform/threads.h"

#include <atomic>
#include <cstdint>
#include <ctime>

class CLPGDevice {
  public:
    // Result codes of SendReceiveDiag.
    static constexpr uint8_t kDiagOk = 0;
    static constexpr uint8_t kDiagFailed = 2;

    virtual ~CLPGDevice() = default;

    // ---- Frame exchange -------------------------------------------------------------------
    // One request frame and one reply frame, under the device mutex. buffer must hold
    // frame::kBufferSize (710) bytes. On entry: the request payload in buffer (scrambled in place),
    // *length = its size n (at most 253), *type = T. Afterwards the buffer's contents are the
    // reply's or cleared: callers build their request again for every attempt.
    // True: a reply with a correct checksum arrived on a clean line; buffer holds its plain
    // payload, *length = L - 2, *type = its T. A CRSError from the port passes through (the
    // mutex is released).
    bool SendReceive(uint8_t* buffer, uint8_t* length, uint8_t* type);
    // The live-sample variant: input discarded before sending, no second read of a short
    // payload. kDiagOk with *length = L and the two checksum bytes after the payload, else
    // kDiagFailed.
    uint8_t SendReceiveDiag(uint8_t* buffer, uint8_t* length, uint8_t* type);

    // ---- Random word of the frames --------------------------------------------------------
    // Seeds the generator (the constructor already seeds it once with the time).
    void SeedRandom(uint32_t seed) { m_randomState.store(seed); }
    // The next 15-bit word (0..32767).
    uint16_t DrawRandomWord();
    // Test seam: every frame uses this word instead of a drawn one; a negative value draws again.
    void SetFixedRandomWord(int32_t word) { m_fixedRandom.store(word); }

    // ---- Port -----------------------------------------------------------------------------
    CSerialPort& Port() { return m_port; }
    CLinkTimings& Timings() { return m_timings; }
    // Applies the controller's line settings and the time-outs of Timings() to the open port.
    void ConfigurePort();

  protected:
    CSerialPort m_port;
    // Serialises every exchange of every thread.
    CMSGMutex m_mutex;
    CLinkTimings m_timings;

  private:
    // Reads the 4 header bytes, realigning once on the first 0xAA; false when that fails.
    bool readHeader(uint8_t header[frame::kHeaderSize]);
    // Writes the request up to and including the checksum; false on a line error or a short
    // write. purgeFirst discards pending input before anything is sent.
    bool sendRequest(uint8_t* buffer, uint8_t n, uint8_t type, uint16_t random, bool purgeFirst);
    bool writeAll(const uint8_t* bytes, size_t count);

    std::atomic<uint32_t> m_randomState{static_cast<uint32_t>(std::time(nullptr))};
    std::atomic<int32_t> m_fixedRandom{-1};
};
