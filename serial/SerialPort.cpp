#include "serial/SerialPort.h"

#include "platform/system.h"
#include "ui/MessageHistory.h"
#include "ui/ReportText.h"

#include <cstring>

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 200;
constexpr std::uint32_t kQueueSize = 128;
constexpr std::uint32_t kBaudRate = 19200;
constexpr plat::Timeouts kTimeouts{50, 10, 50, 10, 50};

// The system's error number is taken right after the failing call, before anything else
// can overwrite it.
int ReportFailure(const char* format, const char* name) {
    const int error = plat::LastError();
    char szMsg[512];
    FormatText(szMsg, sizeof szMsg, format, name, error);
    ReportMessage(szMsg);
    return 0;
}

}  // namespace

cSerialPort::cSerialPort(int nPort) {
    char szMsg[512];
    if (nPort < kFirstPort || nPort > kLastPort) {
        FormatText(szMsg, sizeof szMsg, "Invalid number of ComPort: COM%d", nPort);
        ReportMessage(szMsg);
        return;
    }
    FormatText(m_szName, sizeof m_szName, "COM%d", nPort);
    m_bOpen = 0;
    m_hPort = 0;
    FormatText(szMsg, sizeof szMsg, "Constructed class cSerialPort for port: %s", m_szName);
    ReportMessage(szMsg);
}

cSerialPort::~cSerialPort() {
    if (m_hPort != 0) plat::Serial().close(m_hPort);
}

int cSerialPort::open() {
    const plat::SerialCalls& serial = plat::Serial();
    m_bOpen = 0;

    m_hPort = serial.open(m_szName);
    if (m_hPort == plat::kInvalidHandle) {
        const int error = plat::LastError();
        char szMsg[512];
        char szDescription[512];
        if (GetErrorDescription(error, szDescription, sizeof szDescription))
            FormatText(szMsg, sizeof szMsg, "Error: COM open failed: Port=%s Error=%d - %s",
                       m_szName, error, szDescription);
        else
            FormatText(szMsg, sizeof szMsg, "COM open failed: Port=%s Error=%d ", m_szName, error);
        ReportMessage(szMsg);
        return 0;
    }

    // From here on a failure leaves the device open; the destructor closes it.
    if (!serial.setupQueues(m_hPort, kQueueSize, kQueueSize))
        return ReportFailure("Error: SetupComm failed: Port=%s Error=%d", m_szName);

    if (!serial.getLineSettings(m_hPort, &m_lineSettings))
        return ReportFailure("GetCommState failed: Port=%s Error=%d", m_szName);

    m_lineSettings.baudRate = kBaudRate;
    m_lineSettings.abortOnError = false;
    m_lineSettings.byteSize = 7;
    m_lineSettings.parity = plat::Parity::Even;
    m_lineSettings.stopBits = plat::StopBits::One;
    if (!serial.setLineSettings(m_hPort, &m_lineSettings))
        return ReportFailure("SetCommState failed: Port=%s Error = %d", m_szName);

    if (!serial.getTimeouts(m_hPort, &m_timeouts))
        return ReportFailure("GetCommTimeouts failed: Port=%s Error = %d", m_szName);

    m_timeouts = kTimeouts;
    if (!serial.setTimeouts(m_hPort, &m_timeouts))
        return ReportFailure("SetCommTimeouts failed: Port=%s Error = %d", m_szName);

    m_bOpen = 1;
    return 1;
}

void cSerialPort::write(const unsigned char* buffer, int count) {
    std::uint32_t written = 0;
    const bool ok = plat::Serial().write(m_hPort, buffer, static_cast<std::uint32_t>(count), &written);
    if (!ok || written == 0) {
        const int error = plat::LastError();
        char szMsg[512];
        FormatText(szMsg, sizeof szMsg,
                   "Write of length query failed: RC=%d, Bytes Written=%d, Error=%d", ok ? 1 : 0,
                   static_cast<int>(written), error);
        ReportMessage(szMsg);
    }
    // A partial write is neither reported nor retried.
}

int cSerialPort::read(unsigned char* buffer, int count) {
    std::memset(buffer, 0, static_cast<std::size_t>(count));
    std::uint32_t got = 0;
    if (plat::Serial().read(m_hPort, buffer, static_cast<std::uint32_t>(count), &got) && got > 0)
        return static_cast<int>(got);
    plat::LastError();  // a time-out and a failure look the same to the caller
    return 0;
}
