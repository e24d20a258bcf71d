// Test fixtures on the real system: a scratch working directory, pseudo-terminal pairs
// linked into it as COMn, and a window with the controls the operator messages go to.
#pragma once

#include "platform/framework.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A fresh working directory for the test's lifetime.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return m_path; }
    std::vector<std::string> Files(const std::string& prefix = "") const;  // sorted by name

private:
    std::string m_path;
    std::string m_previous;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

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
