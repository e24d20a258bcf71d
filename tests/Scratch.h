// Test fixtures on the real system, for the tests of both builds: a scratch working
// directory, and a window with the controls the operator messages go to.
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
