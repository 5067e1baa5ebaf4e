// The frame exchange of CLPGDevice: one request and one reply, under the device mutex.
#include "device/lpg_device.h"

#include <chrono>
#include <cstring>
#include <thread>

uint16_t CLPGDevice::DrawRandomWord()
{
    const int32_t fixed = m_fixedRandom.load();
    if (fixed >= 0)
        return static_cast<uint16_t>(fixed);
    // A small linear congruential generator yielding 15 bits; atomic because the GUI thread and
    // the sample thread draw before they take the mutex.
    uint32_t state = m_randomState.load();
    uint32_t next = 0;
    do {
        next = state * 214013u + 2531011u;
    } while (!m_randomState.compare_exchange_weak(state, next));
    return static_cast<uint16_t>((next >> 16) & 0x7FFF);
}

void CLPGDevice::ConfigurePort()
{
    configurePort(m_port);
}

void CLPGDevice::configurePort(CSerialPort& port) const
{
    port.setState(controllerLineState());
    port.setTimeout(controllerTimeouts(m_timings));
}

bool CLPGDevice::writeAll(CSerialPort& port, const uint8_t* bytes, size_t count)
{
    // A short write means the request was cut; the controller could not answer it.
    return count == 0 || port.write(bytes, count) == count;
}

bool CLPGDevice::sendRequest(CSerialPort& port, uint8_t* buffer, uint8_t n, uint8_t type, uint16_t random,
                             bool purgeFirst)
{
    const uint8_t header[frame::kHeaderSize] = {frame::kStart1, frame::kStart2, static_cast<uint8_t>(n + 2),
                                                type};
    const uint16_t q = frame::checksum(header[2], type, random, buffer, n);
    frame::scramble(buffer, n, random);
    const uint8_t randomBytes[2] = {static_cast<uint8_t>(random >> 8), static_cast<uint8_t>(random & 0xFF)};
    const uint8_t checksumBytes[2] = {static_cast<uint8_t>(q >> 8), static_cast<uint8_t>(q & 0xFF)};

    if (purgeFirst) {
        port.purgeIn();
        if (!writeAll(port, header, sizeof header) || !writeAll(port, randomBytes, 2) || port.clearCommError() != 0)
            return false;
    } else {
        if (!writeAll(port, header, sizeof header) || port.clearCommError() != 0)
            return false;
        if (!writeAll(port, randomBytes, 2))
            return false;
    }
    if (!writeAll(port, buffer, n) || port.clearCommError() != 0)
        return false;
    // Whatever arrived so far cannot be the reply to this request.
    port.purgeIn();
    if (!writeAll(port, checksumBytes, 2))
        return false;
    return port.clearCommError() == 0;
}

bool CLPGDevice::readHeader(CSerialPort& port, uint8_t header[frame::kHeaderSize])
{
    std::memset(header, 0, frame::kHeaderSize);
    if (port.read(header, frame::kHeaderSize) < frame::kHeaderSize)
        return false;
    if (header[0] == frame::kStart1 && header[1] == frame::kStart2)
        return true;
    size_t start = 0;
    while (start < frame::kHeaderSize && header[start] != frame::kStart1)
        ++start;
    if (start == frame::kHeaderSize)
        return false;
    // Realign on the 0xAA; the second byte is not checked again, the checksum decides.
    std::memmove(header, header + start, frame::kHeaderSize - start);
    if (start == 0)
        return true;
    return port.read(header + frame::kHeaderSize - start, start) == start;
}

bool CLPGDevice::exchange(CSerialPort& port, uint8_t* buffer, uint8_t* length, uint8_t* type, uint16_t random, bool live)
{
    if (!sendRequest(port, buffer, *length, *type, random, live))
        return false;

    uint8_t header[frame::kHeaderSize];
    if (!readHeader(port, header))
        return false;
    uint8_t randomBytes[2] = {0, 0};
    if (port.read(randomBytes, 2) < 2)
        return false;
    const uint16_t replyRandom = static_cast<uint16_t>((randomBytes[0] << 8) | randomBytes[1]);
    const size_t replyLength = header[2];
    std::memset(buffer, 0, frame::kBufferSize);
    if (port.clearCommError() != 0)
        return false;

    size_t k = port.read(buffer, replyLength);
    if (k < replyLength && !live) {
        // A slow controller may pause inside a long payload: one more chance, no third. Live
        // samples come continuously: a late one is dropped, not waited for.
        std::this_thread::sleep_for(std::chrono::milliseconds(m_timings.shortPayloadWaitMs));
        k += port.read(buffer + k, replyLength - k);
    }
    // A reply still short is cut: its missing tail would read as zeros.
    if (k <= 2 || k < replyLength)
        return false;

    frame::unscramble(buffer, k - 2, replyRandom);
    const uint16_t received = static_cast<uint16_t>((buffer[k - 2] << 8) | buffer[k - 1]);
    const uint16_t expected = frame::checksum(header[2], header[3], replyRandom, buffer, replyLength - 2);
    if (received != expected)
        return false;
    *type = header[3];
    *length = static_cast<uint8_t>(live ? replyLength : replyLength - 2);
    return port.clearCommError() == 0;
}

void CLPGDevice::drainLine(CSerialPort& port)
{
    // After a failed attempt the controller may still be sending the rest of a reply whose start
    // was damaged, or a reply the next attempt would take for its own: wait until the line has
    // been quiet for a moment, so that one damaged byte costs one attempt and no more.
    if (!port.isOpen() || m_timings.drainQuietMs == 0)
        return;
    CSerialTimeouts quiet = controllerTimeouts(m_timings);
    quiet.readTotalMultiplier = 0;
    quiet.readTotalConstant = m_timings.drainQuietMs;
    port.setTimeout(quiet);
    uint8_t scrap[frame::kMaxFrame];
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timings.drainLimitMs);
    while (port.read(scrap, sizeof scrap) > 0 && std::chrono::steady_clock::now() < limit) {
    }
    port.setTimeout(controllerTimeouts(m_timings));
    // A line error that the damaged bytes left behind belongs to this attempt, not to the next.
    port.clearCommError();
}

bool CLPGDevice::SendReceive(uint8_t* buffer, uint8_t* length, uint8_t* type)
{
    const uint16_t random = DrawRandomWord();
    CMutexGuard guard(&m_mutex);
    return sendReceiveOn(m_port, buffer, length, type, random);
}

bool CLPGDevice::sendReceiveOn(CSerialPort& port, uint8_t* buffer, uint8_t* length, uint8_t* type, uint16_t random)
{
    // L counts the payload and the checksum in one byte: more than 253 bytes cannot be framed.
    if (*length > frame::kMaxPayload)
        return false;
    if (exchange(port, buffer, length, type, random, false))
        return true;
    drainLine(port);
    return false;
}

uint8_t CLPGDevice::SendReceiveDiag(uint8_t* buffer, uint8_t* length, uint8_t* type)
{
    CMutexGuard guard(&m_mutex);
    const uint16_t random = DrawRandomWord();
    if (*length > frame::kMaxPayload)
        return kDiagFailed;
    if (exchange(m_port, buffer, length, type, random, true))
        return kDiagOk;
    drainLine(m_port);
    return kDiagFailed;
}

void CLPGDevice::PurgeInput()
{
    CMutexGuard guard(&m_mutex);
    // In demo mode there is no port to purge.
    if (m_port.isOpen())
        m_port.purgeIn();
}
