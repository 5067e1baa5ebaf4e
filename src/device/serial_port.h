// A blocking wrapper over one serial port. Every failed operating-system call raises a CRSError
// (thrown by pointer): code 5 from open, code 6 from everything else except close and
// clearCommError, which never raise. The caller owns all policy: settings, retries, short reads.
#pragma once

#include "device/link_timings.h"
#include "device/rs_error.h"
#include "platform/ierror.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The line settings, carrying the values of the Win32 device-control block so that both
// backends take the same description of the line.
struct CSerialState {
    // Bits of the flags word, at the positions of the Win32 block's bit fields.
    static constexpr uint32_t kBinary = 0x0001;
    static constexpr uint32_t kParityCheck = 0x0002;
    static constexpr uint32_t kOutxCtsFlow = 0x0004;
    static constexpr uint32_t kOutxDsrFlow = 0x0008;
    static constexpr uint32_t kDtrControlMask = 0x0030; // 0 disabled, 1 enabled, 2 handshake
    static constexpr uint32_t kDsrSensitivity = 0x0040;
    static constexpr uint32_t kTxContinueOnXoff = 0x0080;
    static constexpr uint32_t kOutX = 0x0100;
    static constexpr uint32_t kInX = 0x0200;
    static constexpr uint32_t kErrorChar = 0x0400;
    static constexpr uint32_t kNull = 0x0800;
    static constexpr uint32_t kRtsControlMask = 0x3000; // 0 disabled, 1 enabled, 2 handshake, 3 toggle
    static constexpr uint32_t kAbortOnError = 0x4000;

    enum Parity : uint8_t { NoParity = 0, OddParity = 1, EvenParity = 2, MarkParity = 3, SpaceParity = 4 };
    enum StopBits : uint8_t { OneStopBit = 0, One5StopBits = 1, TwoStopBits = 2 };

    uint32_t baudRate = 38400;
    uint32_t flags = kBinary | kTxContinueOnXoff | kAbortOnError; // 0x4081
    uint16_t xonLim = 2048;
    uint16_t xoffLim = 512;
    uint8_t byteSize = 8;
    uint8_t parity = NoParity;
    uint8_t stopBits = OneStopBit;
    char xonChar = 0x11;
    char xoffChar = 0x13;
    char errorChar = 0;
    char eofChar = 0;
    char evtChar = 0;
};

// The time-outs, carrying the values of the Win32 comm time-outs block. A read of N bytes ends
// after readTotalMultiplier * N + readTotalConstant ms with whatever arrived.
struct CSerialTimeouts {
    // In readInterval, this value with both read totals 0 makes a read return at once with
    // what is already there (as on Win32).
    static constexpr uint32_t kReturnImmediately = 0xFFFFFFFFu;

    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 1;
    uint32_t readTotalConstant = 1000;
    uint32_t writeTotalMultiplier = 1;
    uint32_t writeTotalConstant = 500;
};

// The line the controller speaks: 38400 baud, 8N1, no flow control, abort on error.
inline CSerialState controllerLineState()
{
    return CSerialState{};
}

// The time-outs the link applies after every open.
inline CSerialTimeouts controllerTimeouts(const CLinkTimings& timings)
{
    CSerialTimeouts t;
    t.readInterval = 0;
    t.readTotalMultiplier = timings.readPerByteMs;
    t.readTotalConstant = timings.readConstantMs;
    t.writeTotalMultiplier = timings.writePerByteMs;
    t.writeTotalConstant = timings.writeConstantMs;
    return t;
}

class CSerialPort : public IErrorHelper<CRSError> {
  public:
    // Line errors that clearCommError reports, with the Win32 values.
    static constexpr uint32_t kErrorRxOver = 0x0001;
    static constexpr uint32_t kErrorOverrun = 0x0002;
    static constexpr uint32_t kErrorParity = 0x0004;
    static constexpr uint32_t kErrorFrame = 0x0008;
    static constexpr uint32_t kErrorBreak = 0x0010;

    CSerialPort();
    // Closes a port that is still open: a leaked handle would keep the device locked.
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens COM n (the n-th entry of the port table on POSIX), exclusively. Code 5 on failure;
    // the port stays closed and the port number keeps its old value.
    void open(int n);
    // Closes the port; false when it was not open or the close call failed. Never raises.
    bool close();
    void setState(const CSerialState& state);
    void setTimeout(const CSerialTimeouts& timeouts);
    // Reads up to count bytes within the read time-out; returns how many arrived (possibly 0).
    size_t read(void* buffer, size_t count);
    // Writes within the write time-out; returns how many went out.
    size_t write(const void* buffer, size_t count);
    // Discards every byte received and not yet read.
    void purgeIn();
    // The line errors since the last call (0 on a clean line), or the system's error code when
    // the port cannot be asked, as after the device vanished. Never raises.
    uint32_t clearCommError();

    bool isOpen() const;
    // Exchanges everything with other, the open port included: a port opened and identified on its
    // own becomes the device's without being closed in between.
    void swap(CSerialPort& other) noexcept;
    // The COM number last opened successfully (0 before the first open).
    int portNumber() const { return m_portNumber; }
    // The system's error code of the last failed open (0 after a successful one), so that a
    // caller can tell a port that exists but may not be used (EACCES) from a missing one.
    int lastOpenError() const { return m_lastOpenError; }

  private:
    // Line numbers that the diagnostic of each operation carries; fixed so that both backends
    // and every build report a failure the same way.
    static constexpr int kLineOpen = 67;
    static constexpr int kLineSetState = 106;
    static constexpr int kLineSetTimeout = 151;
    static constexpr int kLineRead = 166;
    static constexpr int kLineWrite = 182;
    static constexpr int kLinePurgeIn = 201;

    // The diagnostics are built in serial_port.cpp, shared by both backends.
    [[noreturn]] void raise(unsigned code, const std::wstring& text, int line);
    // The one-line text of open ("open(n)"), read and write ("read()", "write()").
    [[noreturn]] void raiseCallFailed(unsigned code, const std::wstring& call, unsigned long lastError,
                                      int line);
    // The three-line text of setState, setTimeout and purgeIn.
    [[noreturn]] void raiseWithLineState(const wchar_t* operation, unsigned long lastError, int line);

    int m_portNumber = 0;
    int m_lastOpenError = 0;
    CSerialTimeouts m_timeouts{};
    // What the operating system keeps of an open port, defined beside each backend.
    struct Native;
    std::unique_ptr<Native> m_native;
};
