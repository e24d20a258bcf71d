#include "PtyPair.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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
