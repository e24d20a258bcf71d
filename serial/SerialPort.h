// One COM port: named by number, opened exclusively with fixed line settings and
// time-outs, read and written a byte at a time, closed when the object goes. Every notice
// and failure goes to the message history.
#pragma once

#include "platform/serial.h"

class cSerialPort {
public:
    explicit cSerialPort(int nPort);
    virtual ~cSerialPort();
    cSerialPort(const cSerialPort&) = delete;
    cSerialPort& operator=(const cSerialPort&) = delete;

    int open();
    void write(const unsigned char* buffer, int count);
    int read(unsigned char* buffer, int count);

    const char* name() const { return m_szName; }
    int isOpen() const { return m_bOpen; }
    plat::Handle handle() const { return m_hPort; }
    const plat::LineSettings& lineSettings() const { return m_lineSettings; }
    const plat::Timeouts& timeouts() const { return m_timeouts; }

private:
    // An invalid port number leaves the name empty: it names no device, so open()
    // fails through its ordinary device-open report.
    char m_szName[12] = "";
    int m_bOpen = 0;
    plat::Handle m_hPort = 0;
    plat::LineSettings m_lineSettings{};
    plat::Timeouts m_timeouts{};
};
