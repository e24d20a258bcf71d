// Fixtures of the Windows tests, on the real system under Wine: a scratch working
// directory, the far side of a serial port, and a window with the controls the operator
// messages go to. The Wine script joins COM3-COM5, COM4-COM6, COM10-COM11 and COM12-COM13
// through pseudo-terminals, leaves COM9 out and makes COM7 a plain file.
#pragma once

#include "platform/framework.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// True under Wine, whose answers differ from Windows' in places the tests name.
bool RunningOnWine();

// A fresh working directory for the test's lifetime.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return m_path; }
    std::vector<std::string> Files(const std::string& pattern = "*") const;  // sorted

private:
    std::string m_path;
    std::string m_previous;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

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

// A top-level window holding a status line and a history panel, hooked up as the
// controls the messages are shown in.
class MessageWindow {
public:
    MessageWindow();
    ~MessageWindow();
    std::string Status() const;
    std::string History() const;
    CWnd window, status, history;
};

std::string TextOf(const CWnd& wnd);

// This test program's directory, and the program under test beside the build's top.
std::string TestDirectory();
std::string ProgramPath();
