// The port class on Windows, through the communications calls, over the pseudo-terminal
// pairs the Wine script links in as COM ports.
#include "WinScratch.h"
#include "platform/system.h"
#include "serial/SerialPort.h"
#include "ui/MessageHistory.h"

#include "WinApi.h"

#include <chrono>
#include <string>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class SerialPortWineTest : public testing::Test {
protected:
    MessageWindow messages;
};

}  // namespace

TEST_F(SerialPortWineTest, PortAboveNineOpensThroughTheDeviceNamespace) {
    // Plain "COM10" is no device name on Windows; the port still reports the plain name.
    cSerialPort port(10);
    ASSERT_EQ(port.open(), 1) << g_szHistory[0];
    EXPECT_STREQ(port.name(), "COM10");
    EXPECT_EQ(messages.History(), "Constructed class cSerialPort for port: COM10\n...\n...");

    // The device's own state, read through the port's handle.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(reinterpret_cast<HANDLE>(port.handle()), &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_FALSE(dcb.fAbortOnError);

    COMMTIMEOUTS t{};
    ASSERT_TRUE(GetCommTimeouts(reinterpret_cast<HANDLE>(port.handle()), &t));
    EXPECT_EQ(t.ReadIntervalTimeout, 50u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 10u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 50u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 10u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 50u);
}

TEST_F(SerialPortWineTest, EveryByteValuePassesBothWaysUnchanged) {
    cSerialPort port(12);
    ASSERT_EQ(port.open(), 1) << g_szHistory[0];
    ComPeer peer(13);
    ASSERT_TRUE(peer.isOpen());
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));

    peer.Send(all);
    std::string got;
    unsigned char byte;
    for (int quiet = 0; got.size() < all.size() && quiet < 20;) {
        if (port.read(&byte, 1) == 1) got.push_back(static_cast<char>(byte));
        else ++quiet;
    }
    EXPECT_EQ(got, all);

    for (char c : all) port.write(reinterpret_cast<const unsigned char*>(&c), 1);
    EXPECT_EQ(peer.Receive(all.size()), all);
    EXPECT_STREQ(g_szHistory[0], "Constructed class cSerialPort for port: COM12");  // no failures
}

TEST_F(SerialPortWineTest, WaitingByteReadsAtOnceAndAnEmptyLineTimesOutIn60ms) {
    cSerialPort port(10);
    ASSERT_EQ(port.open(), 1) << g_szHistory[0];
    ComPeer peer(11);

    peer.Send("A");
    std::this_thread::sleep_for(50ms);
    unsigned char byte = 0;
    auto start = Clock::now();
    EXPECT_EQ(port.read(&byte, 1), 1);
    EXPECT_LT(ElapsedMs(start), 40);
    EXPECT_EQ(byte, 'A');

    // 10 ms per byte asked for, plus 50.
    byte = 0xAA;
    start = Clock::now();
    EXPECT_EQ(port.read(&byte, 1), 0);
    const long ms = ElapsedMs(start);
    EXPECT_GE(ms, 50);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(byte, 0);

    // A byte that comes while the read waits ends the wait.
    std::thread sender([&] {
        std::this_thread::sleep_for(15ms);
        peer.Send("B");
    });
    start = Clock::now();
    EXPECT_EQ(port.read(&byte, 1), 1);
    EXPECT_LT(ElapsedMs(start), 58);
    EXPECT_EQ(byte, 'B');
    sender.join();
}

TEST_F(SerialPortWineTest, SecondOpenOfAnOpenPort) {
    cSerialPort first(10);
    ASSERT_EQ(first.open(), 1) << g_szHistory[0];
    cSerialPort second(10);
    if (!RunningOnWine()) {
        // Windows opens a port for one handle at a time.
        EXPECT_EQ(second.open(), 0);
        EXPECT_STREQ(g_szHistory[0],
                     "Error: COM open failed: Port=COM10 Error=5 - Access is denied.");
    } else {
        // Wine does not keep ports exclusive: the second open succeeds.
        EXPECT_EQ(second.open(), 1) << g_szHistory[0];
    }
}

TEST_F(SerialPortWineTest, MissingPortFailsTheDeviceOpen) {
    cSerialPort port(200);  // no such device
    EXPECT_EQ(port.open(), 0);
    EXPECT_EQ(port.isOpen(), 0);
    // The system's text, without its closing line break; Wine words it its own way.
    EXPECT_STREQ(g_szHistory[0],
                 RunningOnWine() ? "Error: COM open failed: Port=COM200 Error=2 - File not found."
                                 : "Error: COM open failed: Port=COM200 Error=2 - The system "
                                   "cannot find the file specified.");
}

TEST_F(SerialPortWineTest, PlainFileIsNoSerialDevice) {
    // Only Wine can give a COM name to a plain file (its device links); the first
    // communications call on it fails, and the port is not open.
    if (!RunningOnWine()) GTEST_SKIP() << "COM7 is a plain file only in the Wine prefix";
    cSerialPort port(7);
    EXPECT_EQ(port.open(), 0);
    EXPECT_EQ(port.isOpen(), 0);
    // ERROR_INVALID_HANDLE: the handle names no communications device.
    EXPECT_STREQ(g_szHistory[0], "Error: SetupComm failed: Port=COM7 Error=6");
    unsigned char byte = 0x55;
    EXPECT_EQ(port.read(&byte, 1), 0);
}

TEST_F(SerialPortWineTest, InvalidNumberFailsLaterOpenAsAMissingDevice) {
    cSerialPort port(201);
    EXPECT_STREQ(port.name(), "");
    EXPECT_EQ(port.open(), 0);
    // An empty device name; Windows' own error number for it is not pinned down here.
    const std::string report = g_szHistory[0];
    if (RunningOnWine()) {
        EXPECT_EQ(report, "Error: COM open failed: Port= Error=123 - Invalid name.");
    } else {
        EXPECT_EQ(report.rfind("Error: COM open failed: Port= Error=", 0), 0u) << report;
    }
}

TEST_F(SerialPortWineTest, WriteOnAFailedPortReportsEveryCall) {
    cSerialPort port(200);
    ASSERT_EQ(port.open(), 0);
    const unsigned char byte = 'q';
    for (int i = 0; i < 3; ++i) {
        port.write(&byte, 1);
        // ERROR_INVALID_HANDLE: the handle of a failed open names nothing.
        EXPECT_STREQ(g_szHistory[0], "Write of length query failed: RC=0, Bytes Written=0, Error=6");
    }
    EXPECT_STREQ(g_szHistory[2], "Write of length query failed: RC=0, Bytes Written=0, Error=6");
}
