// The port class over real pseudo-terminals, through the real termios code.
#include "PtyPair.h"
#include "platform/system.h"
#include "serial/SerialPort.h"
#include "ui/MessageHistory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

long ElapsedMs(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

class SerialPortTest : public testing::Test {
protected:
    ScratchDir dir;
    MessageWindow messages;
};

}  // namespace

TEST(SerialPortNaming, NumbersOneTo200NameAPortOthersAreRejected) {
    const struct {
        int number;
        const char* name;
        const char* report;
    } cases[] = {
        {0, "", "Invalid number of ComPort: COM0"},
        {201, "", "Invalid number of ComPort: COM201"},
        {-25, "", "Invalid number of ComPort: COM-25"},
        {1, "COM1", "Constructed class cSerialPort for port: COM1"},
        {12, "COM12", "Constructed class cSerialPort for port: COM12"},
        {200, "COM200", "Constructed class cSerialPort for port: COM200"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        cSerialPort port(c.number);
        EXPECT_STREQ(port.name(), c.name);
        EXPECT_STREQ(g_szHistory[0], c.report);
        EXPECT_EQ(port.isOpen(), 0);
        EXPECT_EQ(port.handle(), 0);
    }
}

TEST_F(SerialPortTest, InvalidNumberFailsLaterOpenAsAMissingDevice) {
    cSerialPort port(201);
    EXPECT_EQ(port.open(), 0);
    EXPECT_STREQ(g_szHistory[0],
                 "Error: COM open failed: Port= Error=2 - No such file or directory");
}

TEST_F(SerialPortTest, OpenAppliesTheFixedLineSettingsOnARawLine) {
    PtyPair pty(3);
    cSerialPort port(3);
    ASSERT_EQ(port.open(), 1) << g_szHistory[0];
    EXPECT_EQ(port.isOpen(), 1);
    EXPECT_STREQ(messages.History().c_str(),
                 "Constructed class cSerialPort for port: COM3\n...\n...");

    // What the port asked for: a pseudo-terminal reports 8 bits and no parity whatever
    // it is given, so the request itself is checked.
    const plat::LineSettings& asked = port.lineSettings();
    EXPECT_EQ(asked.baudRate, 19200u);
    EXPECT_EQ(asked.byteSize, 7);
    EXPECT_EQ(asked.parity, plat::Parity::Even);
    EXPECT_EQ(asked.stopBits, plat::StopBits::One);
    EXPECT_FALSE(asked.abortOnError);
    const plat::Timeouts& t = port.timeouts();
    EXPECT_EQ(t.readInterval, 50u);
    EXPECT_EQ(t.readTotalMultiplier, 10u);
    EXPECT_EQ(t.readTotalConstant, 50u);
    EXPECT_EQ(t.writeTotalMultiplier, 10u);
    EXPECT_EQ(t.writeTotalConstant, 50u);

    // What the device took: the master side reads back the slave's settings.
    termios tio;
    ASSERT_EQ(tcgetattr(pty.master(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B19200);
    EXPECT_EQ(cfgetispeed(&tio), B19200);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST_F(SerialPortTest, EveryByteValuePassesBothWaysUnchanged) {
    PtyPair pty(3);
    cSerialPort port(3);
    ASSERT_EQ(port.open(), 1);
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));

    pty.Send(all);
    std::string got;
    unsigned char byte;
    while (port.read(&byte, 1) == 1) got.push_back(static_cast<char>(byte));
    EXPECT_EQ(got, all);

    for (char c : all) port.write(reinterpret_cast<const unsigned char*>(&c), 1);
    EXPECT_EQ(pty.Receive(all.size()), all);
    EXPECT_STREQ(g_szHistory[0], "Constructed class cSerialPort for port: COM3");  // no failures
}

TEST_F(SerialPortTest, WaitingByteReadsAtOnceAndAnEmptyLineTimesOutIn60ms) {
    PtyPair pty(4);
    cSerialPort port(4);
    ASSERT_EQ(port.open(), 1);

    pty.Send("A");
    std::this_thread::sleep_for(20ms);
    unsigned char byte = 0;
    auto start = Clock::now();
    EXPECT_EQ(port.read(&byte, 1), 1);
    EXPECT_LT(ElapsedMs(start), 30);
    EXPECT_EQ(byte, 'A');

    byte = 0xAA;
    start = Clock::now();
    EXPECT_EQ(port.read(&byte, 1), 0);
    const long ms = ElapsedMs(start);
    EXPECT_GE(ms, 55);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(byte, 0);

    // A byte that comes while the read waits ends the wait.
    std::thread sender([&] {
        std::this_thread::sleep_for(20ms);
        pty.Send("B");
    });
    start = Clock::now();
    EXPECT_EQ(port.read(&byte, 1), 1);
    EXPECT_LT(ElapsedMs(start), 50);
    EXPECT_EQ(byte, 'B');
    sender.join();
}

TEST_F(SerialPortTest, FarSideHangingUpReadsAsAQuietLine) {
    PtyPair pty(3);
    cSerialPort port(3);
    ASSERT_EQ(port.open(), 1);

    // Mid-read: the read under way returns empty within its time-out.
    std::thread hangUp([&] {
        std::this_thread::sleep_for(20ms);
        pty.HangUp();
    });
    unsigned char byte = 1;
    auto start = Clock::now();
    EXPECT_EQ(port.read(&byte, 1), 0);
    EXPECT_LT(ElapsedMs(start), 1000);
    hangUp.join();

    // Afterwards every read waits its time-out instead of returning at once.
    for (int i = 0; i < 3; ++i) {
        start = Clock::now();
        EXPECT_EQ(port.read(&byte, 1), 0);
        const long ms = ElapsedMs(start);
        EXPECT_GE(ms, 50);
        EXPECT_LT(ms, 1000);
    }
}

TEST_F(SerialPortTest, SecondOpenIsRefusedAsBusy) {
    PtyPair pty(3);
    cSerialPort first(3);
    ASSERT_EQ(first.open(), 1);

    cSerialPort second(3);
    EXPECT_EQ(second.open(), 0);
    EXPECT_STREQ(g_szHistory[0],
                 "Error: COM open failed: Port=COM3 Error=16 - Device or resource busy");

    // Another process, whoever runs it (root too), gets the same answer.
    const pid_t child = fork();
    if (child == 0) {
        const plat::Handle h = plat::Serial().open("COM3");
        _exit(h == plat::kInvalidHandle ? plat::LastError() : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EBUSY);

    // The first port goes on working.
    pty.Send("z");
    unsigned char byte = 0;
    EXPECT_EQ(first.read(&byte, 1), 1);
    EXPECT_EQ(byte, 'z');
}

TEST_F(SerialPortTest, DeviceIsFreeAgainOnceThePortIsDestroyed) {
    PtyPair pty(3);
    { cSerialPort first(3); ASSERT_EQ(first.open(), 1); }
    cSerialPort again(3);
    EXPECT_EQ(again.open(), 1) << g_szHistory[0];
}

TEST_F(SerialPortTest, UucpLockFileIsTakenHonouredAndCleared) {
    if (access("/run/lock", W_OK) != 0) GTEST_SKIP() << "no writable /run/lock here";
    PtyPair pty(3);
    std::string device = pty.slavePath().substr(5);  // "pts/N"
    device[device.find('/')] = '_';
    const std::string lock = "/run/lock/LCK.." + device;

    {
        cSerialPort port(3);
        ASSERT_EQ(port.open(), 1);
        EXPECT_EQ(std::atoi(ReadFile(lock).c_str()), getpid());
    }
    EXPECT_NE(access(lock.c_str(), F_OK), 0) << "our lock is removed on close";

    // A live lock of another program (pid 1 is always alive) keeps us out...
    WriteFile(lock, "         1\n");
    {
        cSerialPort port(3);
        EXPECT_EQ(port.open(), 0);
        EXPECT_STREQ(g_szHistory[0],
                     "Error: COM open failed: Port=COM3 Error=16 - Device or resource busy");
    }
    EXPECT_EQ(ReadFile(lock), "         1\n") << "another program's lock is left alone";

    // ...a stale one, whose process is gone, is cleared.
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    WriteFile(lock, std::to_string(child) + "\n");
    {
        cSerialPort port(3);
        EXPECT_EQ(port.open(), 1) << g_szHistory[0];
    }
    EXPECT_NE(access(lock.c_str(), F_OK), 0);
}

TEST_F(SerialPortTest, MissingDeviceAndNonTerminalsFailTheDeviceOpen) {
    ASSERT_EQ(symlink("/nonexistent/ttyUSB9", "COM7"), 0);
    WriteFile("COM8", "not a port\r\n");
    struct stat before;
    ASSERT_EQ(stat("COM8", &before), 0);
    ASSERT_EQ(mkfifo("COM9", 0600), 0);
    ASSERT_EQ(mkdir("COM10", 0700), 0);

    const struct {
        int number;
        const char* report;
    } cases[] = {
        {7, "Error: COM open failed: Port=COM7 Error=2 - No such file or directory"},
        {8, "Error: COM open failed: Port=COM8 Error=25 - Inappropriate ioctl for device"},
        {9, "Error: COM open failed: Port=COM9 Error=25 - Inappropriate ioctl for device"},
        {10, "Error: COM open failed: Port=COM10 Error=21 - Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        cSerialPort port(c.number);
        EXPECT_EQ(port.open(), 0);
        EXPECT_STREQ(g_szHistory[0], c.report);
        EXPECT_EQ(port.handle(), plat::kInvalidHandle);
        unsigned char byte = 7;
        const auto start = Clock::now();
        EXPECT_EQ(port.read(&byte, 1), 0);
        EXPECT_LT(ElapsedMs(start), 20) << "a port without a device returns at once";
        EXPECT_EQ(byte, 0);
    }
    struct stat after;
    ASSERT_EQ(stat("COM8", &after), 0);
    EXPECT_EQ(ReadFile("COM8"), "not a port\r\n");
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
}

TEST_F(SerialPortTest, WriteOnAFailedPortReportsEveryCall) {
    ASSERT_EQ(symlink("/nonexistent/ttyUSB5", "COM5"), 0);  // a device that is not there
    cSerialPort port(5);
    ASSERT_EQ(port.open(), 0);
    const unsigned char byte = 'q';
    for (int i = 0; i < 3; ++i) {
        port.write(&byte, 1);
        EXPECT_STREQ(g_szHistory[0], "Write of length query failed: RC=0, Bytes Written=0, Error=9");
    }
    EXPECT_STREQ(g_szHistory[2], "Write of length query failed: RC=0, Bytes Written=0, Error=9");
}
