// The diagnostics of CSerialPort, the same texts from both backends.
#include "device/serial_port.h"

#include <cstdlib>
#include <sstream>
#include <utility>

void CSerialPort::raise(unsigned code, const std::wstring& text, int line)
{
    throwError(code, text, line, ansi2unicode("serialport"));
    // throwError always throws; an override that returned would leave the port in a lie.
    std::abort();
}

void CSerialPort::raiseCallFailed(unsigned code, const std::wstring& call, unsigned long lastError, int line)
{
    std::wostringstream text;
    text << L"CSerialPort::" << call << L" - GetLastError()=" << lastError << std::ends;
    raise(code, text.str(), line);
}

void CSerialPort::raiseWithLineState(const wchar_t* operation, unsigned long lastError, int line)
{
    // The error code is taken first, so that clearCommError cannot overwrite it.
    std::wostringstream text;
    text << L"CSerialPort::" << operation << L"() " << L"\n"
         << L" GetLastError() = " << lastError << L"\n"
         << L" clearCommError() = " << clearCommError() << std::ends;
    raise(CRSError::kOperationFailed, text.str(), line);
}

void CSerialPort::swap(CSerialPort& other) noexcept
{
    std::swap(m_portNumber, other.m_portNumber);
    std::swap(m_lastOpenError, other.m_lastOpenError);
    std::swap(m_timeouts, other.m_timeouts);
    std::swap(m_native, other.m_native);
}
