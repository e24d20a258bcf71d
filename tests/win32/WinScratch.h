// Fixtures of the Windows tests under Wine, besides the shared ones: the far side of a
// serial port, and where the program under test is. The Wine script joins COM3-COM5,
// COM4-COM6, COM10-COM11 and COM12-COM13 through pseudo-terminals, leaves COM200 out and
// makes COM7 a plain file.
#pragma once

#include "tests/Scratch.h"

#include <cstddef>
#include <string>

// True under Wine, whose answers differ from Windows' in places the tests name.
bool RunningOnWine();

// The other end of a joined pair of ports, opened raw with the communications calls.
class ComPeer {
public:
    explicit ComPeer(int comNumber);
    ~ComPeer();
    bool isOpen() const { return m_handle != nullptr; }
    void Send(const std::string& bytes);
    // Reads what arrives within `ms` after the last byte, up to `limit` bytes.
    std::string Receive(std::size_t limit, int ms = 300);
    // Everything waiting is read and dropped.
    void Drain();

private:
    void* m_handle = nullptr;
};

// This test program's directory, and the program under test beside the build's top.
std::string TestDirectory();
std::string ProgramPath();
