// CSerialPort over a real pseudo-terminal: opening, line settings, bounded reads, raw bytes,
// exclusivity and the behaviour after the far end vanished.
#include "device/rs_error.h"
#include "device/serial_port.h"
#include "platform/port_table.h"
#include "support/scripted_peer.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <numeric>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::msSince;

// Runs op, which must raise; returns the error (owned).
template <class Op> std::unique_ptr<IError> raised(Op op)
{
    try {
        op();
    } catch (IError* error) {
        return adoptError(error);
    }
    return nullptr;
}

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override { porttable::setPortOverride({peer.path()}); }
    void TearDown() override { porttable::setPortOverride({}); }

    void openConfigured(CSerialPort& port, const CLinkTimings& timings = {})
    {
        port.open(1);
        port.setState(controllerLineState());
        port.setTimeout(controllerTimeouts(timings));
    }

    CScriptedPeer peer;
};

TEST_F(SerialPortTest, MissingPortRaisesCode5WithItsTextAndStaysClosed)
{
    CSerialPort port;
    port.open(1);
    ASSERT_EQ(port.portNumber(), 1);
    port.close();

    porttable::setPortOverride({peer.path(), "/dev/null", "/dev/null", "/dev/null", "/dev/null", "/dev/null",
                                "/dev/doravine-no-such-port"});
    auto error = raised([&] { port.open(7); });
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->getClassName(), L"CRSError");
    EXPECT_EQ(error->code(), 5u);
    EXPECT_EQ(error->text(), std::wstring(L"CSerialPort::open(7) - GetLastError()=2") + L'\0');
    EXPECT_EQ(error->line(), 67);
    EXPECT_EQ(error->file(), L"serialport");
    EXPECT_EQ(error->description(), L"Nie można otworzyć portu RS.");
    EXPECT_NE(error->format().find(L"CSerialPort::open(7)"), std::wstring::npos);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 1) << "a failed open keeps the last good number";
    EXPECT_EQ(port.lastOpenError(), ENOENT);

    // A COM number beyond the table, and one that is not a terminal at all.
    error = raised([&] { port.open(300); });
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), 5u);
    error = raised([&] { port.open(2); });
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->text(),
              std::wstring(L"CSerialPort::open(2) - GetLastError()=") + std::to_wstring(ENOTTY) + L'\0');
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SerialPortTest, ReadReturnsWhatArrivedWhenTheTotalTimeoutRunsOut)
{
    CSerialPort port;
    CLinkTimings quick;
    quick.readConstantMs = 150;
    openConfigured(port, quick);
    uint8_t buffer[8] = {};
    auto start = Clock::now();
    EXPECT_EQ(port.read(buffer, 8), 0u);
    EXPECT_GE(msSince(start), 150);
    EXPECT_LT(msSince(start), 800);

    port.setTimeout(controllerTimeouts(CLinkTimings{})); // the program's own: 1000 ms + 1 ms per byte
    peer.waitFor(1).send({0x5A}).start();
    ASSERT_EQ(port.write(buffer, 1), 1u);
    ASSERT_TRUE(peer.finish());
    start = Clock::now();
    EXPECT_EQ(port.read(buffer, 4), 1u);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_GE(msSince(start), 990);
    EXPECT_LT(msSince(start), 1600);
}

TEST_F(SerialPortTest, CarriesEveryByteValueUnchangedBothWays)
{
    CSerialPort port;
    openConfigured(port);
    std::vector<uint8_t> all(256);
    std::iota(all.begin(), all.end(), 0);
    // Control characters (XON, XOFF, ^C, CR, LF, DEL) are where a cooked terminal would bite.
    peer.waitFor(256).send(all).start();
    EXPECT_EQ(port.write(all.data(), all.size()), 256u);
    ASSERT_TRUE(peer.finish());
    EXPECT_EQ(peer.received(), all);

    std::vector<uint8_t> back(256);
    EXPECT_EQ(port.read(back.data(), back.size()), 256u);
    EXPECT_EQ(back, all);
    EXPECT_EQ(port.clearCommError(), 0u) << "a clean line reports no error";
}

