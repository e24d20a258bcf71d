#include "Scratch.h"

#include "ui/Controls.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    char tmpl[] = "/tmp/tandemix-test-XXXXXX";
    m_path = mkdtemp(tmpl);
    m_previous = fs::current_path();
    fs::current_path(m_path);
}

ScratchDir::~ScratchDir() {
    fs::current_path(m_previous);
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::vector<std::string> ScratchDir::Files(const std::string& prefix) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_path)) {
        const std::string name = entry.path().filename();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

PtyPair::PtyPair(int comNumber) {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(m_master, 0) << std::strerror(errno);
    grantpt(m_master);
    unlockpt(m_master);
    m_slave = ptsname(m_master);
    const std::string link = "COM" + std::to_string(comNumber);
    EXPECT_EQ(symlink(m_slave.c_str(), link.c_str()), 0) << std::strerror(errno);
}

PtyPair::~PtyPair() { HangUp(); }

void PtyPair::HangUp() {
    if (m_master >= 0) close(m_master);
    m_master = -1;
}

void PtyPair::Send(const std::string& bytes) {
    ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::string PtyPair::Receive(std::size_t limit, int ms) {
    std::string got;
    char buffer[4096];
    while (got.size() < limit) {
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) break;
        const ssize_t n = ::read(m_master, buffer, std::min(sizeof buffer, limit - got.size()));
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

MessageWindow::MessageWindow() {
    window.Create(nullptr, "messages", 0, {0, 0, 400, 200}, nullptr, 0);
    status.Create("STATIC", "...", 0, {10, 10, 390, 30}, &window, 1003);
    history.Create("STATIC", "...", 0, {10, 40, 390, 190}, &window, 1004);
    g_pStatusText = &status;
    g_pHistoryText = &history;
}

MessageWindow::~MessageWindow() {
    g_pStatusText = nullptr;
    g_pHistoryText = nullptr;
    window.DestroyWindow();
}

std::string TextOf(const CWnd& wnd) {
    char buffer[4096];
    const int n = wnd.GetWindowText(buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string MessageWindow::Status() const { return TextOf(status); }
std::string MessageWindow::History() const { return TextOf(history); }
