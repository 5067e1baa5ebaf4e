// The Win32 backend of CSerialPort: synchronous (non-overlapped) calls on "\\.\COMn".
#include "device/serial_port.h"

#include "platform/port_table.h"

#include <windows.h>

namespace {

HANDLE handleOf(void* h)
{
    return static_cast<HANDLE>(h);
}

} // namespace

struct CSerialPort::Native {
    void* handle = nullptr;
};

CSerialPort::CSerialPort() : m_native(std::make_unique<Native>()) {}

CSerialPort::~CSerialPort()
{
    close();
}

bool CSerialPort::isOpen() const
{
    return m_native->handle != nullptr;
}

void CSerialPort::open(int n)
{
    close();
    const std::string path = porttable::portPath(n);
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_NOT_FOUND;
    if (!path.empty()) {
        h = CreateFileW(utf82unicode(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            error = GetLastError();
    }
    if (h == INVALID_HANDLE_VALUE) {
        m_lastOpenError = static_cast<int>(error);
        raiseCallFailed(CRSError::kOpenFailed, L"open(" + std::to_wstring(n) + L")", error, kLineOpen);
    }
    m_native->handle = h;
    m_portNumber = n;
    m_lastOpenError = 0;
}

bool CSerialPort::close()
{
    if (m_native->handle == nullptr)
        return false;
    const bool ok = CloseHandle(handleOf(m_native->handle)) != FALSE;
    m_native->handle = nullptr;
    return ok;
}

void CSerialPort::setState(const CSerialState& state)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = state.baudRate;
    dcb.fBinary = (state.flags & CSerialState::kBinary) ? 1 : 0;
    dcb.fParity = (state.flags & CSerialState::kParityCheck) ? 1 : 0;
    dcb.fOutxCtsFlow = (state.flags & CSerialState::kOutxCtsFlow) ? 1 : 0;
    dcb.fOutxDsrFlow = (state.flags & CSerialState::kOutxDsrFlow) ? 1 : 0;
    dcb.fDtrControl = (state.flags & CSerialState::kDtrControlMask) >> 4;
    dcb.fDsrSensitivity = (state.flags & CSerialState::kDsrSensitivity) ? 1 : 0;
    dcb.fTXContinueOnXoff = (state.flags & CSerialState::kTxContinueOnXoff) ? 1 : 0;
    dcb.fOutX = (state.flags & CSerialState::kOutX) ? 1 : 0;
    dcb.fInX = (state.flags & CSerialState::kInX) ? 1 : 0;
    dcb.fErrorChar = (state.flags & CSerialState::kErrorChar) ? 1 : 0;
    dcb.fNull = (state.flags & CSerialState::kNull) ? 1 : 0;
    dcb.fRtsControl = (state.flags & CSerialState::kRtsControlMask) >> 12;
    dcb.fAbortOnError = (state.flags & CSerialState::kAbortOnError) ? 1 : 0;
    dcb.XonLim = state.xonLim;
    dcb.XoffLim = state.xoffLim;
    dcb.ByteSize = state.byteSize;
    dcb.Parity = state.parity;
    dcb.StopBits = state.stopBits;
    dcb.XonChar = state.xonChar;
    dcb.XoffChar = state.xoffChar;
    dcb.ErrorChar = state.errorChar;
    dcb.EofChar = state.eofChar;
    dcb.EvtChar = state.evtChar;
    if (!SetCommState(handleOf(m_native->handle), &dcb))
        raiseWithLineState(L"setState", GetLastError(), kLineSetState);
}

void CSerialPort::setTimeout(const CSerialTimeouts& timeouts)
{
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = timeouts.readInterval;
    t.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
    t.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    t.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    t.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    if (!SetCommTimeouts(handleOf(m_native->handle), &t))
        raiseWithLineState(L"setTimeout", GetLastError(), kLineSetTimeout);
    m_timeouts = timeouts;
}

size_t CSerialPort::read(void* buffer, size_t count)
{
    DWORD got = 0;
    if (!ReadFile(handleOf(m_native->handle), buffer, static_cast<DWORD>(count), &got, nullptr))
        raiseCallFailed(CRSError::kOperationFailed, L"read()", GetLastError(), kLineRead);
    return got;
}

size_t CSerialPort::write(const void* buffer, size_t count)
{
    DWORD done = 0;
    if (!WriteFile(handleOf(m_native->handle), buffer, static_cast<DWORD>(count), &done, nullptr))
        raiseCallFailed(CRSError::kOperationFailed, L"write()", GetLastError(), kLineWrite);
    return done;
}

void CSerialPort::purgeIn()
{
    if (!PurgeComm(handleOf(m_native->handle), PURGE_RXCLEAR))
        raiseWithLineState(L"purgeIn", GetLastError(), kLinePurgeIn);
}

uint32_t CSerialPort::clearCommError()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handleOf(m_native->handle), &errors, &status))
        return GetLastError();
    return errors;
}