TEST_F(SerialPortTest, AppliesTheControllerLineSettings)
{
    CSerialPort port;
    openConfigured(port);
    const termios tio = peer.lineSettings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    // A pseudo-terminal always keeps 8 bits without parity: the other mappings are checked on
    // stop bits and software flow control.
    CSerialState other = controllerLineState();
    other.stopBits = CSerialState::TwoStopBits;
    other.flags |= CSerialState::kOutX | CSerialState::kInX;
    other.xonChar = 0x01;
    port.setState(other);
    const termios changed = peer.lineSettings();
    EXPECT_EQ(changed.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    EXPECT_EQ(changed.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(changed.c_cc[VSTART], 0x01);
    EXPECT_EQ(changed.c_cc[VSTOP], 0x13);

    // The write time-out must pass a 263-byte frame at 38400 baud (about 69 ms) with room to spare.
    const CSerialTimeouts t = controllerTimeouts(CLinkTimings{});
    EXPECT_GT(t.writeTotalConstant + t.writeTotalMultiplier * 263.0, 2 * 263 * 10 * 1000.0 / 38400);
    EXPECT_EQ(t.readInterval, 0u);
    EXPECT_EQ(controllerLineState().flags, 0x4081u);
}

TEST_F(SerialPortTest, RefusedSettingsRaiseCode6WithTheThreeLineText)
{
    CSerialPort port;
    openConfigured(port);
    CSerialState odd = controllerLineState();
    odd.baudRate = 12345;
    auto error = raised([&] { port.setState(odd); });
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), 6u);
    EXPECT_EQ(error->line(), 106);
    EXPECT_EQ(error->text(), std::wstring(L"CSerialPort::setState() \n GetLastError() = ") +
                                 std::to_wstring(EINVAL) + L"\n clearCommError() = 0" + L'\0');
    EXPECT_EQ(error->description(), L"Nie można wykonać operacji na RS.");
    EXPECT_TRUE(port.isOpen()) << "a refused setting leaves the port usable";
}

TEST_F(SerialPortTest, CloseTwiceIsHarmlessAndAClosedPortRaisesCode6)
{
    CSerialPort port;
    openConfigured(port);
    EXPECT_TRUE(port.close());
    EXPECT_FALSE(port.close());
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(port.clearCommError(), 0u);

    uint8_t byte = 0;
    const std::pair<int, std::function<void()>> calls[] = {
        {166, [&] { port.read(&byte, 1); }},
        {182, [&] { port.write(&byte, 1); }},
        {201, [&] { port.purgeIn(); }},
        {151, [&] { port.setTimeout(CSerialTimeouts{}); }}};
    for (const auto& [line, call] : calls) {
        auto error = raised(call);
        ASSERT_NE(error, nullptr) << line;
        EXPECT_EQ(error->code(), 6u);
        EXPECT_EQ(error->line(), line);
    }
    EXPECT_EQ(raised([&] { port.read(&byte, 1); })->text(),
              std::wstring(L"CSerialPort::read() - GetLastError()=") + std::to_wstring(EBADF) + L'\0');
}

TEST_F(SerialPortTest, OpensExclusivelyAndReleasesOnCloseAndDestruction)
{
    auto first = std::make_unique<CSerialPort>();
    first->open(1);
    CSerialPort second;
    auto error = raised([&] { second.open(1); });
    ASSERT_NE(error, nullptr) << "two programs must not share the controller's line";
    EXPECT_EQ(error->code(), 5u);
    EXPECT_EQ(second.lastOpenError(), EBUSY);

    first.reset(); // destroyed while open: the lock goes with it
    EXPECT_NO_THROW(second.open(1));
    EXPECT_TRUE(second.isOpen());
    // Reopening the same object is close-then-open, not a second lock against itself.
    EXPECT_NO_THROW(second.open(1));
}

TEST_F(SerialPortTest, PurgeInDiscardsPendingInput)
{
    CSerialPort port;
    CLinkTimings quick;
    quick.readConstantMs = 100;
    openConfigured(port, quick);
    peer.send({1, 2, 3, 4, 5}).start();
    ASSERT_TRUE(peer.finish());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    port.purgeIn();
    uint8_t buffer[5];
    EXPECT_EQ(port.read(buffer, 5), 0u);
}

TEST_F(SerialPortTest, HangUpFailsEveryOperationAndStaysReported)
{
    CSerialPort port;
    openConfigured(port); // real time-outs: the hang-up must not cost them
    peer.send({0xAA, 0x55}).pause(100).hangUp().start();

    uint8_t buffer[8] = {};
    const auto start = Clock::now();
    auto error = raised([&] {
        // The two bytes before the hang-up may or may not still be delivered; the read that
        // meets the hang-up raises instead of returning an empty reply.
        for (int i = 0; i < 3; ++i)
            port.read(buffer, sizeof buffer);
    });
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), 6u);
    EXPECT_EQ(error->line(), 166);
    EXPECT_LT(msSince(start), 900) << "a vanished device is seen at once, not after the time-out";

    EXPECT_NE(port.clearCommError(), 0u);
    EXPECT_NE(port.clearCommError(), 0u) << "still reported on the next call";
    EXPECT_NE(raised([&] { port.write(buffer, 1); }), nullptr);
    EXPECT_NE(raised([&] { port.read(buffer, 1); }), nullptr);
    auto purge = raised([&] { port.purgeIn(); });
    ASSERT_NE(purge, nullptr);
    EXPECT_EQ(purge->text(), std::wstring(L"CSerialPort::purgeIn() \n GetLastError() = ") +
                                 std::to_wstring(EIO) + L"\n clearCommError() = " + std::to_wstring(EIO) +
                                 L'\0');
    EXPECT_TRUE(port.close());
}

} // namespace
