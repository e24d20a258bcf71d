// The far side of a serial port on Linux: a pseudo-terminal pair linked into the working
// directory as COMn.
#pragma once

#include "Scratch.h"

#include <cstddef>
#include <string>

// A pseudo-terminal pair whose slave is linked as "COMn" in the working directory. The
// test holds the master: the far side of the port.
class PtyPair {
public:
    explicit PtyPair(int comNumber);
    ~PtyPair();
    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slave; }
    void HangUp();  // closes the master
    void Send(const std::string& bytes);
    // Reads what arrives within `ms` after the last byte, up to `limit` bytes.
    std::string Receive(std::size_t limit, int ms = 200);

private:
    int m_master = -1;
    std::string m_slave;
};
